#include "printdialog/print_job_handoff.h"

#include <algorithm>

#include "printdialog/print_dialog_watcher.h"

namespace vorelle::printdialog {

namespace {
constexpr std::uint32_t kMutexAttemptMilliseconds = 1000;
constexpr std::uint32_t kShutdownPollMilliseconds = 500;
std::unique_ptr<PrintJobHandoff> gHandoff;

// Releases the mutex when one attempt of a hand-over ends.
class MutexRelease {
public:
    explicit MutexRelease(const platform::NamedMutex& mutex) : mutex_(mutex) {}
    ~MutexRelease() { (void)mutex_.Release(); }  // a failure is traced; nothing more to do here
    MutexRelease(const MutexRelease&) = delete;
    MutexRelease& operator=(const MutexRelease&) = delete;

private:
    const platform::NamedMutex& mutex_;
};

// The job's own copy of the printer name, with its terminator.
std::unique_ptr<char16_t[]> CopyName(const std::u16string& name) {
    auto copy = std::make_unique<char16_t[]>(name.size() + 1);
    std::copy(name.begin(), name.end(), copy.get());
    copy[name.size()] = u'\0';
    return copy;
}

}  // namespace

PrintJobHandoff::PrintJobHandoff()
    : mutex_(platform::NamedMutex::Create(kHandoffMutexName)) {}

PrintJobHandoff::~PrintJobHandoff() { TearDown(); }

void PrintJobHandoff::HandOverJob(PrintJob job) {
    // Allocated before the mutex is taken, so nothing below can fail while
    // it is held.
    std::unique_ptr<char16_t[]> name = CopyName(job.printerName);
    for (;;) {
        // A failed wait (no mutex at all) counts as holding it: the hand-over
        // then runs without exclusion rather than not at all.
        if (mutex_.Wait(kMutexAttemptMilliseconds) == platform::WaitResult::TimedOut) {
            continue;
        }
        const MutexRelease release(mutex_);
        if (!watcherIdle_.load()) {
            stop_.store(true);
            continue;
        }
        // The previous watcher has reported its end; its thread is about to
        // finish. Join it so that at most one watcher thread ever exists.
        watcher_.Join();
        pause_.store(job.pause);
        printerName_ = std::move(name);
        extraFlag_.store(job.extraFlag);
        showDialog_.store(job.showDialog);
        stop_.store(false);
        // Busy from this moment, before the thread runs: a second hand-over
        // can never start a second watcher or replace the name under it.
        watcherIdle_.store(false);
        watcher_ = platform::Thread::Start(&PrintDialogWatcher, this);
        if (!watcher_) {
            watcherIdle_.store(true);
        }
        return;
    }
}

void PrintJobHandoff::TearDown() {
    if (tornDown_) {
        return;
    }
    tornDown_ = true;
    stop_.store(true);
    do {
        platform::SleepMilliseconds(kShutdownPollMilliseconds);
    } while (!watcherIdle_.load());
    // The watcher has reported its end; wait for its thread as well, so no
    // code of this library runs once the host unloads it.
    watcher_.Join();
    mutex_.Close();
    ReleasePrinterName();
}

bool PrintJobHandoff::MatchesPrinterName(const char16_t* text) const {
    if (text == nullptr || !printerName_) {
        return false;
    }
    return std::u16string_view(text) == std::u16string_view(printerName_.get());
}

std::u16string_view PrintJobHandoff::PrinterName() const {
    return printerName_ ? std::u16string_view(printerName_.get()) : std::u16string_view();
}

void PrintJobHandoff::ReleasePrinterName() { printerName_.reset(); }

PrintJobHandoff& CreateHandoff() {
    gHandoff = std::make_unique<PrintJobHandoff>();
    return *gHandoff;
}

void TearDownHandoff() { gHandoff.reset(); }

PrintJobHandoff* TheHandoff() { return gHandoff.get(); }

}  // namespace vorelle::printdialog
