// The messages, notification codes and control ids by which the watcher reads
// and drives the Print dialog: Windows' own values under their Windows names.
// The Windows builds check each against the system headers
// (platform/win32/dialog_constants_check.cpp).
#pragma once

#include <cstdint>

namespace vorelle::printdialog {

inline constexpr std::uint32_t kCbGetCount = 0x0146;      // CB_GETCOUNT
inline constexpr std::uint32_t kCbGetCurSel = 0x0147;     // CB_GETCURSEL
inline constexpr std::uint32_t kCbGetLbText = 0x0148;     // CB_GETLBTEXT
inline constexpr std::uint32_t kCbGetLbTextLen = 0x0149;  // CB_GETLBTEXTLEN
inline constexpr std::uint32_t kCbSetCurSel = 0x014E;     // CB_SETCURSEL
inline constexpr std::uint32_t kWmCommand = 0x0111;       // WM_COMMAND

inline constexpr std::uint16_t kPrinterComboBoxId = 0x0473;  // cmb4, the printer-name combo box
inline constexpr std::uint16_t kCbnSelChange = 1;            // CBN_SELCHANGE
inline constexpr std::uint16_t kIdOk = 1;                    // IDOK
inline constexpr std::uint16_t kBnClicked = 0;               // BN_CLICKED

// WM_COMMAND's wParam: the control id in the low word, the code in the high word.
constexpr std::uintptr_t CommandWParam(std::uint16_t id, std::uint16_t code) {
    return (static_cast<std::uintptr_t>(code) << 16) | id;
}

inline constexpr std::uintptr_t kSelectionChanged = CommandWParam(kPrinterComboBoxId, kCbnSelChange);
inline constexpr std::uintptr_t kConfirm = CommandWParam(kIdOk, kBnClicked);

}  // namespace vorelle::printdialog
