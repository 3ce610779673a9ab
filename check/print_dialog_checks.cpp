// VORL_ChangePrinter with the Print dialog as this Windows shows it and with
// FileMaker's layout (the host's template, hosting/print_dialog_win32.rc): the
// watcher selects the printer and confirms; the check reads which printer the
// dialog returned and how long the dialog was up, and prints nothing (no
// device context is asked for).
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>

#include "check/checks.h"
#include "check/win32_text.h"
#include "hosting/dialog_languages.h"
#include "hosting/print_dialog_win32.h"
#include "hosting/win32_owners.h"
#include "printers/preferences_path.h"

namespace check {
namespace {

constexpr UINT_PTR kLookTimer = 1;
constexpr UINT kLookMilliseconds = 50;
constexpr double kConfirmBoundSeconds = 30;  // the watcher's own limits are 20 and 25 s
constexpr double kSelectedBoundSeconds = 10;
constexpr double kSetupSeconds = 2;
constexpr int kResultBoundMilliseconds = 5000;

// One Print dialog shown: what was seen of it.
struct DialogRun {
    bool hostLayout = false;
    std::u16string awaited;      // left open: the printer the box must come to show
    double bound = 0;            // seconds, then the check cancels it
    bool shown = false;
    LARGE_INTEGER shownAt{};
    double seconds = 0;          // from its appearance to its OK, or to the box showing `awaited`
    std::u16string boxShows;     // the printer box when the check closed it
    bool confirmed = false;
    std::u16string printer;      // DEVNAMES of a confirmed dialog
};

double SecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::u16string BoxText(HWND dialog) {
    HWND box = GetDlgItem(dialog, cmb4);
    const LRESULT item = box ? SendMessageW(box, CB_GETCURSEL, 0, 0) : CB_ERR;
    if (item == CB_ERR) {
        return {};
    }
    const LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(item), 0);
    std::u16string text(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, u'\0');
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(text.data()));
    return text.substr(0, text.find(u'\0'));
}

UINT_PTR CALLBACK Hook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    static DialogRun* run = nullptr;
    if (message == WM_INITDIALOG) {
        run = reinterpret_cast<DialogRun*>(reinterpret_cast<const PRINTDLGW*>(lParam)->lCustData);
        run->shown = true;
        QueryPerformanceCounter(&run->shownAt);
        if (run->hostLayout) {
            // FileMaker's template carries no texts: the host sets them.
            const hosting::DialogTexts texts = hosting::EnglishDialogTexts();
            SetWindowTextW(dialog, Wide(texts.caption));
            SetDlgItemTextW(dialog, stc6, Wide(texts.nameLabel));
            SetDlgItemTextW(dialog, IDOK, Wide(texts.okButton));
            SetDlgItemTextW(dialog, IDCANCEL, Wide(texts.cancelButton));
        }
        SetTimer(dialog, kLookTimer, kLookMilliseconds, nullptr);
        return TRUE;
    }
    if (run == nullptr) {
        return FALSE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        run->seconds = SecondsSince(run->shownAt);
        run->boxShows = BoxText(dialog);
    } else if (message == WM_TIMER && wParam == kLookTimer) {
        const double seconds = SecondsSince(run->shownAt);
        const std::u16string shows = BoxText(dialog);
        const bool selected = !run->awaited.empty() && lstrcmpiW(Wide(shows), Wide(run->awaited)) == 0;
        if (selected || seconds >= run->bound) {
            KillTimer(dialog, kLookTimer);
            run->seconds = seconds;
            run->boxShows = shows;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        return TRUE;
    } else if (message == WM_DESTROY) {
        KillTimer(dialog, kLookTimer);
        run = nullptr;
    }
    return FALSE;
}

// Frees what PrintDlgW returned; the printer of a confirmed dialog (its
// DEVNAMES), empty otherwise.
std::u16string TakeDeviceName(const PRINTDLGW& request, bool confirmed) {
    const hosting::GlobalOwner devMode(request.hDevMode);
    const hosting::GlobalOwner devNames(request.hDevNames);
    const void* names = devNames ? GlobalLock(devNames.get()) : nullptr;
    if (!confirmed || names == nullptr) {
        return {};
    }
    const hosting::GlobalLockOwner unlock(devNames.get());
    return FromWide(static_cast<const wchar_t*>(names) + static_cast<const DEVNAMES*>(names)->wDeviceOffset);
}

void ShowPrintDialog(DialogRun& run) {
    PRINTDLGW request{};
    request.lStructSize = sizeof request;
    // No PD_RETURNDC: the check prints nothing; it reads DEVNAMES alone.
    request.Flags = PD_ENABLEPRINTHOOK | PD_NOWARNING | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE;
    request.lpfnPrintHook = Hook;
    request.lCustData = reinterpret_cast<LPARAM>(&run);
    request.nCopies = 1;
    if (run.hostLayout) {
        request.Flags |= PD_ENABLEPRINTTEMPLATE;
        request.hInstance = GetModuleHandleW(nullptr);
        request.lpPrintTemplateName = MAKEINTRESOURCEW(HOST_PRINT_DIALOG);
    }
    run.confirmed = PrintDlgW(&request) != FALSE;
    run.printer = TakeDeviceName(request, run.confirmed);
}

// The Print Setup dialog as FileMaker's File > Print Setup shows it, closed
// by the check after kSetupSeconds unless somebody confirmed it first. A
// thread timer closes it: Wine 8 never ran a timer set from its hook.
struct SetupRun {
    bool confirmed = false;
    std::u16string printer;
};

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
    wchar_t name[8] = {};
    if (GetClassNameW(window, name, 8) > 0 && lstrcmpW(name, L"#32770") == 0) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return TRUE;
}

void CALLBACK CancelThreadDialogs(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
}

SetupRun ShowPrintSetupDialog() {
    const UINT_PTR timer = SetTimer(nullptr, 0, static_cast<UINT>(kSetupSeconds * 1000), CancelThreadDialogs);
    PRINTDLGW request{};
    request.lStructSize = sizeof request;
    request.Flags = PD_PRINTSETUP | PD_NOWARNING;
    SetupRun run;
    run.confirmed = PrintDlgW(&request) != FALSE;
    KillTimer(nullptr, timer);
    run.printer = TakeDeviceName(request, run.confirmed);
    return run;
}

struct DialogCheck {
    CheckContext& context;
    hosting::PluginHost& session;
    std::u16string printer;  // the one the watcher is to select

    CallResult ChangePrinter(bool showDialog) {
        std::vector<hosting::Parameter> parameters = {hosting::Parameter::OfText(printer)};
        if (showDialog) {
            parameters.push_back(hosting::Parameter::OfBoolean(true));
        }
        const Restorer::Change change(context.restorer);
        return CallPlugin(session, u"VORL_ChangePrinter", parameters);
    }

    // The job's outcome, once its watcher has written it: it does so as it
    // sends the dialog its OK, which may close the dialog first.
    void Result(const std::u16string& layout, const std::u16string& expected) {
        CallResult result = CallPlugin(session, u"VORL_GetPrintDialogResult");
        for (int waited = 0; result.ok && result.text == u"waiting" && waited < kResultBoundMilliseconds; waited += 10) {
            Sleep(10);
            result = CallPlugin(session, u"VORL_GetPrintDialogResult");
        }
        context.report.Check(result.ok && result.text == expected, u"VORL_GetPrintDialogResult, " + layout,
                             Quoted(result.text) + (result.text == expected ? u"" : u", expected " + Quoted(expected)));
    }

    // The watcher selects and confirms.
    void Confirmed(bool hostLayout, const std::u16string& layout, const std::u16string& name) {
        const CallResult call = ChangePrinter(false);
        DialogRun run;
        run.hostLayout = hostLayout;
        run.bound = kConfirmBoundSeconds;
        if (call.ok && call.text == u"0") {
            ShowPrintDialog(run);
        }
        const bool ok = call.ok && call.text == u"0" && run.confirmed && run.printer == printer;
        context.report.Check(ok, name + u", " + layout,
                             !call.ok || call.text != u"0" ? Quoted(call.text)
                             : !run.shown                  ? Failed(u"PrintDlgW", CommDlgExtendedError())
                             : run.confirmed ? u"confirmed with " + Quoted(run.printer) + u" " + Decimal(run.seconds, 2) +
                                                   u" s after it appeared" + (ok ? u"" : u", expected " + Quoted(printer))
                                             : u"not confirmed within " + Decimal(run.bound, 0) +
                                                   u" s (the box showed " + Quoted(run.boxShows) + u"); the check cancelled it");
        Result(layout, u"confirmed");
    }

    // optShowDlg True: selected and left open; the check closes it.
    void LeftOpen(const std::u16string& layout) {
        const CallResult call = ChangePrinter(true);
        DialogRun run;
        run.hostLayout = false;
        run.awaited = printer;
        run.bound = kSelectedBoundSeconds;
        if (call.ok && call.text == u"0") {
            ShowPrintDialog(run);
        }
        const bool ok = call.ok && call.text == u"0" && !run.confirmed && run.boxShows == printer;
        context.report.Check(ok, Written(u"VORL_ChangePrinter", {hosting::Parameter::OfText(printer), hosting::Parameter::OfBoolean(true)}) + u", " + layout,
                             !call.ok || call.text != u"0" ? Quoted(call.text)
                             : ok ? u"left open with " + Quoted(run.boxShows) + u" selected " + Decimal(run.seconds, 2) +
                                        u" s after it appeared; closed by the check"
                                  : u"the box showed " + Quoted(run.boxShows) + (run.confirmed ? u", and the dialog was confirmed" : u"") +
                                        u" after " + Decimal(run.seconds, 2) + u" s");
        Result(layout, u"selected");
    }

    // A Print Setup dialog while a job waits: left alone; the Print dialog
    // after it is the one confirmed.
    void PrintSetupLeftAlone() {
        const CallResult call = ChangePrinter(false);
        const SetupRun setup = ShowPrintSetupDialog();
        context.report.Check(call.ok && call.text == u"0" && !setup.confirmed, u"Print Setup dialog while a job waits",
                             !call.ok || call.text != u"0" ? Quoted(call.text)
                             : setup.confirmed ? u"confirmed with " + Quoted(setup.printer) + u": it should have been left alone"
                                             : u"left alone (closed by the check after " + Decimal(kSetupSeconds, 0) + u" s)");
        DialogRun run;
        run.bound = kConfirmBoundSeconds;
        if (call.ok && call.text == u"0") {
            ShowPrintDialog(run);
        }
        context.report.Check(run.confirmed && run.printer == printer, u"the Print dialog after Print Setup",
                             run.confirmed ? u"confirmed with " + Quoted(run.printer) : u"not confirmed");
        Result(u"the Print dialog after Print Setup", u"confirmed");
    }
};

}  // namespace

void CheckPrintDialogs(CheckContext& context, const std::optional<std::u16string>& hostVersion) {
    const std::u16string names[] = {u"VORL_ChangePrinter, the system's Print dialog",
                                    u"VORL_ChangePrinter, FileMaker's Print dialog layout"};
    unsigned long error = 0;
    const std::vector<std::u16string> printers = SpoolerPrinters(error).value_or(std::vector<std::u16string>{});
    if (!hostVersion || printers.empty()) {
        for (const std::u16string& name : names) {
            context.report.Skip(name, !hostVersion ? u"no FileMaker Pro 7 to 11 has run for this user: "
                                                     u"VORL_ChangePrinter switches its preferences key first"
                                                   : u"this Windows has no printer");
        }
        return;
    }
    const std::u16string keyPath = vorelle::printers::ChoosePreferencesPath(*hostVersion);
    const std::optional<RegistryValue> before = ReadValue(keyPath, u"Printer");
    if (!before) {
        context.report.Fail(names[0], u"the Printer preference of HKCU\\" + keyPath + u" cannot be read");
        return;
    }
    {
        const Restorer::Change change(context.restorer);
        context.restorer.Keep(*before);
    }
    if (auto session = StartPlugin(context, *hostVersion, names[0])) {
        const std::u16string system = DefaultPrinter();
        const auto other = std::find_if(printers.begin(), printers.end(), [&](const auto& p) { return p != system; });
        DialogCheck check{context, *session, other != printers.end() ? *other : system};
        check.Confirmed(false, u"the system's Print dialog", u"VORL_ChangePrinter");
        check.Confirmed(true, u"FileMaker's Print dialog layout", u"VORL_ChangePrinter");
        check.LeftOpen(u"the system's Print dialog");
        check.PrintSetupLeftAlone();
    }
    const std::vector<std::u16string> failures = context.restorer.PutBack();
    const std::optional<RegistryValue> after = ReadValue(keyPath, u"Printer");
    context.report.Check(failures.empty() && after && after->SameAs(*before), u"Printer put back after the Print dialogs",
                         failures.empty() ? std::u16string(u"as it was") : failures.front());
}

}  // namespace check
