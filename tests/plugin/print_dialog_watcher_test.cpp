#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "printdialog/dialog_texts.h"
#include "watcher_fixture.h"

namespace vorelle::printdialog {
namespace {

using simwin::DialogState;
using testing::Eventually;
using testing::kStartSeconds;
using testing::kWaitBound;
using testing::WithinBound;

class PrintDialogWatcherTest : public testing::WatcherTest {};

const std::vector<std::u16string> kPrinters = {u"Office Laser", u"Invoices", u"Labels"};

TEST_F(PrintDialogWatcherTest, SelectsTheJobsPrinterAndConfirmsAfterThePause) {
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);

    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    EXPECT_EQ(dialog.NotifiedSelection(), 1);
    // Not confirmed while the seconds count stands still.
    WaitForThePause();
    EXPECT_TRUE(dialog.IsOpen());

    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
    AwaitWatcherEnd();

    // What the dialog was told, in order: the selection change from its
    // combo box, then OK from its button.
    std::vector<simwin::Message> commands;
    for (const simwin::Message& m : dialog.DialogMessages()) {
        if (m.message == simwin::kWmCommand) {
            commands.push_back(m);
        }
    }
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wParam, 0x10473u);
    EXPECT_EQ(commands[1].wParam, 1u);
    EXPECT_NE(commands[0].lParam, 0);
    EXPECT_NE(commands[1].lParam, 0);
    EXPECT_NE(commands[0].lParam, commands[1].lParam);
}

TEST_F(PrintDialogWatcherTest, ShowDialogSelectsAndLeavesTheDialogToTheUser) {
    HandOver(Job(u"Labels", true));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    AwaitWatcherEnd();
    EXPECT_EQ(dialog.SelectedPrinter(), u"Labels");
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
    EXPECT_EQ(dialog.State(), DialogState::Open);
}

TEST_F(PrintDialogWatcherTest, EveryLanguageOfTheTables) {
    struct Language {
        std::u16string caption, label, ok;
    };
    const Language languages[] = {
        {u"Print", u"&Name:", u"OK"},        {u"Skriv ut", u"&Namn:", u"OK"},
        {u"Afdrukken", u"&Naam:", u"OK"},    {u"Imprimer", u"&Nom :", u"OK"},
        {u"Drucken", u"&Name:", u"OK"},      {u"Stampa", u"&Nome:", u"OK"},
        {u"Imprimir", u"Nom&bre:", u"Aceptar"}, {u"Druk af", u"&Naam:", u"OK"},
    };
    for (const Language& language : languages) {
        HandOver(Job(u"Invoices"));
        simwin::PrintDialog& dialog =
            OpenDialog(kPrinters, 2, {language.caption, language.label, language.ok, u"Cancel"});
        ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
        WaitForThePause();
        simwin::AdvanceClock(1);
        EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed)
            << std::string(language.caption.begin(), language.caption.end());
        EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
        AwaitWatcherEnd();
    }
}

TEST_F(PrintDialogWatcherTest, PrintIsChosenOverStampaWhenBothAreOpen) {
    HandOver(Job(u"Invoices", true));
    simwin::PrintDialog& italian = Dialog(kPrinters, 0, {u"Stampa", u"&Nome:", u"OK", u"Annulla"});
    simwin::PrintDialog& english = Dialog(kPrinters, 0);
    // Stampa on top of the z-order, and opened first.
    ASSERT_TRUE(english.Open());
    ASSERT_TRUE(italian.Open());
    AwaitWatcherEnd();
    EXPECT_EQ(english.SelectedPrinter(), u"Invoices");
    EXPECT_EQ(italian.SelectedPrinter(), u"Office Laser");
    EXPECT_TRUE(italian.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, ALetterCaseMismatchSelectsNothingButStillConfirms) {
    HandOver(Job(u"invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 2);
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Labels");
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
}

TEST_F(PrintDialogWatcherTest, AnEmptyComboBoxGoesStraightToTheButton) {
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog({}, -1);
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
}

TEST_F(PrintDialogWatcherTest, ItemsLongerThanTheBufferAreSkippedUnread) {
    const std::u16string huge(5000, u'W');
    const std::u16string longest(1027, u'L');  // just fits with its terminator
    HandOver(Job(longest, true));
    simwin::PrintDialog& dialog = OpenDialog({huge, std::u16string(1028, u'L'), longest}, 0);
    AwaitWatcherEnd();
    EXPECT_EQ(dialog.SelectedIndex(), 2);
    for (const simwin::Message& m : dialog.ComboMessages()) {
        if (m.message == simwin::kCbGetLbText) {
            EXPECT_EQ(m.wParam, 2u) << "an over-long item was copied";
        }
    }
}

TEST_F(PrintDialogWatcherTest, AComboBoxBeforeItsLabelIsNeverFound) {
    simwin::PrintDialogLayout wineTemplate;
    wineTemplate.comboBeforeLabel = true;
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {}, wineTemplate);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceClock(26);
    AwaitWatcherEnd();
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_TRUE(dialog.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, OtherWindowsBetweenLabelAndComboBoxAreSteppedOver) {
    simwin::PrintDialogLayout layout;
    layout.betweenLabelAndCombo = {{u"Static", u"Status:", 0, {}, -1},
                                   {u"ComboBox", u"not this one", 0, {u"Invoices"}, -1}};
    HandOver(Job(u"Invoices", true));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {}, layout);
    AwaitWatcherEnd();
    EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, ADialogThatOpensTooLateIsNotTouched) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    simwin::SetClock(kStartSeconds + 20);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle()) << "gave up before 21 seconds";
    simwin::SetClock(kStartSeconds + 21);
    AwaitWatcherEnd();
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    simwin::AdvanceClock(1);
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
    EXPECT_TRUE(dialog.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, ALabelFoundLateLeavesTheRestOfTwentySixSeconds) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();  // it has taken its start time
    simwin::SetClock(kStartSeconds + 20);
    // A dialog with its label but, for now, no combo box.
    simwin::DialogWindow early = simwin::DialogWindow::Create(
        ui_.get(), u"Print", {{u"Static", u"&Name:", 0, {}, -1}});
    LetTheWatcherPoll();
    simwin::SetClock(kStartSeconds + 25);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::SetClock(kStartSeconds + 26);
    AwaitWatcherEnd();
}

TEST_F(PrintDialogWatcherTest, AClockSetBackKeepsTheSearchGoing) {
    HandOver(Job(u"Invoices", true));
    LetTheWatcherPoll();
    simwin::SetClock(kStartSeconds - 3600);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    AwaitWatcherEnd();
    EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, AMissingButtonEndsTheWatcherAfterItsLimit) {
    simwin::PrintDialogLayout noOk;
    noOk.withOkButton = false;
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {}, noOk);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    LetTheWatcherPoll();
    simwin::AdvanceClock(3);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceClock(1);
    AwaitWatcherEnd();
    EXPECT_TRUE(dialog.IsOpen());
}

// --- Stopping --------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, AStopWhileSearchingTouchesNoWindow) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    handoff_->RequestStop();
    AwaitWatcherEnd();
    EXPECT_TRUE(Eventually([] { return simwin::CountHandles().runningThreads == 0; }));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    EXPECT_TRUE(dialog.ComboMessages().empty());
    EXPECT_TRUE(dialog.IsOpen());
}

TEST_F(PrintDialogWatcherTest, AStopAtAnyStepAfterTheSearchSendsTheDialogNothingMore) {
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    const auto messages = [&] { return dialog.DialogMessages().size() + dialog.ComboMessages().size(); };
    struct Step {
        const char* name;
        std::function<bool(const simwin::WindowStep&)> at;
    };
    const Step steps[] = {
        {"the dialog found", [&](const simwin::WindowStep& s) { return s.window == dialog.Window(); }},
        {"its label found", [&](const simwin::WindowStep& s) { return s.window == dialog.Label(); }},
        {"its combo box found", [&](const simwin::WindowStep& s) { return s.window == dialog.Combo(); }},
        {"the selection told, before the pause",
         [&](const simwin::WindowStep& s) { return s.message == simwin::kWmCommand; }},
    };
    for (const Step& step : steps) {
        std::atomic<std::size_t> atStop{0};
        simwin::SetWindowStepHook([&](const simwin::WindowStep& s) {
            if (step.at(s) && !handoff_->StopRequested()) {
                atStop = messages();
                handoff_->RequestStop();
            }
        });
        HandOver(Job(u"Invoices"));
        AwaitWatcherEnd();
        simwin::SetWindowStepHook({});
        ASSERT_TRUE(handoff_->StopRequested()) << "no stop at " << step.name;
        simwin::AdvanceClock(1);  // a watcher in its pause would confirm now
        ui_->Invoke([] {});       // and a confirmation sent would have arrived
        EXPECT_EQ(messages(), atStop.load()) << "the dialog got a message after a stop at " << step.name;
        EXPECT_TRUE(dialog.IsOpen()) << step.name;
    }
}

TEST_F(PrintDialogWatcherTest, AWatcherThatEndsBeforeItsHandOverReturnsLeavesTheRecordIdle) {
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    simwin::RunNewThreadsToTheirEnd(true);
    HandOver(Job(u"Invoices", true));  // selects, leaves the dialog open, ends
    simwin::RunNewThreadsToTheirEnd(false);
    ASSERT_EQ(dialog.SelectedPrinter(), u"Invoices") << "the watcher did not run within the hand-over";
    EXPECT_TRUE(handoff_->WatcherIdle()) << "the record shows a watcher that has ended as busy";
    // The next hand-over and the teardown (the fixture's) do not wait on it.
    HandOver(Job(u"Labels", true));
    AwaitWatcherEnd();
    EXPECT_EQ(dialog.SelectedPrinter(), u"Labels");
}

TEST_F(PrintDialogWatcherTest, AStopDuringThePauseDoesNotPreventTheConfirmation) {
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    handoff_->RequestStop();
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, TwoJobsBeforeThePrintStepOnlyTheSecondIsSelected) {
    HandOver(Job(u"Labels"));
    LetTheWatcherPoll();
    HandOver(Job(u"Invoices"));
    EXPECT_EQ(handoff_->PrinterName(), u"Invoices");
    EXPECT_FALSE(handoff_->StopRequested()) << "the new job must start with stop cleared";
    EXPECT_LE(simwin::CountHandles().runningThreads, 1u);

    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
}

TEST_F(PrintDialogWatcherTest, TheNameOfTheLastJobStaysAfterItsWatcherEnded) {
    HandOver(Job(u"Labels", true));
    OpenDialog(kPrinters, 0);
    AwaitWatcherEnd();
    EXPECT_EQ(handoff_->PrinterName(), u"Labels");
}

TEST_F(PrintDialogWatcherTest, AWatcherWaitingOnABusyDialogIsWaitedFor) {
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ui_->Hold();  // the host's UI thread stops answering
    HandOver(Job(u"Invoices", true));
    ASSERT_TRUE(Eventually([&] { return ui_->Pending() > 0; }));
    handoff_->RequestStop();
    EXPECT_FALSE(handoff_->WatcherIdle());
    ui_->Resume();
    AwaitWatcherEnd();
    // The stop came while the watcher waited inside the selection, where stop
    // is not looked at: the selection is finished, then the watcher ends.
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
}

// --- The mutex ---------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, AHandOverWaitsWhileAnotherProcessHoldsTheMutex) {
    simwin::MutexHeldElsewhere other(kHandoffMutexName);
    std::atomic<bool> handedOver{false};
    std::thread host([&] {
        HandOver(Job(u"Invoices", true));
        handedOver = true;
    });
    // At least one full 1000 ms attempt passes while the mutex is held.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_FALSE(handedOver.load());
    other.Release();
    EXPECT_TRUE(Eventually([&] { return handedOver.load(); }));
    host.join();
    EXPECT_FALSE(simwin::NamedMutexOwned(kHandoffMutexName));
}

TEST_F(PrintDialogWatcherTest, AnAbandonedMutexStillLetsTheHandOverThrough) {
    {
        simwin::MutexHeldElsewhere other(kHandoffMutexName);
        other.Abandon();
    }
    HandOver(Job(u"Invoices", true));
    EXPECT_EQ(handoff_->PrinterName(), u"Invoices");
    EXPECT_FALSE(simwin::NamedMutexOwned(kHandoffMutexName));
}

// --- Teardown ------------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, TeardownWithNoWatcherSleepsOnce) {
    const auto start = std::chrono::steady_clock::now();
    WithinBound("the teardown", [&] { handoff_->TearDown(); });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(500));
    EXPECT_FALSE(simwin::NamedMutexExists(kHandoffMutexName));
}

TEST_F(PrintDialogWatcherTest, TeardownStopsASearchingWatcherAndWaitsForItsThread) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    WithinBound("the teardown", [&] { handoff_->TearDown(); });
    EXPECT_TRUE(handoff_->WatcherIdle());
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    EXPECT_TRUE(handoff_->PrinterName().empty());
}

}  // namespace
}  // namespace vorelle::printdialog
