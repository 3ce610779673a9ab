// The built-in controls: combo box messages, window text, buttons, redraws.
#include "platform/windows.h"
#include "simwin/ui_thread.h"
#include "windows_fixture.h"

namespace simwin::testing {
namespace {

class ControlsTest : public WindowsTest {
protected:
    Hwnd Combo(std::vector<std::u16string> items, int selected) {
        WindowSpec setup;
        setup.className = u"ComboBox";
        setup.controlId = 0x0473;
        setup.items = std::move(items);
        setup.selected = selected;
        return Wm().Create(setup);
    }
};

TEST_F(ControlsTest, ComboBoxReportsItsItemsAndLengths) {
    Hwnd combo = Combo({u"Invoices", u"", u"Label Writer"}, 0);
    EXPECT_EQ(Wm().Send(combo, kCbGetCount, 0, 0), 3);
    EXPECT_EQ(Wm().Send(combo, kCbGetLbTextLen, 0, 0), 8);
    EXPECT_EQ(Wm().Send(combo, kCbGetLbTextLen, 1, 0), 0);
    EXPECT_EQ(Wm().Send(combo, kCbGetLbTextLen, 2, 0), 12);
    EXPECT_EQ(Wm().Send(combo, kCbGetLbTextLen, 3, 0), kCbErr);
    EXPECT_EQ(Wm().Send(combo, kCbGetLbTextLen, static_cast<std::uintptr_t>(-1), 0), kCbErr);
}

TEST_F(ControlsTest, GetLbTextWritesTheTextAndOneTerminatorAndNothingMore) {
    Hwnd combo = Combo({u"Invoices", u"B"}, -1);
    std::u16string buffer(16, u'#');
    std::intptr_t length = Wm().Send(combo, kCbGetLbText, 0, reinterpret_cast<std::intptr_t>(buffer.data()));
    EXPECT_EQ(length, 8);
    EXPECT_EQ(buffer, std::u16string(u"Invoices") + u'\0' + std::u16string(7, u'#'));

    // The buffer is trusted: exactly length + 1 units are written.
    std::u16string exact(3, u'#');
    EXPECT_EQ(Wm().Send(combo, kCbGetLbText, 1, reinterpret_cast<std::intptr_t>(exact.data())), 1);
    EXPECT_EQ(exact, std::u16string(u"B") + u'\0' + u'#');

    EXPECT_EQ(Wm().Send(combo, kCbGetLbText, 2, reinterpret_cast<std::intptr_t>(exact.data())), kCbErr);
    EXPECT_EQ(Wm().Send(combo, kCbGetLbText, 0, 0), kCbErr);
    EXPECT_EQ(exact, std::u16string(u"B") + u'\0' + u'#') << "a failed request writes nothing";
}

TEST_F(ControlsTest, SelectionIsSetReadAndClearedLikeWindows) {
    Hwnd combo = Combo({u"A", u"B", u"C"}, 1);
    EXPECT_EQ(Wm().Send(combo, kCbGetCurSel, 0, 0), 1);
    EXPECT_EQ(Wm().Send(combo, kCbSetCurSel, 2, 0), 2);
    EXPECT_EQ(Wm().ComboSelection(combo), 2);
    EXPECT_EQ(Wm().Send(combo, kCbSetCurSel, 3, 0), kCbErr);
    EXPECT_EQ(Wm().Send(combo, kCbGetCurSel, 0, 0), kCbErr) << "an index out of range clears the selection";
    EXPECT_EQ(Wm().Send(combo, kCbSetCurSel, 0, 0), 0);
    EXPECT_EQ(Wm().Send(combo, kCbSetCurSel, static_cast<std::uintptr_t>(-1), 0), kCbErr);
    EXPECT_EQ(Wm().ComboSelection(combo), -1);

    EXPECT_EQ(Wm().Send(combo, kCbAddString, 0, reinterpret_cast<std::intptr_t>(u"D")), 3);
    EXPECT_EQ(Wm().ComboItems(combo), (std::vector<std::u16string>{u"A", u"B", u"C", u"D"}));
    EXPECT_TRUE(Wm().SetComboItems(combo, {u"X"}, 5));
    EXPECT_EQ(Wm().ComboSelection(combo), -1) << "a selection past the items is none";
    Wm().Send(combo, kCbResetContent, 0, 0);
    EXPECT_EQ(Wm().Send(combo, kCbGetCount, 0, 0), 0);
}

TEST_F(ControlsTest, ComboMessagesToOtherClassesDoNothing) {
    Hwnd label = Make(0, u"Static", u"&Name:");
    std::u16string buffer(4, u'#');
    EXPECT_EQ(Wm().Send(label, kCbGetCount, 0, 0), 0);
    EXPECT_EQ(Wm().Send(label, kCbGetLbText, 0, reinterpret_cast<std::intptr_t>(buffer.data())), 0);
    EXPECT_EQ(buffer, u"####");
    EXPECT_FALSE(Wm().SetComboItems(label, {u"A"}, 0));
}

TEST_F(ControlsTest, WindowTextMessagesOfEveryWindow) {
    Hwnd label = Make(0, u"Static", u"&Name:");
    EXPECT_EQ(Wm().Send(label, kWmGetTextLength, 0, 0), 6);
    std::u16string buffer(4, u'#');
    EXPECT_EQ(Wm().Send(label, kWmGetText, buffer.size(), reinterpret_cast<std::intptr_t>(buffer.data())), 3);
    EXPECT_EQ(buffer, std::u16string(u"&Na") + u'\0');
    EXPECT_EQ(Wm().Send(label, kWmSetText, 0, reinterpret_cast<std::intptr_t>(u"&Nom :")), 1);
    EXPECT_EQ(Wm().Title(label), u"&Nom :");
    EXPECT_EQ(Wm().Find(0, 0, ClassRef::ByName(u"Static"), u"&Nom :"), label);
}

TEST_F(ControlsTest, ButtonClickCommandsItsParentAndCommandsReachTheDialogHandler) {
    UiThread ui;
    std::vector<Message> commands;
    WindowSpec dialogSpec;
    dialogSpec.className = u"#32770";
    dialogSpec.title = u"Host";
    dialogSpec.procedure = [&commands](const Message& message) -> std::intptr_t {
        if (message.message == kWmCommand) {
            commands.push_back(message);
        }
        return WindowManager::Instance().DefaultProcedure(message);
    };
    Hwnd dialog = ui.CreateWindow(dialogSpec);
    WindowSpec okSpec;
    okSpec.parent = dialog;
    okSpec.className = u"Button";
    okSpec.title = u"OK";
    okSpec.controlId = kIdOk;
    Hwnd ok = ui.CreateWindow(okSpec);

    Wm().Send(ok, kBmClick, 0, 0);
    Wm().Send(dialog, kWmCommand, MakeWParam(0x0473, kCbnSelChange), 1234);
    ui.Invoke([] {});  // everything sent before is handled now
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wParam, 1u);
    EXPECT_EQ(commands[0].lParam, static_cast<std::intptr_t>(ok));
    EXPECT_EQ(commands[1].wParam, 0x10473u);
    EXPECT_EQ(commands[1].lParam, 1234);
}

TEST_F(ControlsTest, RedrawsAreCountedPerWindow) {
    Hwnd a = Make(0, u"#32770", u"A");
    Hwnd b = Make(0, u"#32770", u"B");
    EXPECT_TRUE(Wm().Redraw(a));
    EXPECT_TRUE(vorelle::platform::RedrawWindow(a));
    EXPECT_EQ(Wm().RedrawCount(a), 2u);
    EXPECT_EQ(Wm().RedrawCount(b), 0u);
    Wm().Destroy(a);
    EXPECT_FALSE(vorelle::platform::RedrawWindow(a));
}

}  // namespace
}  // namespace simwin::testing
