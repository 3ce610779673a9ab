// The record through which the host thread hands a print job to the
// print-dialog watcher thread, and the named mutex that lets one hand-over
// proceed at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/threads.h"
#include "printdialog/print_dialog_outcome.h"

namespace vorelle::printdialog {

inline constexpr char16_t kHandoffMutexName[] = u"ChangePrinteMutex";

// The longest the host's thread waits for a running watcher to end, at a
// hand-over (on the tick) and at shutdown (in 500 ms polls). A watcher that was
// asked to stop ends within about six seconds: one message the dialog's thread
// has five seconds to answer, and the pause before confirming (at most one).
inline constexpr std::uint32_t kWatcherEndMilliseconds = 8'000;
inline constexpr int kShutdownPolls = 16;
// The longest a hand-over waits for the mutex (on the tick, in attempts of at
// most one second). A hand-over holds it for a few milliseconds: one held
// longer is held by a process that hangs, is stopped in a debugger, or uses
// the name for something else.
inline constexpr std::uint32_t kMutexWaitMilliseconds = 5'000;

// What VORL_ChangePrinter asks of the next Print dialog.
struct PrintJob {
    std::u16string printerName;
    bool showDialog = false;  // select only; leave the dialog to the user
    std::int32_t pause = 0;   // kept with the job; nothing acts on it
    bool extraFlag = false;   // kept with the job; nothing acts on it
};

class PrintJobHandoff {
public:
    PrintJobHandoff();  // no job, no watcher, the mutex created or opened
    ~PrintJobHandoff();  // TearDown()
    PrintJobHandoff(const PrintJobHandoff&) = delete;
    PrintJobHandoff& operator=(const PrintJobHandoff&) = delete;

    // Ends a running watcher (EndWatcher) and starts a new one for `job`.
    // Returns once the new watcher has been started: true. False when none
    // was, for one of three reasons: a running watcher did not end, the mutex
    // stayed held elsewhere for kMutexWaitMilliseconds (traced), or the thread
    // did not start (the record is idle again). Host thread only.
    // The job's outcome is Waiting from the start of its watcher, NoWatcher
    // when none was started.
    bool HandOverJob(PrintJob job);

    // Asks a running watcher to stop and waits until it has reported its end,
    // at most kWatcherEndMilliseconds on the tick, then at most a second for
    // its thread. True when no watcher runs (none ran, or it ended); false
    // when it still runs. From the stop on, a watcher sends its dialog nothing
    // more than the message it may be waiting on. Takes no mutex: the watcher
    // is this process's own, and the mutex only keeps hand-overs of different
    // processes apart, so another process holding it must not hold this up.
    // Host thread only.
    bool EndWatcher();

    // Asks a running watcher to stop, waits until it has ended (polling every
    // 500 ms, at least once, at most kShutdownPolls times) and closes the
    // mutex. True when the watcher has ended; false when it still ran at the
    // end of the wait and the record must not be freed. Host thread only.
    bool TearDown();

    // What may run at unload without a shutdown: asks a running watcher to
    // stop and lets go of its thread and the mutex, without waiting for
    // anything. The record is then torn down.
    void Abandon() noexcept;

    // The watcher's view of the job. The name matches without regard to
    // letter case, as Windows compares printer names.
    bool MatchesPrinterName(const char16_t* text) const;
    bool ShowDialog() const { return showDialog_.load(); }
    bool StopRequested() const { return stop_.load(); }
    void SetWatcherIdle(bool idle) { watcherIdle_.store(idle); }
    // The running watcher's one report of how its job ended, made before it
    // marks itself idle. Dropped when a later hand-over has taken the outcome
    // over (one that gave up on this watcher).
    void ReportOutcome(PrintDialogOutcome outcome);

    // State, for the host side and for tests.
    bool WatcherIdle() const { return watcherIdle_.load(); }
    std::u16string_view PrinterName() const;
    std::int32_t Pause() const { return pause_.load(); }
    bool ExtraFlag() const { return extraFlag_.load(); }
    void RequestStop() { stop_.store(true); }
    // The outcome of the last job handed over, from any thread, without the mutex.
    PrintDialogOutcome Outcome() const;

private:
    enum class MutexWait { Held, HeldElsewhere };
    MutexWait WaitForMutex() const;
    bool TryHandOverJob(PrintJob job);
    void ReleasePrinterName();

    std::unique_ptr<char16_t[]> printerName_;
    std::atomic<bool> watcherIdle_{true};
    std::atomic<bool> showDialog_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> extraFlag_{false};
    std::atomic<std::int32_t> pause_{0};
    // The job's number (counting hand-overs, wrapping) above its outcome in
    // the low byte: a watcher reports only on its own job's number.
    std::atomic<std::uint32_t> outcome_{0};
    std::uint32_t jobs_ = 0;        // host thread only
    std::uint32_t watcherJob_ = 0;  // set before the watcher starts, read by it
    platform::NamedMutex mutex_;
    platform::Thread watcher_;
    bool tornDown_ = false;
};

// The one record, from start-up to shutdown.
PrintJobHandoff& CreateHandoff();
// Tears down and frees the record, if there is one. A watcher that does not
// end in time keeps the record it uses; it is let go and never freed.
void TearDownHandoff();
// The record's end when the library is unloaded without a shutdown (never at
// process exit, when nothing of the library runs): abandons it
// (PrintJobHandoff::Abandon) without waiting for anything, and frees it when
// no watcher can touch it any more; a running watcher keeps it, never freed.
// Also the end of a start-up that failed after creating it.
void AbandonHandoff() noexcept;
PrintJobHandoff* TheHandoff();

}  // namespace vorelle::printdialog
