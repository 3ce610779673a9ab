#include "simwin/print_dialog.h"

#include <algorithm>
#include <condition_variable>
#include <thread>
#include <utility>

namespace simwin {

namespace {

constexpr int kNameLabelId = 0x0445;  // stc6 of the standard Print dialog
constexpr std::uint16_t kCodeFromAccelerator = 1;

WindowSpec ChildWindow(Hwnd parent, const ChildSpec& child) {
    WindowSpec setup;
    setup.parent = parent;
    setup.className = child.className;
    setup.title = child.title;
    setup.controlId = child.controlId;
    setup.items = child.items;
    setup.selected = child.selected;
    return setup;
}

}  // namespace

struct PrintDialog::Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    DialogState state = DialogState::NotOpened;
    // The answer decided while the windows are being destroyed; none: they just vanish.
    std::optional<DialogState> pendingOutcome;
    std::optional<std::u16string> confirmedPrinter;
    Hwnd dialog = 0;
    Hwnd label = 0;
    Hwnd combo = 0;
    Hwnd ok = 0;
    Hwnd cancel = 0;
    int comboId = kPrinterComboId;
    std::size_t selectionChanges = 0;
    int notifiedSelection = -1;
    std::u16string printer;  // what OK prints to: as it came up, then as each notice said
    int lastSelection = -1;
    std::vector<std::u16string> lastItems;
    std::vector<Message> dialogMessages;
    std::vector<Message> comboMessages;
    std::optional<ListChange> listChange;
    std::size_t countedForChange = 0;  // messages counted towards it since the dialog opened

    // Records the answer unless the dialog has already got one. False when it has.
    bool Decide(DialogState outcome, std::optional<std::u16string> printer) {
        std::lock_guard lock(mutex);
        if (state != DialogState::Open || pendingOutcome) {
            return false;
        }
        pendingOutcome = outcome;
        confirmedPrinter = std::move(printer);
        return true;
    }

    // The dialog window is going: it closes with the decided answer, or none.
    void DialogGone() {
        std::lock_guard lock(mutex);
        if (state == DialogState::Open) {
            state = pendingOutcome.value_or(DialogState::Closed);
            if (state != DialogState::Confirmed) {
                confirmedPrinter.reset();
            }
        }
        dialog = label = ok = cancel = 0;
        changed.notify_all();
    }

    // The combo box is going: keep what it last showed.
    void ComboGone(Hwnd window) {
        WindowManager& windows = WindowManager::Instance();
        std::vector<std::u16string> items = windows.ComboItems(window);
        int selection = windows.ComboSelection(window);
        std::lock_guard lock(mutex);
        lastItems = std::move(items);
        lastSelection = selection;
        combo = 0;
    }

    std::intptr_t DialogProcedure(const Message& message) {
        WindowManager& windows = WindowManager::Instance();
        Hwnd printerCombo = 0;
        int comboId = 0;
        {
            std::lock_guard lock(mutex);
            dialogMessages.push_back(message);
            printerCombo = combo;
            comboId = this->comboId;
        }
        if (message.message == kWmCommand) {
            auto id = static_cast<std::uint16_t>(message.wParam & 0xFFFF);
            auto code = static_cast<std::uint16_t>((message.wParam >> 16) & 0xFFFF);
            if (id == comboId && code == kCbnSelChange) {
                const std::vector<std::u16string> items = windows.ComboItems(printerCombo);
                const int selection = windows.ComboSelection(printerCombo);
                std::lock_guard lock(mutex);
                ++selectionChanges;
                notifiedSelection = selection;
                if (selection >= 0 && static_cast<std::size_t>(selection) < items.size()) {
                    printer = items[static_cast<std::size_t>(selection)];
                }
                changed.notify_all();
                return 0;
            }
            if ((id == kIdOk || id == kIdCancel) && (code == kBnClicked || code == kCodeFromAccelerator)) {
                if (id == kIdOk) {
                    std::u16string held;
                    {
                        std::lock_guard lock(mutex);
                        held = printer;
                    }
                    Decide(DialogState::Confirmed, std::move(held));
                } else {
                    Decide(DialogState::Cancelled, std::nullopt);
                }
                windows.Destroy(message.window);
                return 0;
            }
        }
        return windows.DefaultProcedure(message);
    }

    std::intptr_t ComboProcedure(const Message& message) {
        std::optional<std::vector<std::u16string>> change;
        {
            std::lock_guard lock(mutex);
            comboMessages.push_back(message);
            if (listChange && (listChange->message == 0 || listChange->message == message.message) &&
                ++countedForChange == listChange->after) {
                change = listChange->printers;
            }
        }
        WindowManager& windows = WindowManager::Instance();
        const std::intptr_t answer = windows.DefaultProcedure(message);
        if (change) {
            const std::vector<std::u16string> items = windows.ComboItems(message.window);
            const int selection = windows.ComboSelection(message.window);
            const std::vector<std::u16string>& printers = *change;
            int kept = -1;
            if (selection >= 0 && static_cast<std::size_t>(selection) < items.size()) {
                const auto it = std::find(printers.begin(), printers.end(), items[selection]);
                kept = it == printers.end() ? -1 : static_cast<int>(it - printers.begin());
            }
            windows.SetComboItems(message.window, printers, kept);
        }
        return answer;
    }
};

PrintDialog::PrintDialog(UiThread& thread, PrintDialogOptions options)
    : thread_(thread), options_(std::move(options)), shared_(std::make_shared<Shared>()) {}

PrintDialog::~PrintDialog() { Close(); }

bool PrintDialog::Open() {
    std::lock_guard operation(operation_);
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->state == DialogState::Open) {
            return false;
        }
    }
    std::shared_ptr<Shared> shared = shared_;
    const PrintDialogOptions& options = options_;
    return thread_.Invoke([&shared, &options] {
        WindowManager& windows = WindowManager::Instance();
        const int comboId =
            options.layout.kind == PrintDialogKind::PrintSetup ? kSetupPrinterComboId : kPrinterComboId;
        {
            std::lock_guard lock(shared->mutex);
            shared->state = DialogState::Open;
            shared->pendingOutcome.reset();
            shared->confirmedPrinter.reset();
            shared->comboId = comboId;
            shared->listChange = options.layout.listChange;
            shared->countedForChange = 0;
            const bool listed = options.selected >= 0 &&
                                static_cast<std::size_t>(options.selected) < options.printers.size();
            shared->printer = listed ? options.printers[static_cast<std::size_t>(options.selected)] : u"";
        }
        WindowSpec dialogSpec;
        dialogSpec.className = std::u16string(kDialogClassName);
        dialogSpec.title = options.texts.caption;
        dialogSpec.procedure = [shared](const Message& message) { return shared->DialogProcedure(message); };
        dialogSpec.onDestroyed = [shared](Hwnd) { shared->DialogGone(); };
        Hwnd dialog = windows.Create(dialogSpec);
        {
            std::lock_guard lock(shared->mutex);
            shared->dialog = dialog;
        }
        std::this_thread::sleep_for(options.layout.childrenAfter);

        auto createLabel = [&] {
            Hwnd label = windows.Create(ChildWindow(dialog, {u"Static", options.texts.nameLabel, kNameLabelId, {}, -1}));
            std::lock_guard lock(shared->mutex);
            shared->label = label;
        };
        auto createCombo = [&] {
            WindowSpec setup = ChildWindow(
                dialog, {u"ComboBox", options.layout.comboTitle, comboId, options.printers, options.selected});
            setup.procedure = [shared](const Message& message) { return shared->ComboProcedure(message); };
            setup.onDestroyed = [shared](Hwnd window) { shared->ComboGone(window); };
            Hwnd combo = windows.Create(setup);
            std::lock_guard lock(shared->mutex);
            shared->combo = combo;
        };
        if (options.layout.comboBeforeLabel) {
            createCombo();
        } else {
            createLabel();
        }
        for (const ChildSpec& extra : options.layout.betweenLabelAndCombo) {
            windows.Create(ChildWindow(dialog, extra));
        }
        if (options.layout.comboBeforeLabel) {
            createLabel();
        } else {
            createCombo();
        }
        Hwnd ok = 0;
        if (options.layout.withOkButton) {
            ok = windows.Create(ChildWindow(dialog, {u"Button", options.texts.okCaption, kIdOk, {}, -1}));
        }
        Hwnd cancel = windows.Create(ChildWindow(dialog, {u"Button", options.texts.cancelCaption, kIdCancel, {}, -1}));
        std::lock_guard lock(shared->mutex);
        shared->ok = ok;
        shared->cancel = cancel;
    });
}

void PrintDialog::Cancel() {
    std::lock_guard operation(operation_);
    shared_->Decide(DialogState::Cancelled, std::nullopt);
    WindowManager::Instance().Destroy(Window());
}

void PrintDialog::Close() {
    std::lock_guard operation(operation_);
    WindowManager::Instance().Destroy(Window());
}

DialogState PrintDialog::WaitUntilClosed(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait_for(lock, timeout, [this] { return shared_->state != DialogState::Open; });
    return shared_->state;
}

DialogState PrintDialog::State() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state;
}

bool PrintDialog::IsOpen() const { return State() == DialogState::Open; }

std::optional<std::u16string> PrintDialog::ConfirmedPrinter() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state == DialogState::Confirmed ? shared_->confirmedPrinter : std::nullopt;
}

std::size_t PrintDialog::SelectionChangeCount() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->selectionChanges;
}

int PrintDialog::NotifiedSelection() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->notifiedSelection;
}

int PrintDialog::SelectedIndex() const {
    // The combo box's destruction waits for this lock to keep its last state, so a
    // combo box known here still answers.
    std::lock_guard lock(shared_->mutex);
    return shared_->combo != 0 ? WindowManager::Instance().ComboSelection(shared_->combo) : shared_->lastSelection;
}

std::optional<std::u16string> PrintDialog::SelectedPrinter() const {
    std::lock_guard lock(shared_->mutex);
    WindowManager& windows = WindowManager::Instance();
    std::vector<std::u16string> items = shared_->combo != 0 ? windows.ComboItems(shared_->combo) : shared_->lastItems;
    int selection = shared_->combo != 0 ? windows.ComboSelection(shared_->combo) : shared_->lastSelection;
    if (selection < 0 || static_cast<std::size_t>(selection) >= items.size()) {
        return std::nullopt;
    }
    return items[selection];
}

std::vector<Message> PrintDialog::DialogMessages() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->dialogMessages;
}

std::vector<Message> PrintDialog::ComboMessages() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->comboMessages;
}

Hwnd PrintDialog::Window() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->dialog;
}

Hwnd PrintDialog::Label() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->label;
}

Hwnd PrintDialog::Combo() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->combo;
}

Hwnd PrintDialog::OkButton() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->ok;
}

Hwnd PrintDialog::CancelButton() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->cancel;
}

DialogWindow DialogWindow::Create(UiThread* thread, std::u16string caption, std::vector<ChildSpec> children) {
    DialogWindow result;
    result.log_ = std::make_shared<Log>();
    auto create = [&result, &caption, &children] {
        WindowManager& windows = WindowManager::Instance();
        WindowSpec setup;
        setup.className = std::u16string(kDialogClassName);
        setup.title = caption;
        setup.procedure = [log = result.log_](const Message& message) {
            {
                std::lock_guard lock(log->mutex);
                log->messages.push_back(message);
            }
            return WindowManager::Instance().DefaultProcedure(message);
        };
        result.window_ = windows.Create(setup);
        for (const ChildSpec& child : children) {
            result.children_.push_back(windows.Create(ChildWindow(result.window_, child)));
        }
    };
    if (thread != nullptr) {
        if (!thread->Invoke(create)) {
            return DialogWindow();
        }
    } else {
        create();
    }
    return result;
}

DialogWindow::~DialogWindow() { Destroy(); }

DialogWindow::DialogWindow(DialogWindow&& other) noexcept
    : window_(std::exchange(other.window_, 0)), children_(std::move(other.children_)), log_(std::move(other.log_)) {}

DialogWindow& DialogWindow::operator=(DialogWindow&& other) noexcept {
    if (this != &other) {
        Destroy();
        window_ = std::exchange(other.window_, 0);
        children_ = std::move(other.children_);
        log_ = std::move(other.log_);
    }
    return *this;
}

std::vector<Message> DialogWindow::Messages() const {
    if (!log_) {
        return {};
    }
    std::lock_guard lock(log_->mutex);
    return log_->messages;
}

void DialogWindow::Destroy() {
    if (window_ != 0) {
        WindowManager::Instance().Destroy(window_);
        window_ = 0;
    }
    children_.clear();
}

}  // namespace simwin
