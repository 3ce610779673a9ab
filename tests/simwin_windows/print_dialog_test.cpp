// The simulated Print dialog: its layout, its answers and its life.
#include "platform/windows.h"
#include "simwin/print_dialog.h"
#include "windows_fixture.h"

namespace simwin::testing {
namespace {

namespace platform = vorelle::platform;
using std::chrono::milliseconds;

const std::vector<std::u16string> kPrinters = {u"Office Laser", u"Invoices", u"Labels"};

class PrintDialogTest : public WindowsTest {
protected:
    PrintDialogOptions Options(int selected = 0) {
        PrintDialogOptions options;
        options.printers = kPrinters;
        options.selected = selected;
        return options;
    }

    // What the print-dialog watcher does, through the facade: dialog by atom and
    // caption, label, the empty-titled combo box after it, and the OK button.
    static Hwnd ComboAfterLabel(const std::u16string& caption, const std::u16string& label) {
        Hwnd dialog = platform::FindWindowAfter(0, 0, {kDialogClassAtom, nullptr}, caption);
        Hwnd found = platform::FindWindowAfter(dialog, 0, {0, u"Static"}, label);
        return found != 0 ? platform::FindWindowAfter(dialog, found, {0, u"ComboBox"}, u"") : 0;
    }

    UiThread ui_;
};

TEST_F(PrintDialogTest, StandardLayoutInChildOrder) {
    PrintDialog dialog(ui_, Options());
    EXPECT_EQ(dialog.State(), DialogState::NotOpened);
    ASSERT_TRUE(dialog.Open());
    EXPECT_FALSE(dialog.Open()) << "already open";

    Hwnd window = dialog.Window();
    EXPECT_EQ(Wm().ClassAtomOf(window), kDialogClassAtom);
    EXPECT_EQ(Wm().Title(window), u"Print");
    std::vector<Hwnd> children = Wm().Children(window);
    ASSERT_EQ(children, (std::vector<Hwnd>{dialog.Label(), dialog.Combo(), dialog.OkButton(), dialog.CancelButton()}));
    EXPECT_EQ(Wm().ClassName(children[0]), u"Static");
    EXPECT_EQ(Wm().Title(children[0]), u"&Name:");
    EXPECT_EQ(Wm().ClassName(children[1]), u"ComboBox");
    EXPECT_EQ(Wm().Title(children[1]), u"");
    EXPECT_EQ(Wm().ControlId(children[1]), 0x0473);
    EXPECT_EQ(Wm().ComboItems(children[1]), kPrinters);
    EXPECT_EQ(Wm().ClassName(children[2]), u"Button");
    EXPECT_EQ(Wm().Title(children[2]), u"OK");
    EXPECT_EQ(Wm().ControlId(children[2]), kIdOk);
    EXPECT_EQ(Wm().Title(children[3]), u"Cancel");
    EXPECT_EQ(Wm().ControlId(children[3]), kIdCancel);
    EXPECT_FALSE(Wm().IsOwnedByCallingThread(window)) << "the dialog belongs to its UI thread";

    EXPECT_EQ(ComboAfterLabel(u"Print", u"&Name:"), dialog.Combo());
}

TEST_F(PrintDialogTest, WatcherSequenceConfirmsWithTheSelectedPrinter) {
    PrintDialog dialog(ui_, Options(0));
    ASSERT_TRUE(dialog.Open());
    Hwnd window = dialog.Window();
    Hwnd combo = ComboAfterLabel(u"Print", u"&Name:");
    ASSERT_NE(combo, 0u);

    ASSERT_EQ(platform::SendWindowMessage(combo, kCbGetCount, 0, 0, 5000), 3);
    std::u16string buffer(1028, u'\0');
    EXPECT_EQ(platform::SendWindowMessage(combo, kCbGetLbText, 1, reinterpret_cast<std::intptr_t>(buffer.data()), 5000), 8);
    EXPECT_EQ(std::u16string(buffer.c_str()), u"Invoices");
    EXPECT_EQ(platform::SendWindowMessage(combo, kCbSetCurSel, 1, 0, 5000), 1);
    EXPECT_TRUE(platform::SendWindowMessage(window, kWmCommand, kPrinterSelChange, static_cast<std::intptr_t>(combo), 5000));
    EXPECT_EQ(dialog.SelectionChangeCount(), 1u);
    EXPECT_EQ(dialog.NotifiedSelection(), 1);
    EXPECT_EQ(dialog.SelectedPrinter(), u"Invoices");
    EXPECT_TRUE(dialog.IsOpen());

    Hwnd ok = platform::FindWindowAfter(window, 0, {0, u"Button"}, u"OK");
    EXPECT_TRUE(platform::RedrawWindow(window));
    EXPECT_TRUE(platform::NotifyWindow(window, kWmCommand, kIdOk, static_cast<std::intptr_t>(ok)));
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices");
    EXPECT_FALSE(Wm().IsWindow(window));
    EXPECT_EQ(dialog.Window(), 0u);
    EXPECT_EQ(dialog.SelectedIndex(), 1) << "the last selection is kept after closing";

    std::vector<Message> messages = dialog.DialogMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].wParam, kPrinterSelChange);
    EXPECT_EQ(messages[1].wParam, static_cast<std::uintptr_t>(kIdOk));
    std::vector<std::uint32_t> comboOrder;
    for (const Message& m : dialog.ComboMessages()) {
        comboOrder.push_back(m.message);
    }
    EXPECT_EQ(comboOrder, (std::vector<std::uint32_t>{kCbGetCount, kCbGetLbText, kCbSetCurSel}));
}

TEST_F(PrintDialogTest, CancelButtonHostCancelAndVanishing) {
    PrintDialog byButton(ui_, Options());
    ASSERT_TRUE(byButton.Open());
    Wm().Send(byButton.CancelButton(), kBmClick, 0, 0);
    EXPECT_EQ(byButton.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Cancelled);
    EXPECT_EQ(byButton.ConfirmedPrinter(), std::nullopt);

    PrintDialog byHost(ui_, Options());
    ASSERT_TRUE(byHost.Open());
    EXPECT_EQ(byHost.WaitUntilClosed(milliseconds(20)), DialogState::Open);
    byHost.Cancel();
    EXPECT_EQ(byHost.State(), DialogState::Cancelled);
    // An OK after the cancel finds no dialog and changes nothing.
    EXPECT_EQ(platform::SendWindowMessage(byHost.Window(), kWmCommand, kIdOk, 0, 5000), std::nullopt);
    EXPECT_EQ(byHost.State(), DialogState::Cancelled);

    PrintDialog vanishing(ui_, Options());
    ASSERT_TRUE(vanishing.Open());
    vanishing.Close();
    EXPECT_EQ(vanishing.State(), DialogState::Closed);
    vanishing.Cancel();
    EXPECT_EQ(vanishing.State(), DialogState::Closed) << "a closed dialog cannot be cancelled afterwards";
}

TEST_F(PrintDialogTest, ReopenedDialogHasNewWindowsAndAFreshAnswer) {
    PrintDialog dialog(ui_, Options(2));
    ASSERT_TRUE(dialog.Open());
    Hwnd first = dialog.Window();
    Wm().Send(first, kWmCommand, kIdOk, 0);
    ASSERT_EQ(dialog.State(), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Labels");

    ASSERT_TRUE(dialog.Open());
    EXPECT_NE(dialog.Window(), first);
    EXPECT_EQ(dialog.State(), DialogState::Open);
    EXPECT_EQ(dialog.ConfirmedPrinter(), std::nullopt);
    EXPECT_EQ(dialog.SelectedIndex(), 2) << "opens with the configured selection again";
    EXPECT_EQ(Wm().Send(first, kWmCommand, kIdCancel, 0), 0) << "the old handle is dead";
    EXPECT_EQ(dialog.State(), DialogState::Open);
}

TEST_F(PrintDialogTest, DialogClosesWithItsThread) {
    auto thread = std::make_unique<UiThread>();
    PrintDialog dialog(*thread, Options());
    ASSERT_TRUE(dialog.Open());
    Hwnd window = dialog.Window();
    thread->Stop();
    EXPECT_EQ(dialog.WaitUntilClosed(std::chrono::seconds(10)), DialogState::Closed);
    thread->Join();
    EXPECT_FALSE(Wm().IsWindow(window));
    EXPECT_FALSE(dialog.Open()) << "no thread to open it on";
}

TEST_F(PrintDialogTest, OkPrintsToThePrinterOfTheLastSelectionNoticeWhateverTheBoxShows) {
    PrintDialog dialog(ui_, Options(0));
    const auto select = [&](std::uintptr_t item) { Wm().Send(dialog.Combo(), kCbSetCurSel, item, 0); };
    const auto tell = [&] {
        Wm().Send(dialog.Window(), kWmCommand, kPrinterSelChange, static_cast<std::intptr_t>(dialog.Combo()));
    };
    ASSERT_TRUE(dialog.Open());
    select(2);
    Wm().Send(dialog.Window(), kWmCommand, kIdOk, 0);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Office Laser") << "the box set without a notice";
    ASSERT_TRUE(dialog.Open());
    select(1);
    tell();
    select(2);
    Wm().Send(dialog.Window(), kWmCommand, kIdOk, 0);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"Invoices") << "the box set again after a notice";
}

TEST_F(PrintDialogTest, ConfirmWithoutSelectionReportsAnEmptyPrinter) {
    PrintDialog dialog(ui_, Options(-1));
    ASSERT_TRUE(dialog.Open());
    Wm().Send(dialog.Window(), kWmCommand, kIdOk, 0);
    EXPECT_EQ(dialog.State(), DialogState::Confirmed);
    EXPECT_EQ(dialog.ConfirmedPrinter(), u"");
}

TEST_F(PrintDialogTest, OtherLayoutsAndTexts) {
    PrintDialogOptions wine = Options();
    wine.texts = {u"Imprimer", u"&Nom :", u"OK", u"Annuler"};
    wine.layout.comboBeforeLabel = true;
    PrintDialog french(ui_, wine);
    ASSERT_TRUE(french.Open());
    EXPECT_EQ(Wm().Children(french.Window()).front(), french.Combo());
    EXPECT_EQ(ComboAfterLabel(u"Imprimer", u"&Nom :"), 0u) << "no combo box follows the label";

    PrintDialogOptions crowded = Options();
    crowded.texts.caption = u"Drucken";
    crowded.texts.nameLabel = u"&Name:";
    crowded.layout.betweenLabelAndCombo = {{u"Static", u"Status:", 0x0440, {}, -1}, {u"ComboBox", u"x", 0x0470, {}, -1}};
    crowded.layout.withOkButton = false;
    PrintDialog german(ui_, crowded);
    ASSERT_TRUE(german.Open());
    EXPECT_EQ(Wm().Children(german.Window()).size(), 5u);
    EXPECT_EQ(german.OkButton(), 0u);
    EXPECT_EQ(ComboAfterLabel(u"Drucken", u"&Name:"), german.Combo());

    PrintDialogOptions titled = Options();
    titled.texts.caption = u"Afdrukken";
    titled.layout.comboTitle = u"Printers";
    PrintDialog dutch(ui_, titled);
    ASSERT_TRUE(dutch.Open());
    EXPECT_EQ(ComboAfterLabel(u"Afdrukken", u"&Name:"), 0u) << "a titled combo box is no match for an empty title";
}

TEST_F(PrintDialogTest, PlainDialogWindowsLogTheirMessagesAndGoWithTheirOwner) {
    Hwnd window = 0;
    {
        DialogWindow stampa = DialogWindow::Create(
            &ui_, u"Stampa", {{u"Static", u"&Nome:", 0, {}, -1}, {u"ComboBox", u"", 0x0473, {u"A"}, 0}});
        DialogWindow print = DialogWindow::Create(nullptr, u"Print", {});
        window = stampa.Window();
        ASSERT_NE(window, 0u);
        ASSERT_EQ(stampa.Children().size(), 2u);
        EXPECT_EQ(Wm().Find(0, 0, ClassRef::ByAtom(kDialogClassAtom), u"Print"), print.Window());
        EXPECT_EQ(Wm().Find(0, 0, ClassRef::ByAtom(kDialogClassAtom), u"Stampa"), window);
        EXPECT_EQ(Wm().Find(window, stampa.Children()[0], ClassRef::ByName(u"ComboBox"), u""), stampa.Children()[1]);

        Wm().Send(window, kWmCommand, kIdOk, 0);
        ASSERT_EQ(stampa.Messages().size(), 1u);
        EXPECT_TRUE(Wm().IsWindow(window)) << "a plain dialog does not act on commands";
        EXPECT_TRUE(print.Messages().empty());

        DialogWindow moved = std::move(stampa);
        EXPECT_EQ(moved.Window(), window);
        EXPECT_EQ(stampa.Window(), 0u);  // NOLINT(bugprone-use-after-move): moved-from state is defined
    }
    EXPECT_FALSE(Wm().IsWindow(window));
    EXPECT_TRUE(Wm().TopLevelWindows().empty());
}

}  // namespace
}  // namespace simwin::testing
