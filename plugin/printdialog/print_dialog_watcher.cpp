#include "printdialog/print_dialog_watcher.h"

#include <array>
#include <cstdint>

#include "platform/threads.h"
#include "platform/windows.h"
#include "printdialog/dialog_messages.h"
#include "printdialog/dialog_texts.h"
#include "printdialog/print_job_handoff.h"

namespace vorelle::printdialog {

namespace {

using platform::Window;

// Seconds a stage may search, counted as elapsed mod 60 from its reference.
constexpr std::int64_t kDialogLimit = 20;
constexpr std::int64_t kComboBoxLimit = 25;
constexpr std::int64_t kButtonLimit = 3;

constexpr std::size_t kItemTextUnits = 1028;
constexpr std::intptr_t kItemTextMaxLength = kItemTextUnits - 1;

const std::u16string kEmptyTitle;

// Elapsed seconds since `reference`, mod 60 with the sign of the elapsed
// time: 0 or negative when the clock was set back past the reference.
std::int64_t ElapsedMod60(std::int32_t reference) {
    const std::int64_t elapsed =
        static_cast<std::int64_t>(platform::CalendarSeconds()) - reference;
    return elapsed % 60;
}

class Watcher {
public:
    explicit Watcher(PrintJobHandoff& job) : job_(job) {}

    void Run() {
        if (job_.StopRequested()) {
            return;
        }
        const std::int32_t start = platform::CalendarSeconds();
        job_.SetWatcherIdle(false);

        dialog_ = Seek(start, kDialogLimit, [] { return FindDialog(); });
        if (dialog_ == 0) {
            return;
        }
        const Window label = Seek(start, kDialogLimit, [this] { return FindLabel(); });
        if (label == 0) {
            return;
        }
        const Window comboBox = Seek(start, kComboBoxLimit, [this, label] {
            return platform::FindWindowAfter(dialog_, label, {0, kComboBoxClass}, kEmptyTitle);
        });
        if (comboBox == 0) {
            return;
        }
        if (job_.StopRequested()) {
            return;
        }
        SelectPrinter(comboBox);
        if (job_.ShowDialog()) {
            return;
        }
        const std::int32_t buttonStart = platform::CalendarSeconds();
        const Window button = Seek(buttonStart, kButtonLimit, [this] { return FindButton(); });
        if (button == 0) {
            return;
        }
        Confirm(button);
    }

private:
    // Search passes: stop checked first, the limit after every search (so a
    // window found in the pass in which the limit passes is not used), one
    // millisecond's sleep per pass. 0 when stopped or out of time.
    template <typename Search>
    Window Seek(std::int32_t reference, std::int64_t limit, Search search) {
        for (;;) {
            if (job_.StopRequested()) {
                return 0;
            }
            const Window found = search();
            if (ElapsedMod60(reference) > limit) {
                return 0;
            }
            platform::SleepMilliseconds(1);
            if (found != 0) {
                return found;
            }
        }
    }

    static Window FindDialog() {
        for (const std::u16string& caption : kDialogCaptions) {
            if (Window w = platform::FindWindowAfter(0, 0, {kDialogClassAtom, nullptr}, caption)) {
                return w;
            }
        }
        return 0;
    }

    Window FindLabel() const {
        for (const std::u16string& text : kNameLabels) {
            if (Window w = platform::FindWindowAfter(dialog_, 0, {0, kStaticClass}, text)) {
                return w;
            }
        }
        return 0;
    }

    Window FindButton() const {
        for (const std::u16string& caption : kConfirmCaptions) {
            if (Window w = platform::FindWindowAfter(dialog_, 0, {0, kButtonClass}, caption)) {
                return w;
            }
        }
        return 0;
    }

    std::intptr_t ItemCount(Window comboBox) const {
        return platform::SendWindowMessage(comboBox, kCbGetCount, 0, 0);
    }

    void SelectPrinter(Window comboBox) {
        std::intptr_t i = 0;
        if (ItemCount(comboBox) > 0) {
            do {
                const std::intptr_t length = platform::SendWindowMessage(
                    comboBox, kCbGetLbTextLen, static_cast<std::uintptr_t>(i), 0);
                // An item that does not fit the buffer (or whose length the
                // box cannot tell) cannot be a printer name: it is skipped
                // unread, never copied past the buffer.
                if (length >= 0 && length <= kItemTextMaxLength) {
                    itemText_.fill(u'\0');
                    platform::SendWindowMessage(comboBox, kCbGetLbText, static_cast<std::uintptr_t>(i),
                                          reinterpret_cast<std::intptr_t>(itemText_.data()));
                    if (job_.MatchesPrinterName(itemText_.data())) {
                        break;
                    }
                }
                ++i;
            } while (i < ItemCount(comboBox));
        }
        if (i != ItemCount(comboBox)) {
            platform::SendWindowMessage(comboBox, kCbSetCurSel, static_cast<std::uintptr_t>(i), 0);
            platform::SendWindowMessage(dialog_, kWmCommand, kSelectionChanged,
                                  static_cast<std::intptr_t>(comboBox));
        }
    }

    void Confirm(Window button) {
        // The dialog gets a moment to take up the selection: until the
        // seconds count moves on. Neither stop nor anything else interrupts it.
        const std::int32_t pauseStart = platform::CalendarSeconds();
        while (ElapsedMod60(pauseStart) < 1) {
        }
        // Either failing (the dialog went away) is traced by the facade; the
        // job ends all the same.
        (void)platform::RedrawWindow(dialog_);
        (void)platform::NotifyWindow(dialog_, kWmCommand, kConfirm, static_cast<std::intptr_t>(button));
    }

    PrintJobHandoff& job_;
    Window dialog_ = 0;
    std::array<char16_t, kItemTextUnits> itemText_{};
};

}  // namespace

void PrintDialogWatcher(void* record) {
    auto& job = *static_cast<PrintJobHandoff*>(record);
    try {
        Watcher watcher(job);
        watcher.Run();
    } catch (...) {
        // Nothing may unwind out of the thread; the job simply ends.
    }
    // Nothing of the record is touched after this.
    job.SetWatcherIdle(true);
}

}  // namespace vorelle::printdialog
