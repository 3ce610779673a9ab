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

// Milliseconds the search may go on, on the monotonic tick: it gives up once
// the time elapsed since its start is greater. The dialog and its label must
// come within the first; a dialog whose label came in time has until the
// second for its printer box and its OK button.
constexpr std::uint32_t kDialogLimit = 20'000;
constexpr std::uint32_t kComboBoxLimit = 25'000;
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

// What a look at one dialog found of the Print dialog's layout.
struct Layout {
    Window dialog = 0;
    Window label = 0;  // the printer-name label, by the tables
    Window box = 0;    // the printer box: the combo box after the label, else cmb4
    Window ok = 0;     // the OK button: by the tables' captions, else IDOK
    // Laid out as a Print dialog: only such a dialog is ever sent a message.
    bool Complete() const { return box != 0 && ok != 0; }
};

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

        if (!SeekPrintDialog(start)) {
            return Ended(furthest_);
        }
        // A printer the dialog does not list leaves the dialog to the user,
        // as does a selection that did not take, a dialog that stops
        // answering or a stop asked meanwhile: only the printer the script
        // asked for is ever confirmed. A selection that did not take is
        // undone first: the box shows again the printer the dialog prints to.
        switch (SelectPrinter(found_.box)) {
            case Selection::Selected:
                break;
            case Selection::NoMatch:
                return PrintDialogOutcome::NotListed;
            case Selection::NotTaken:
                RestoreBox(found_.box);
                return Ended(PrintDialogOutcome::NotTaken);  // Stopped: the box not put back
            case Selection::Interrupted:
                return Ended(PrintDialogOutcome::NotAnswering);
        }
        if (job_.ShowDialog()) {
            return PrintDialogOutcome::Selected;
        }
        // A stop asked since the selection was told keeps the dialog from
        // being confirmed; once the pause has begun, it no longer does.
        if (job_.StopRequested()) {
            return PrintDialogOutcome::Stopped;
        }
        return Confirm(found_.ok) ? PrintDialogOutcome::Confirmed : PrintDialogOutcome::NotAnswering;
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

    // Seeks the Print dialog in passes: stop checked first, the limit after
    // every search (so a window found in the pass in which the limit passes
    // is not used), one millisecond's sleep per pass. Every pass looks at
    // every dialog that may be the Print dialog, so a dialog that bears its
    // caption but is laid out otherwise (a message of the host's own titled
    // "Print") neither ends the search nor holds it: the Print dialog that
    // comes after it, or beside it, is still found. After the first limit
    // only the dialog whose label came in time is looked at, until the
    // second. True when the Print dialog is found (in found_); otherwise
    // furthest_ tells how far any dialog came.
    bool SeekPrintDialog(std::uint32_t start) {
        bool late = false;
        for (;;) {
            if (job_.StopRequested()) {
                stopped_ = true;
                return false;
            }
            pass_ = Pass{};
            const bool found = late ? LookAgainAtLabelled() : FindPrintDialog();
            const std::uint32_t elapsed = platform::MillisecondsSince(start);
            const bool inTime = elapsed <= (late ? kComboBoxLimit : kDialogLimit);
            if (inTime) {
                furthest_ = FurtherOf(furthest_, pass_.furthest);
                if (!late) {
                    labelled_ = pass_.labelled;
                }
            } else if (late || labelled_.dialog == 0 || elapsed > kComboBoxLimit) {
                return false;
            } else {
                late = true;
            }
            platform::SleepMilliseconds(1);
            if (found && inTime) {
                return true;
            }
        }
    }

    // The further of two stages of the search: no dialog under the
    // captions, one without a printer box, one with its box but no OK button.
    static PrintDialogOutcome FurtherOf(PrintDialogOutcome a, PrintDialogOutcome b) {
        const auto stage = [](PrintDialogOutcome outcome) {
            return outcome == PrintDialogOutcome::NoOkButton ? 2 : outcome == PrintDialogOutcome::NoPrinterBox ? 1 : 0;
        };
        return stage(b) > stage(a) ? b : a;
    }

    // The host's Print dialog: first by the tables, every dialog of the host's
    // own process under each caption in turn, the first laid out as a Print
    // dialog (Print dialogs of other programs are stepped over); where they
    // find none, the first dialog of the host's own process with cmb4 and
    // IDOK. Without any top-level window of the dialog class neither can find
    // one, and the pass ends after that one search.
    //
    // Looking at every dialog's controls costs a search per dialog, so it is
    // done in a pass whose topmost dialog is not the last pass's (a dialog
    // comes up on top of the others, as the Print dialog does) and otherwise
    // once every kLookAgainPasses passes: for a dialog not on top, and for one
    // whose controls were not there yet when it came up.
    bool FindPrintDialog() {
        const Window firstDialog = platform::FindWindowOfClass(0, 0, {kDialogClassAtom, nullptr});
        const bool newOnTop = firstDialog != topDialog_;
        topDialog_ = firstDialog;
        if (firstDialog == 0) {
            return false;
        }
        for (const std::u16string_view caption : kDialogCaptions) {
            Window after = 0;
            while (Window w = platform::FindWindowAfter(0, after, {kDialogClassAtom, nullptr}, caption)) {
                if (platform::WindowOfThisProcess(w) && Take(LookAt(w, 0))) {
                    return true;
                }
                after = w;
            }
        }
        if (!newOnTop && ++passesSinceLook_ < kLookAgainPasses) {
            return false;
        }
        passesSinceLook_ = 0;
        for (Window w = firstDialog; w != 0; w = platform::FindWindowOfClass(0, w, {kDialogClassAtom, nullptr})) {
            if (platform::WindowOfThisProcess(w) && IsPrintDialog(w)) {
                const Layout seen = LookAt(w, 0);
                if (seen.Complete()) {
                    found_ = seen;
                    return true;
                }
            }
        }
        return false;
    }

    // The dialog whose label came within the first limit, once that has
    // passed: its printer box and OK button may still come.
    bool LookAgainAtLabelled() { return Take(LookAt(labelled_.dialog, labelled_.label)); }

    // A dialog of the host's own under one of the captions: taken when it is
    // laid out as a Print dialog; otherwise noted, and the search goes on.
    bool Take(const Layout& seen) {
        if (seen.Complete()) {
            found_ = seen;
            return true;
        }
        pass_.furthest = FurtherOf(pass_.furthest, seen.box != 0 ? PrintDialogOutcome::NoOkButton
                                                                 : PrintDialogOutcome::NoPrinterBox);
        if (seen.label != 0 && pass_.labelled.dialog == 0) {
            pass_.labelled = seen;
        }
        return false;
    }

    // The Print dialog's controls in `dialog`, `label` when already known.
    // The OK button is looked for only beside a printer box.
    static Layout LookAt(Window dialog, Window label) {
        Layout seen;
        seen.dialog = dialog;
        seen.label = label != 0 ? label : FindLabel(dialog);
        if (seen.label != 0) {
            seen.box = platform::FindWindowAfter(dialog, seen.label, {0, kComboBoxClass}, kEmptyTitle);
        }
        if (seen.box == 0) {
            seen.box = PrinterBoxById(dialog);
        }
        if (seen.box != 0) {
            seen.ok = FindButton(dialog);
        }
        return seen;
    }

    // The Print dialog's structure, the same in every language: the printer
    // box cmb4 and the OK button. A Print Setup dialog (its printer box is
    // cmb1) and every other dialog lack one or the other.
    static bool IsPrintDialog(Window dialog) {
        return PrinterBoxById(dialog) != 0 && platform::ChildWithId(dialog, kIdOk, {0, kButtonClass}) != 0;
    }

    static Window PrinterBoxById(Window dialog) {
        return platform::ChildWithId(dialog, kPrinterComboBoxId, {0, kComboBoxClass});
    }

    static Window FindLabel(Window dialog) {
        for (const std::u16string_view text : kNameLabels) {
            if (Window w = platform::FindWindowAfter(dialog, 0, {0, kStaticClass}, text)) {
                return w;
            }
        }
        return 0;
    }

    // By the captions, else the dialog's IDOK button.
    static Window FindButton(Window dialog) {
        for (const std::u16string_view caption : kConfirmCaptions) {
            if (Window w = platform::FindWindowAfter(dialog, 0, {0, kButtonClass}, caption)) {
                return w;
            }
        }
        return platform::ChildWithId(dialog, kIdOk, {0, kButtonClass});
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
        if (!Ask(found_.dialog, kWmCommand, kSelectionChanged, static_cast<std::intptr_t>(comboBox))) {
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
        (void)platform::RedrawWindow(found_.dialog);
        return platform::NotifyWindow(found_.dialog, kWmCommand, kConfirm, static_cast<std::intptr_t>(button));
    }

    // What one search pass saw of the dialogs it did not take.
    struct Pass {
        PrintDialogOutcome furthest = PrintDialogOutcome::NoDialog;
        Layout labelled;  // the first with its label
    };

    PrintJobHandoff& job_;
    Layout found_;                                            // the Print dialog, once found
    Pass pass_;                                               // the pass under way
    Layout labelled_;                                         // the last pass's dialog with its label
    PrintDialogOutcome furthest_ = PrintDialogOutcome::NoDialog;  // how far any dialog came in time
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
