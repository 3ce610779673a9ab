#include "printdialog/print_dialog_watcher.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/process_memory.h"
#include "platform/threads.h"
#include "platform/windows.h"
#include "printdialog/dialog_messages.h"
#include "printdialog/dialog_texts.h"
#include "printdialog/print_job_handoff.h"

namespace vorelle::printdialog {

namespace {

using platform::Window;

// Milliseconds a stage may search, on the monotonic tick: it gives up once
// the time elapsed since its reference is greater.
constexpr std::uint32_t kDialogLimit = 20'000;
constexpr std::uint32_t kComboBoxLimit = 25'000;
constexpr std::uint32_t kButtonLimit = 3'000;
// The longest pause before confirming, should the calendar second not move on.
constexpr std::uint32_t kPauseLimit = 1'000;
// How long the dialog's thread has to answer each message.
constexpr std::uint32_t kAnswerMilliseconds = 5'000;
// At most this many passes between two looks at every dialog's controls.
constexpr std::uint32_t kLookAgainPasses = 16;

constexpr std::size_t kItemTextUnits = 1028;
constexpr std::intptr_t kItemTextMaxLength = kItemTextUnits - 1;
using ItemText = std::array<char16_t, kItemTextUnits>;

constexpr std::u16string_view kEmptyTitle;

// An item buffer lent to a dialog whose thread did not answer in time: it
// may still write into it later, so it is never freed or reused.
void KeepForALateAnswer(std::unique_ptr<ItemText> buffer) {
    platform::KeepForProcessLifetime(buffer.release());
}

class Watcher {
public:
    explicit Watcher(PrintJobHandoff& job) : job_(job), itemText_(std::make_unique<ItemText>()) {}

    // How the job ended.
    PrintDialogOutcome Run() {
        if (job_.StopRequested()) {
            return PrintDialogOutcome::Stopped;
        }
        const std::uint32_t start = platform::TickMilliseconds();
        job_.SetWatcherIdle(false);

        dialog_ = Seek(start, kDialogLimit, [this] { return FindDialog(); });
        if (dialog_ == 0) {
            return Ended(PrintDialogOutcome::NoDialog);
        }
        // The label, or in a pass that finds none, the printer box by its id.
        Window label = 0;
        Window comboBox = 0;
        if (Seek(start, kDialogLimit, [this, &label, &comboBox] {
                label = FindLabel();
                comboBox = label == 0 ? PrinterBoxById() : 0;
                return label != 0 ? label : comboBox;
            }) == 0) {
            return Ended(PrintDialogOutcome::NoPrinterBox);
        }
        if (comboBox == 0) {
            comboBox = Seek(start, kComboBoxLimit, [this, label] {
                if (const Window w = platform::FindWindowAfter(dialog_, label, {0, kComboBoxClass}, kEmptyTitle)) {
                    return w;
                }
                return PrinterBoxById();
            });
            if (comboBox == 0) {
                return Ended(PrintDialogOutcome::NoPrinterBox);
            }
        }
        // A printer the dialog does not list leaves the dialog to the user,
        // as does a selection that did not take, a dialog that stops
        // answering or a stop asked meanwhile: only the printer the script
        // asked for is ever confirmed. A selection that did not take is
        // undone first: the box shows again the printer the dialog prints to.
        switch (SelectPrinter(comboBox)) {
            case Selection::Selected:
                break;
            case Selection::NoMatch:
                return PrintDialogOutcome::NotListed;
            case Selection::NotTaken:
                RestoreBox(comboBox);
                return Ended(PrintDialogOutcome::NotTaken);  // Stopped: the box not put back
            case Selection::Interrupted:
                return Ended(PrintDialogOutcome::NotAnswering);
        }
        if (job_.ShowDialog()) {
            return PrintDialogOutcome::Selected;
        }
        const std::uint32_t buttonStart = platform::TickMilliseconds();
        const Window button = Seek(buttonStart, kButtonLimit, [this] { return FindButton(); });
        if (button == 0) {
            return Ended(PrintDialogOutcome::NoOkButton);
        }
        return Confirm(button) ? PrintDialogOutcome::Confirmed : PrintDialogOutcome::NotAnswering;
    }

private:
    // NotTaken: the combo box answered the selection with another index, or
    // the item selected, read back, no longer names the job's printer; the
    // box has been set, the dialog not told.
    // Interrupted: a message was left unanswered, or a stop was asked.
    enum class Selection { Selected, NoMatch, NotTaken, Interrupted };

    // `outcome`, or Stopped when a stop ended the step.
    PrintDialogOutcome Ended(PrintDialogOutcome outcome) const {
        return stopped_ ? PrintDialogOutcome::Stopped : outcome;
    }

    // Search passes: stop checked first, the limit after every search (so a
    // window found in the pass in which the limit passes is not used), one
    // millisecond's sleep per pass. 0 when stopped or out of time.
    template <typename Search>
    Window Seek(std::uint32_t reference, std::uint32_t limit, Search search) {
        for (;;) {
            if (job_.StopRequested()) {
                stopped_ = true;
                return 0;
            }
            const Window found = search();
            if (platform::MillisecondsSince(reference) > limit) {
                return 0;
            }
            platform::SleepMilliseconds(1);
            if (found != 0) {
                return found;
            }
        }
    }

    // The host's Print dialog: first by the tables, the first dialog of the
    // host's own process under the first caption that has one (Print dialogs
    // of other programs are stepped over); where they find none, the first
    // dialog of the host's own process laid out as a Print dialog. Without
    // any top-level window of the dialog class neither can find one, and the
    // pass ends after that one search.
    //
    // Looking at every dialog's controls costs a search per dialog, so it is
    // done in a pass whose topmost dialog is not the last pass's (a dialog
    // comes up on top of the others, as the Print dialog does) and otherwise
    // once every kLookAgainPasses passes: for a dialog not on top, and for one
    // whose controls were not there yet when it came up.
    Window FindDialog() {
        const Window firstDialog = platform::FindWindowOfClass(0, 0, {kDialogClassAtom, nullptr});
        const bool newOnTop = firstDialog != topDialog_;
        topDialog_ = firstDialog;
        if (firstDialog == 0) {
            return 0;
        }
        for (const std::u16string_view caption : kDialogCaptions) {
            Window after = 0;
            while (Window w = platform::FindWindowAfter(0, after, {kDialogClassAtom, nullptr}, caption)) {
                if (platform::WindowOfThisProcess(w)) {
                    return w;
                }
                after = w;
            }
        }
        if (!newOnTop && ++passesSinceLook_ < kLookAgainPasses) {
            return 0;
        }
        passesSinceLook_ = 0;
        for (Window w = firstDialog; w != 0; w = platform::FindWindowOfClass(0, w, {kDialogClassAtom, nullptr})) {
            if (platform::WindowOfThisProcess(w) && IsPrintDialog(w)) {
                return w;
            }
        }
        return 0;
    }

    // The Print dialog's structure, the same in every language: the printer
    // box cmb4 and the OK button. A Print Setup dialog (its printer box is
    // cmb1) and every other dialog lack one or the other.
    static bool IsPrintDialog(Window dialog) {
        return platform::ChildWithId(dialog, kPrinterComboBoxId, {0, kComboBoxClass}) != 0 &&
               platform::ChildWithId(dialog, kIdOk, {0, kButtonClass}) != 0;
    }

    Window PrinterBoxById() const {
        return platform::ChildWithId(dialog_, kPrinterComboBoxId, {0, kComboBoxClass});
    }

    Window FindLabel() const {
        for (const std::u16string_view text : kNameLabels) {
            if (Window w = platform::FindWindowAfter(dialog_, 0, {0, kStaticClass}, text)) {
                return w;
            }
        }
        return 0;
    }

    // By the captions, else the dialog's IDOK button.
    Window FindButton() const {
        for (const std::u16string_view caption : kConfirmCaptions) {
            if (Window w = platform::FindWindowAfter(dialog_, 0, {0, kButtonClass}, caption)) {
                return w;
            }
        }
        return platform::ChildWithId(dialog_, kIdOk, {0, kButtonClass});
    }

    // One message to the dialog or its combo box, and its answer; empty when
    // it was left unanswered, or when a stop was asked: that is looked at
    // before every message, so a watcher asked to stop (one a hand-over may
    // have given up on and left running) sends the dialog nothing more and
    // never selects its printer in a dialog that is another job's by now.
    std::optional<std::intptr_t> Ask(Window window, std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
        if (job_.StopRequested()) {
            stopped_ = true;
            return std::nullopt;
        }
        return platform::SendWindowMessage(window, message, wParam, lParam, kAnswerMilliseconds);
    }

    // How an item of the box was read.
    enum class ItemRead { Read, Skipped, Unanswered };

    // Reads item `index` of the box into the item buffer. Skipped: an item
    // that does not fit the buffer (or whose length the box cannot tell)
    // cannot be a printer name; it is left unread, never copied past the
    // buffer. Unanswered: a message was left unanswered, or a stop was asked.
    ItemRead ReadItem(Window comboBox, std::uintptr_t index) {
        const std::optional<std::intptr_t> length = Ask(comboBox, kCbGetLbTextLen, index, 0);
        if (!length) {
            return ItemRead::Unanswered;
        }
        if (*length < 0 || *length > kItemTextMaxLength) {
            return ItemRead::Skipped;
        }
        itemText_->fill(u'\0');
        if (!Ask(comboBox, kCbGetLbText, index, reinterpret_cast<std::intptr_t>(itemText_->data()))) {
            if (!stopped_) {
                KeepForALateAnswer(std::move(itemText_));
            }
            return ItemRead::Unanswered;
        }
        return ItemRead::Read;
    }

    // Whether item `index` of the box names the job's printer (compared as
    // Windows compares printer names); empty when a message was left
    // unanswered or a stop was asked.
    std::optional<bool> ItemNamesThePrinter(Window comboBox, std::uintptr_t index) {
        switch (ReadItem(comboBox, index)) {
            case ItemRead::Read:
                return job_.MatchesPrinterName(itemText_->data());
            case ItemRead::Skipped:
                return false;
            case ItemRead::Unanswered:
                break;
        }
        return std::nullopt;
    }

    // The index of the first item whose text `matches`, the items counted
    // again after each one read (the list may change meanwhile); -1 when
    // none does; empty when a message was left unanswered or a stop was asked.
    template <typename Matches>
    std::optional<std::intptr_t> FindItem(Window comboBox, Matches matches) {
        std::optional<std::intptr_t> count = Ask(comboBox, kCbGetCount, 0, 0);
        for (std::intptr_t i = 0; count && i < *count; ++i) {
            const ItemRead read = ReadItem(comboBox, static_cast<std::uintptr_t>(i));
            if (read == ItemRead::Unanswered) {
                return std::nullopt;
            }
            if (read == ItemRead::Read && matches(itemText_->data())) {
                return i;
            }
            count = Ask(comboBox, kCbGetCount, 0, 0);
        }
        if (!count) {
            return std::nullopt;
        }
        return -1;
    }

    // Selects the item that names the job's printer and tells the dialog.
    // Any message left unanswered, or a stop, ends the selection.
    Selection SelectPrinter(Window comboBox) {
        const std::optional<std::intptr_t> found =
            FindItem(comboBox, [this](const char16_t* text) { return job_.MatchesPrinterName(text); });
        if (!found) {
            return Selection::Interrupted;
        }
        if (*found < 0) {
            return Selection::NoMatch;
        }
        if (!NoteHeldItem(comboBox)) {
            return Selection::Interrupted;
        }
        // The list may change between the read and the selection (a printer
        // added or removed while the dialog is open): the box must answer
        // with the index asked for, and that item, read back, must still
        // name the job's printer. Otherwise the box shows another printer,
        // or none, and the dialog is not told of it.
        const std::intptr_t i = *found;
        const auto index = static_cast<std::uintptr_t>(i);
        const std::optional<std::intptr_t> selected = Ask(comboBox, kCbSetCurSel, index, 0);
        if (!selected) {
            return Selection::Interrupted;
        }
        if (*selected != i) {
            return Selection::NotTaken;
        }
        const std::optional<bool> stillNames = ItemNamesThePrinter(comboBox, index);
        if (!stillNames) {
            return Selection::Interrupted;
        }
        if (!*stillNames) {
            return Selection::NotTaken;
        }
        if (!Ask(dialog_, kWmCommand, kSelectionChanged, static_cast<std::intptr_t>(comboBox))) {
            return Selection::Interrupted;
        }
        return Selection::Selected;
    }

    // The item the box shows before the watcher selects, and its text: the
    // printer the dialog holds (it prints to the printer of the last
    // selection it was told of, whatever the box shows). False when a message
    // was left unanswered or a stop was asked.
    bool NoteHeldItem(Window comboBox) {
        const std::optional<std::intptr_t> held = Ask(comboBox, kCbGetCurSel, 0, 0);
        if (!held) {
            return false;
        }
        heldIndex_ = *held;
        heldText_.reset();
        if (*held < 0) {
            return true;
        }
        const ItemRead read = ReadItem(comboBox, static_cast<std::uintptr_t>(*held));
        if (read == ItemRead::Read) {
            heldText_.emplace(itemText_->data());
        }
        return read != ItemRead::Unanswered;
    }

    // After a selection that did not take: the box goes back to the item the
    // dialog holds, found by its text where the list has changed meanwhile
    // (nothing selected when it is no longer listed), so that OK prints to
    // the printer the box shows. The dialog is told nothing: a selection
    // notice would make a printer the script did not name the dialog's. A
    // stop or a message left unanswered ends it, as any other step.
    void RestoreBox(Window comboBox) {
        std::optional<std::intptr_t> index = heldIndex_;
        if (heldText_) {
            index = FindItem(comboBox, [this](const char16_t* text) { return *heldText_ == text; });
        }
        if (index) {
            (void)Ask(comboBox, kCbSetCurSel, static_cast<std::uintptr_t>(*index), 0);
        }
    }

    // False when the dialog could not be told (it went away).
    bool Confirm(Window button) {
        // The dialog gets a moment to take up the selection: until the
        // calendar's seconds count changes, at most one second on the tick.
        // Neither stop nor anything else interrupts it.
        const std::int32_t pauseSecond = platform::CalendarSeconds();
        const std::uint32_t pauseStart = platform::TickMilliseconds();
        while (platform::CalendarSeconds() == pauseSecond &&
               platform::MillisecondsSince(pauseStart) < kPauseLimit) {
        }
        // Either failing (the dialog went away) is traced by the facade; the
        // job ends all the same.
        (void)platform::RedrawWindow(dialog_);
        return platform::NotifyWindow(dialog_, kWmCommand, kConfirm, static_cast<std::intptr_t>(button));
    }

    PrintJobHandoff& job_;
    Window dialog_ = 0;
    Window topDialog_ = 0;             // the topmost dialog-class window of the last pass
    std::uint32_t passesSinceLook_ = 0;  // since the last look at every dialog's controls
    std::unique_ptr<ItemText> itemText_;
    std::intptr_t heldIndex_ = -1;             // the box's selection before the watcher's
    std::optional<std::u16string> heldText_;  // its text, where it was read
    bool stopped_ = false;  // a stop ended a search or kept a message from being sent
};

}  // namespace

void PrintDialogWatcher(void* record) {
    auto& job = *static_cast<PrintJobHandoff*>(record);
    PrintDialogOutcome outcome = PrintDialogOutcome::WatcherFailed;
    try {
        Watcher watcher(job);
        outcome = watcher.Run();
    } catch (...) {
        // Nothing may unwind out of the thread; the job simply ends.
    }
    job.ReportOutcome(outcome);
    // Nothing of the record is touched after this.
    job.SetWatcherIdle(true);
}

}  // namespace vorelle::printdialog
