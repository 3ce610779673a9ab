#include "printdialog/print_job_handoff.h"

#include <algorithm>
#include <utility>

#include "platform/process_memory.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "printdialog/print_dialog_watcher.h"

namespace vorelle::printdialog {

namespace {
constexpr std::uint32_t kMutexAttemptMilliseconds = 1000;
constexpr std::uint32_t kShutdownPollMilliseconds = 500;
// How long an ended watcher's thread may take to finish ending.
constexpr std::uint32_t kThreadEndMilliseconds = 1000;
// The trace of a hand-over that gave up on the mutex: WAIT_TIMEOUT.
constexpr std::u16string_view kMutexHeldElsewhereCall = u"WaitForSingleObject (hand-over mutex held elsewhere)";
constexpr std::uint32_t kWaitTimeout = 258;

// A record whose watcher has not ended (at shutdown, or at unload): never
// freed, as that watcher may still read it.
void KeepForAWatcher(PrintJobHandoff* record) { platform::KeepForProcessLifetime(record); }

// The module-wide record, from start-up to shutdown: a plain pointer, so that
// nothing of it runs at process exit.
PrintJobHandoff* gHandoff = nullptr;

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

// The outcome record: a job's number above its outcome.
constexpr std::uint32_t OutcomeRecord(std::uint32_t job, PrintDialogOutcome outcome) {
    return (job << 8) | static_cast<std::uint32_t>(outcome);
}

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

PrintJobHandoff::~PrintJobHandoff() {
    if (!TearDown()) {
        Abandon();
    }
}

bool PrintJobHandoff::EndWatcher() {
    if (!watcherIdle_.load()) {
        stop_.store(true);
        const std::uint32_t stopAsked = platform::TickMilliseconds();
        // The watcher looks at the stop before each of its messages: this
        // lasts until its next look, except in its pause before confirming (0 to 1
        // second) or while a message waits on its dialog's answer.
        while (!watcherIdle_.load()) {
            if (platform::MillisecondsSince(stopAsked) > kWatcherEndMilliseconds) {
                return false;
            }
        }
    }
    // The watcher has reported its end; its thread is about to finish. Its
    // code stays loaded until it has: a thread that takes longer is let go
    // rather than waited for.
    if (!watcher_.JoinFor(kThreadEndMilliseconds)) {
        watcher_.Detach();
    }
    return true;
}

PrintJobHandoff::MutexWait PrintJobHandoff::WaitForMutex() const {
    const std::uint32_t start = platform::TickMilliseconds();
    for (;;) {
        // A failed wait (no mutex at all) counts as holding it: the hand-over
        // then runs without exclusion rather than not at all.
        const std::uint32_t waited = platform::MillisecondsSince(start);
        const std::uint32_t attempt =
            waited <= kMutexWaitMilliseconds
                ? std::min(kMutexAttemptMilliseconds, kMutexWaitMilliseconds + 1 - waited)
                : 0;
        if (mutex_.Wait(attempt) != platform::WaitResult::TimedOut) {
            return MutexWait::Held;
        }
        if (platform::MillisecondsSince(start) > kMutexWaitMilliseconds) {
            platform::TraceFailure(kMutexHeldElsewhereCall, kWaitTimeout);
            return MutexWait::HeldElsewhere;
        }
    }
}

bool PrintJobHandoff::HandOverJob(PrintJob job) {
    if (!TryHandOverJob(std::move(job))) {
        // Every hand-over that started no watcher; a watcher given up on
        // reports on its own job only, never over this one.
        outcome_.store(OutcomeRecord(++jobs_, PrintDialogOutcome::NoWatcher));
        return false;
    }
    return true;
}

bool PrintJobHandoff::TryHandOverJob(PrintJob job) {
    // Allocated before the mutex is taken, so nothing below can fail while
    // it is held.
    std::unique_ptr<char16_t[]> name = CopyName(job.printerName);
    if (!EndWatcher()) {
        // No watcher: the running one did not end, and no second one is
        // started beside it.
        return false;
    }
    if (WaitForMutex() == MutexWait::HeldElsewhere) {
        // No watcher: another process keeps the mutex.
        return false;
    }
    const MutexRelease release(mutex_);
    pause_.store(job.pause);
    printerName_ = std::move(name);
    extraFlag_.store(job.extraFlag);
    showDialog_.store(job.showDialog);
    stop_.store(false);
    watcherJob_ = ++jobs_;
    outcome_.store(OutcomeRecord(watcherJob_, PrintDialogOutcome::Waiting));
    // Busy from this moment, before the thread runs: a second hand-over
    // can never start a second watcher or replace the name under it.
    watcherIdle_.store(false);
    // Idle again however the start fails, by an empty thread or a throw.
    try {
        watcher_ = platform::Thread::Start(&PrintDialogWatcher, this);
    } catch (...) {
        watcher_ = platform::Thread();
    }
    if (!watcher_) {
        // No watcher: the thread did not start.
        watcherIdle_.store(true);
        return false;
    }
    return true;
}

bool PrintJobHandoff::TearDown() {
    if (tornDown_) {
        return true;
    }
    stop_.store(true);
    int polls = 0;
    do {
        platform::SleepMilliseconds(kShutdownPollMilliseconds);
        ++polls;
    } while (!watcherIdle_.load() && polls < kShutdownPolls);
    if (!watcherIdle_.load()) {
        return false;
    }
    tornDown_ = true;
    // The watcher has reported its end; its thread holds its own reference
    // to this library until its last act, so it is not waited for longer.
    if (!watcher_.JoinFor(kThreadEndMilliseconds)) {
        watcher_.Detach();
    }
    mutex_.Close();
    ReleasePrinterName();
    return true;
}

void PrintJobHandoff::Abandon() noexcept {
    tornDown_ = true;
    stop_.store(true);
    watcher_.Detach();
    mutex_.Close();
}

void PrintJobHandoff::ReportOutcome(PrintDialogOutcome outcome) {
    std::uint32_t waiting = OutcomeRecord(watcherJob_, PrintDialogOutcome::Waiting);
    (void)outcome_.compare_exchange_strong(waiting, OutcomeRecord(watcherJob_, outcome));
}

PrintDialogOutcome PrintJobHandoff::Outcome() const {
    return static_cast<PrintDialogOutcome>(outcome_.load() & 0xFFu);
}

bool PrintJobHandoff::MatchesPrinterName(const char16_t* text) const {
    if (text == nullptr || !printerName_) {
        return false;
    }
    // As the spooler and the registry treat printer names: without regard to
    // letter case.
    return platform::EqualIgnoringCase(std::u16string_view(text), std::u16string_view(printerName_.get()));
}

std::u16string_view PrintJobHandoff::PrinterName() const {
    return printerName_ ? std::u16string_view(printerName_.get()) : std::u16string_view();
}

void PrintJobHandoff::ReleasePrinterName() { printerName_.reset(); }

PrintJobHandoff& CreateHandoff() {
    auto record = std::make_unique<PrintJobHandoff>();
    TearDownHandoff();
    gHandoff = record.release();
    return *gHandoff;
}

void TearDownHandoff() {
    PrintJobHandoff* record = std::exchange(gHandoff, nullptr);
    if (record == nullptr) {
        return;
    }
    if (record->TearDown()) {
        delete record;
        return;
    }
    record->Abandon();
    KeepForAWatcher(record);
}

void AbandonHandoff() noexcept {
    PrintJobHandoff* record = std::exchange(gHandoff, nullptr);
    if (record == nullptr) {
        return;
    }
    record->Abandon();
    if (record->WatcherIdle()) {
        delete record;
    } else {
        KeepForAWatcher(record);
    }
}

PrintJobHandoff* TheHandoff() { return gHandoff; }

}  // namespace vorelle::printdialog
