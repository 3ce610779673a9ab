// FindWindow, GetDlgItem, SendMessage, SendNotifyMessage and RedrawWindow on windows of
// the probe's own: a dialog-class parent whose children stand in the order
// that the print-dialog watcher meets in a Print dialog, with traps between.
#include "platform/win32/win32_api.h"

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/text.h"
#include "platform/threads.h"
#include "platform/windows.h"
#include "tests/wine/platform_probe/probe.h"

namespace probe {
namespace {

using vorelle::platform::FindWindowAfter;
using vorelle::platform::Window;
using vorelle::platform::WindowClass;

constexpr std::uint16_t kDialogAtom = 0x8002;
constexpr UINT kCbGetCount = 0x0146;
constexpr UINT kCbGetLbText = 0x0148;
constexpr UINT kCbSetCurSel = 0x014E;
constexpr UINT kCbGetCurSel = 0x0147;
constexpr UINT kCbAddString = 0x0143;

Window AsWindow(HWND window) {
    return reinterpret_cast<Window>(window);
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* title, int id) {
    return CreateWindowExW(0, className, title, WS_CHILD, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

class WindowOwner {
public:
    explicit WindowOwner(HWND window) : window_(window) {}
    ~WindowOwner() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    WindowOwner(const WindowOwner&) = delete;
    WindowOwner& operator=(const WindowOwner&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

std::string Id(Window window) {
    if (window == 0) {
        return "no window";
    }
    return "control id " + std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(window)));
}

struct CrossThreadAsk {
    Window combo = 0;
    std::uint32_t milliseconds = 5000;
    std::optional<std::intptr_t> answer;
    std::atomic<bool> done{false};
};

void AskFromOtherThread(void* argument) {
    auto* ask = static_cast<CrossThreadAsk*>(argument);
    ask->answer = vorelle::platform::SendWindowMessage(ask->combo, kCbGetCount, 0, 0, ask->milliseconds);
    ask->done = true;
}

std::optional<std::intptr_t> Ask(Window window, UINT message, std::uintptr_t wParam, std::intptr_t lParam) {
    return vorelle::platform::SendWindowMessage(window, message, wParam, lParam, 5000);
}

}  // namespace

void WindowChecks() {
    // A window differing in case only, created first, so that FindWindowExW
    // (which ignores case in titles) meets it before the real one.
    WindowOwner decoy(CreateWindowExW(0, MAKEINTATOM(kDialogAtom), L"vorelle probe dialog",
                                      WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    WindowOwner dialog(CreateWindowExW(0, MAKEINTATOM(kDialogAtom), L"Vorelle Probe Dialog",
                                       WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    Check(decoy.get() != nullptr && dialog.get() != nullptr, "dialog-class windows created");
    if (dialog.get() == nullptr) {
        return;
    }
    HWND parent = dialog.get();
    HWND comboBefore = Child(parent, L"ComboBox", L"", 1);
    HWND lowerLabel = Child(parent, L"Static", L"&name:", 7);
    HWND label = Child(parent, L"Static", L"&Name:", 2);
    Child(parent, L"Button", L"Go", 3);
    Child(parent, L"Edit", L"", 4);
    HWND combo = Child(parent, L"ComboBox", L"", 5);

    const WindowClass staticClass{0, u"Static"};
    const WindowClass comboClass{0, u"ComboBox"};
    const Window p = AsWindow(parent);

    Window found = FindWindowAfter(0, 0, WindowClass{kDialogAtom, nullptr}, u"VORELLE PROBE DIALOG");
    Check(found == AsWindow(parent) || found == AsWindow(decoy.get()),
          "top-level window by class atom 0x8002 and its caption in other letter case",
          found == 0 ? "not found" : "another window");
    Check(FindWindowAfter(0, 0, WindowClass{kDialogAtom, nullptr}, u"Vorelle Probe Dialog?") == 0,
          "no top-level window for an unknown caption");
    // As the watcher meets another program's Print dialog on top of the
    // host's Print Setup: searching on after the window on top, a caption
    // that only begins with the one sought is passed over, one in other
    // letter case is taken (Wine's FindWindowExW compares the whole title,
    // ignoring case, and so does the search after a window).
    WindowOwner setup(CreateWindowExW(0, MAKEINTATOM(kDialogAtom), L"Vorelle Probe Dialog Setup",
                                      WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    WindowOwner onTop(CreateWindowExW(0, MAKEINTATOM(kDialogAtom), L"Vorelle Probe Dialog",
                                      WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    const HWND below = GetWindow(onTop.get(), GW_HWNDNEXT);
    found = FindWindowAfter(0, AsWindow(onTop.get()), WindowClass{kDialogAtom, nullptr},
                            u"VORELLE PROBE DIALOG");
    Check(below == setup.get() && (found == AsWindow(parent) || found == AsWindow(decoy.get())),
          "after a window on top: not the caption that only begins with the one sought below "
          "it, the one in other letter case further down",
          below != setup.get() ? "the windows are not stacked as created"
          : found == AsWindow(setup.get()) ? "the longer caption was taken"
                                           : found == 0 ? "not found" : "another window");
    Check(vorelle::platform::WindowOfThisProcess(AsWindow(parent)) &&
              !vorelle::platform::WindowOfThisProcess(0),
          "the probe's own window belongs to its process");
    const HWND shell = GetShellWindow();
    Check(shell == nullptr || !vorelle::platform::WindowOfThisProcess(AsWindow(shell)),
          "the desktop shell's window does not",
          shell == nullptr ? "(no shell window here)" : "");

    found = FindWindowAfter(p, 0, staticClass, u"&Name:");
    Check(found == AsWindow(lowerLabel), "label by title without regard to case, first in child order",
          Id(found));
    found = FindWindowAfter(p, AsWindow(lowerLabel), staticClass, u"&NAME:");
    Check(found == AsWindow(label), "the next one after it", Id(found));
    Check(vorelle::platform::EqualIgnoringCase(u"Drucker B\u00FCro", u"DRUCKER B\u00DCRO") &&
              !vorelle::platform::EqualIgnoringCase(u"Drucker", u"Drucker "),
          "names compare without regard to case, Latin-1 letters too");
    found = FindWindowAfter(p, AsWindow(comboBefore), staticClass, u"&Name:");
    Check(found == AsWindow(lowerLabel), "child after a combo box: the first label after it",
          Id(found));
    found = FindWindowAfter(p, AsWindow(label), comboClass, u"");
    Check(found == AsWindow(combo),
          "combo box after the label, past a Button and an Edit between", Id(found));
    found = FindWindowAfter(p, AsWindow(label), WindowClass{0, u"combobox"}, u"");
    Check(found == AsWindow(combo), "class names compare without regard to case", Id(found));
    Check(FindWindowAfter(p, AsWindow(combo), comboClass, u"") == 0,
          "nothing after the last combo box");
    Check(FindWindowAfter(p, 0, WindowClass{0, u"Button"}, u"G") == 0 &&
              FindWindowAfter(p, AsWindow(comboBefore), WindowClass{0, u"Button"}, u"G") == 0,
          "a title is not matched by its beginning, from the first child or after one");
    found = FindWindowAfter(p, 0, WindowClass{0, u"Button"}, u"Go");
    Check(GetDlgCtrlID(reinterpret_cast<HWND>(found)) == 3, "button by its caption", Id(found));

    HWND caseless = FindWindowExW(parent, nullptr, L"Static", L"&Name:");
    Note(caseless == lowerLabel
             ? "FindWindowExW compares titles without regard to case here (\"&Name:\" found "
               "\"&name:\")"
             : "FindWindowExW compares titles exactly here");
    HWND raw = FindWindowExW(parent, label, L"ComboBox", L"");
    Note(raw == nullptr
             ? "FindWindowExW(dialog, label, \"ComboBox\", \"\") finds nothing here "
               "(Wine 8: child-after only among windows of the searched class)"
             : "FindWindowExW(dialog, label, \"ComboBox\", \"\") finds the combo box here");

    Ask(AsWindow(combo), kCbAddString, 0, reinterpret_cast<std::intptr_t>(L"Office Laser"));
    Ask(AsWindow(combo), kCbAddString, 0, reinterpret_cast<std::intptr_t>(L"Invoices"));
    Check(Ask(AsWindow(combo), kCbGetCount, 0, 0) == 2, "SendMessageTimeout answers CB_GETCOUNT");
    char16_t item[32] = {};
    Ask(AsWindow(combo), kCbGetLbText, 1, reinterpret_cast<std::intptr_t>(item));
    Check(std::u16string(item) == u"Invoices", "CB_GETLBTEXT copies the item text",
          Narrow(item));
    Ask(AsWindow(combo), kCbSetCurSel, 1, 0);
    Check(Ask(AsWindow(combo), kCbGetCurSel, 0, 0) == 1, "CB_SETCURSEL selects the item");

    // From another thread, as the watcher asks: answered on this thread while
    // it takes its messages.
    CrossThreadAsk ask;
    ask.combo = AsWindow(combo);
    vorelle::platform::Thread asker =
        vorelle::platform::Thread::Start(AskFromOtherThread, &ask);
    Check(static_cast<bool>(asker), "thread started");
    const std::uint32_t started = vorelle::platform::TickMilliseconds();
    while (!ask.done && vorelle::platform::MillisecondsSince(started) < 10000) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    Check(ask.done && ask.answer == 2, "SendMessageTimeout from another thread is answered",
          ask.answer ? "answer " + std::to_string(*ask.answer) : "no answer");
    Check(asker.JoinFor(10000), "the asking thread ends");

    // This thread takes no messages: the other thread's bounded send gives up.
    CrossThreadAsk unanswered;
    unanswered.combo = AsWindow(combo);
    unanswered.milliseconds = 300;
    const std::uint32_t asked = vorelle::platform::TickMilliseconds();
    vorelle::platform::Thread second =
        vorelle::platform::Thread::Start(AskFromOtherThread, &unanswered);
    const bool ended = second.JoinFor(10000);
    const std::uint32_t took = vorelle::platform::MillisecondsSince(asked);
    Check(ended && !unanswered.answer && took < 5000,
          "SendMessageTimeout to a thread that takes no messages gives up in time",
          std::to_string(took) + " ms");
    MSG pending;
    while (PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&pending);  // the late message, answered to nobody
    }

    Check(vorelle::platform::NotifyWindow(AsWindow(parent), WM_NULL, 0, 0),
          "SendNotifyMessage delivers");
    Check(vorelle::platform::RedrawWindow(AsWindow(parent)), "RedrawWindow with flags 0");
    Check(FindWindowAfter(0, 0, WindowClass{0, nullptr}, u"x") == 0, "no class given: no window");

    // By control id (GetDlgItem), only of the class asked; by class, any title.
    found = vorelle::platform::ChildWithId(p, 5, comboClass);
    Check(found == AsWindow(combo), "child by its control id", Id(found));
    Check(vorelle::platform::ChildWithId(p, 2, comboClass) == 0 &&
              vorelle::platform::ChildWithId(p, 99, comboClass) == 0,
          "no child by an id of another class's window or an id nobody has");
    found = vorelle::platform::FindWindowOfClass(p, AsWindow(comboBefore), comboClass);
    Check(found == AsWindow(combo), "next child of a class, any title", Id(found));
    Check(vorelle::platform::FindWindowOfClass(0, 0, WindowClass{kDialogAtom, nullptr}) != 0,
          "a top-level dialog-class window, any title");
}

}  // namespace probe
