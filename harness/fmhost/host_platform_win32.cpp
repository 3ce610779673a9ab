// The host's machine on real Windows (the Windows builds, run under Wine): the
// per-user registry and the common Print dialog (PrintDlgW) shown with a print
// template of our own, laid out as Windows' own, or with the system's own
// template and texts; the Print Setup dialog (PD_PRINTSETUP) as the system
// shows it; a custom dialog of the host's own (a message and OK).
//
// Links against comdlg32 (PrintDlgW), gdi32 (the printed page), advapi32
// (registry), user32 and kernel32;
// needs the dialog templates of print_dialog_win32.rc and
// custom_dialog_win32.rc in the executable.
#include "fmhost/host_platform.h"

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <winspool.h>

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fmhost/custom_dialog_win32.h"
#include "hosting/print_dialog_win32.h"
#include "hosting/win32_owners.h"

namespace fmhost {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text, std::size_t units) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), units);
}

// What the dialog hook needs: the texts to show (none: the system's own stay)
// and the time to stay open.
struct DialogSession {
    const hosting::DialogTexts* texts = nullptr;
    UINT timeoutMilliseconds = 0;
};

constexpr UINT_PTR kCancelTimer = 1;

// The chosen language's caption, name label and buttons, set on the dialog's windows.
void ShowTexts(HWND dialog, const hosting::DialogTexts& texts) {
    SetWindowTextW(dialog, Wide(texts.caption));
    SetDlgItemTextW(dialog, stc6, Wide(texts.nameLabel));
    SetDlgItemTextW(dialog, IDOK, Wide(texts.okButton));
    SetDlgItemTextW(dialog, IDCANCEL, Wide(texts.cancelButton));
}

// The run-time localisation of our template and the time limit: the caption,
// the name label and the two buttons come from the chosen language (with the
// system's template, its own texts stay); a timer cancels the dialog when
// nobody has confirmed it in time.
UINT_PTR CALLBACK PrintHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* request = reinterpret_cast<const PRINTDLGW*>(lParam);
        const auto* session = reinterpret_cast<const DialogSession*>(request->lCustData);
        if (session->texts != nullptr) {
            ShowTexts(dialog, *session->texts);
        }
        SetTimer(dialog, kCancelTimer, session->timeoutMilliseconds, nullptr);
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kCancelTimer) {
        // Cancel as the Cancel button would. A confirmation that got there
        // first still counts: PrintDlgW then reports it.
        KillTimer(dialog, kCancelTimer);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    if (message == WM_DESTROY) {
        KillTimer(dialog, kCancelTimer);
    }
    return FALSE;
}

// Whether the spooler lists any printer. Without one, Windows' PrintDlgW with
// PD_NOWARNING fails at once (PDERR_NODEFAULTPRN). Wine 8: it shows a message
// box all the same, which nobody would close.
bool AnyPrinter() {
    constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(kFlags, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0) {
        return false;
    }
    std::vector<std::max_align_t> buffer(needed / sizeof(std::max_align_t) + 1);
    return EnumPrintersW(kFlags, nullptr, 4, reinterpret_cast<BYTE*>(buffer.data()), needed,
                         &needed, &count) &&
           count > 0;
}

UINT TimeoutMilliseconds(int seconds) {
    if (seconds <= 0) {
        return USER_TIMER_MINIMUM;
    }
    const long long ms = static_cast<long long>(seconds) * 1000;
    return ms > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : static_cast<UINT>(ms);
}

// "CALL failed, error N", with the thread's last error.
std::string Failed(const char* call) {
    return std::string(call) + " failed, error " + std::to_string(GetLastError());
}

// Prints `page` on the device context of a confirmed Print dialog: one
// document of one page holding one line, an inch from the page's corner.
// Empty when the spooler has the document; otherwise the call that failed.
std::string PrintPage(HDC dc, const PrintedPage& page) {
    if (dc == nullptr) {
        return "the Print dialog returned no device context";
    }
    DOCINFOW doc;
    std::memset(&doc, 0, sizeof doc);
    doc.cbSize = sizeof doc;
    doc.lpszDocName = Wide(page.documentName);
    if (StartDocW(dc, &doc) <= 0) {
        return Failed("StartDocW");
    }
    hosting::DocumentOwner document(dc);
    if (StartPage(dc) <= 0) {
        return Failed("StartPage");
    }
    if (!TextOutW(dc, GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY), Wide(page.text),
                  static_cast<int>(page.text.size()))) {
        return Failed("TextOutW");
    }
    if (EndPage(dc) <= 0) {
        return Failed("EndPage");
    }
    if (EndDoc(document.release()) <= 0) {
        return Failed("EndDoc");
    }
    return {};
}

// The Print Setup dialog's cancel timer (a thread timer, 0 when none).
UINT_PTR setupCancelTimer = 0;

// Cancels every dialog of this thread as its Cancel button would.
BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
    wchar_t name[8] = {};
    if (GetClassNameW(window, name, 8) > 0 && std::wcscmp(name, L"#32770") == 0) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return TRUE;
}

void CALLBACK CancelThreadDialogs(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, setupCancelTimer);
    setupCancelTimer = 0;
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
}

// The device name of a dialog's DEVNAMES; false when there is none.
bool DeviceName(const hosting::GlobalOwner& devNames, std::u16string& name) {
    const void* names = devNames ? GlobalLock(devNames.get()) : nullptr;
    if (names == nullptr) {
        return false;
    }
    const hosting::GlobalLockOwner unlock(devNames.get());
    const auto* header = static_cast<const DEVNAMES*>(names);
    const auto* device = static_cast<const wchar_t*>(names) + header->wDeviceOffset;
    name = FromWide(device, std::wcslen(device));
    return true;
}

}  // namespace

bool PrepareMachine(const std::string& path, std::string& error) {
    if (path.empty()) {
        return true;
    }
    error = "--machine " + path +
            ": machine files describe the simulated Windows of the native build; "
            "the Windows builds use the machine they run on";
    return false;
}

std::optional<std::string> QueueContents(const std::u16string&, std::string& error) {
    error = ":queue shows the queues of the simulated Windows of the native build only";
    return std::nullopt;
}

bool RemovePrinter(const std::u16string& printer, std::string& error) {
    PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    hosting::PrinterOwner handle;
    if (!OpenPrinterW(const_cast<wchar_t*>(Wide(printer)), handle.put(), &access)) {
        error = "OpenPrinterW failed, error " + std::to_string(GetLastError());
        return false;
    }
    if (!DeletePrinter(handle.get())) {
        error = "DeletePrinter failed, error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

std::optional<std::u16string> ReadPrinterPreference(const std::u16string& keyPath) {
    hosting::KeyOwner key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(keyPath), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), L"Printer", nullptr, &type, nullptr, &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    // One spare unit so that a value stored without its terminator still ends.
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), L"Printer", nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::size_t units = size / sizeof(wchar_t);
    while (units > 0 && buffer[units - 1] == L'\0') {
        --units;
    }
    return FromWide(buffer.data(), units);
}

PrintOutcome RunPrintDialog(const hosting::DialogTexts& texts, PrintTemplate layout, int seconds,
                            const PrintedPage& page) {
    if (!AnyPrinter()) {
        return PrintOutcome{};  // no dialog to show: not confirmed
    }
    DialogSession session;
    session.texts = layout == PrintTemplate::Host ? &texts : nullptr;
    session.timeoutMilliseconds = TimeoutMilliseconds(seconds);

    PRINTDLGW request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    // PD_NOWARNING: with no printers at all, no message box that nobody closes.
    // PD_RETURNDC: the device context of the chosen printer, which gets the page.
    request.Flags = PD_ENABLEPRINTHOOK | PD_NOWARNING | PD_NOSELECTION | PD_NOPAGENUMS |
                    PD_HIDEPRINTTOFILE | PD_RETURNDC;
    request.lpfnPrintHook = PrintHook;
    request.lCustData = reinterpret_cast<LPARAM>(&session);
    request.nCopies = 1;
    if (layout == PrintTemplate::Host) {
        request.Flags |= PD_ENABLEPRINTTEMPLATE;
        request.hInstance = GetModuleHandleW(nullptr);
        request.lpPrintTemplateName = MAKEINTRESOURCEW(HOST_PRINT_DIALOG);
    }

    const BOOL confirmed = PrintDlgW(&request);
    const hosting::GlobalOwner devMode(request.hDevMode);
    const hosting::GlobalOwner devNames(request.hDevNames);
    const hosting::DcOwner deviceContext(request.hDC);

    PrintOutcome outcome;
    if (!confirmed || !DeviceName(devNames, outcome.printer)) {
        return outcome;
    }
    outcome.confirmed = true;
    outcome.failure = PrintPage(deviceContext.get(), page);
    return outcome;
}

PrintOutcome RunPrintSetupDialog(int seconds) {
    if (!AnyPrinter()) {
        return PrintOutcome{};
    }
    // No hook: under Wine 8 a timer set from the Print Setup dialog's hook
    // never cancelled it. A thread timer, dispatched by the dialog's modal
    // loop, cancels it instead.
    setupCancelTimer = SetTimer(nullptr, 0, TimeoutMilliseconds(seconds), CancelThreadDialogs);
    PRINTDLGW request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.Flags = PD_PRINTSETUP | PD_NOWARNING;
    const BOOL confirmed = PrintDlgW(&request);
    if (setupCancelTimer != 0) {
        KillTimer(nullptr, setupCancelTimer);
        setupCancelTimer = 0;
    }
    const hosting::GlobalOwner devMode(request.hDevMode);
    const hosting::GlobalOwner devNames(request.hDevNames);
    PrintOutcome outcome;
    outcome.confirmed = confirmed && DeviceName(devNames, outcome.printer);
    return outcome;
}

std::optional<PrintOutcome> RunPrintDialogElsewhere(const hosting::DialogTexts& texts, int seconds,
                                                    const PrintedPage& page) {
    // The other program shows its dialog in its own language and prints a
    // page of its own.
    (void)texts;
    (void)page;
    // The other program: this program again, running ":print SECONDS" in a
    // process of its own, its outcome written to the same standard output.
    std::vector<wchar_t> exe(MAX_PATH);
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (n == 0 || n >= exe.size()) {
        return PrintOutcome{};
    }
    std::wstring command = L"\"" + std::wstring(exe.data(), n) + L"\" \":print " +
                           std::to_wstring(seconds) + L"\"";
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(error, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessW(exe.data(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return PrintOutcome{};
    }
    const hosting::KernelOwner processOwner(process.hProcess);
    const hosting::KernelOwner threadOwner(process.hThread);
    const DWORD limit = static_cast<DWORD>(seconds) * 1000 + 60000;
    WaitForSingleObject(process.hProcess, limit);
    return std::nullopt;
}

namespace {

// What the custom dialog shows, and the commands it was sent from elsewhere.
struct CustomDialog {
    const std::u16string* caption = nullptr;
    UINT timeoutMilliseconds = 0;
    std::vector<std::uintptr_t> commands;
};

constexpr UINT_PTR kCloseTimer = 1;

// Sets the caption and the message, and a timer that closes the dialog as
// its OK does. The dialog sends itself no command: every WM_COMMAND it gets
// came from elsewhere, and is noted.
INT_PTR CALLBACK CustomDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* shown = reinterpret_cast<const CustomDialog*>(lParam);
        SetWindowTextW(dialog, Wide(*shown->caption));
        SetDlgItemTextW(dialog, FMHOST_CUSTOM_MESSAGE, reinterpret_cast<const wchar_t*>(kCustomDialogMessage));
        SetTimer(dialog, kCloseTimer, shown->timeoutMilliseconds, nullptr);
        return TRUE;
    }
    auto* shown = reinterpret_cast<CustomDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_TIMER && wParam == kCloseTimer) {
        KillTimer(dialog, kCloseTimer);
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    if (message == WM_COMMAND && shown != nullptr) {
        shown->commands.push_back(static_cast<std::uintptr_t>(wParam));
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            KillTimer(dialog, kCloseTimer);
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    }
    return FALSE;
}

}  // namespace

std::optional<std::vector<std::uintptr_t>> ShowCustomDialog(const std::u16string& caption, int seconds) {
    CustomDialog shown;
    shown.caption = &caption;
    shown.timeoutMilliseconds = TimeoutMilliseconds(seconds);
    if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(FMHOST_CUSTOM_DIALOG), nullptr,
                        CustomDialogProcedure, reinterpret_cast<LPARAM>(&shown)) == -1) {
        return std::nullopt;
    }
    return shown.commands;
}

namespace {

// What the unanswering dialog's thread needs; the thread owns it.
struct UnansweringDialog {
    const hosting::DialogTexts* texts = nullptr;
    DWORD hangMilliseconds = 0;
    HANDLE stoppedAnswering = nullptr;  // set once; not touched after that
    bool signalled = false;
};

// At WM_INITDIALOG the dialog's windows exist: the texts are set, then the
// thread stops taking messages for the time given, then cancels the dialog.
UINT_PTR CALLBACK UnansweringHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* request = reinterpret_cast<const PRINTDLGW*>(lParam);
        auto* told = reinterpret_cast<UnansweringDialog*>(request->lCustData);
        ShowTexts(dialog, *told->texts);
        told->signalled = true;
        const DWORD hang = told->hangMilliseconds;
        SetEvent(told->stoppedAnswering);
        Sleep(hang);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}

DWORD WINAPI RunUnansweringDialog(LPVOID parameter) {
    std::unique_ptr<UnansweringDialog> setup(static_cast<UnansweringDialog*>(parameter));
    PRINTDLGW request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.Flags = PD_ENABLEPRINTHOOK | PD_ENABLEPRINTTEMPLATE | PD_NOWARNING | PD_NOSELECTION |
                    PD_NOPAGENUMS | PD_HIDEPRINTTOFILE;
    request.lpfnPrintHook = UnansweringHook;
    request.lCustData = reinterpret_cast<LPARAM>(setup.get());
    request.nCopies = 1;
    request.hInstance = GetModuleHandleW(nullptr);
    request.lpPrintTemplateName = MAKEINTRESOURCEW(HOST_PRINT_DIALOG);
    if (!PrintDlgW(&request) && !setup->signalled) {
        SetEvent(setup->stoppedAnswering);  // never shown: nobody waits in vain
    }
    const hosting::GlobalOwner devMode(request.hDevMode);
    const hosting::GlobalOwner devNames(request.hDevNames);
    const hosting::DcOwner deviceContext(request.hDC);
    return 0;
}

}  // namespace

bool OpenUnansweringPrintDialog(const hosting::DialogTexts& texts, int seconds) {
    if (!AnyPrinter()) {
        return false;
    }
    static const hosting::DialogTexts* const kept = new hosting::DialogTexts(texts);  // outlives the call
    const hosting::KernelOwner stopped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stopped.get() == nullptr) {
        return false;
    }
    auto setup = std::make_unique<UnansweringDialog>();
    setup->texts = kept;
    setup->hangMilliseconds = static_cast<DWORD>(seconds) * 1000;
    setup->stoppedAnswering = stopped.get();
    HANDLE thread = CreateThread(nullptr, 0, RunUnansweringDialog, setup.get(), 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    setup.release();  // the thread owns it now
    const hosting::KernelOwner threadOwner(thread);
    // The event outlives the wait: the thread sets it before this returns.
    const bool shown = WaitForSingleObject(stopped.get(), 60000) == WAIT_OBJECT_0;
    // A moment for whoever drives the dialog to find it and begin to wait.
    Sleep(kUnansweringLeadMilliseconds);
    return shown;
}

void ExitHostProcess(int status) {
    std::cout.flush();
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(status));
}

}  // namespace fmhost
