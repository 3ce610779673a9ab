// The timing mode's machine in the native build: the simulated Windows' own
// spooler, registry and kernel calls made bare, and its Print dialog on a
// user-interface thread of the host, stamped as that thread receives the
// watcher's messages.
#include "fmhost/timing_platform.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "fmhost/print_dialog_sim.h"
#include "hosting/unique_any.h"
#include "simwin/errors.h"
#include "simwin/kernel.h"
#include "simwin/machine.h"
#include "simwin/print_dialog.h"
#include "simwin/registry.h"
#include "simwin/spooler.h"
#include "simwin/ui_thread.h"

namespace fmhost::timing {
namespace {

constexpr std::uint32_t kLocalAndConnections = simwin::kPrinterEnumLocal | simwin::kPrinterEnumConnections;
constexpr std::int32_t kSuccess = static_cast<std::int32_t>(simwin::kErrorSuccess);

// A buffer for records the spooler lays out, aligned for the pointers they hold.
class RecordBuffer {
public:
    explicit RecordBuffer(std::uint32_t bytes = 0) : words_(bytes / 8 + 1), bytes_(bytes) {}
    std::uint8_t* data() { return reinterpret_cast<std::uint8_t*>(words_.data()); }
    std::uint32_t size() const { return bytes_; }

private:
    std::vector<std::uint64_t> words_;
    std::uint32_t bytes_;
};

// Room for the records now and for a few more printers.
std::uint32_t WithMargin(std::uint32_t bytes) { return 2 * bytes + 4096; }

// The hand-over's thread: lives one poll, as a watcher that is still
// searching would, then ends (so the start is timed beside a thread that runs
// on, not one that ends at once).
void PollOnce(void* ended) {
    simwin::Sleep(1);
    static_cast<std::atomic<bool>*>(ended)->store(true);
}

using PrinterOwner = hosting::UniqueAny<simwin::Handle, &simwin::ClosePrinter>;
using KeyOwner = hosting::UniqueAny<simwin::Handle, &simwin::RegCloseKey>;
using KernelOwner = hosting::UniqueAny<simwin::Handle, &simwin::CloseHandle>;

}  // namespace

struct PlatformCalls::State {
    Calls calls;
    std::u16string name;
    std::vector<std::uint8_t> deviceText;  // with its terminating null
    std::u16string preferencesKey;
    RecordBuffer records;
    std::vector<char16_t> text = std::vector<char16_t>(4096, u'\0');
    KernelOwner mutex;
    KernelOwner thread;
    std::atomic<bool> threadEnded{false};

    std::vector<std::uint8_t> jobData;

    bool RawJob(const char16_t* printerName) {
        PrinterOwner printer;
        if (!simwin::OpenPrinter(printerName, *printer.put())) {
            return false;
        }
        if (simwin::StartDocPrinter(printer.get(), u"fmhost timing", u"RAW") == 0) {
            return false;
        }
        bool written = simwin::StartPagePrinter(printer.get());
        for (std::size_t at = 0; written && at < jobData.size();) {
            std::uint32_t took = 0;
            written = simwin::WritePrinter(printer.get(), jobData.data() + at,
                                           static_cast<std::uint32_t>(jobData.size() - at), took) &&
                      took > 0;
            at += took;
        }
        if (!written || !simwin::EndPagePrinter(printer.get())) {
            simwin::AbortPrinter(printer.get());
            return false;
        }
        return simwin::EndDocPrinter(printer.get());
    }

    void JoinThread() {
        if (thread) {
            simwin::WaitForSingleObject(thread.get(), simwin::kInfinite);
            thread.reset();
        }
    }

    const char16_t* Enumerate(std::int32_t position) {
        std::uint32_t needed = 0;
        std::uint32_t returned = 0;
        simwin::EnumPrinters(kLocalAndConnections, 4, nullptr, 0, needed, returned);
        if (!simwin::EnumPrinters(kLocalAndConnections, 4, records.data(), records.size(), needed,
                                  returned) ||
            position < 1 || static_cast<std::uint32_t>(position) > returned) {
            return nullptr;
        }
        return reinterpret_cast<const simwin::PrinterInfo4*>(records.data())[position - 1].printerName;
    }

    const char16_t* DefaultPrinter() {
        std::uint32_t units = 0;
        simwin::GetDefaultPrinter(nullptr, units);
        if (units == 0 || units > text.size()) {
            return nullptr;
        }
        std::fill_n(text.begin(), units, u'\0');
        simwin::GetDefaultPrinter(text.data(), units);
        return text.data();
    }

    bool Switch(const char16_t* printerName) {
        PrinterOwner printer;
        if (!simwin::OpenPrinter(printerName, *printer.put())) {
            return false;
        }
        std::uint32_t needed = 0;
        simwin::GetPrinter(printer.get(), 2, nullptr, 0, needed);
        if (!simwin::GetPrinter(printer.get(), 2, records.data(), records.size(), needed)) {
            return false;
        }
        KeyOwner devices;
        if (simwin::RegOpenKey(simwin::kDevicesKeyPath.data(), simwin::kKeyQueryValue, *devices.put()) !=
            kSuccess) {
            return false;
        }
        std::uint32_t size = 0;
        if (simwin::RegQueryValue(devices.get(), printerName, nullptr, nullptr, &size) != kSuccess) {
            return false;
        }
        size = static_cast<std::uint32_t>(text.size() * sizeof(char16_t));
        if (simwin::RegQueryValue(devices.get(), printerName, nullptr,
                                  reinterpret_cast<std::uint8_t*>(text.data()), &size) != kSuccess) {
            return false;
        }
        KeyOwner preferences;
        if (simwin::RegOpenKey(preferencesKey.c_str(), simwin::kKeySetValue, *preferences.put()) != kSuccess) {
            return false;
        }
        return simwin::RegSetValue(preferences.get(), u"Printer", simwin::kRegSz, deviceText.data(),
                                   static_cast<std::uint32_t>(deviceText.size())) == kSuccess;
    }

    // The printer's Devices data as text (empty when it has none).
    std::u16string DevicesData() {
        KeyOwner devices;
        if (simwin::RegOpenKey(simwin::kDevicesKeyPath.data(), simwin::kKeyQueryValue, *devices.put()) !=
            kSuccess) {
            return {};
        }
        std::fill(text.begin(), text.end(), u'\0');
        auto size = static_cast<std::uint32_t>((text.size() - 1) * sizeof(char16_t));
        if (simwin::RegQueryValue(devices.get(), name.c_str(), nullptr,
                                  reinterpret_cast<std::uint8_t*>(text.data()), &size) != kSuccess) {
            return {};
        }
        return std::u16string(text.data());
    }

    bool HandOver() {
        if (simwin::WaitForSingleObject(mutex.get(), 1000) != simwin::WaitResult::Acquired) {
            return false;
        }
        JoinThread();
        threadEnded.store(false);
        thread.reset(simwin::CreateThread(&PollOnce, &threadEnded));
        return simwin::ReleaseMutex(mutex.get()) && thread;
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
    std::uint32_t needed = 0;
    std::uint32_t returned = 0;
    if (calls == Calls::Enumerate) {
        simwin::EnumPrinters(kLocalAndConnections, 4, nullptr, 0, needed, returned);
    } else if (calls == Calls::Switch || calls == Calls::SwitchAndHandOver) {
        PrinterOwner printer;
        if (simwin::OpenPrinter(s.name.c_str(), *printer.put())) {
            simwin::GetPrinter(printer.get(), 2, nullptr, 0, needed);
        }
    }
    s.records = RecordBuffer(WithMargin(needed));
    if (calls == Calls::SwitchAndHandOver) {
        s.mutex.reset(simwin::CreateMutex(u"FmhostTimingHandOver"));
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
            return simwin::SetDefaultPrinter(printer) ? u"0" : nullptr;
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
    // Seen from outside, not waited for: the wait (which on the simulated
    // Windows also joins the thread) and the close belong to the next Run, as
    // a hand-over waits for and closes the ended watcher.
    if (state_->thread) {
        while (!state_->threadEnded.load()) {
            simwin::Sleep(0);
        }
        simwin::Sleep(1);
    }
}

void SleepMilliseconds(std::uint32_t milliseconds) { simwin::Sleep(milliseconds); }

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

DialogTiming TimePrintDialog(const hosting::DialogTexts& texts, bool cancelAfterSelection, int seconds) {
    simwin::PrintDialogOptions options = MachinePrintDialog(texts);

    simwin::UiThread thread;
    std::atomic<std::int64_t> comboAskedAt{0};
    std::atomic<std::int64_t> selectedAt{0};
    std::atomic<std::int64_t> confirmedAt{0};
    auto now = [] { return Clock::now().time_since_epoch().count(); };
    thread.SetMessageHook([&](const simwin::Message& message) {
        if (message.message == simwin::kCbGetCount && comboAskedAt.load() == 0) {
            comboAskedAt.store(now());
        }
        if (message.message != simwin::kWmCommand) {
            return;
        }
        if (message.wParam == simwin::kPrinterSelChange && selectedAt.load() == 0) {
            selectedAt.store(now());
        } else if ((message.wParam & 0xFFFF) == static_cast<std::uintptr_t>(simwin::kIdOk) &&
                   confirmedAt.load() == 0) {
            confirmedAt.store(now());
        }
    });
    simwin::PrintDialog dialog(thread, std::move(options));
    DialogTiming timing;
    const std::int64_t findable = now();
    if (!dialog.Open()) {
        return timing;
    }
    timing.opened = true;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline && dialog.IsOpen() &&
           !(cancelAfterSelection && selectedAt.load() != 0)) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    dialog.Cancel();
    thread.SetMessageHook({});
    auto milliseconds = [&](std::int64_t at) {
        return std::chrono::duration<double, std::milli>(Clock::duration(at - findable)).count();
    };
    if (comboAskedAt.load() != 0) {
        timing.comboAskedMs = milliseconds(comboAskedAt.load());
    }
    if (selectedAt.load() != 0) {
        timing.selectedMs = milliseconds(selectedAt.load());
    }
    if (confirmedAt.load() != 0) {
        timing.confirmedMs = milliseconds(confirmedAt.load());
    }
    if (dialog.State() == simwin::DialogState::Confirmed) {
        timing.confirmedPrinter = dialog.ConfirmedPrinter();
    }
    return timing;
}

}  // namespace fmhost::timing
