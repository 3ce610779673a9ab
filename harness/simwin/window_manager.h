// The window manager of the simulated Windows: the top-level windows of every
// simulated process in z-order, each with its children in creation order,
// window classes by name or atom, titles, control ids, and the delivery of
// messages to a window on the thread that owns it. One instance per process,
// safe to use from any number of threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace simwin {

class MessageQueue;

// A window handle: never 0, never reused while the process runs.
using Hwnd = std::uintptr_t;

// Window messages and values the simulated controls understand.
inline constexpr std::uint32_t kWmSetText = 0x000C;        // lParam: const char16_t*
inline constexpr std::uint32_t kWmGetText = 0x000D;        // wParam: buffer units, lParam: char16_t*
inline constexpr std::uint32_t kWmGetTextLength = 0x000E;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kBmClick = 0x00F5;          // a Button sends its parent WM_COMMAND
inline constexpr std::uint32_t kCbAddString = 0x0143;      // lParam: const char16_t*
inline constexpr std::uint32_t kCbGetCount = 0x0146;
inline constexpr std::uint32_t kCbGetCurSel = 0x0147;
inline constexpr std::uint32_t kCbGetLbText = 0x0148;      // wParam: index, lParam: char16_t*
inline constexpr std::uint32_t kCbGetLbTextLen = 0x0149;   // wParam: index
inline constexpr std::uint32_t kCbResetContent = 0x014B;
inline constexpr std::uint32_t kCbSetCurSel = 0x014E;      // wParam: index, (WPARAM)-1 clears
inline constexpr std::intptr_t kCbErr = -1;
inline constexpr std::uint16_t kCbnSelChange = 1;
inline constexpr std::uint16_t kBnClicked = 0;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// The system dialog class, by name and by its fixed atom.
inline constexpr std::u16string_view kDialogClassName = u"#32770";
inline constexpr std::uint16_t kDialogClassAtom = 0x8002;

// MAKEWPARAM(low, high).
constexpr std::uintptr_t MakeWParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<std::uintptr_t>(low) | (static_cast<std::uintptr_t>(high) << 16);
}

// One message as delivered to a window procedure.
struct Message {
    Hwnd window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// A window procedure; runs on the thread that owns the window. It may call
// WindowManager::DefaultProcedure for the class's built-in behaviour.
using WindowProcedure = std::function<std::intptr_t(const Message&)>;

// A window class in a search: by atom (when not 0), by name (compared without
// regard to letter case), or any class when neither is given.
struct ClassRef {
    std::uint16_t atom = 0;
    std::u16string name;

    static ClassRef Any() { return {}; }
    static ClassRef ByAtom(std::uint16_t atom) { return {atom, {}}; }
    static ClassRef ByName(std::u16string name) { return {0, std::move(name)}; }
};

// What a new window is.
struct WindowSpec {
    Hwnd parent = 0;                 // 0: a top-level window, placed on top of the z-order
    std::u16string className;        // "#32770", "Static", "Button", "ComboBox" or any other
    std::u16string title;
    int controlId = 0;
    WindowProcedure procedure;       // empty: the class's built-in behaviour only
    // Called once when the window is being destroyed, on the destroying thread,
    // after its children's: it is no longer found nor sent to, but still answers queries.
    std::function<void(Hwnd)> onDestroyed;
    std::vector<std::u16string> items;      // ComboBox: its items
    int selected = -1;                      // ComboBox: the selected item, -1 for none
};

class WindowManager {
public:
    // The one window manager of this process.
    static WindowManager& Instance();

    WindowManager() = default;
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // Creates a window owned by the calling thread (its messages are handled on
    // that thread when it is a UiThread, else directly on the sending thread).
    // 0 when the parent is given but is not a window.
    Hwnd Create(const WindowSpec& setup);
    // Destroys the window and all its descendants (children first); false when
    // it is not a window. Sent messages to a destroyed window answer 0.
    bool Destroy(Hwnd window);
    // Destroys every window (for test isolation); returns how many top-level windows went.
    std::size_t DestroyAll();

    // FindWindowExW: the first direct child of `parent` (top-level windows when 0)
    // after `childAfter` in child order (from the first when 0), whatever the
    // classes in between, whose class matches and whose title equals `title`
    // without regard to letter case, as FindWindowExW compares (FoldCase: any
    // title when none). 0 when there is none, when parent is not a window or
    // childAfter is not one of its children.
    Hwnd Find(Hwnd parent, Hwnd childAfter, const ClassRef& windowClass,
              const std::optional<std::u16string>& title) const;

    // GetDlgItem: the first direct child of `parent` in child order whose
    // control id is `controlId`, when its class is `windowClass` (Any: whatever
    // its class); 0 when there is none, it is of another class, or parent is
    // not a window.
    Hwnd ChildWithId(Hwnd parent, int controlId, const ClassRef& windowClass) const;

    // SendMessageW: handled on the owning thread, the sender waits for the answer
    // (direct call when the sender owns the window or no UiThread does). 0 for a
    // window that does not exist or whose thread has ended.
    std::intptr_t Send(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // SendNotifyMessageW: queued for another thread's window, direct call for the
    // sender's own. False when the window does not exist or its thread has ended.
    bool SendNotify(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
    // RedrawWindow: counts one redraw of the window; false when it is not a window.
    bool Redraw(Hwnd window);

    // SendMessageTimeoutW (SMTO_BLOCK): as Send, but the sender
    // waits at most `milliseconds` (kInfinite: no limit) for the owning thread's answer. False when the
    // time ran out (the message may still be handled later) or the window does
    // not exist or its thread has ended; `result` holds the answer otherwise.
    bool SendTimeout(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                     std::uint32_t milliseconds, std::intptr_t& result);
    // GetWindowThreadProcessId: the process whose thread created the window
    // (CurrentProcessId of that thread); 0 when it is not a window.
    std::uint32_t ProcessOf(Hwnd window) const;

    // The built-in behaviour of a window's class: WM_GETTEXT/WM_SETTEXT/
    // WM_GETTEXTLENGTH for every window, the CB_ messages for a ComboBox,
    // BM_CLICK for a Button; 0 for everything else.
    std::intptr_t DefaultProcedure(const Message& message);

    // Queries; every one answers as for no window when the handle is not one.
    bool IsWindow(Hwnd window) const;
    Hwnd Parent(Hwnd window) const;                    // 0 for a top-level window
    std::u16string Title(Hwnd window) const;
    bool SetTitle(Hwnd window, std::u16string title);
    std::u16string ClassName(Hwnd window) const;
    std::uint16_t ClassAtomOf(Hwnd window) const;      // 0 when not a window
    int ControlId(Hwnd window) const;
    std::vector<Hwnd> Children(Hwnd window) const;     // in child order
    std::vector<Hwnd> TopLevelWindows() const;         // in z-order, topmost first
    std::size_t RedrawCount(Hwnd window) const;
    // True when the window's messages are handled on the calling thread.
    bool IsOwnedByCallingThread(Hwnd window) const;

    // The atom of a class name (case-insensitive), registered on first use;
    // "#32770" is always 0x8002.
    std::uint16_t ClassAtom(std::u16string_view className);

    // ComboBox state, read and set from any thread.
    std::vector<std::u16string> ComboItems(Hwnd combo) const;
    int ComboSelection(Hwnd combo) const;              // -1 when none or not a combo box
    bool SetComboItems(Hwnd combo, std::vector<std::u16string> items, int selected);

    // The message loop of a UiThread hands each of its messages here.
    std::intptr_t Dispatch(const Message& message);
    // A UiThread that has ended destroys the windows it owned.
    void DestroyWindowsOf(const MessageQueue* owner);

private:
    struct Record {
        Hwnd handle = 0;
        Hwnd parent = 0;
        std::u16string className;
        std::uint16_t atom = 0;
        std::u16string title;
        int controlId = 0;
        std::shared_ptr<const WindowProcedure> procedure;
        std::function<void(Hwnd)> onDestroyed;
        std::shared_ptr<MessageQueue> owner;
        std::vector<Hwnd> children;
        std::vector<std::u16string> items;
        int selected = -1;
        std::size_t redraws = 0;
        std::uint32_t process = 0;
        bool dying = false;  // being destroyed: no longer found nor sent to
    };

    const Record* FindRecord(Hwnd window) const;        // lock held; includes dying windows
    Record* FindRecord(Hwnd window);
    const Record* LiveRecord(Hwnd window) const;        // lock held; null for dying windows
    static bool OfClass(const Record& record, const ClassRef& windowClass);
    // Takes the lock: where a message to a live window goes. The queue of its
    // thread, or null when the caller's own thread (or none) handles it at once;
    // none when the window is gone.
    std::optional<std::shared_ptr<MessageQueue>> QueueFor(Hwnd window) const;
    std::uint16_t AtomLocked(std::u16string_view className);  // lock held
    void CollectSubtree(Hwnd window, std::vector<Hwnd>& out) const;  // lock held
    bool DestroyMany(const std::vector<Hwnd>& roots);

    mutable std::mutex mutex_;
    std::unordered_map<Hwnd, Record> windows_;
    std::vector<Hwnd> topLevel_;  // topmost first
    std::unordered_map<std::u16string, std::uint16_t> atoms_;  // by case-folded name
    std::uint16_t nextAtom_ = 0xC000;
    Hwnd nextHandle_ = 0x10010;
};

}  // namespace simwin
