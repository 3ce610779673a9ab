#include "simwin/window_manager.h"

#include <algorithm>
#include <utility>

#include "simwin/kernel.h"
#include "simwin/message_queue.h"
#include "simwin/other_process.h"
#include "simwin/text.h"

namespace simwin {

namespace {

std::u16string Folded(std::u16string_view text) {
    std::u16string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}

bool IsComboBox(std::u16string_view className) { return EqualsIgnoreCase(className, u"ComboBox"); }

bool IsButton(std::u16string_view className) { return EqualsIgnoreCase(className, u"Button"); }

std::u16string TextAt(std::intptr_t pointer) {
    const auto* text = reinterpret_cast<const char16_t*>(pointer);
    return text != nullptr ? std::u16string(text) : std::u16string();
}

// Copies `text` and its terminator into the caller's buffer, as the CB_GETLBTEXT
// of Windows does: the caller vouches for the buffer's size.
void CopyWithTerminator(const std::u16string& text, std::intptr_t buffer) {
    auto* out = reinterpret_cast<char16_t*>(buffer);
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = u'\0';
}

}  // namespace

WindowManager& WindowManager::Instance() {
    // Never destroyed: UI threads still running while the process exits keep a
    // valid window manager.
    static WindowManager* const instance = new WindowManager();
    return *instance;
}

const WindowManager::Record* WindowManager::FindRecord(Hwnd window) const {
    auto it = windows_.find(window);
    return it != windows_.end() ? &it->second : nullptr;
}

WindowManager::Record* WindowManager::FindRecord(Hwnd window) {
    auto it = windows_.find(window);
    return it != windows_.end() ? &it->second : nullptr;
}

const WindowManager::Record* WindowManager::LiveRecord(Hwnd window) const {
    const Record* record = FindRecord(window);
    return record != nullptr && !record->dying ? record : nullptr;
}

std::uint16_t WindowManager::AtomLocked(std::u16string_view className) {
    std::u16string key = Folded(className);
    if (key == Folded(kDialogClassName)) {
        return kDialogClassAtom;
    }
    auto it = atoms_.find(key);
    if (it != atoms_.end()) {
        return it->second;
    }
    std::uint16_t atom = nextAtom_++;
    atoms_.emplace(std::move(key), atom);
    return atom;
}

std::uint16_t WindowManager::ClassAtom(std::u16string_view className) {
    std::lock_guard lock(mutex_);
    return AtomLocked(className);
}

Hwnd WindowManager::Create(const WindowSpec& setup) {
    std::shared_ptr<MessageQueue> owner = MessageQueue::CurrentShared();
    std::lock_guard lock(mutex_);
    Record* parent = nullptr;
    if (setup.parent != 0) {
        parent = FindRecord(setup.parent);
        if (parent == nullptr || parent->dying) {
            return 0;
        }
    }
    Record record;
    record.handle = nextHandle_;
    nextHandle_ += 4;
    record.parent = setup.parent;
    record.className = setup.className;
    record.atom = AtomLocked(setup.className);
    record.title = setup.title;
    record.controlId = setup.controlId;
    if (setup.procedure) {
        record.procedure = std::make_shared<const WindowProcedure>(setup.procedure);
    }
    record.onDestroyed = setup.onDestroyed;
    record.owner = std::move(owner);
    record.process = CurrentProcessId();
    record.items = setup.items;
    record.selected = setup.selected >= 0 && static_cast<std::size_t>(setup.selected) < setup.items.size()
                          ? setup.selected
                          : -1;
    Hwnd handle = record.handle;
    if (parent != nullptr) {
        parent->children.push_back(handle);
    } else {
        topLevel_.insert(topLevel_.begin(), handle);
    }
    windows_.emplace(handle, std::move(record));
    return handle;
}

void WindowManager::CollectSubtree(Hwnd window, std::vector<Hwnd>& out) const {
    const Record* record = FindRecord(window);
    if (record == nullptr || record->dying) {
        return;
    }
    for (Hwnd child : record->children) {
        CollectSubtree(child, out);
    }
    out.push_back(window);
}

bool WindowManager::DestroyMany(const std::vector<Hwnd>& roots) {
    std::vector<Hwnd> doomed;  // children before their parents
    std::vector<std::pair<Hwnd, std::function<void(Hwnd)>>> callbacks;
    {
        std::lock_guard lock(mutex_);
        for (Hwnd root : roots) {
            CollectSubtree(root, doomed);
        }
        for (Hwnd window : doomed) {
            Record& record = windows_.at(window);
            record.dying = true;
            if (record.onDestroyed) {
                callbacks.emplace_back(window, std::move(record.onDestroyed));
            }
        }
    }
    // Outside the lock: a callback may query the window manager.
    for (auto& [window, callback] : callbacks) {
        callback(window);
    }
    std::lock_guard lock(mutex_);
    for (Hwnd window : doomed) {
        const Record& record = windows_.at(window);
        // A parent destroyed meanwhile by another thread has taken its child list along.
        Record* parent = record.parent != 0 ? FindRecord(record.parent) : nullptr;
        if (record.parent != 0 && parent == nullptr) {
            continue;
        }
        std::vector<Hwnd>& siblings = parent != nullptr ? parent->children : topLevel_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    }
    for (Hwnd window : doomed) {
        windows_.erase(window);
    }
    return !doomed.empty();
}

bool WindowManager::Destroy(Hwnd window) { return DestroyMany({window}); }

std::size_t WindowManager::DestroyAll() {
    std::vector<Hwnd> roots;
    {
        std::lock_guard lock(mutex_);
        for (Hwnd window : topLevel_) {
            if (!windows_.at(window).dying) {
                roots.push_back(window);
            }
        }
    }
    DestroyMany(roots);
    return roots.size();
}

void WindowManager::DestroyWindowsOf(const MessageQueue* owner) {
    std::vector<Hwnd> owned;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [handle, record] : windows_) {
            if (record.owner.get() == owner && !record.dying) {
                owned.push_back(handle);
            }
        }
    }
    DestroyMany(owned);
}

// Ahead of the searches, which call it for every window they pass.
inline bool WindowManager::OfClass(const Record& record, const ClassRef& windowClass) {
    return windowClass.atom != 0          ? record.atom == windowClass.atom
           : !windowClass.name.empty() ? EqualsIgnoreCase(record.className, windowClass.name)
                                        : true;
}

Hwnd WindowManager::Find(Hwnd parent, Hwnd childAfter, const ClassRef& windowClass,
                         const std::optional<std::u16string>& title) const {
    std::lock_guard lock(mutex_);
    const std::vector<Hwnd>* siblings = &topLevel_;
    if (parent != 0) {
        const Record* record = LiveRecord(parent);
        if (record == nullptr) {
            return 0;
        }
        siblings = &record->children;
    }
    auto it = siblings->begin();
    if (childAfter != 0) {
        it = std::find(siblings->begin(), siblings->end(), childAfter);
        if (it == siblings->end()) {
            return 0;
        }
        ++it;
    }
    for (; it != siblings->end(); ++it) {
        const Record& record = windows_.at(*it);
        if (record.dying) {
            continue;
        }
        if (OfClass(record, windowClass) && (!title || EqualsIgnoreCase(record.title, *title))) {
            return record.handle;
        }
    }
    return 0;
}

Hwnd WindowManager::ChildWithId(Hwnd parent, int controlId, const ClassRef& windowClass) const {
    std::lock_guard lock(mutex_);
    const Record* record = LiveRecord(parent);
    if (record == nullptr) {
        return 0;
    }
    for (Hwnd child : record->children) {
        const Record& childRecord = windows_.at(child);
        if (!childRecord.dying && childRecord.controlId == controlId) {
            return OfClass(childRecord, windowClass) ? child : 0;
        }
    }
    return 0;
}

std::intptr_t WindowManager::Send(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::intptr_t result = 0;
    (void)SendTimeout(window, message, wParam, lParam, kInfinite, result);  // 0 for a window that is gone
    return result;
}

std::optional<std::shared_ptr<MessageQueue>> WindowManager::QueueFor(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = LiveRecord(window);
    if (record == nullptr) {
        return std::nullopt;
    }
    if (!record->owner || record->owner.get() == MessageQueue::Current()) {
        return std::shared_ptr<MessageQueue>();
    }
    return record->owner;
}

bool WindowManager::SendNotify(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const std::optional<std::shared_ptr<MessageQueue>> queue = QueueFor(window);
    if (!queue) {
        return false;
    }
    const std::shared_ptr<MessageQueue>& owner = *queue;
    Message sent{window, message, wParam, lParam};
    if (!owner) {
        Dispatch(sent);
        return true;
    }
    MessageQueue::Item item;
    item.kind = MessageQueue::Item::Kind::Notify;
    item.message = sent;
    return owner->Push(std::move(item));
}

bool WindowManager::Redraw(Hwnd window) {
    std::lock_guard lock(mutex_);
    const Record* record = LiveRecord(window);
    if (record == nullptr) {
        return false;
    }
    ++windows_.at(window).redraws;
    return true;
}

std::intptr_t WindowManager::Dispatch(const Message& message) {
    std::shared_ptr<const WindowProcedure> procedure;
    {
        std::lock_guard lock(mutex_);
        const Record* record = LiveRecord(message.window);
        if (record == nullptr) {
            return 0;  // destroyed while the message waited
        }
        procedure = record->procedure;
    }
    return procedure ? (*procedure)(message) : DefaultProcedure(message);
}

std::intptr_t WindowManager::DefaultProcedure(const Message& message) {
    std::unique_lock lock(mutex_);
    Record* record = FindRecord(message.window);
    if (record == nullptr || record->dying) {
        return 0;
    }
    switch (message.message) {
        case kWmGetTextLength:
            return static_cast<std::intptr_t>(record->title.size());
        case kWmGetText: {
            if (message.wParam == 0 || message.lParam == 0) {
                return 0;
            }
            std::u16string text = record->title.substr(0, message.wParam - 1);
            lock.unlock();
            CopyWithTerminator(text, message.lParam);
            return static_cast<std::intptr_t>(text.size());
        }
        case kWmSetText:
            record->title = TextAt(message.lParam);
            return 1;
        default:
            break;
    }
    if (IsComboBox(record->className)) {
        std::vector<std::u16string>& items = record->items;
        const bool inRange = message.wParam < items.size();
        switch (message.message) {
            case kCbGetCount:
                return static_cast<std::intptr_t>(items.size());
            case kCbGetLbTextLen:
                return inRange ? static_cast<std::intptr_t>(items[message.wParam].size()) : kCbErr;
            case kCbGetLbText: {
                if (!inRange || message.lParam == 0) {
                    return kCbErr;
                }
                std::u16string text = items[message.wParam];
                lock.unlock();
                CopyWithTerminator(text, message.lParam);
                return static_cast<std::intptr_t>(text.size());
            }
            case kCbSetCurSel:
                record->selected = inRange ? static_cast<int>(message.wParam) : -1;
                return inRange ? static_cast<std::intptr_t>(message.wParam) : kCbErr;
            case kCbGetCurSel:
                return record->selected;
            case kCbAddString:
                items.push_back(TextAt(message.lParam));
                return static_cast<std::intptr_t>(items.size() - 1);
            case kCbResetContent:
                items.clear();
                record->selected = -1;
                return 0;
            default:
                return 0;
        }
    }
    if (IsButton(record->className) && message.message == kBmClick && record->parent != 0) {
        Hwnd parent = record->parent;
        auto id = static_cast<std::uint16_t>(record->controlId);
        lock.unlock();
        Send(parent, kWmCommand, MakeWParam(id, kBnClicked), static_cast<std::intptr_t>(message.window));
        return 0;
    }
    return 0;
}

bool WindowManager::IsWindow(Hwnd window) const {
    std::lock_guard lock(mutex_);
    return LiveRecord(window) != nullptr;
}

Hwnd WindowManager::Parent(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    return record != nullptr ? record->parent : 0;
}

std::u16string WindowManager::Title(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    return record != nullptr ? record->title : std::u16string();
}

bool WindowManager::SetTitle(Hwnd window, std::u16string title) {
    std::lock_guard lock(mutex_);
    Record* record = FindRecord(window);
    if (record == nullptr || record->dying) {
        return false;
    }
    record->title = std::move(title);
    return true;
}

std::u16string WindowManager::ClassName(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    return record != nullptr ? record->className : std::u16string();
}

std::uint16_t WindowManager::ClassAtomOf(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    return record != nullptr ? record->atom : 0;
}

int WindowManager::ControlId(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    return record != nullptr ? record->controlId : 0;
}

std::vector<Hwnd> WindowManager::Children(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    std::vector<Hwnd> children;
    if (record != nullptr) {
        for (Hwnd child : record->children) {
            if (!windows_.at(child).dying) {
                children.push_back(child);
            }
        }
    }
    return children;
}

std::vector<Hwnd> WindowManager::TopLevelWindows() const {
    std::lock_guard lock(mutex_);
    std::vector<Hwnd> windows;
    for (Hwnd window : topLevel_) {
        if (!windows_.at(window).dying) {
            windows.push_back(window);
        }
    }
    return windows;
}

std::size_t WindowManager::RedrawCount(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(window);
    return record != nullptr ? record->redraws : 0;
}

bool WindowManager::IsOwnedByCallingThread(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = LiveRecord(window);
    return record != nullptr && (!record->owner || record->owner.get() == MessageQueue::Current());
}

std::vector<std::u16string> WindowManager::ComboItems(Hwnd combo) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(combo);
    return record != nullptr && IsComboBox(record->className) ? record->items : std::vector<std::u16string>();
}

int WindowManager::ComboSelection(Hwnd combo) const {
    std::lock_guard lock(mutex_);
    const Record* record = FindRecord(combo);
    return record != nullptr && IsComboBox(record->className) ? record->selected : -1;
}

bool WindowManager::SetComboItems(Hwnd combo, std::vector<std::u16string> items, int selected) {
    std::lock_guard lock(mutex_);
    Record* record = FindRecord(combo);
    if (record == nullptr || record->dying || !IsComboBox(record->className)) {
        return false;
    }
    record->selected = selected >= 0 && static_cast<std::size_t>(selected) < items.size() ? selected : -1;
    record->items = std::move(items);
    return true;
}

// --- Bounded sending and window processes ----------------------------------

bool WindowManager::SendTimeout(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                std::uint32_t milliseconds, std::intptr_t& result) {
    const std::optional<std::shared_ptr<MessageQueue>> queue = QueueFor(window);
    if (!queue) {
        return false;
    }
    const std::shared_ptr<MessageQueue>& owner = *queue;
    Message sent{window, message, wParam, lParam};
    if (!owner) {
        result = Dispatch(sent);
        return true;
    }
    MessageQueue::Item item;
    item.kind = MessageQueue::Item::Kind::Sent;
    item.message = sent;
    // None as well when the window's thread has ended.
    const std::optional<std::intptr_t> answer =
        owner->Call(std::move(item), milliseconds == kInfinite ? Reply::Deadline()
                                                               : std::chrono::steady_clock::now() +
                                                                     std::chrono::milliseconds(milliseconds));
    if (!answer) {
        return false;
    }
    result = *answer;
    return true;
}

std::uint32_t WindowManager::ProcessOf(Hwnd window) const {
    std::lock_guard lock(mutex_);
    const Record* record = LiveRecord(window);
    return record != nullptr ? record->process : 0;
}

}  // namespace simwin
