// The system's own Print dialog (PrintDlgW with its own template) prints to
// the printer of the last selection notice it got from its printer box
// (CBN_SELCHANGE of cmb4), not to whatever the box shows when OK is pressed.
// The watcher rests on this when it puts back a box whose selection did not
// take instead of telling the dialog of it.
#include "platform/win32/win32_api.h"

#include <commdlg.h>
#include <dlgs.h>

#include <string>

#include "platform/spooler.h"
#include "tests/wine/platform_probe/probe.h"

namespace probe {
namespace {

constexpr UINT kDriveTheBox = WM_APP + 1;
constexpr UINT_PTR kGiveUpTimer = 1;

// What the dialog's hook does, on this thread inside PrintDlgW: the box set
// to `told` and the dialog told of it, then set to `shown` without a notice.
struct DialogRun {
    std::u16string told;
    std::u16string shown;
    wchar_t showing[256] = {};  // what the box showed when OK was pressed
};
DialogRun* run = nullptr;

void SelectInBox(HWND box, const std::u16string& printer) {
    const LRESULT index = SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(printer.c_str()));
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// Once the dialog is up (a message posted from WM_INITDIALOG) its box is
// driven and OK pressed; a dialog that never gets there is cancelled after
// ten seconds.
UINT_PTR CALLBACK DriveTheBox(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        SetTimer(dialog, kGiveUpTimer, 10'000, nullptr);
        PostMessageW(dialog, kDriveTheBox, 0, 0);
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kGiveUpTimer) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    if (message != kDriveTheBox) {
        return FALSE;
    }
    HWND box = GetDlgItem(dialog, cmb4);
    SelectInBox(box, run->told);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb4, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
    SelectInBox(box, run->shown);
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(SendMessageW(box, CB_GETCURSEL, 0, 0)),
                 reinterpret_cast<LPARAM>(run->showing));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return TRUE;
}

// The printer the dialog returned (its DEVNAMES' device); empty when it was
// not confirmed.
std::u16string PrintedTo(DialogRun& dialogRun) {
    run = &dialogRun;
    PRINTDLGW request{};
    request.lStructSize = sizeof request;
    request.Flags = PD_ENABLEPRINTHOOK | PD_NOWARNING | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE;
    request.lpfnPrintHook = DriveTheBox;
    request.nCopies = 1;
    const BOOL confirmed = PrintDlgW(&request);
    run = nullptr;
    std::u16string device;
    if (const auto* names = confirmed ? static_cast<const DEVNAMES*>(GlobalLock(request.hDevNames)) : nullptr) {
        device = reinterpret_cast<const char16_t*>(reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset);
        GlobalUnlock(request.hDevNames);
    }
    GlobalFree(request.hDevNames);
    GlobalFree(request.hDevMode);
    return device;
}

}  // namespace

void PrintDialogChecks(const std::u16string& otherPrinter) {
    // One dialog (closing one costs Wine about two seconds under Xvfb): told
    // of the other printer, then its box set back without a notice.
    const std::u16string cameUpWith = vorelle::platform::DefaultPrinterName();
    Check(!cameUpWith.empty() && cameUpWith != otherPrinter, "the Print dialog comes up with another printer",
          Narrow(cameUpWith));
    DialogRun dialogRun{otherPrinter, cameUpWith};
    const std::u16string printed = PrintedTo(dialogRun);
    const std::u16string showing(reinterpret_cast<const char16_t*>(dialogRun.showing));
    Check(showing == cameUpWith && printed == otherPrinter,
          "the Print dialog prints to the printer of its last notice, not to what its box shows",
          "the box showed " + Narrow(showing) + ", the dialog returned " + Narrow(printed));
}

}  // namespace probe
