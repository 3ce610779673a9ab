// Shared by fmhost's tests: the paths of the test plug-in and of the fmhost
// program, and a user who answers the host's Print dialog.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "simwin/window_manager.h"
#include "tests/bounded_wait.h"

namespace fmhost_test {

inline const std::string kTestPlugin = FMHOST_TEST_PLUGIN;
inline const std::string kFmhost = FMHOST_PROGRAM;

// Waits (up to the bound) for a top-level dialog titled `caption` with a "Static"
// child titled `label` and a "ComboBox" (before or after it), then selects the
// combo item `printer` as a pick in the box does (the box tells the dialog),
// runs `beforeOk` (when given) and presses OK. Runs on
// its own thread, like a person at the screen; tells where the combo box stood
// and its control id.
class DialogUser {
public:
    DialogUser(std::u16string caption, std::u16string label, std::u16string printer,
               std::function<void()> beforeOk = {})
        : beforeOk_(std::move(beforeOk)),
          thread_([this, caption, label, printer] { Run(caption, label, printer); }) {}
    ~DialogUser() { thread_.join(); }
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;
    bool Answered() const { return answered_; }
    bool ComboBeforeLabel() const { return comboBeforeLabel_; }
    int ComboId() const { return comboId_; }

private:
    void Run(const std::u16string& caption, const std::u16string& label, const std::u16string& printer) {
        simwin::WindowManager& windows = simwin::WindowManager::Instance();
        const auto deadline = std::chrono::steady_clock::now() + test_support::kWaitBound;
        while (std::chrono::steady_clock::now() < deadline) {
            const simwin::Hwnd dialog =
                windows.Find(0, 0, simwin::ClassRef::ByAtom(simwin::kDialogClassAtom), caption);
            const simwin::Hwnd name =
                dialog != 0 ? windows.Find(dialog, 0, simwin::ClassRef::ByName(u"Static"), label) : 0;
            const simwin::Hwnd combo =
                name != 0 ? windows.Find(dialog, 0, simwin::ClassRef::ByName(u"ComboBox"), u"") : 0;
            if (combo != 0) {
                comboBeforeLabel_ = windows.Find(dialog, combo, simwin::ClassRef::ByName(u"Static"), label) != 0;
                comboId_ = windows.ControlId(combo);
                const auto items = windows.ComboItems(combo);
                for (std::size_t i = 0; i < items.size(); ++i) {
                    if (items[i] == printer) {
                        // A pick in the box: it selects, and tells the dialog.
                        windows.Send(combo, simwin::kCbSetCurSel, i, 0);
                        windows.Send(dialog, simwin::kWmCommand,
                                     simwin::MakeWParam(static_cast<std::uint16_t>(comboId_), simwin::kCbnSelChange),
                                     static_cast<std::intptr_t>(combo));
                    }
                }
                if (beforeOk_) {
                    beforeOk_();
                }
                windows.SendNotify(dialog, simwin::kWmCommand, simwin::kIdOk, 0);
                answered_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::function<void()> beforeOk_;
    std::atomic<bool> answered_{false};
    std::atomic<bool> comboBeforeLabel_{false};
    std::atomic<int> comboId_{0};
    std::thread thread_;
};

}  // namespace fmhost_test
