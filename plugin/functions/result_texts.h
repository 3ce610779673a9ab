// The result texts the script functions write themselves. Texts handed back by
// the printer services are theirs (printers/printer_status.h) and pass through
// unchanged.
#pragma once

#include <cstdint>
#include <string_view>

#include "printdialog/print_dialog_outcome.h"

namespace vorelle::functions {

// Two spellings, each function always its own: capitals for
// VORL_SetSystemPrinter and VORL_GetPrinterAt, lower case for
// VORL_ChangePrinter, VORL_ChangeForPreview, VORL_SetToWindowsDefaultPrinter,
// VORL_SendData, VORL_SendHexData, VORL_GetPrintDialogResult and
// VORL_GetPrinterList.
inline constexpr std::u16string_view kInvalidNumberOfParameters =
    u"!!ERROR!! Invalid Number of Parameters";
inline constexpr std::u16string_view kInvalidNumberOfParametersLower =
    u"!!ERROR!! Invalid number of parameters";
inline constexpr std::u16string_view kInvalidParameterFormat = u"!!ERROR!! Invalid Parameter format";
inline constexpr std::u16string_view kParsingParameters = u"!!ERROR!! parsing parameters";
inline constexpr std::u16string_view kSuccess = u"0";

// VORL_SendData: a character that is no byte, and a job the spooler did not
// take whole (cancelled; VORL_SendHexData's too).
inline constexpr std::u16string_view kDataNotBytes =
    u"!!ERROR!! Data holds a character above U+00FF; nothing was sent";
inline constexpr std::u16string_view kDataNotSent =
    u"!!ERROR!! Data not sent: the printer's queue did not take the whole job";

// VORL_SendHexData: HexData that is not pairs of hexadecimal digits with
// blanks between them.
inline constexpr std::u16string_view kHexNotHex =
    u"!!ERROR!! HexData holds a character that is neither a hexadecimal digit nor a blank; nothing was sent";
inline constexpr std::u16string_view kHexBlankInPair =
    u"!!ERROR!! HexData has a blank inside a pair of hexadecimal digits; nothing was sent";
inline constexpr std::u16string_view kHexOddDigits =
    u"!!ERROR!! HexData has an odd number of hexadecimal digits; nothing was sent";

// VORL_SetToWindowsDefaultPrinter on a system without a default printer.
inline constexpr std::u16string_view kNoDefaultPrinter =
    u"!!ERROR!! There is no Windows default printer";

// VORL_GetPrintDialogResult: how the last job handed to the watcher ended,
// one fixed text per outcome, never translated, for scripts to compare.
constexpr std::u16string_view PrintDialogResultText(printdialog::PrintDialogOutcome outcome) {
    using enum printdialog::PrintDialogOutcome;
    switch (outcome) {
        case None: return u"none";
        case Waiting: return u"waiting";
        case Confirmed: return u"confirmed";
        case Selected: return u"selected";
        case NoDialog: return u"no dialog";
        case NoPrinterBox: return u"no printer box";
        case NotListed: return u"not listed";
        case NotTaken: return u"not taken";
        case NoOkButton: return u"no OK button";
        case NotAnswering: return u"not answering";
        case Stopped: return u"stopped";
        case NoWatcher: return u"no watcher";
        case WatcherFailed: return u"watcher failed";
    }
    return u"none";  // no other value is ever stored
}

inline constexpr std::u16string_view kVersionShort = u"3.0.4.13";
inline constexpr std::u16string_view kVersionLong = u"Vorelle 3.0.4.3";

// Error codes returned to the host when a call could not complete at all and
// wrote no result: the host's runtime ran out of memory or failed, or the
// plug-in was never started (its services do not exist).
inline constexpr std::int16_t kFunctionOk = 0;
inline constexpr std::int16_t kFunctionOutOfMemory = 1;
inline constexpr std::int16_t kFunctionHostFailure = 2;
inline constexpr std::int16_t kFunctionNotStarted = 3;

}  // namespace vorelle::functions
