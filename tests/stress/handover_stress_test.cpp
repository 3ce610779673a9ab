// Hand-overs under load: thousands of VORL_ChangePrinter calls through the
// host, while Print dialogs in every language of the watcher's tables (and
// one in none) and Print Setup dialogs appear, linger, vanish and are cancelled at random moments,
// VORL_ChangeForPreview calls come between them, and the plug-in is shut
// down in mid-flight, sometimes unloaded, and started again.
//
// The simulated clock is a manual one that a ticker thread moves on by one
// second every 0.5 to 3 ms, so a watcher's seconds-long limits and its pause
// before confirming pass in milliseconds.
//
// Checked throughout:
// - at most one watcher thread is alive (sampled continuously);
// - every selection and every confirmation a dialog receives is for the
//   printer of the newest job: the one whose hand-over returned last, or
//   the one being handed over (its watcher may start before the call
//   returns); a watcher that was stopped never touches a dialog again (but
//   for the one message it may be sending when a hand-over gives up on it),
//   and a Print Setup dialog is never touched at all;
// - every dialog that was confirmed shows that printer;
// - every status is the one the printer gives, and the host's "Printer"
//   preference holds exactly the last successful switch;
// - every shutdown returns, leaves no thread, handle, mutex or registered
//   function behind, and the library can then be unloaded.
//
// VORELLE_STRESS_HANDOVERS sets the number of successful hand-overs (10,000
// by default), VORELLE_STRESS_SEED the random seed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "simwin/print_dialog.h"
#include "simwin/ui_thread.h"
#include "tests/plugin/host_fixture.h"

namespace vorelle::testing {
namespace {

using simwin::DialogState;

struct PrinterCase {
    std::u16string name;
    std::u16string status;  // what a switch to it gives
};

// Five printers a switch succeeds with, and three it fails with.
const std::vector<PrinterCase> kPrinters = {
    {u"Office Laser", u"0"},
    {u"\\\\print-server\\Accounts", u"0"},
    {u"Label Printer", u"0"},
    {u"Invoices", u"0"},
    {u"Fl\u00FCgel \u00D8st", u"0"},
    {u"Portless", u"2"},
    {u"No Devices", u"-1"},
    {u"Nowhere", u"!!ERROR!! Specified printer not found"},
};

simwin::MachineSpec StressMachine() {
    simwin::MachineSpec setup = StandardMachine();
    setup.printers.push_back({u"Invoices", false, u"LPT4:", u"winspool,LPT4:"});
    setup.printers.push_back({u"Fl\u00FCgel \u00D8st", false, u"USB002", u"winspool,USB002"});
    return setup;
}

struct Language {
    simwin::PrintDialogTexts texts;
    bool known;  // a Print dialog, which the watcher drives (by its tables or its structure)
    simwin::PrintDialogKind kind = simwin::PrintDialogKind::Print;
};

const std::vector<Language> kLanguages = {
    {{u"Print", u"&Name:", u"OK", u"Cancel"}, true},
    {{u"Skriv ut", u"&Namn:", u"OK", u"Avbryt"}, true},
    {{u"Afdrukken", u"&Naam:", u"OK", u"Annuleren"}, true},
    {{u"Imprimer", u"&Nom :", u"OK", u"Annuler"}, true},
    {{u"Drucken", u"&Name:", u"OK", u"Abbrechen"}, true},
    {{u"Stampa", u"&Nome:", u"OK", u"Annulla"}, true},
    {{u"Imprimir", u"Nom&bre:", u"Aceptar", u"Cancelar"}, true},
    {{u"Druk af", u"&Naam:", u"OK", u"Annuller"}, true},
    {{u"Print Setup", u"&Name:", u"OK", u"Cancel"}, false, simwin::PrintDialogKind::PrintSetup},
    {{u"Tulosta", u"&Nimi:", u"OK", u"Peruuta"}, true},
};

std::uint64_t EnvironmentNumber(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

// Which printers the dialogs may be driven to right now. Written by the host
// thread, read by the dialogs' thread in the message hook.
class JobLedger {
public:
    // A VORL_ChangePrinter call with this printer is about to be made.
    void BeginHandOver(const std::u16string& name) {
        std::lock_guard lock(mutex_);
        inFlight_ = name;
    }
    // The call returned and every message its predecessor's watcher sent has
    // been handled; `handedOver` when it answered "0", `watcherStarted` when
    // a watcher was started for it. A hand-over that gave up on a watcher
    // that did not end (the clock here runs fast enough for its limit to pass
    // on a busy machine) starts none: that watcher, asked to stop, may still
    // finish the one message it is sending for its own job's printer, until a
    // later hand-over finds it ended.
    void EndHandOver(bool handedOver, bool watcherStarted) {
        std::lock_guard lock(mutex_);
        if (handedOver && watcherStarted) {
            lingering_.reset();
        } else if (handedOver && !lingering_) {
            lingering_ = newest_;
        }
        if (handedOver) {
            newest_ = inFlight_;
        }
        inFlight_.reset();
    }
    // The plug-in was shut down: no watcher exists, none may act.
    void Forget() {
        std::lock_guard lock(mutex_);
        newest_.reset();
        inFlight_.reset();
        lingering_.reset();
    }
    bool Allowed(const std::u16string& printer) const {
        std::lock_guard lock(mutex_);
        return printer == newest_ || printer == inFlight_ || printer == lingering_;
    }

private:
    mutable std::mutex mutex_;
    std::optional<std::u16string> newest_;
    std::optional<std::u16string> inFlight_;
    std::optional<std::u16string> lingering_;
};

// One dialog of the test and what its watcher-facing messages showed.
struct OpenDialog {
    std::unique_ptr<simwin::PrintDialog> dialog;
    bool known = true;
    std::optional<std::u16string> confirmedWith;  // recorded when its OK arrived
};

class HandOverStressTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        simwin::ResetMachine(StressMachine());
        simwin::WindowManager::Instance().DestroyAll();
        simwin::UseManualClock(1'000'000);
        simwin::UseManualTick();
        ticker_ = std::thread([this] { Tick(); });
        monitor_ = std::thread([this] { Monitor(); });
        ui_ = std::make_unique<simwin::UiThread>();
        ui_->SetMessageHook([this](const simwin::Message& m) { Inspect(m); });
    }

    void TearDown() override {
        // The shutdown may wait on a watcher in its pause: the clock still ticks.
        if (session_.Host().Started()) {
            ShutDown();
        }
        running_ = false;
        ticker_.join();
        monitor_.join();
        {
            std::lock_guard lock(dialogMutex_);
            current_.reset();
        }
        ui_.reset();
        simwin::UseRealClock();
        simwin::UseRealTick();
        HostTest::TearDown();
    }

    void Tick() {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> pause(500, 3000);
        while (running_) {
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
            simwin::AdvanceClock(1);
            simwin::AdvanceTick(1000);
        }
    }

    void Monitor() {
        while (running_) {
            const std::size_t alive = simwin::CountHandles().runningThreads;
            std::size_t seen = maxWatchers_.load();
            while (alive > seen && !maxWatchers_.compare_exchange_weak(seen, alive)) {
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }

    void Violation(std::string what) {
        std::lock_guard lock(violationMutex_);
        if (violations_.size() < 20) {
            violations_.push_back(std::move(what));
        }
    }

    // Runs on the dialogs' thread before each message a dialog window or its
    // combo box handles.
    void Inspect(const simwin::Message& m) {
        std::lock_guard lock(dialogMutex_);
        if (!current_ || !current_->dialog->IsOpen()) {
            return;
        }
        simwin::PrintDialog& dialog = *current_->dialog;
        const simwin::Hwnd combo = dialog.Combo();
        const bool selects = m.window == combo && m.message == simwin::kCbSetCurSel;
        const bool notifies = m.window == dialog.Window() && m.message == simwin::kWmCommand &&
                              m.wParam == simwin::kPrinterSelChange;
        const bool confirms = m.window == dialog.Window() && m.message == simwin::kWmCommand &&
                              m.wParam == static_cast<std::uintptr_t>(simwin::kIdOk);
        if (!selects && !notifies && !confirms) {
            return;
        }
        if (!current_->known) {
            Violation("a Print Setup dialog was touched");
            return;
        }
        // The host closes dialogs from its own thread, so the combo box may go
        // at any moment: its selection is read before its items, and no items
        // means it went (before or after the selection was read).
        const int index = selects ? static_cast<int>(m.wParam)
                                  : simwin::WindowManager::Instance().ComboSelection(combo);
        const std::vector<std::u16string> items = simwin::WindowManager::Instance().ComboItems(combo);
        if (items.empty()) {
            return;  // the host is closing the dialog right now: its windows are going
        }
        if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
            Violation(std::string(selects ? "CB_SETCURSEL" : notifies ? "CBN_SELCHANGE" : "IDOK") +
                      " with no printer selected: item " + std::to_string(index) + " of " +
                      std::to_string(items.size()));
            return;
        }
        const std::u16string& printer = items[static_cast<std::size_t>(index)];
        if (!jobs_.Allowed(printer)) {
            Violation("a dialog was driven to " + fmwrapper::Utf16ToUtf8(printer) +
                      ", the printer of no current job");
        }
        if (confirms) {
            current_->confirmedWith = printer;
        }
    }

    // Closes or cancels the dialog at random, checks a confirmed one, and
    // sometimes opens a new one. Only this (the host) thread changes
    // `current_`; it takes the lock for that and to read what the hook
    // wrote, never while it waits for the dialogs' thread.
    void MoveDialogs(std::mt19937& random) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        simwin::PrintDialog* dialog = current_ ? current_->dialog.get() : nullptr;
        if (dialog != nullptr && dialog->IsOpen()) {
            const double r = chance(random);
            if (r < 0.04) {
                dialog->Close();  // vanishes
            } else if (r < 0.06) {
                dialog->Cancel();
            } else {
                return;  // lingers
            }
        }
        if (dialog != nullptr && dialog->State() == DialogState::Confirmed) {
            ++confirmed_;
            std::optional<std::u16string> recorded;
            {
                std::lock_guard lock(dialogMutex_);
                recorded = current_->confirmedWith;
            }
            if (!recorded || dialog->ConfirmedPrinter() != recorded) {
                Violation("a confirmed dialog shows another printer than it was confirmed with");
            }
        }
        std::unique_ptr<simwin::PrintDialog> done;  // destroyed outside the lock
        {
            std::lock_guard lock(dialogMutex_);
            if (current_) {
                done = std::move(current_->dialog);
                current_.reset();
            }
        }
        done.reset();
        if (chance(random) >= 0.3) {
            return;
        }
        const Language& language = kLanguages[random() % kLanguages.size()];
        simwin::PrintDialogOptions options;
        options.texts = language.texts;
        options.layout.kind = language.kind;
        for (const simwin::PrinterSpec& p : simwin::Printers()) {
            options.printers.push_back(p.name);
        }
        std::shuffle(options.printers.begin(), options.printers.end(), random);
        options.selected = static_cast<int>(random() % options.printers.size());
        auto fresh = std::make_unique<simwin::PrintDialog>(*ui_, options);
        simwin::PrintDialog& opened = *fresh;
        {
            std::lock_guard lock(dialogMutex_);
            current_ = OpenDialog{std::move(fresh), language.known, std::nullopt};
        }
        EXPECT_TRUE(opened.Open());
        ++opened_;
    }

    // Calls a switch function and checks its status and the preference.
    std::u16string Switch(const char16_t* function, const PrinterCase& printer, bool showDialog) {
        std::vector<Parameter> parameters = {Text(printer.name)};
        if (showDialog) {
            parameters.push_back(Boolean(true));
        }
        const std::u16string status = Result(function, parameters);
        EXPECT_EQ(status, printer.status) << fmwrapper::Utf16ToUtf8(printer.name);
        const auto after = simwin::GetValue(kPreferences11A, u"Printer");
        if (status == u"0") {
            expectedPreference_ = printer.name + u"," + DevicesData(printer.name);
        }
        if (expectedPreference_) {
            EXPECT_TRUE(after && after->data ==
                                     simwin::RegistryValue::String(u"Printer", *expectedPreference_).data)
                << "the preference is not the last successful switch";
        } else {
            EXPECT_FALSE(after.has_value());
        }
        return status;
    }

    static std::u16string DevicesData(const std::u16string& printer) {
        const auto value = simwin::GetValue(simwin::kDevicesKeyPath, printer);
        return value ? value->Text() : std::u16string();
    }

    // Every message a finished watcher sent has been handled once this returns.
    void Flush() { ui_->Invoke([] {}); }

    void ShutDownMidFlight(std::mt19937& random) {
        ShutDown();
        Flush();
        jobs_.Forget();
        ++shutdowns_;
        const simwin::HandleCounts handles = simwin::CountHandles();
        EXPECT_EQ(handles.runningThreads, 0u) << "a thread outlived the shutdown";
        EXPECT_EQ(handles.threads, before_.threads) << "a thread handle outlived the shutdown";
        EXPECT_EQ(handles.mutexes, before_.mutexes) << "the mutex outlived the shutdown";
        EXPECT_TRUE(fmwrapper::RegisteredFunctions().empty());
        if (random() % 3 == 0) {
            // No code of the library may run any more: unload it.
            EXPECT_TRUE(session_.Host().Unload().empty());
            std::string error;
            ASSERT_TRUE(session_.Host().Load(VORELLE_PLUGIN_PATH, error)) << error;
            ++reloads_;
        }
        StartUp();
    }

    std::atomic<bool> running_{true};
    std::atomic<std::size_t> maxWatchers_{0};
    std::thread ticker_;
    std::thread monitor_;
    std::unique_ptr<simwin::UiThread> ui_;

    std::mutex dialogMutex_;
    std::optional<OpenDialog> current_;
    JobLedger jobs_;

    std::mutex violationMutex_;
    std::vector<std::string> violations_;

    std::optional<std::u16string> expectedPreference_;
    std::size_t opened_ = 0, confirmed_ = 0, shutdowns_ = 0, reloads_ = 0, previews_ = 0, givenUp_ = 0;
};

TEST_F(HandOverStressTest, HandOversWithDialogsComingAndGoingAndShutdownsInMidFlight) {
    const std::uint64_t target = EnvironmentNumber("VORELLE_STRESS_HANDOVERS", 10'000);
    const std::uint64_t seed = EnvironmentNumber("VORELLE_STRESS_SEED", 20'240'601);
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    StartUp();

    const auto start = std::chrono::steady_clock::now();
    std::uint64_t handOvers = 0, refused = 0;
    while (handOvers < target) {
        MoveDialogs(random);
        const double r = chance(random);
        if (r < 0.70) {
            const PrinterCase& printer = kPrinters[random() % kPrinters.size()];
            jobs_.BeginHandOver(printer.name);
            const std::size_t started = simwin::CountHandles().startedThreads;
            const std::u16string status = Switch(u"VORL_ChangePrinter", printer, chance(random) < 0.15);
            Flush();
            const bool watcherStarted = simwin::CountHandles().startedThreads > started;
            jobs_.EndHandOver(status == u"0", watcherStarted);
            givenUp_ += status == u"0" && !watcherStarted ? 1 : 0;
            (status == u"0" ? handOvers : refused) += 1;
        } else if (r < 0.85) {
            Switch(u"VORL_ChangeForPreview", kPrinters[random() % kPrinters.size()], false);
            ++previews_;
        } else if (r < 0.9995) {
            // Lets the watcher find, select, pause and confirm.
            std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 8000));
        } else {
            ShutDownMidFlight(random);
        }
        ASSERT_LE(simwin::CountHandles().runningThreads, 1u);
        {
            std::lock_guard lock(violationMutex_);
            ASSERT_TRUE(violations_.empty()) << violations_.front();
        }
        if (HasFailure()) {
            break;
        }
    }
    ShutDown();
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u);

    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("stress: %llu hand-overs (%llu refused switches), %zu previews, %zu dialogs opened, "
                "%zu confirmed, %zu shutdowns in mid-flight (%zu unloads), %zu hand-overs that gave "
                "up on a watcher, at most %zu watcher thread(s) seen, seed %llu, %.1f s\n",
                static_cast<unsigned long long>(handOvers), static_cast<unsigned long long>(refused),
                previews_, opened_, confirmed_, shutdowns_, reloads_, givenUp_, maxWatchers_.load(),
                static_cast<unsigned long long>(seed), seconds);
    EXPECT_LE(maxWatchers_.load(), 1u);
    EXPECT_GT(confirmed_, 0u) << "no dialog was ever confirmed: the run proved nothing";
    std::lock_guard lock(violationMutex_);
    for (const std::string& v : violations_) {
        ADD_FAILURE() << v;
    }
}

}  // namespace
}  // namespace vorelle::testing
