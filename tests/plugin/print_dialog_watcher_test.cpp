#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <tuple>

#include "fmwrapper/host_runtime.h"
#include "printdialog/dialog_texts.h"
#include "sim_platform/failure_trace.h"
#include "simwin/kernel.h"
#include "simwin/other_process.h"
#include "watcher_fixture.h"

namespace vorelle::printdialog {
namespace {

using simwin::DialogState;
using testing::AwaitOrEnd;
using testing::Eventually;
using testing::kStartSeconds;
using testing::kWaitBound;
using testing::WithinBound;

class PrintDialogWatcherTest : public testing::WatcherTest {
protected:
    // The watcher selects and confirms `printer` in the open dialog.
    static void ExpectConfirmed(simwin::PrintDialog& dialog, const std::u16string& printer, const std::string& what) {
        ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; })) << what << ": not selected";
        EXPECT_EQ(dialog.NotifiedSelection(), dialog.SelectedIndex()) << what;
        WaitForThePause();
        simwin::AdvanceClock(1);
        EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed) << what;
        EXPECT_EQ(dialog.ConfirmedPrinter(), printer) << what;
    }
};

const std::vector<std::u16string> kPrinters = {u"Office Laser", u"Invoices", u"Labels"};

TEST_F(PrintDialogWatcherTest, SelectsTheJobsPrinterAndConfirmsAfterThePause) {
    EXPECT_EQ(Result(), "none");
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
    EXPECT_EQ(EndResult(), "confirmed");

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
    EXPECT_EQ(EndResult(), "selected");
    EXPECT_EQ(dialog.SelectedPrinter(), u"Labels");
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
    EXPECT_EQ(dialog.State(), DialogState::Open);
}

// Print dialogs in languages outside the tables: Japanese ("Print", "Name
// (&N):", OK, Cancel) and Russian, whose OK is written in Cyrillic letters.
const simwin::PrintDialogTexts kJapanese = {u"\u5370\u5237", u"\u540D\u524D(&N):", u"OK",
                                            u"\u30AD\u30E3\u30F3\u30BB\u30EB"};
const simwin::PrintDialogTexts kRussian = {u"\u041F\u0435\u0447\u0430\u0442\u044C", u"&\u0418\u043C\u044F:",
                                           u"\u041E\u041A", u"\u041E\u0442\u043C\u0435\u043D\u0430"};

TEST_F(PrintDialogWatcherTest, EveryLanguageOfTheTablesAndOutsideThemInEitherOrder) {
    // The tables' captions, labels and buttons; then texts no table holds,
    // and the printer box before its label as Wine's own template has it:
    // such a dialog is the host's with cmb4 and IDOK, its box cmb4, its
    // button IDOK. One such dialog is met by many passes before its
    // controls exist, and is still taken once they do.
    struct Case {
        simwin::PrintDialogTexts texts;
        bool comboBeforeLabel = false;
        std::chrono::milliseconds childrenAfter{0};
    };
    const Case cases[] = {
        {{u"Print", u"&Name:", u"OK", u"Cancel"}},        {{u"Skriv ut", u"&Namn:", u"OK", u"Cancel"}},
        {{u"Afdrukken", u"&Naam:", u"OK", u"Cancel"}},    {{u"Imprimer", u"&Nom :", u"OK", u"Cancel"}},
        {{u"Drucken", u"&Name:", u"OK", u"Cancel"}},      {{u"Stampa", u"&Nome:", u"OK", u"Cancel"}},
        {{u"Imprimir", u"Nom&bre:", u"Aceptar", u"Cancel"}}, {{u"Druk af", u"&Naam:", u"OK", u"Cancel"}},
        {kJapanese},
        {kJapanese, true},
        {kRussian},
        {kRussian, false, std::chrono::milliseconds(200)},
        {{}, true},
    };
    for (const Case& c : cases) {
        simwin::PrintDialogLayout layout;
        layout.comboBeforeLabel = c.comboBeforeLabel;
        layout.childrenAfter = c.childrenAfter;
        HandOver(Job(u"INVOICES"));
        ExpectConfirmed(OpenDialog(kPrinters, 2, c.texts, layout), u"Invoices",
                        fmwrapper::Utf16ToUtf8(c.texts.caption) + (c.comboBeforeLabel ? ", box first" : "") +
                            (c.childrenAfter.count() > 0 ? ", controls after the window" : ""));
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

// Whether the dialog was told anything but the selection: its OK.
bool ToldOk(const simwin::PrintDialog& dialog) {
    for (const simwin::Message& m : dialog.DialogMessages()) {
        if (m.message == simwin::kWmCommand && m.wParam != simwin::kPrinterSelChange) {
            return true;
        }
    }
    return false;
}

TEST_F(PrintDialogWatcherTest, NamesMatchWithoutRegardToCaseAndNoMatchLeavesTheDialogToTheUser) {
    const std::vector<std::u16string> printers = {u"Office Laser", u"Invoices", u"Drucker B\u00FCro"};
    // In other letter case, ASCII and beyond, the name selects its printer,
    // as the spooler and the registry take it; the first item too.
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"invoices", u"Invoices"}, {u"DRUCKER B\u00DCRO", u"Drucker B\u00FCro"}, {u"office LASER", u"Office Laser"}};
    for (const auto& [asked, listed] : cases) {
        HandOver(Job(asked));
        ExpectConfirmed(OpenDialog(printers, 1), listed, fmwrapper::Utf16ToUtf8(asked));
        AwaitWatcherEnd();
    }
    // Names that begin other names, in both directions, and an empty item:
    // only the whole name selects, in any letter case.
    const std::vector<std::u16string> prefixes = {u"", u"Office", u"Office Laser 2", u"Office Laser"};
    const std::tuple<std::u16string, int, std::string> whole[] = {
        {u"office laser", 3, "selected"}, {u"OFFICE", 1, "selected"}, {u"Office Lase", -1, "not listed"}};
    for (const auto& [asked, index, result] : whole) {
        HandOver(Job(asked, true));
        simwin::PrintDialog& dialog = OpenDialog(prefixes, -1);
        EXPECT_EQ(EndResult(), result);
        EXPECT_EQ(dialog.SelectedIndex(), index) << std::string(asked.begin(), asked.end());
        EXPECT_EQ(dialog.SelectionChangeCount(), index < 0 ? 0u : 1u);
        dialog.Cancel();
    }
    // A name no item matches, or a combo box with no items: nothing is
    // selected, and the dialog is left to the user, never confirmed with a
    // printer the script did not ask for.
    for (const std::vector<std::u16string>& listed : {printers, std::vector<std::u16string>{}}) {
        HandOver(Job(u"Nowhere"));
        simwin::PrintDialog& dialog = OpenDialog(listed, listed.empty() ? -1 : 2);
        EXPECT_EQ(EndResult(), "not listed");
        simwin::AdvanceClock(2);
        simwin::AdvanceTick(5'000);
        EXPECT_TRUE(dialog.IsOpen());
        EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
        EXPECT_FALSE(ToldOk(dialog)) << "confirmed a printer nobody asked for";
        dialog.Cancel();
    }
}

TEST_F(PrintDialogWatcherTest, CaptionsLabelsAndButtonsAreFoundInAnyLetterCase) {
    // As FindWindowExW finds them.
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0, {u"PRINT", u"&nAME:", u"ok", u"Cancel"});
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, AnotherProcesssPrintDialogIsLeftAloneAndTheHostsOwnStillConfirmed) {
    simwin::OtherProcessUi other;
    simwin::PrintDialogOptions options;
    options.printers = kPrinters;
    options.selected = 0;
    simwin::PrintDialog theirs(other.Thread(), options);
    // Another program opens its Print dialog while the watcher searches.
    HandOver(Job(u"Invoices"));
    ASSERT_TRUE(theirs.Open());
    LetTheWatcherPoll();
    simwin::PrintDialog& ours = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return ours.SelectionChangeCount() == 1; }));
    WaitForThePause();
    simwin::AdvanceClock(1);
    EXPECT_EQ(ours.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    EXPECT_EQ(ours.ConfirmedPrinter(), u"Invoices");
    AwaitWatcherEnd();

    // The host's dialog below the other program's in the z-order: stepped
    // over to, the other one never touched.
    simwin::PrintDialog& below = OpenDialog(kPrinters, 0);
    simwin::PrintDialog above(other.Thread(), options);
    ASSERT_TRUE(above.Open());
    HandOver(Job(u"Labels", true));
    AwaitWatcherEnd();
    EXPECT_EQ(below.SelectedPrinter(), u"Labels");
    for (const simwin::PrintDialog* foreign : {&theirs, &above}) {
        EXPECT_TRUE(foreign->ComboMessages().empty());
        EXPECT_TRUE(foreign->IsOpen());
    }
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

TEST_F(PrintDialogWatcherTest, OnlyTheHostsPrintDialogIsTakenByItsStructure) {
    // While the job waits: the host's Print Setup dialog (printer box cmb1,
    // no cmb4), another dialog of the host's with a combo box of another id
    // and OK, and another program's Print dialog laid out as the host's.
    simwin::DialogWindow sort = simwin::DialogWindow::Create(
        ui_.get(), u"Sort", {{u"ComboBox", u"", 1000, kPrinters, 0}, {u"Button", u"OK", simwin::kIdOk, {}, -1}});
    simwin::PrintDialogLayout setupLayout;
    setupLayout.kind = simwin::PrintDialogKind::PrintSetup;
    simwin::PrintDialog& setup = OpenDialog(kPrinters, 0, {u"Print Setup", u"&Name:", u"OK", u"Cancel"}, setupLayout);
    simwin::OtherProcessUi other;
    simwin::PrintDialogOptions theirsOptions;
    theirsOptions.texts = kJapanese;
    theirsOptions.printers = kPrinters;
    simwin::PrintDialog theirs(other.Thread(), theirsOptions);
    ASSERT_TRUE(theirs.Open());
    std::vector<simwin::Hwnd> untouchable = {setup.Window(), setup.Combo(), sort.Window(), theirs.Window(),
                                             theirs.Combo()};
    untouchable.insert(untouchable.end(), sort.Children().begin(), sort.Children().end());
    std::mutex mutex;
    std::vector<simwin::Hwnd> messaged;
    simwin::SetWindowStepHook([&](const simwin::WindowStep& step) {
        if (step.message != 0) {
            std::lock_guard lock(mutex);
            messaged.push_back(step.window);
        }
    });

    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    {
        std::lock_guard lock(mutex);
        for (const simwin::Hwnd window : untouchable) {
            EXPECT_EQ(std::count(messaged.begin(), messaged.end(), window), 0) << "a dialog not to take got a message";
        }
    }
    // The host's Print dialog, opened after them, is still driven.
    ExpectConfirmed(OpenDialog(kPrinters, 0, kJapanese), u"Invoices", "the Print dialog after the others");
    AwaitWatcherEnd();
    simwin::SetWindowStepHook({});
    EXPECT_TRUE(setup.IsOpen());
    EXPECT_TRUE(theirs.IsOpen());
    EXPECT_TRUE(sort.Messages().empty());
    theirs.Cancel();
}

TEST_F(PrintDialogWatcherTest, AListChangedBetweenTheReadAndTheSelectionIsNeitherToldNorConfirmed) {
    // The list changes once the watcher has read `after` item texts (the
    // job's item is its last read, then the item the box shows): the box
    // answers the selection with CB_ERR, or selects another printer at that
    // index. The dialog is left to the user, its box back on the printer it
    // came up with, the one its OK prints to.
    struct Case {
        const char* what;
        std::u16string job;
        std::size_t after;
        int selected;  // the item the dialog came up with
        std::vector<std::u16string> changedTo;
    };
    const Case cases[] = {
        {"shrunk below the item", u"Labels", 3, 1, {u"Office Laser", u"Invoices"}},
        {"an item inserted before it", u"Invoices", 2, 2, {u"Office Laser", u"Added", u"Invoices", u"Labels"}},
        {"the item removed", u"Invoices", 2, 0, {u"Office Laser", u"Labels"}},
        {"reordered", u"Invoices", 2, 0, {u"Invoices", u"Labels", u"Office Laser"}},
        {"reordered after the box was read", u"Invoices", 3, 0, {u"Invoices", u"Labels", u"Office Laser"}},
        {"renamed past the item buffer", u"Invoices", 2, 2, {u"Office Laser", std::u16string(1028, u'I'), u"Labels"}},
        // The printer the box showed leaves the list, before or after the
        // watcher read it; the job's index then names another printer.
        {"the shown printer removed before the box was read", u"Invoices", 2, 2,
         {u"Office Laser", u"Added", u"Invoices"}},
        {"the shown printer removed after the box was read", u"Invoices", 3, 2,
         {u"Office Laser", u"Added", u"Invoices"}},
    };
    for (const Case& c : cases) {
        simwin::PrintDialogLayout layout;
        layout.listChange = simwin::ListChange{simwin::kCbGetLbText, c.after, c.changedTo};
        simwin::PrintDialog& dialog = OpenDialog(kPrinters, c.selected, {}, layout);
        HandOver(Job(c.job));
        ASSERT_TRUE(Eventually([&] { return handoff_->WatcherIdle() || dialog.SelectionChangeCount() > 0; }));
        EXPECT_EQ(dialog.SelectionChangeCount(), 0u) << c.what << ": told of another printer's selection";
        ASSERT_TRUE(handoff_->WatcherIdle()) << c.what << ": went on towards confirming";
        EXPECT_EQ(Result(), "not taken") << c.what;
        simwin::AdvanceClock(2);
        ui_->Invoke([] {});  // a confirmation sent would have arrived
        const std::vector<simwin::Message> sent = dialog.ComboMessages();
        EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](auto& m) { return m.message == simwin::kCbSetCurSel; }))
            << c.what << ": never selected";
        EXPECT_FALSE(ToldOk(dialog)) << c.what << ": confirmed another printer";
        EXPECT_TRUE(dialog.IsOpen()) << c.what;
        // The box shows the printer the dialog came up with again; where that
        // has left the list, nothing (never the watcher's selection). The
        // user presses OK: the printer the dialog came up with gets the job.
        const std::u16string& held = kPrinters[c.selected];
        const bool gone = std::find(c.changedTo.begin(), c.changedTo.end(), held) == c.changedTo.end();
        EXPECT_EQ(dialog.SelectedPrinter(), gone ? std::nullopt : std::optional(held))
            << c.what << ": the box was not put back";
        EXPECT_EQ(dialog.SelectedIndex() < 0, gone) << c.what;
        simwin::WindowManager::Instance().Send(dialog.Window(), simwin::kWmCommand, simwin::kIdOk, 0);
        EXPECT_EQ(dialog.ConfirmedPrinter(), held) << c.what;
    }
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

TEST_F(PrintDialogWatcherTest, ADialogOpenedLateIsConfirmedUpToTwentySecondsAndNeverAfter) {
    // The script did other work first: the dialog opens seconds after the
    // hand-over, up to the limit itself, and is still selected and confirmed.
    for (const std::uint64_t late : {3'001u, 12'000u, 20'000u}) {
        HandOver(Job(u"Invoices"));
        LetTheWatcherPoll();  // it has taken its start time
        simwin::AdvanceTick(late);
        simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
        ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }))
            << "a dialog opened " << late << " ms after the hand-over was not selected";
        WaitForThePause();
        simwin::AdvanceClock(1);
        EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed) << late;
        EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
        EXPECT_EQ(EndResult(), "confirmed") << late;
    }
    // One that opens after 20 seconds is left alone.
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    simwin::AdvanceTick(20'000);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle()) << "gave up before 20 seconds had passed";
    EXPECT_EQ(Result(), "waiting");
    simwin::AdvanceTick(1);
    EXPECT_EQ(EndResult(), "no dialog");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    simwin::AdvanceClock(1);
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
    EXPECT_TRUE(dialog.ComboMessages().empty());
}

TEST_F(PrintDialogWatcherTest, ALabelFoundLateLeavesTheRestOfTwentyFiveSeconds) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();  // it has taken its start time
    simwin::AdvanceTick(20'000);
    // A dialog with its label but, for now, no combo box.
    simwin::DialogWindow early = simwin::DialogWindow::Create(
        ui_.get(), u"Print", {{u"Static", u"&Name:", 0, {}, -1}});
    LetTheWatcherPoll();
    simwin::AdvanceTick(5'000);
    LetTheWatcherPoll();
    EXPECT_FALSE(handoff_->WatcherIdle());
    simwin::AdvanceTick(1);
    EXPECT_EQ(EndResult(), "no printer box");
}

TEST_F(PrintDialogWatcherTest, TimeLimitsRunOnTheTickWhateverTheCalendarOrAPauseDoes) {
    // A calendar set back an hour does not keep the search going.
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    simwin::SetClock(kStartSeconds - 3600);
    simwin::AdvanceTick(20'001);
    AwaitOrEnd("the watcher's end: a clock set back kept the search going",
               [&] { return handoff_->WatcherIdle(); });

    // A watcher not scheduled for a minute (a suspended machine: the tick
    // jumps) does not drive a dialog opened long after its 20 seconds.
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    simwin::AdvanceTick(60'000);
    simwin::PrintDialog& late = OpenDialog(kPrinters, 0);
    AwaitWatcherEnd();
    EXPECT_TRUE(late.ComboMessages().empty());
    late.Cancel();

    // The pause before OK ends when the calendar second changes, also when
    // it is set back, and after one second of the tick if it never does.
    for (const bool calendarSetBack : {true, false}) {
        HandOver(Job(u"Invoices"));
        simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
        ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
        WaitForThePause();
        EXPECT_TRUE(dialog.IsOpen());
        if (calendarSetBack) {
            simwin::AdvanceClock(-3600);
        } else {
            simwin::AdvanceTick(999);
            WaitForThePause();
            EXPECT_TRUE(dialog.IsOpen());
            simwin::AdvanceTick(1);
        }
        EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
        AwaitWatcherEnd();
    }
}

TEST_F(PrintDialogWatcherTest, TimeLimitsAndThePauseHoldAcrossTheWrapOfTheTick) {
    // The tick wraps to 0 every 49.7 days. Each limit starts just before the
    // wrap and ends after it: it runs its full length, and not a millisecond
    // more. (The hand-over's 8 s limit crosses the wrap in the test of its own.)
    constexpr std::uint32_t kLastTick = 0xFFFF'FFFFu;
    const auto stillRunning = [&](const char* limit) {
        LetTheWatcherPoll();
        EXPECT_FALSE(handoff_->WatcherIdle()) << limit << " ended before its time";
        EXPECT_EQ(Result(), "waiting") << limit;
    };

    // 20 s for the dialog.
    simwin::PlaceTick(kLastTick - 9'999);
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    simwin::AdvanceTick(20'000);
    stillRunning("the search for the dialog");
    simwin::AdvanceTick(1);
    EXPECT_EQ(EndResult(), "no dialog");

    // 25 s for the combo box after the label.
    {
        simwin::PlaceTick(kLastTick - 9'999);
        HandOver(Job(u"Invoices"));
        const simwin::DialogWindow labelOnly =
            simwin::DialogWindow::Create(ui_.get(), u"Print", {{u"Static", u"&Name:", 0, {}, -1}});
        LetTheWatcherPoll();  // it has found the dialog and its label
        simwin::AdvanceTick(25'000);
        stillRunning("the search for the combo box");
        simwin::AdvanceTick(1);
        EXPECT_EQ(EndResult(), "no printer box");
    }

    // One second's pause before confirming, the calendar standing still.
    simwin::PlaceTick(kLastTick - 499);
    HandOver(Job(u"Invoices"));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    simwin::AdvanceTick(999);
    WaitForThePause();
    EXPECT_TRUE(dialog.IsOpen()) << "the pause ended before its second";
    simwin::AdvanceTick(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed) << "the pause did not end";
    EXPECT_EQ(EndResult(), "confirmed");
}

TEST_F(PrintDialogWatcherTest, ADialogThatOnlyBearsTheCaptionNeitherEndsNorHoldsTheSearch) {
    // Show Custom Dialog [ "Print" ; ... ] before the Print step: a dialog of
    // the host's own titled "Print", with a message and OK, no printer box.
    const auto customDialog = [&] {
        return simwin::DialogWindow::Create(
            ui_.get(), u"Print",
            {{u"Static", u"Print the 12 invoices now?", 0, {}, -1}, {u"Button", u"OK", simwin::kIdOk, {}, -1}});
    };
    // A look-alike: the caption, the label and the printer box, no OK button.
    simwin::PrintDialogLayout noOk;
    noOk.withOkButton = false;

    // Each closed 3 seconds after the hand-over: the Print dialog after it is
    // driven; neither was sent anything.
    for (const bool lookAlike : {false, true}) {
        HandOver(Job(u"Invoices"));
        LetTheWatcherPoll();  // it has taken its start time
        simwin::DialogWindow custom;
        simwin::PrintDialog* other = nullptr;
        if (lookAlike) {
            other = &OpenDialog(kPrinters, 0, {}, noOk);
        } else {
            custom = customDialog();
        }
        LetTheWatcherPoll();
        simwin::AdvanceTick(3'000);
        LetTheWatcherPoll();
        EXPECT_EQ(Result(), "waiting") << lookAlike;
        if (lookAlike) {
            other->Close();
        } else {
            custom.Destroy();
        }
        ExpectConfirmed(OpenDialog(kPrinters, 0), u"Invoices",
                        lookAlike ? "after a look-alike" : "after a custom dialog");
        EXPECT_EQ(EndResult(), "confirmed") << lookAlike;
        EXPECT_TRUE(custom.Messages().empty());
        if (other != nullptr) {
            EXPECT_TRUE(other->ComboMessages().empty());
            EXPECT_TRUE(other->DialogMessages().empty());
        }
    }

    // Still open when the limits pass: the result says which, and nothing
    // was sent. The look-alike, whose label came, has 25 seconds.
    for (const bool lookAlike : {false, true}) {
        HandOver(Job(u"Invoices"));
        LetTheWatcherPoll();
        simwin::DialogWindow custom = lookAlike ? simwin::DialogWindow() : customDialog();
        simwin::PrintDialog* other = lookAlike ? &OpenDialog(kPrinters, 0, {}, noOk) : nullptr;
        LetTheWatcherPoll();
        simwin::AdvanceTick(lookAlike ? 25'000 : 20'000);
        LetTheWatcherPoll();
        EXPECT_EQ(Result(), "waiting") << lookAlike << ": gave up before its limit";
        simwin::AdvanceTick(1);
        EXPECT_EQ(EndResult(), lookAlike ? "no OK button" : "no printer box");
        EXPECT_TRUE(custom.Messages().empty());
        if (other != nullptr) {
            EXPECT_TRUE(other->ComboMessages().empty());
            EXPECT_TRUE(other->DialogMessages().empty());
            EXPECT_TRUE(other->IsOpen());
            other->Cancel();
        }
    }
}

// --- Stopping --------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, AStopWhileSearchingTouchesNoWindow) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    EXPECT_EQ(Result(), "waiting");
    handoff_->RequestStop();
    EXPECT_EQ(EndResult(), "stopped");
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
        {"the items counted", [&](const simwin::WindowStep& s) { return s.message == simwin::kCbGetCount; }},
        {"the box's selection read", [&](const simwin::WindowStep& s) { return s.message == simwin::kCbGetCurSel; }},
        {"an item read", [&](const simwin::WindowStep& s) { return s.message == simwin::kCbGetLbText; }},
        {"the item selected", [&](const simwin::WindowStep& s) { return s.message == simwin::kCbSetCurSel; }},
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
        EXPECT_EQ(EndResult(), "stopped") << step.name;
        simwin::SetWindowStepHook({});
        ASSERT_TRUE(handoff_->StopRequested()) << "no stop at " << step.name;
        simwin::AdvanceClock(1);  // a watcher in its pause would confirm now
        ui_->Invoke([] {});       // and a confirmation sent would have arrived
        EXPECT_EQ(messages(), atStop.load()) << "the dialog got a message after a stop at " << step.name;
        EXPECT_TRUE(dialog.IsOpen()) << step.name;
    }
    // The dialog gone between two messages, or in the pause before OK: it
    // answers no more.
    for (const bool inThePause : {false, true}) {
        simwin::SetWindowStepHook([&](const simwin::WindowStep& s) {
            if (!inThePause && s.message == simwin::kCbGetCount) {
                dialog.Close();
            }
        });
        ASSERT_TRUE(inThePause ? dialog.Open() : dialog.IsOpen());
        HandOver(Job(u"Invoices"));
        if (inThePause) {
            WaitForThePause();
            dialog.Close();
            simwin::AdvanceClock(1);
        }
        EXPECT_EQ(EndResult(), "not answering") << (inThePause ? "in the pause" : "between messages");
    }
    // A selection that did not take (the list sorted anew once the box took
    // it), the stop asked as its item is read back: the box is not put back.
    simwin::PrintDialogLayout moving;
    moving.listChange = simwin::ListChange{simwin::kCbSetCurSel, 1, {u"Invoices", u"Labels", u"Office Laser"}};
    simwin::PrintDialog& sorted = OpenDialog(kPrinters, 0, {}, moving);
    std::atomic<bool> selected{false};
    simwin::SetWindowStepHook([&](const simwin::WindowStep& s) {
        selected = selected || s.message == simwin::kCbSetCurSel;
        if (selected && s.message == simwin::kCbGetLbText) {
            handoff_->RequestStop();
        }
    });
    HandOver(Job(u"Invoices"));
    EXPECT_EQ(EndResult(), "stopped");
    simwin::SetWindowStepHook({});
    ASSERT_TRUE(handoff_->StopRequested()) << "no stop at the read-back";
    EXPECT_EQ(sorted.ComboMessages().back().message, simwin::kCbGetLbText) << "a message after the stop";
    EXPECT_EQ(sorted.SelectedPrinter(), u"Invoices");
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
    EXPECT_EQ(EndResult(), "confirmed");
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
    EXPECT_EQ(EndResult(), "stopped");
    // The stop came while the watcher waited on the dialog's answer: it takes
    // the answer, then sends nothing more, so nothing is selected.
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
    EXPECT_EQ(dialog.SelectedIndex(), 0);  // as the dialog opened
}

TEST_F(PrintDialogWatcherTest, ADialogThatStopsAnsweringEndsTheJobAndNeverHoldsTheHostUp) {
    // The dialog's thread stops answering at the watcher's first item text:
    // the watcher gives up after five seconds and leaves the dialog alone.
    std::promise<void> answer;
    std::shared_future<void> answering = answer.get_future().share();
    auto hung = std::make_shared<std::atomic<int>>(0);
    auto lent = std::make_shared<std::atomic<std::intptr_t>>(0);
    // The hook holds what it uses: it may still be returning when the test ends.
    ui_->SetMessageHook([answering, hung, lent](const simwin::Message& m) {
        if (m.message == simwin::kCbGetLbText && (*hung)++ == 0) {
            *lent = m.lParam;
            answering.wait();
        }
    });
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    const std::size_t keptBefore = simwin::BlocksKeptForProcessLifetime();
    handoff_->HandOverJob(Job(u"Invoices"));
    ASSERT_TRUE(Eventually([&] { return hung->load() == 1; }));

    // The next hand-over waits for that watcher only as long as its message
    // may take; the new watcher's messages wait behind the hung one and time
    // out in turn; the teardown is bounded as well.
    constexpr std::chrono::seconds kHostBound{10};
    EXPECT_TRUE(WithinBound("the next hand-over past a hung dialog",
                            [&] { return handoff_->HandOverJob(Job(u"Labels")); }, kHostBound));
    EXPECT_TRUE(WithinBound("the teardown past a hung dialog", [&] { return handoff_->TearDown(); },
                            kHostBound));
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    EXPECT_GT(simwin::BlocksKeptForProcessLifetime(), keptBefore) << "the lent item buffer was not kept";
    EXPECT_TRUE(simwin::KeptForProcessLifetime(reinterpret_cast<const void*>(lent->load())))
        << "the buffer kept is not the one lent to the dialog";

    // The dialog answers again: the late item text lands in the buffer kept
    // for it, nothing is selected or confirmed.
    answer.set_value();
    ui_->SetMessageHook({});
    ASSERT_TRUE(Eventually([&] { return ui_->Pending() == 0; }));
    EXPECT_TRUE(dialog.IsOpen());
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
    EXPECT_FALSE(ToldOk(dialog));
}

TEST_F(PrintDialogWatcherTest, AHandOverGivesUpOnAWatcherThatHasNotEndedEightSecondsAfterItsStop) {
    // The watcher is held inside its first step, where no stop reaches it.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto held = std::make_shared<std::atomic<bool>>(false);
    simwin::SetWindowStepHook([released, held](const simwin::WindowStep&) {
        *held = true;
        released.wait();
    });
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    simwin::PlaceTick(0xFFFF'FFFFu - 3'999);  // the 8 s cross the wrap of the tick
    HandOver(Job(u"Invoices", true));
    AwaitOrEnd("the watcher's first step", [&] { return held->load(); });
    simwin::SetWindowStepHook({});
    auto next = std::async(std::launch::async, [&] { return handoff_->HandOverJob(Job(u"Labels", true)); });
    LetTheWatcherPoll();  // the hand-over has asked for the stop and reads the tick
    simwin::AdvanceTick(8'000);
    LetTheWatcherPoll();
    EXPECT_EQ(next.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout) << "gave up early";
    simwin::AdvanceTick(1);
    const bool ready = next.wait_for(kWaitBound) == std::future_status::ready;
    EXPECT_TRUE(ready) << "the host's thread still waits on a watcher that does not end";
    EXPECT_FALSE(ready && next.get()) << "a second watcher was started beside the first";
    EXPECT_EQ(simwin::CountHandles().runningThreads, 1u);
    EXPECT_EQ(Result(), "no watcher");
    release.set_value();
    // The first job's end, reported later, is not the last job's.
    EXPECT_EQ(EndResult(), "no watcher");
    EXPECT_EQ(dialog.SelectionChangeCount(), 0u);
}

TEST_F(PrintDialogWatcherTest, AThreadStartThatFailsOrThrowsOrHasNoLibraryReferenceLeavesTheRecordIdle) {
    // The third: the thread's own reference to the library refused, so no
    // thread is started at all.
    for (const int how : {0, 1, 2}) {
        simwin::FailThreadStarts(how == 0 ? simwin::ThreadStartFailure::Fail
                                 : how == 1 ? simwin::ThreadStartFailure::Throw
                                            : simwin::ThreadStartFailure::None);
        simwin::RefuseModuleReferences(how == 2);
        const std::size_t started = simwin::CountHandles().startedThreads;
        EXPECT_FALSE(HandOver(Job(u"Labels"))) << how;
        simwin::FailThreadStarts(simwin::ThreadStartFailure::None);
        simwin::RefuseModuleReferences(false);
        EXPECT_EQ(simwin::CountHandles().startedThreads, started) << how;
        EXPECT_TRUE(handoff_->WatcherIdle());
        EXPECT_EQ(Result(), "no watcher");
        EXPECT_FALSE(simwin::NamedMutexOwned(kHandoffMutexName));
    }
    // The next hand-over goes through at once and its watcher does its job.
    EXPECT_TRUE(HandOver(Job(u"Invoices", true)));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    AwaitWatcherEnd();
    EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices");
}

TEST_F(PrintDialogWatcherTest, AnExceptionAtAnyStepOfTheWatcherLeavesTheRecordIdleForTheNextHandOver) {
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    // The steps of a whole job: windows found, messages answered.
    std::atomic<int> steps{0};
    simwin::SetWindowStepHook([&](const simwin::WindowStep&) { ++steps; });
    HandOver(Job(u"Invoices", true));
    AwaitWatcherEnd();
    const int wholeJob = steps.load();
    ASSERT_GT(wholeJob, 5);
    // Out of memory at step `failing`, on the watcher's thread.
    for (int failing = 1; failing <= wholeJob; ++failing) {
        steps = 0;
        simwin::SetWindowStepHook([&](const simwin::WindowStep&) {
            if (++steps == failing) {
                throw std::bad_alloc();
            }
        });
        HandOver(Job(u"Labels", true));
        ASSERT_TRUE(Eventually([&] { return steps.load() >= failing && handoff_->WatcherIdle(); }))
            << "the record stayed busy after an exception at step " << failing;
        EXPECT_EQ(Result(), "watcher failed") << failing;
        simwin::SetWindowStepHook({});
        // The next hand-over starts a watcher at once, and it does its job.
        const std::size_t selections = dialog.SelectionChangeCount();
        EXPECT_TRUE(HandOver(Job(u"Invoices", true))) << failing;
        AwaitWatcherEnd();
        EXPECT_EQ(dialog.SelectionChangeCount(), selections + 1) << failing;
        EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices") << failing;
    }
}

// --- The mutex ---------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, AHandOverWaitsFiveSecondsAtMostForAMutexHeldElsewhere) {
    // Held for good: after five seconds on the tick, no watcher, and the
    // reason traced. Held a while, then released: the hand-over goes through.
    for (const bool released : {false, true}) {
        simwin::MutexHeldElsewhere other(kHandoffMutexName);
        (void)platform::sim::TakeTracedFailures();
        const std::size_t started = simwin::CountHandles().startedThreads;
        const std::uint64_t reads = simwin::TickReads();
        auto handedOver = std::async(std::launch::async, [&] { return handoff_->HandOverJob(Job(u"Invoices")); });
        AwaitOrEnd("the hand-over's wait for the mutex", [&] { return simwin::TickReads() > reads; });
        if (!released) {
            simwin::AdvanceTick(5'000);
        }
        // Held for good: a full 1000 ms attempt passes at the bound. Held a
        // while: the hand-over waits, then goes through.
        EXPECT_EQ(handedOver.wait_for(std::chrono::milliseconds(released ? 300 : 1200)),
                  std::future_status::timeout)
            << released << ": not waited for";
        if (released) {
            other.Release();
        } else {
            simwin::AdvanceTick(1);
        }
        if (handedOver.wait_for(kWaitBound) != std::future_status::ready) {
            test_support::FailAndEnd("the hand-over to return");
        }
        EXPECT_EQ(handedOver.get(), released);
        EXPECT_EQ(simwin::CountHandles().startedThreads, started + (released ? 1 : 0));
        const std::vector<platform::sim::TracedFailure> traced = platform::sim::TakeTracedFailures();
        ASSERT_EQ(traced.size(), released ? 0u : 1u);
        if (!released) {
            EXPECT_EQ(traced[0].call, u"WaitForSingleObject (hand-over mutex held elsewhere)");
            EXPECT_EQ(traced[0].errorCode, 258u);
        }
        EXPECT_EQ(simwin::NamedMutexOwned(kHandoffMutexName), !released) << "held by the wrong side";
    }
}

TEST_F(PrintDialogWatcherTest, AnAbandonedMutexLetsTheHandOverThroughAndIsLeftWhollyReleased) {
    {
        simwin::MutexHeldElsewhere other(kHandoffMutexName);
        other.Abandon();
    }
    // On the host's own thread, which lives on after the call: what it still
    // owned then would never be abandoned, and would hold up every other
    // process's hand-over for good.
    std::promise<bool> handedOver;
    std::promise<void> hostMayEnd;
    std::thread host([&] {
        handedOver.set_value(handoff_->HandOverJob(Job(u"Invoices", true)));
        hostMayEnd.get_future().wait();
    });
    std::future<bool> returned = handedOver.get_future();
    if (returned.wait_for(kWaitBound) != std::future_status::ready) {
        test_support::FailAndEnd("the hand-over after an abandoned mutex to return");
    }
    EXPECT_TRUE(returned.get());
    EXPECT_EQ(handoff_->PrinterName(), u"Invoices");
    // Another process's hand-over, while the host's thread still runs.
    const simwin::Handle other = simwin::CreateMutex(kHandoffMutexName);
    const simwin::WaitResult taken = simwin::WaitForSingleObject(other, 0);
    EXPECT_EQ(taken, simwin::WaitResult::Acquired) << "the host's thread still owns the mutex after its hand-over";
    if (taken == simwin::WaitResult::Acquired) {
        EXPECT_TRUE(simwin::ReleaseMutex(other));
    }
    EXPECT_TRUE(simwin::CloseHandle(other));
    hostMayEnd.set_value();
    host.join();
}

TEST_F(PrintDialogWatcherTest, WithNoMutexOrAWaitThatFailsTheHandOverGoesAheadOnceAndAtOnce) {
    struct Case {
        simwin::Fault fault;
        std::u16string_view failedCall;
        std::u16string printer;
    };
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    for (const Case& each : {Case{simwin::Fault::CreateMutex, u"CreateMutexW", u"Invoices"},
                             Case{simwin::Fault::MutexWait, u"WaitForSingleObject", u"Labels"}}) {
        simwin::SetFault(each.fault, true);
        (void)platform::sim::TakeTracedFailures();
        handoff_ = std::make_unique<PrintJobHandoff>();
        const std::size_t started = simwin::CountHandles().startedThreads;
        const std::size_t selections = dialog.SelectionChangeCount();
        // A hand-over that took the failure for a reason to wait again would
        // never return: HandOver ends the run within its bound.
        EXPECT_TRUE(HandOver(Job(each.printer, true)));
        AwaitWatcherEnd();
        EXPECT_EQ(simwin::CountHandles().startedThreads, started + 1) << "not exactly one watcher started";
        EXPECT_EQ(dialog.SelectionChangeCount(), selections + 1);
        EXPECT_EQ(dialog.SelectedPrinter(), each.printer);
        const std::vector<platform::sim::TracedFailure> traced = platform::sim::TakeTracedFailures();
        ASSERT_FALSE(traced.empty()) << "the fault was not met";
        EXPECT_EQ(traced.front().call, each.failedCall);
        simwin::SetFault(each.fault, false);
    }
}

// --- Teardown ------------------------------------------------------------------

TEST_F(PrintDialogWatcherTest, TeardownWithNoWatcherSleepsOnce) {
    const auto start = std::chrono::steady_clock::now();
    WithinBound("the teardown", [&] { handoff_->TearDown(); });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(500));
    EXPECT_FALSE(simwin::NamedMutexExists(kHandoffMutexName));
}

TEST_F(PrintDialogWatcherTest, ARecordLeftToAWatcherThatDidNotEndAtShutdownIsNeverFreed) {
    // The module's own record, its watcher held in the pause before OK (the
    // clock and the tick stand still): the shutdown gives up on it after its
    // polls and must leave it the record. AddressSanitizer sees any use of
    // the record once freed.
    PrintJobHandoff& record = CreateHandoff();
    EXPECT_TRUE(WithinBound("the hand-over", [&] { return record.HandOverJob(Job(u"Invoices")); }));
    simwin::PrintDialog& dialog = OpenDialog(kPrinters, 0);
    ASSERT_TRUE(Eventually([&] { return dialog.SelectionChangeCount() == 1; }));
    WaitForThePause();
    const std::uint64_t sleptBefore = simwin::MillisecondsSlept();
    WithinBound("the shutdown's teardown", [] { TearDownHandoff(); }, std::chrono::seconds(12));
    EXPECT_EQ(simwin::MillisecondsSlept() - sleptBefore, 8'000u) << "not given up after 8 s of polls";
    EXPECT_EQ(TheHandoff(), nullptr);
    EXPECT_TRUE(simwin::KeptForProcessLifetime(&record)) << "the record was not left to its watcher";
    // The watcher ends now and reports its end in the record.
    simwin::AdvanceClock(1);
    EXPECT_EQ(dialog.WaitUntilClosed(kWaitBound), DialogState::Confirmed);
    AwaitOrEnd("the abandoned watcher's end", [&] { return record.WatcherIdle(); });
    EXPECT_TRUE(Eventually([] { return simwin::CountHandles().runningThreads == 0; }));
}

TEST_F(PrintDialogWatcherTest, TeardownStopsASearchingWatcherAndWaitsForItsThread) {
    HandOver(Job(u"Invoices"));
    LetTheWatcherPoll();
    WithinBound("the teardown", [&] { handoff_->TearDown(); });
    EXPECT_TRUE(handoff_->WatcherIdle());
    EXPECT_EQ(Result(), "stopped");
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);
    EXPECT_TRUE(handoff_->PrinterName().empty());
}

}  // namespace
}  // namespace vorelle::printdialog
