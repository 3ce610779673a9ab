// What fmhost needs of the machine it runs on, apart from loading the plug-in:
// one implementation for the simulated Windows (native build), one for real
// Windows (the Windows builds, run under Wine).
#pragma once

#include <optional>
#include <string>

namespace fmhost {

// Prepares the machine before the plug-in is loaded. Natively: starts the
// simulated Windows from the JSON machine file at `path`, or from the embedded
// sample machine when `path` is empty. False, with a message naming the file
// and the fault in `error`, when the file cannot be read or has the wrong shape.
bool PrepareMachine(const std::string& path, std::string& error);

// The "Printer" value of the per-user key `keyPath` (below HKEY_CURRENT_USER),
// read by the host on its own; none when there is no such key or value.
std::optional<std::u16string> ReadPrinterPreference(const std::u16string& keyPath);

// The captions of the host's Print dialog in one language.
struct DialogTexts {
    std::u16string caption;    // "Print"
    std::u16string nameLabel;  // "&Name:"
    std::u16string okButton;   // "OK"
    std::u16string cancelButton;
};

struct PrintOutcome {
    bool confirmed = false;
    std::u16string printer;  // the printer the confirmed dialog reported
};

// Opens the host's Print dialog (the standard layout: a "Static" name label
// followed by the printer "ComboBox", id 0x0473, empty title; OK and Cancel)
// with the machine's printers and the default printer selected, and waits up
// to `seconds` for it to be confirmed; cancels it otherwise.
PrintOutcome RunPrintDialog(const DialogTexts& texts, int seconds);

}  // namespace fmhost
