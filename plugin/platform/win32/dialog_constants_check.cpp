// The watcher's Windows constants, checked against the system headers' own
// definitions: a wrong digit in our names stops the Windows builds here.
#include "platform/win32/win32_api.h"

#include <commdlg.h>
#include <dlgs.h>

#include <cstdint>
#include <string_view>

#include "printdialog/dialog_messages.h"
#include "printdialog/dialog_texts.h"

namespace vorelle::printdialog {
namespace {

static_assert(kCbGetCount == CB_GETCOUNT);
static_assert(kCbGetCurSel == CB_GETCURSEL);
static_assert(kCbGetLbText == CB_GETLBTEXT);
static_assert(kCbGetLbTextLen == CB_GETLBTEXTLEN);
static_assert(kCbSetCurSel == CB_SETCURSEL);
static_assert(kWmCommand == WM_COMMAND);
static_assert(kPrinterComboBoxId == cmb4);
static_assert(kCbnSelChange == CBN_SELCHANGE);
static_assert(kIdOk == IDOK);
static_assert(kBnClicked == BN_CLICKED);
static_assert(kSelectionChanged == MAKEWPARAM(cmb4, CBN_SELCHANGE));
static_assert(kConfirm == MAKEWPARAM(IDOK, BN_CLICKED));

// WC_DIALOG is an atom cast to a pointer, which no constant expression can
// read back; its definition's text names the atom's number, so read that.
#define VORELLE_TEXT_OF(...) #__VA_ARGS__
#define VORELLE_EXPANDED_TEXT_OF(...) VORELLE_TEXT_OF(__VA_ARGS__)

constexpr std::uint32_t HexNumberIn(std::string_view text) {
    const std::size_t at = text.find("0x");
    if (at == std::string_view::npos) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = at + 2; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            value = value * 16 + static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            value = value * 16 + static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            value = value * 16 + static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
    }
    return value;
}

static_assert(HexNumberIn(VORELLE_EXPANDED_TEXT_OF(WC_DIALOG)) == kDialogClassAtom,
              "the dialog class atom differs from WC_DIALOG");

}  // namespace
}  // namespace vorelle::printdialog
