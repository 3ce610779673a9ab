// A print-job hand-off and a simulated desktop with a host UI thread, on a
// manual calendar clock and a manual tick, so that the watcher's time limits
// are reached without waiting.
#pragma once

#include <memory>

#include "fmwrapper/host_runtime.h"
#include "functions/result_texts.h"
#include "machine_fixture.h"
#include "printdialog/print_job_handoff.h"
#include "simwin/print_dialog.h"
#include "simwin/ui_thread.h"

namespace vorelle::testing {

inline constexpr std::int32_t kStartSeconds = 1'000'000;

class WatcherTest : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        simwin::WindowManager::Instance().DestroyAll();
        simwin::UseManualClock(kStartSeconds);
        simwin::UseManualTick();
        handoff_ = std::make_unique<printdialog::PrintJobHandoff>();
    }
    void TearDown() override {
        simwin::SetWindowStepHook({});
        // Shutdown never waits on a watcher in its one-second pause.
        simwin::AdvanceClock(1);
        WithinBound("the teardown of the hand-off record", [&] { handoff_.reset(); });
        dialogs_.clear();
        ui_.reset();
        simwin::UseRealClock();
        simwin::UseRealTick();
        MachineTest::TearDown();
    }

    static printdialog::PrintJob Job(std::u16string printer, bool showDialog = false) {
        printdialog::PrintJob job;
        job.printerName = std::move(printer);
        job.showDialog = showDialog;
        return job;
    }

    simwin::PrintDialog& Dialog(std::vector<std::u16string> printers, int selected = 0,
                                simwin::PrintDialogTexts texts = {},
                                simwin::PrintDialogLayout layout = {}) {
        simwin::PrintDialogOptions options;
        options.texts = std::move(texts);
        options.printers = std::move(printers);
        options.selected = selected;
        options.layout = std::move(layout);
        dialogs_.push_back(std::make_unique<simwin::PrintDialog>(*ui_, std::move(options)));
        return *dialogs_.back();
    }

    simwin::PrintDialog& OpenDialog(std::vector<std::u16string> printers, int selected = 0,
                                    simwin::PrintDialogTexts texts = {},
                                    simwin::PrintDialogLayout layout = {}) {
        simwin::PrintDialog& dialog =
            Dialog(std::move(printers), selected, std::move(texts), std::move(layout));
        EXPECT_TRUE(dialog.Open());
        return dialog;
    }

    // A hand-over, which waits for a running watcher to stop. True when it
    // started a watcher.
    bool HandOver(printdialog::PrintJob job) {
        return WithinBound("the hand-over to return", [&] { return handoff_->HandOverJob(std::move(job)); });
    }

    void AwaitWatcherEnd() {
        AwaitOrEnd("the watcher's report of its end", [&] { return handoff_->WatcherIdle(); });
    }

    // What VORL_GetPrintDialogResult gives now, as UTF-8.
    std::string Result() const {
        return fmwrapper::Utf16ToUtf8(functions::PrintDialogResultText(handoff_->Outcome()));
    }

    // The result once the watcher has ended, read all along while it works,
    // as a script may read it while the watcher writes it.
    std::string EndResult() {
        AwaitOrEnd("the watcher's report of its end", [&] {
            (void)Result();
            return handoff_->WatcherIdle();
        });
        return Result();
    }

    // Lets the watcher make many more polls: proof that it has had every
    // chance to act on what the desktop shows now.
    static void LetTheWatcherPoll(std::uint64_t reads = 50) {
        const std::uint64_t start = simwin::TickReads();
        EXPECT_TRUE(Eventually([&] { return simwin::TickReads() >= start + reads; }))
            << "the watcher stopped polling";
    }

    // Waits until the watcher is in its pause before confirming: it then reads
    // the clock without sleeping, thousands of times a second.
    static void WaitForThePause() {
        const std::uint64_t start = simwin::ClockReads();
        EXPECT_TRUE(Eventually([&] { return simwin::ClockReads() >= start + 20'000; }));
    }

    std::unique_ptr<simwin::UiThread> ui_ = std::make_unique<simwin::UiThread>();
    std::vector<std::unique_ptr<simwin::PrintDialog>> dialogs_;
    std::unique_ptr<printdialog::PrintJobHandoff> handoff_;
};

}  // namespace vorelle::testing
