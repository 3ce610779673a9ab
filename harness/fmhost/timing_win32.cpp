// The timing mode's machine on real Windows (Wine in our runs): the spooler,
// registry and kernel calls made bare, and the common Print dialog (PrintDlgW
// with the host's own template) opened with time stamps.
#include "fmhost/timing_platform.h"

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <winspool.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

#include "hosting/print_dialog_win32.h"
#include "hosting/win32_owners.h"

namespace fmhost::timing {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
const wchar_t* Wide(const std::u16string& text) { return Wide(text.c_str()); }

constexpr DWORD kLocalAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
constexpr const wchar_t* kDevicesKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Devices";

// A byte buffer for spooler records, aligned for the pointers they hold.
class RecordBuffer {
public:
    explicit RecordBuffer(DWORD bytes = 0) : storage_(bytes / sizeof(Unit) + 1), bytes_(bytes) {}
    BYTE* data() { return reinterpret_cast<BYTE*>(storage_.data()); }
    DWORD size() const { return bytes_; }

private:
    using Unit = std::max_align_t;
    std::vector<Unit> storage_;
    DWORD bytes_;
};

// The hand-over's thread: lives one poll, as a watcher that is still
// searching would, then ends (so the start is timed beside a thread that runs
// on, not one that ends at once).
DWORD WINAPI PollOnce(LPVOID ended) {
    Sleep(1);
    static_cast<std::atomic<bool>*>(ended)->store(true);
    return 0;
}

// Room for the records now and for a few more printers.
DWORD WithMargin(DWORD bytes) { return 2 * bytes + 4096; }

}  // namespace

struct PlatformCalls::State {
    Calls calls;
    std::u16string name;
    std::vector<BYTE> deviceText;  // with its terminating null
    std::u16string preferencesKey;
    RecordBuffer records;
    std::vector<wchar_t> text = std::vector<wchar_t>(4096, L'\0');
    hosting::KernelOwner mutex;
    hosting::KernelOwner thread;
    std::atomic<bool> threadEnded{false};

    void JoinThread() {
        if (thread) {
            WaitForSingleObject(thread.get(), INFINITE);
            thread.reset();
        }
    }

    const char16_t* Enumerate(std::int32_t position) {
        DWORD needed = 0;
        DWORD returned = 0;
        EnumPrintersW(kLocalAndConnections, nullptr, 4, nullptr, 0, &needed, &returned);
        if (!EnumPrintersW(kLocalAndConnections, nullptr, 4, records.data(), records.size(), &needed,
                           &returned) ||
            position < 1 || static_cast<DWORD>(position) > returned) {
            return nullptr;
        }
        const auto* list = reinterpret_cast<const PRINTER_INFO_4W*>(records.data());
        return reinterpret_cast<const char16_t*>(list[position - 1].pPrinterName);
    }

    const char16_t* DefaultPrinter() {
        DWORD units = 0;
        GetDefaultPrinterW(nullptr, &units);
        if (units == 0 || units > text.size()) {
            return nullptr;
        }
        std::fill_n(text.begin(), units, L'\0');
        GetDefaultPrinterW(text.data(), &units);
        return reinterpret_cast<const char16_t*>(text.data());
    }

    bool Switch(const char16_t* printerName) {
        hosting::PrinterOwner printer;
        if (!OpenPrinterW(const_cast<wchar_t*>(Wide(printerName)), printer.put(), nullptr)) {
            return false;
        }
        DWORD needed = 0;
        GetPrinterW(printer.get(), 2, nullptr, 0, &needed);
        if (!GetPrinterW(printer.get(), 2, records.data(), records.size(), &needed)) {
            return false;
        }
        hosting::KeyOwner devices;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kDevicesKey, 0, KEY_QUERY_VALUE, devices.put()) !=
            ERROR_SUCCESS) {
            return false;
        }
        DWORD size = 0;
        if (RegQueryValueExW(devices.get(), Wide(printerName), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(devices.get(), Wide(printerName), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
            return false;
        }
        hosting::KeyOwner preferences;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(preferencesKey), 0, KEY_SET_VALUE,
                          preferences.put()) != ERROR_SUCCESS) {
            return false;
        }
        return RegSetValueExW(preferences.get(), L"Printer", 0, REG_SZ, deviceText.data(),
                              static_cast<DWORD>(deviceText.size())) == ERROR_SUCCESS;
    }

    // The printer's Devices data as text (empty when it has none).
    std::u16string DevicesData() {
        hosting::KeyOwner devices;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kDevicesKey, 0, KEY_QUERY_VALUE, devices.put()) !=
            ERROR_SUCCESS) {
            return {};
        }
        std::fill(text.begin(), text.end(), L'\0');
        DWORD size = static_cast<DWORD>((text.size() - 1) * sizeof(wchar_t));
        if (RegQueryValueExW(devices.get(), Wide(name), nullptr, nullptr,
                             reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
            return {};
        }
        return std::u16string(reinterpret_cast<const char16_t*>(text.data()));
    }

    std::vector<std::uint8_t> jobData;

    bool RawJob(const char16_t* printerName) {
        hosting::PrinterOwner printer;
        if (!OpenPrinterW(const_cast<wchar_t*>(Wide(printerName)), printer.put(), nullptr)) {
            return false;
        }
        DOC_INFO_1W document{const_cast<wchar_t*>(L"fmhost timing"), nullptr, const_cast<wchar_t*>(L"RAW")};
        if (StartDocPrinterW(printer.get(), 1, reinterpret_cast<BYTE*>(&document)) == 0) {
            return false;
        }
        bool written = StartPagePrinter(printer.get()) != FALSE;
        for (std::size_t at = 0; written && at < jobData.size();) {
            DWORD took = 0;
            written = WritePrinter(printer.get(), jobData.data() + at, static_cast<DWORD>(jobData.size() - at),
                                   &took) != FALSE &&
                      took > 0;
            at += took;
        }
        if (!written || !EndPagePrinter(printer.get())) {
            AbortPrinter(printer.get());
            return false;
        }
        return EndDocPrinter(printer.get()) != FALSE;
    }

    bool HandOver() {
        if (WaitForSingleObject(mutex.get(), 1000) != WAIT_OBJECT_0) {
            return false;
        }
        JoinThread();
        threadEnded.store(false);
        thread.reset(CreateThread(nullptr, 0, PollOnce, &threadEnded, 0, nullptr));
        return ReleaseMutex(mutex.get()) != FALSE && thread;
    }
};

PlatformCalls::PlatformCalls(Calls calls, std::u16string name, std::u16string preferencesKey)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.calls = calls;
    s.name = std::move(name);
    s.preferencesKey = std::move(preferencesKey);
    const std::u16string deviceText = s.name + u"," + s.DevicesData();
    s.deviceText.resize(2 * deviceText.size() + 2, 0);
    std::memcpy(s.deviceText.data(), deviceText.data(), 2 * deviceText.size());
    DWORD needed = 0;
    DWORD returned = 0;
    if (calls == Calls::Enumerate) {
        EnumPrintersW(kLocalAndConnections, nullptr, 4, nullptr, 0, &needed, &returned);
    } else if (calls == Calls::Switch || calls == Calls::SwitchAndHandOver) {
        hosting::PrinterOwner printer;
        if (OpenPrinterW(const_cast<wchar_t*>(Wide(s.name)), printer.put(), nullptr)) {
            GetPrinterW(printer.get(), 2, nullptr, 0, &needed);
        }
    }
    s.records = RecordBuffer(WithMargin(needed));
    if (calls == Calls::SwitchAndHandOver) {
        s.mutex.reset(CreateMutexW(nullptr, FALSE, L"FmhostTimingHandOver"));
    }
}

PlatformCalls::~PlatformCalls() {
    state_->JoinThread();
}

const char16_t* PlatformCalls::Run(std::int32_t position, const char16_t* name) {
    State& s = *state_;
    const char16_t* printer = name != nullptr ? name : s.name.c_str();
    switch (s.calls) {
        case Calls::Enumerate:
            return s.Enumerate(position);
        case Calls::DefaultPrinter:
            return s.DefaultPrinter();
        case Calls::SetDefault:
            return SetDefaultPrinterW(Wide(printer)) ? u"0" : nullptr;
        case Calls::Switch:
            return s.Switch(printer) ? u"0" : nullptr;
        case Calls::SwitchAndHandOver:
            return s.Switch(printer) && s.HandOver() ? u"0" : nullptr;
        case Calls::RawJob:
            return s.RawJob(printer) ? u"0" : nullptr;
    }
    return nullptr;
}

std::vector<std::uint8_t>& PlatformCalls::JobData() { return state_->jobData; }

void PlatformCalls::AwaitThreadEnd() {
    // Seen from outside, not waited for: the wait and close belong to the
    // next Run, as a hand-over waits for and closes the ended watcher.
    if (state_->thread) {
        while (!state_->threadEnded.load()) {
            Sleep(0);
        }
        Sleep(1);
    }
}

void SleepMilliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

double ProcessCpuSeconds() {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0;
    }
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) *
               1e-7;
    };
    return seconds(kernel) + seconds(user);
}

namespace {

// What the dialog hook knows and stamps.
struct TimedDialog {
    const hosting::DialogTexts* texts = nullptr;
    bool cancelAfterSelection = false;
    UINT timeoutMilliseconds = 0;
    WNDPROC comboProcedure = nullptr;  // the combo box's own, under our stamp
    Clock::time_point findable{};
    std::optional<Clock::time_point> comboAsked;
    std::optional<Clock::time_point> selected;
    std::optional<Clock::time_point> confirmed;
};

constexpr UINT_PTR kCancelTimer = 1;
constexpr const wchar_t* kTimingProperty = L"fmhost.timing.dialog";
constexpr WPARAM kPrinterSelChange = MAKEWPARAM(cmb4, CBN_SELCHANGE);

TimedDialog* TimedDialogOf(HWND window) { return static_cast<TimedDialog*>(GetPropW(window, kTimingProperty)); }

// The printer combo box's procedure while it is timed: stamps the first
// CB_GETCOUNT (the watcher has found the box) and hands every message on.
LRESULT CALLBACK TimedCombo(HWND combo, UINT message, WPARAM wParam, LPARAM lParam) {
    TimedDialog* timed = TimedDialogOf(combo);
    if (timed == nullptr) {
        return DefWindowProcW(combo, message, wParam, lParam);
    }
    if (message == CB_GETCOUNT && !timed->comboAsked) {
        timed->comboAsked = Clock::now();
    }
    const WNDPROC own = timed->comboProcedure;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropW(combo, kTimingProperty);
    }
    return CallWindowProcW(own, combo, message, wParam, lParam);
}

// As the host's own hook: the texts of the language and a time limit; and
// the stamps: findable once the texts are in place, selected at the combo
// box's notification, confirmed at IDOK.
UINT_PTR CALLBACK TimingHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    TimedDialog* timed = TimedDialogOf(dialog);
    if (message == WM_INITDIALOG) {
        const auto* request = reinterpret_cast<const PRINTDLGW*>(lParam);
        timed = reinterpret_cast<TimedDialog*>(request->lCustData);
        SetPropW(dialog, kTimingProperty, timed);
        SetWindowTextW(dialog, Wide(timed->texts->caption));
        SetDlgItemTextW(dialog, stc6, Wide(timed->texts->nameLabel));
        SetDlgItemTextW(dialog, IDOK, Wide(timed->texts->okButton));
        SetDlgItemTextW(dialog, IDCANCEL, Wide(timed->texts->cancelButton));
        SetTimer(dialog, kCancelTimer, timed->timeoutMilliseconds, nullptr);
        if (HWND combo = GetDlgItem(dialog, cmb4)) {
            SetPropW(combo, kTimingProperty, timed);
            timed->comboProcedure = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedCombo)));
        }
        timed->findable = Clock::now();
        return TRUE;
    }
    if (timed == nullptr) {
        return FALSE;
    }
    if (message == WM_COMMAND && wParam == kPrinterSelChange && !timed->selected) {
        timed->selected = Clock::now();
        if (timed->cancelAfterSelection) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK && !timed->confirmed) {
        timed->confirmed = Clock::now();
    } else if (message == WM_TIMER && wParam == kCancelTimer) {
        KillTimer(dialog, kCancelTimer);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    } else if (message == WM_DESTROY) {
        KillTimer(dialog, kCancelTimer);
        RemovePropW(dialog, kTimingProperty);
    }
    return FALSE;
}

double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

DialogTiming TimePrintDialog(const hosting::DialogTexts& texts, bool cancelAfterSelection, int seconds) {
    TimedDialog timed;
    timed.texts = &texts;
    timed.cancelAfterSelection = cancelAfterSelection;
    timed.timeoutMilliseconds = static_cast<UINT>(seconds > 0 ? seconds * 1000 : 1000);

    PRINTDLGW request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.Flags = PD_ENABLEPRINTHOOK | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
                    PD_ENABLEPRINTTEMPLATE;
    request.lpfnPrintHook = TimingHook;
    request.lCustData = reinterpret_cast<LPARAM>(&timed);
    request.nCopies = 1;
    request.hInstance = GetModuleHandleW(nullptr);
    request.lpPrintTemplateName = MAKEINTRESOURCEW(HOST_PRINT_DIALOG);

    const BOOL confirmed = PrintDlgW(&request);
    const hosting::GlobalOwner devMode(request.hDevMode);
    const hosting::GlobalOwner devNames(request.hDevNames);
    const hosting::DcOwner deviceContext(request.hDC);
    DialogTiming timing;
    timing.opened = timed.findable != Clock::time_point{};
    if (timed.comboAsked) {
        timing.comboAskedMs = MillisecondsBetween(timed.findable, *timed.comboAsked);
    }
    if (timed.selected) {
        timing.selectedMs = MillisecondsBetween(timed.findable, *timed.selected);
    }
    if (timed.confirmed) {
        timing.confirmedMs = MillisecondsBetween(timed.findable, *timed.confirmed);
    }
    if (confirmed && devNames) {
        if (const auto* header = static_cast<const DEVNAMES*>(GlobalLock(devNames.get()))) {
            const hosting::GlobalLockOwner unlock(devNames.get());
            const auto* device = reinterpret_cast<const wchar_t*>(header) + header->wDeviceOffset;
            timing.confirmedPrinter =
                std::u16string(reinterpret_cast<const char16_t*>(device), std::wcslen(device));
        }
    }
    return timing;
}

}  // namespace fmhost::timing
