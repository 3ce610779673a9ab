// What fmhost needs of the machine it runs on, apart from loading the plug-in:
// one implementation for the simulated Windows (native build), one for real
// Windows (the Windows builds, run under Wine).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hosting/dialog_languages.h"

namespace fmhost {

// Prepares the machine before the plug-in is loaded. Natively: starts the
// simulated Windows from the JSON machine file at `path`, or from the embedded
// sample machine when `path` is empty. False, with a message naming the file
// and the fault in `error`, when the file cannot be read or has the wrong shape.
bool PrepareMachine(const std::string& path, std::string& error);

// The "Printer" value of the per-user key `keyPath` (below HKEY_CURRENT_USER),
// read by the host on its own; none when there is no such key or value.
std::optional<std::u16string> ReadPrinterPreference(const std::u16string& keyPath);

// What the queue of `printer` (any letter case) holds, one line per job in the
// order given: 'job N "DOCUMENT" RAW B bytes: BYTES' for a job of bytes (the
// datatype as given; each byte shown as the character of its value through
// EscapedText, so control bytes as "<U+XXXX>"), 'job N "DOCUMENT" drawn: TEXT'
// for a printed page; "no jobs" for an empty queue. Only the simulated
// Windows shows its queues: none, with the reason in `error`, on Windows and
// for a printer the machine does not have.
std::optional<std::string> QueueContents(const std::u16string& printer, std::string& error);

// Removes `printer` (any letter case) from the machine, as an administrator
// deleting it or a print server dropping it would: the spooler and the next
// Print dialog no longer have it. False, with the reason in `error`, when it
// cannot be removed.
bool RemovePrinter(const std::u16string& printer, std::string& error);

// What the host prints once its Print dialog is confirmed: one page with one
// line of text, in a document of its own name.
struct PrintedPage {
    std::u16string documentName;
    std::u16string text;
};

struct PrintOutcome {
    bool confirmed = false;
    std::u16string printer;  // the printer the confirmed dialog reported
    // Why the page did not reach that printer; empty when it did (or the
    // dialog was not confirmed).
    std::string failure;
};

// Which Print dialog the host shows (fmhost --print-template).
enum class PrintTemplate {
    // The host's own template in Windows' layout (a "Static" name label
    // followed by the printer "ComboBox", id 0x0473, empty title; OK and
    // Cancel), its caption, label and buttons set from the chosen language.
    Host,
    // The system's own Print dialog as the system shows it. Windows builds:
    // PrintDlgW's built-in template and texts, untouched (Wine 8: the printer
    // box before its label, in Wine's display language). Native build: the
    // simulated dialog in that layout (printer box first), with the chosen
    // language's texts.
    System,
};

// Opens the host's Print dialog with the machine's printers and the default
// printer selected, and waits up to `seconds` for it to be confirmed; cancels
// it otherwise. Confirmed, it prints `page` on the printer the dialog chose
// (on Windows: on the device context the dialog returns).
PrintOutcome RunPrintDialog(const hosting::DialogTexts& texts, PrintTemplate layout, int seconds,
                            const PrintedPage& page);

// Opens the Print Setup dialog as the host's File > Print Setup does (PrintDlgW
// with PD_PRINTSETUP, the system's own template and texts; natively a
// simulated one captioned "Print Setup": the "&Name:" label stc6, the printer
// box cmb1 (0x0470), OK and Cancel, no cmb4) and waits up to `seconds` for it
// to be confirmed; cancels it otherwise. Nothing is printed: `printer` of the
// outcome is the printer the confirmed dialog chose.
PrintOutcome RunPrintSetupDialog(int seconds);

// Another program on the same desktop opens a Print dialog of its own, waits
// up to `seconds` for it to be confirmed (then prints a page as the host
// does) and cancels it otherwise; returns when that program's dialog has
// closed. Its outcome when known here (the simulated Windows: another
// simulated process, printing `page`); none when the other program reported
// it on the shared standard output itself (Windows: a second fmhost process
// running ":print SECONDS", printing a page of its own).
std::optional<PrintOutcome> RunPrintDialogElsewhere(const hosting::DialogTexts& texts, int seconds,
                                                    const PrintedPage& page);

// The message of the host's custom dialog.
inline constexpr char16_t kCustomDialogMessage[] = u"Print the 12 invoices now?";

// Shows a dialog of the host's own as FileMaker's Show Custom Dialog shows
// one, on the host's thread (the session waits for it): titled `caption`, the
// message kCustomDialogMessage and an OK button (IDOK), no printer box; after
// `seconds` it is closed as by its OK. The wParam of every WM_COMMAND another
// thread or program sent it meanwhile, in order (Windows: an IDOK or IDCANCEL
// among them closes it then, as a dialog's own button would); none when it
// cannot be shown.
std::optional<std::vector<std::uintptr_t>> ShowCustomDialog(const std::u16string& caption, int seconds);

// Opens the host's Print dialog on a thread of its own whose messages stop
// being answered as soon as the dialog's windows exist, for `seconds`; then it
// is cancelled. Returns kUnansweringLeadMilliseconds after the thread has
// stopped answering, without waiting for the dialog. False when it cannot be
// shown.
inline constexpr unsigned kUnansweringLeadMilliseconds = 1000;
bool OpenUnansweringPrintDialog(const hosting::DialogTexts& texts, int seconds);

// Ends the host process at once with `status`: no shutdown message, the
// plug-in not unloaded first, threads of the plug-in still running.
[[noreturn]] void ExitHostProcess(int status);

}  // namespace fmhost
