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

namespace vorelle::printdialog {

inline constexpr char16_t kHandoffMutexName[] = u"ChangePrinteMutex";

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

    // Stops a running watcher and starts a new one for `job`. Returns once the
    // new watcher has been started. Host thread only.
    void HandOverJob(PrintJob job);

    // Asks a running watcher to stop, waits until it has ended (polling every
    // 500 ms, at least once) and closes the mutex. Host thread only.
    void TearDown();

    // The watcher's view of the job.
    bool MatchesPrinterName(const char16_t* text) const;
    bool ShowDialog() const { return showDialog_.load(); }
    bool StopRequested() const { return stop_.load(); }
    void SetWatcherIdle(bool idle) { watcherIdle_.store(idle); }

    // State, for the host side and for tests.
    bool WatcherIdle() const { return watcherIdle_.load(); }
    std::u16string_view PrinterName() const;
    std::int32_t Pause() const { return pause_.load(); }
    bool ExtraFlag() const { return extraFlag_.load(); }
    void RequestStop() { stop_.store(true); }

private:
    void ReleasePrinterName();

    std::unique_ptr<char16_t[]> printerName_;
    std::atomic<bool> watcherIdle_{true};
    std::atomic<bool> showDialog_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> extraFlag_{false};
    std::atomic<std::int32_t> pause_{0};
    platform::NamedMutex mutex_;
    platform::Thread watcher_;
    bool tornDown_ = false;
};

// The one record, from start-up to shutdown.
PrintJobHandoff& CreateHandoff();
void TearDownHandoff();  // tears down and frees the record, if there is one
PrintJobHandoff* TheHandoff();

}  // namespace vorelle::printdialog
