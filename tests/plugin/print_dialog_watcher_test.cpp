#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "printdialog/dialog_texts.h"
#include "watcher_fixture.h"

namespace vorelle::printdialog {
namespace {

using simwin::DialogState;
using testing::Eventually;
using testing::kStartSeconds;

class PrintDialogWatcherTest : public testing::WatcherTest {};

const std::vector<std::u16string> kPrinters = {u"Office Laser", u"Invoices", u"Labels"};

TEST_F(PrintDialogWatcherTest, SelectsTheJobsPrinterAndConfirmsAfterThePause) {
    handoff_->HandOverJob(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);

    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    EXPECT_EQ(dialog.NotifiedSelection(), 1);
    // Not confirmed while the seconds count stands still.
    WaitForThePause();
    EXPECT_TRUE(dialog.IsOpen());

    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
    EXPECT_TRUE(WatcherEnds());

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
    handoff_->HandOverJob(Job(u"Labels", true));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(WatcherEnds());
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
        handoff_->HandOverJob(Job(u"Invoices"));
        simwin::PrintDialog& dialog =
            OpenDialog(kPrinters, 2, {language.caption, language.label, language.ok, u"Cancel"});
        ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
        WaitForThePause();
        simwin::AdvanceClock(1);
        EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed)
            << std::string(language.caption.begin(), language.caption.end());
        EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
        ASSERT_TRUE(WatcherEnds());
    }
}

TEST_F(PrintDialogWatcherTest, PrintIsChosenOverStampaWhenBothAreOpen) {
    handoff_->HandOverJob(Job(u"Invoices", true));
    simwin::PrintDialog& italian = Dialog(kPrinters, 0, {u"Stampa", u"&Nome:", u"OK", u"Annulla"});
    simwin::PrintDialog& english = Dialog(kPrinters, 0);
    // Stampa on top of the z-order, and opened first.
    ASSERT_TRUE(english.Open());
    ASSERT_TRUE(italian.Open());
    ASSERT_TRUE(WatcherEnds());
    EXPECT_EQ(english.SelectedPrinter(), u"Invoices");
    EXPECT_EQ(italian.SelectedPrinter(), u"Office Laser");
    EXPECT_TRUE(italian.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, ALetterCaseMismatchSelectsNothingButStillConfirms) {
    handoff_->HandOverJob(Job(u"invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 2);
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Labels");
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
}

TEST_F(PrintDialogWatcherTest, AnEmptyComboBoxGoesStraightToTheButton) {
    handoff_->HandOverJob(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog({}, -1);
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed);
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
}

TEST_F(PrintDialogWatcherTest, ItemsLongerThanTheBufferAreSkippedUnread) {
    const std::u16string huge(5000, u'W');
    const std::u16string longest(1027, u'L');  // just fits with its terminator
    handoff_->HandOverJob(Job(longest, true));
    simwin::PrintDialog& dialog = OpenDialog({huge, std::u16string(1028, u'L'), longest}, 0);
    ASSERT_TRUE(WatcherEnds());
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
    handoff_->HandOverJob(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {}, wineTemplate);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceClock(26);
    ASSERT_TRUE(WatcherEnds());
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_TRUE(dialog.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, OtherWindowsBetweenLabelAndComboBoxAreSteppedOver) {
    simwin::PrintDialogLayout layout;
    layout.betweenLabelAndCombo = {{u"Static", u"Status:", 0, {}, -1},
                                   {u"ComboBox", u"not this one", 0, {u"Invoices"}, -1}};
    handoff_->HandOverJob(Job(u"Invoices", true));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {}, layout);
    ASSERT_TRUE(WatcherEnds());
    EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, ADialogThatOpensTooLateIsNotTouched) {
    handoff_->HandOverJob(Job(u"Invoices"));
    LetTheWatcherPoll();
    simwin::SetClock(kStartSeconds + 20);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle()) << "gave up before 21 seconds";
    simwin::SetClock(kStartSeconds + 21);
    ASSERT_TRUE(WatcherEnds());
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    simwin::AdvanceClock(1);
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
    EXPECT_TRUE(dialog.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, ALabelFoundLateLeavesTheRestOfTwentySixSeconds) {
    handoff_->HandOverJob(Job(u"Invoices"));
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
    EXPECT_TRUE(WatcherEnds());
}

TEST_F(PrintDialogWatcherTest, AClockSetBackKeepsTheSearchGoing) {
    handoff_->HandOverJob(Job(u"Invoices", true));
    LetTheWatcherPoll();
    simwin::SetClock(kStartSeconds - 3600);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(WatcherEnds());
    EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, AMissingButtonEndsTheWatcherAfterItsLimit) {
    simwin::PrintDialogLayout noOk;
    noOk.withOkButton = false;
    handoff_->HandOverJob(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {}, noOk);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    LetTheWatcherPoll();
    simwin::AdvanceClock(3);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceClock(1);
    ASSERT_TRUE(WatcherEnds());
    EXPECT_TRUE(dialog.IsOpen());
}

// --- Stopping --------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, AStopWhileSearchingTouchesNoWindow) {
    handoff_->HandOverJob(Job(u"Invoices"));
    LetTheWatcherPoll();
    handoff_->RequestStop();
    ASSERT_TRUE(WatcherEnds());
    EXPECT_TRUE(Eventually([] { return simwin::CountHandles().runningThreads == 0; }));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    EXPECT_TRUE(dialog.ComboMessages().empty());
    EXPECT_TRUE(dialog.IsOpen());
}

TEST_F(PrintDialogWatcherTest, AStopDuringThePauseDoesNotPreventTheConfirmation) {
    handoff_->HandOverJob(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    handoff_->RequestStop();
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, TwoJobsBeforeThePrintStepOnlyTheSecondIsSelected) {
    handoff_->HandOverJob(Job(u"Labels"));
    LetTheWatcherPoll();
    handoff_->HandOverJob(Job(u"Invoices"));
    EXPECT_EQ(handoff_->PrinterName(), u"Invoices");
    EXPECT_FALSE(handoff_->StopRequested()) << "the new job must start with stop cleared";
    EXPECT_LE(simwin::CountHandles().runningThreads, 1u);

    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
}

TEST_F(PrintDialogWatcherTest, TheNameOfTheLastJobStaysAfterItsWatcherEnded) {
    handoff_->HandOverJob(Job(u"Labels", true));
    OpenDialog(kPrinters, 0);
    ASSERT_TRUE(WatcherEnds());
    EXPECT_EQ(handoff_->PrinterName(), u"Labels");
}

TEST_F(PrintDialogWatcherTest, AWatcherWaitingOnABusyDialogIsWaitedFor) {
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ui_->Hold();  // the host's UI thread stops answering
    handoff_->HandOverJob(Job(u"Invoices", true));
    ASSERT_TRUE(Eventually([&] { return ui_->Pending() > 0; }));
    handoff_->RequestStop();
    EXPECT_FALSE(handoff_->WatcherIdle());
    ui_->Resume();
    ASSERT_TRUE(WatcherEnds());
    // The stop came while the watcher waited inside the selection, where stop
    // is not looked at: the selection is finished, then the watcher ends.
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
}

// --- The mutex ---------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, AHandOverWaitsWhileAnotherProcessHoldsTheMutex) {
    simwin::MutexHeldElsewhere other(kHandoffMutexName);
    std::atomic<bool> handedOver{false};
    std::thread host([&] {
        handoff_->HandOverJob(Job(u"Invoices", true));
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
    handoff_->HandOverJob(Job(u"Invoices", true));
    EXPECT_EQ(handoff_->PrinterName(), u"Invoices");
    EXPECT_FALSE(simwin::NamedMutexOwned(kHandoffMutexName));
}

// --- Teardown ------------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, TeardownWithNoWatcherSleepsOnce) {
    const auto start = std::chrono::steady_clock::now();
    handoff_->TearDown();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(500));
    EXPECT_LT(elapsed, std::chrono::seconds(30));
    EXPECT_FALSE(simwin::NamedMutexExists(kHandoffMutexName));
}

TEST_F(PrintDialogWatcherTest, TeardownStopsASearchingWatcherAndWaitsForItsThread) {
    handoff_->HandOverJob(Job(u"Invoices"));
    LetTheWatcherPoll();
    handoff_->TearDown();
    EXPECT_TRUE(handoff_->WatcherIdle());
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    EXPECT_TRUE(handoff_->PrinterName().empty());
}

}  // namespace
}  // namespace vorelle::printdialog
