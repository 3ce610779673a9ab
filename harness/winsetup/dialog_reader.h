// The common dialog another program shows on the desktop, read from outside:
// its caption, its name label, its OK button and the printer its box shows.
#pragma once

#include <string>

namespace winsetup {

struct DialogReading {
    std::wstring caption;
    std::wstring nameLabel;  // the label stc6
    std::wstring okButton;   // the button IDOK
    std::wstring selected;   // the box's selected item; empty when none
};

// Waits up to `seconds` for a top-level dialog (class #32770) with a ComboBox
// child of identifier `boxId` (1139, cmb4, for the Print dialog; 1136, cmb1,
// for Print Setup), then reads it until it closes or the time is up: the
// reading is what the dialog showed last. Returns an empty text on success,
// otherwise what was not found.
std::wstring ReadDialog(int seconds, int boxId, DialogReading& reading);

}  // namespace winsetup
