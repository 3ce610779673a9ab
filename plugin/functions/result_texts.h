// The result texts the script functions write themselves. Texts handed back by
// the printer services are theirs (printers/printer_status.h) and pass through
// unchanged.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorelle::functions {

// Two spellings, each function always its own: capitals for
// VORL_SetSystemPrinter and VORL_GetPrinterAt, lower case for
// VORL_ChangePrinter and VORL_ChangeForPreview.
inline constexpr std::u16string_view kInvalidNumberOfParameters =
    u"!!ERROR!! Invalid Number of Parameters";
inline constexpr std::u16string_view kInvalidNumberOfParametersLower =
    u"!!ERROR!! Invalid number of parameters";
inline constexpr std::u16string_view kInvalidParameterFormat = u"!!ERROR!! Invalid Parameter format";
inline constexpr std::u16string_view kParsingParameters = u"!!ERROR!! parsing parameters";
inline constexpr std::u16string_view kSuccess = u"0";

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
