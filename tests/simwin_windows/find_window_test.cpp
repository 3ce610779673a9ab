// Window tree, handles and FindWindow, directly and through the platform facade.
#include <set>

#include "platform/windows.h"
#include "simwin/other_process.h"
#include "simwin/ui_thread.h"
#include "windows_fixture.h"

namespace simwin::testing {
namespace {

namespace platform = vorelle::platform;

class FindWindowTest : public WindowsTest {};

TEST_F(FindWindowTest, ChildAfterSkipsWindowsOfOtherClassesInChildOrder) {
    Hwnd dialog = Make(0, u"#32770", u"Print");
    Hwnd combo1 = Make(dialog, u"ComboBox", u"", 0x0470);
    Hwnd label = Make(dialog, u"Static", u"&Name:");
    Hwnd other = Make(dialog, u"Static", u"Status:");
    Hwnd combo2 = Make(dialog, u"ComboBox", u"", 0x0473);
    Hwnd combo3 = Make(dialog, u"ComboBox", u"", 0x0474);

    ClassRef combo = ClassRef::ByName(u"ComboBox");
    // The combo box after the label, though the label is a Static and another
    // Static stands between them (Wine 8: FindWindowExW finds nothing here).
    EXPECT_EQ(Wm().Find(dialog, label, combo, u""), combo2);
    EXPECT_EQ(Wm().Find(dialog, other, combo, u""), combo2);
    EXPECT_EQ(Wm().Find(dialog, combo2, combo, u""), combo3);
    EXPECT_EQ(Wm().Find(dialog, combo3, combo, u""), 0u);
    EXPECT_EQ(Wm().Find(dialog, 0, combo, u""), combo1);

    platform::WindowClass byName{0, u"ComboBox"};
    EXPECT_EQ(platform::FindWindowAfter(dialog, label, byName, u""), combo2);
    EXPECT_EQ(platform::FindWindowAfter(dialog, 0, byName, u""), combo1);
}

TEST_F(FindWindowTest, AChildByItsIdIsTheFirstWithThatIdAndOnlyOfTheClassAsked) {
    Hwnd dialog = Make(0, u"#32770", u"Print");
    Hwnd label = Make(dialog, u"Static", u"&Name:", 0x0473);
    Hwnd combo = Make(dialog, u"ComboBox", u"", 0x0473);
    Hwnd box = Make(dialog, u"ComboBox", u"Box", 0x0470);
    // GetDlgItem: the first child with the id, whatever its class.
    EXPECT_EQ(Wm().ChildWithId(dialog, 0x0473, ClassRef::Any()), label);
    EXPECT_EQ(Wm().ChildWithId(dialog, 1, ClassRef::Any()), 0u);
    const platform::WindowClass comboClass{0, u"combobox"};
    EXPECT_EQ(platform::ChildWithId(dialog, 0x0470, comboClass), box);
    EXPECT_EQ(platform::ChildWithId(dialog, 0x0473, comboClass), 0u) << "a Static taken for a combo box";
    // Any title, and only windows of the class, after the one given.
    EXPECT_EQ(platform::FindWindowOfClass(dialog, 0, comboClass), combo);
    EXPECT_EQ(platform::FindWindowOfClass(dialog, combo, comboClass), box);
    EXPECT_EQ(platform::FindWindowOfClass(dialog, box, comboClass), 0u);
    EXPECT_EQ(platform::FindWindowOfClass(0, 0, {0x8002, nullptr}), dialog);
}

TEST_F(FindWindowTest, ChildAfterThatIsNoChildOfTheParentFindsNothing) {
    Hwnd dialog = Make(0, u"#32770", u"Print");
    Hwnd combo = Make(dialog, u"ComboBox", u"");
    Hwnd elsewhere = Make(0, u"#32770", u"Other");
    Hwnd stranger = Make(elsewhere, u"Static", u"x");

    EXPECT_EQ(Wm().Find(dialog, stranger, ClassRef::ByName(u"ComboBox"), u""), 0u);
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::ByName(u"ComboBox"), u""), combo);
    EXPECT_EQ(Wm().Find(0xDEAD0, 0, ClassRef::Any(), std::nullopt), 0u) << "a parent that is no window";
}

TEST_F(FindWindowTest, DialogClassIsFoundByItsAtomAndClassNamesIgnoreCase) {
    Hwnd print = Make(0, u"#32770", u"Print");
    Make(0, u"SomeFrame", u"Print");

    EXPECT_EQ(Wm().ClassAtomOf(print), kDialogClassAtom);
    EXPECT_EQ(Wm().ClassAtom(u"#32770"), kDialogClassAtom);
    EXPECT_EQ(Wm().Find(0, 0, ClassRef::ByAtom(kDialogClassAtom), u"Print"), print);
    EXPECT_EQ(platform::FindWindowAfter(0, 0, {kDialogClassAtom, nullptr}, u"Print"), print);

    Hwnd dialog = Make(0, u"#32770", u"Host");
    Hwnd button = Make(dialog, u"button", u"OK", 1);
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::ByName(u"BUTTON"), u"OK"), button);
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::ByAtom(Wm().ClassAtom(u"Button")), u"OK"), button);
    EXPECT_NE(Wm().ClassAtom(u"Button"), Wm().ClassAtom(u"Static"));
}

TEST_F(FindWindowTest, TitlesMatchIgnoringCaseAndAnEmptyTitleOnlyAnEmptyOne) {
    Hwnd dialog = Make(0, u"#32770", u"Print");
    Hwnd titled = Make(dialog, u"ComboBox", u"Printers");
    Hwnd untitled = Make(dialog, u"ComboBox", u"");
    Hwnd label = Make(dialog, u"Static", u"&Name:");

    ClassRef combo = ClassRef::ByName(u"ComboBox");
    EXPECT_EQ(Wm().Find(dialog, 0, combo, u""), untitled);
    EXPECT_EQ(Wm().Find(dialog, 0, combo, u"Printers"), titled);
    EXPECT_EQ(Wm().Find(dialog, 0, combo, u"pRINTERS"), titled) << "FindWindowExW ignores case";
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::ByName(u"Static"), u"&NAME:"), label);
    EXPECT_EQ(Wm().Find(dialog, 0, combo, std::nullopt), titled) << "no title: any title";
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::ByName(u"Static"), u"&Name"), 0u);
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::ByName(u"Static"), u"&Name:"), label);
    EXPECT_EQ(Wm().Find(dialog, 0, ClassRef::Any(), u"&Name:"), label);
}

TEST_F(FindWindowTest, TopLevelWindowsOnlyAndNewestOnTop) {
    Hwnd first = Make(0, u"#32770", u"Print");
    Hwnd second = Make(0, u"#32770", u"Print");
    Hwnd host = Make(0, u"Frame", u"Host");
    Make(host, u"#32770", u"Print");  // a child dialog is no top-level window

    EXPECT_EQ(Wm().TopLevelWindows(), (std::vector<Hwnd>{host, second, first}));
    ClassRef dialogs = ClassRef::ByAtom(kDialogClassAtom);
    EXPECT_EQ(Wm().Find(0, 0, dialogs, u"Print"), second);
    EXPECT_EQ(Wm().Find(0, second, dialogs, u"Print"), first);
    EXPECT_EQ(Wm().Find(0, first, dialogs, u"Print"), 0u);
}

TEST_F(FindWindowTest, AnotherProcesssWindowsAreFoundAmongTheTopLevelOnesButToldApart) {
    OtherProcessUi other;
    WindowSpec setup;
    setup.className = u"#32770";
    setup.title = u"Print";
    Hwnd theirs = other.Thread().CreateWindow(setup);
    Hwnd ours = Make(0, u"#32770", u"Print");
    ClassRef dialogs = ClassRef::ByAtom(kDialogClassAtom);
    EXPECT_EQ(Wm().Find(0, 0, dialogs, u"Print"), ours);
    EXPECT_EQ(Wm().Find(0, ours, dialogs, u"Print"), theirs);
    EXPECT_TRUE(platform::WindowOfThisProcess(ours));
    EXPECT_FALSE(platform::WindowOfThisProcess(theirs));
    EXPECT_FALSE(platform::WindowOfThisProcess(0));
    EXPECT_EQ(Wm().ProcessOf(theirs), other.ProcessId());
}

TEST_F(FindWindowTest, DestroyingAWindowTakesItsChildrenAndHandlesAreNeverReused) {
    std::set<Hwnd> seen;
    for (int round = 0; round < 50; ++round) {
        Hwnd dialog = Make(0, u"#32770", u"Print");
        Hwnd label = Make(dialog, u"Static", u"&Name:");
        Hwnd inner = Make(label, u"Static", u"inner");
        ASSERT_NE(dialog, 0u);
        for (Hwnd window : {dialog, label, inner}) {
            EXPECT_TRUE(seen.insert(window).second) << "handle reused";
        }
        EXPECT_EQ(Wm().Children(dialog), std::vector<Hwnd>{label});
        EXPECT_EQ(Wm().Parent(label), dialog);

        EXPECT_TRUE(Wm().Destroy(dialog));
        EXPECT_FALSE(Wm().IsWindow(dialog));
        EXPECT_FALSE(Wm().IsWindow(label));
        EXPECT_FALSE(Wm().IsWindow(inner));
        EXPECT_FALSE(Wm().Destroy(dialog));
        EXPECT_EQ(Wm().Find(0, 0, ClassRef::Any(), u"Print"), 0u);
        // A stale handle reaches nothing.
        EXPECT_EQ(Wm().Send(label, kWmGetTextLength, 0, 0), 0);
        EXPECT_FALSE(Wm().SendNotify(dialog, kWmCommand, 1, 0));
        EXPECT_FALSE(Wm().Redraw(dialog));
        EXPECT_EQ(Make(label, u"Static", u"orphan"), 0u) << "no window under a destroyed parent";
    }
}

TEST_F(FindWindowTest, DestroyingAChildLeavesItsSiblingsInOrder) {
    Hwnd dialog = Make(0, u"#32770", u"Print");
    Hwnd a = Make(dialog, u"Static", u"a");
    Hwnd b = Make(dialog, u"Static", u"b");
    Hwnd c = Make(dialog, u"Static", u"c");
    Wm().Destroy(b);
    EXPECT_EQ(Wm().Children(dialog), (std::vector<Hwnd>{a, c}));
    EXPECT_EQ(Wm().Find(dialog, a, ClassRef::ByName(u"Static"), std::nullopt), c);
    EXPECT_EQ(Wm().Find(dialog, b, ClassRef::ByName(u"Static"), std::nullopt), 0u);
}

TEST_F(FindWindowTest, DestroyCallbacksRunChildrenFirstWhileTheWindowsStillAnswerQueries) {
    std::vector<std::u16string> order;
    WindowSpec parentSpec;
    parentSpec.className = u"#32770";
    parentSpec.title = u"Parent";
    parentSpec.onDestroyed = [&](Hwnd window) {
        order.push_back(Wm().Title(window));
        EXPECT_FALSE(Wm().IsWindow(window)) << "a window being destroyed is no longer found";
        EXPECT_EQ(Wm().Find(0, 0, ClassRef::Any(), u"Parent"), 0u);
    };
    Hwnd parent = Wm().Create(parentSpec);
    WindowSpec childSpec;
    childSpec.parent = parent;
    childSpec.className = u"ComboBox";
    childSpec.title = u"Child";
    childSpec.items = {u"A", u"B"};
    childSpec.selected = 1;
    childSpec.onDestroyed = [&](Hwnd window) {
        order.push_back(Wm().Title(window));
        EXPECT_EQ(Wm().ComboSelection(window), 1);
    };
    Wm().Create(childSpec);

    Wm().Destroy(parent);
    EXPECT_EQ(order, (std::vector<std::u16string>{u"Child", u"Parent"}));
}

}  // namespace
}  // namespace simwin::testing
