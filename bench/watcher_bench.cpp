// The print-dialog watcher on the simulated Windows: how soon it selects the
// printer and confirms a Print dialog after the dialog can be found, what its
// search costs the machine while no dialog comes, what one search pass costs,
// and how long the plug-in's shutdown takes with and without a watcher.
//
// Each of these is one benchmark run of many samples; the figures are in its
// counters (milliseconds "_ms", microseconds "_us", percent "_pct").
#include <benchmark/benchmark.h>

#include <atomic>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/bench_support.h"
#include "platform/windows.h"
#include "printdialog/dialog_texts.h"
#include "simwin/clock.h"
#include "simwin/tick.h"
#include "simwin/print_dialog.h"
#include "simwin/ui_thread.h"
#include "simwin/window_manager.h"

namespace vorelle::bench {

namespace {

constexpr std::size_t kPrinters = 10;
constexpr std::size_t kJobPrinter = 7;

std::int64_t NowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double SinceMilliseconds(std::int64_t fromNs, std::int64_t toNs) {
    return static_cast<double>(toNs - fromNs) / 1e6;
}

// Waits up to `limit` for `condition`, spinning; false when it did not come.
// For a moment that must be caught as it happens.
template <typename Condition>
bool AwaitFor(Condition condition, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// The same, sleeping between looks: for a moment that others stamp, so that
// the waiting takes no processor from the watcher and the dialog's thread.
template <typename Condition>
bool AwaitSleeping(Condition condition, std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// Other top-level windows on the desktop besides the Print dialog: mostly of
// other classes, some dialogs with other captions.
void AddOtherWindows(simwin::UiThread& ui, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        simwin::WindowSpec setup;
        setup.className = i % 5 == 0 ? u"#32770" : u"ApplicationFrame" + std::u16string(1, u'A' + i % 7);
        setup.title = u"Window " + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'a' + i / 26);
        ui.CreateWindow(setup);
    }
}

std::vector<std::u16string> MachinePrinters() {
    std::vector<std::u16string> names;
    for (std::size_t i = 1; i <= kPrinters; ++i) {
        names.push_back(PrinterName(i));
    }
    return names;
}

// --- Reaction: dialog findable -> printer selected -> dialog confirmed --------------
// Each dialog opens at a random point of the searching watcher's poll period.
// "Findable" is the moment the host starts opening the dialog; "found" the end
// of the watcher's pass that found it (its first clock read after the opening);
// the selection is the dialog's CBN_SELCHANGE notification, the confirmation
// its IDOK command, both stamped as the dialog's thread receives them;
// "selecting" runs from the watcher's first message to the combo box to the
// notification.

void Reaction(benchmark::State& state) {
    const bool showDialog = state.range(0) != 0;
    const std::size_t dialogs = showDialog ? Settings().selectOnlyDialogs : Settings().dialogs;
    StartPlugin();
    simwin::UseRealClock();
    simwin::ResetMachine(MachineWithPrinters(kPrinters));
    const fmwrapper::RegisteredFunction changePrinter = Function(u"VORL_ChangePrinter");
    const fmwrapper::HostDataVect parameters =
        ChangePrinterParameters(PrinterName(kJobPrinter), showDialog);

    simwin::UiThread ui;
    simwin::PrintDialogOptions options;
    options.printers = MachinePrinters();
    options.selected = 0;
    simwin::PrintDialog dialog(ui, options);
    std::atomic<std::int64_t> selectedAt{0};
    std::atomic<std::int64_t> confirmedAt{0};
    std::atomic<std::int64_t> firstMessageAt{0};
    ui.SetMessageHook([&](const simwin::Message& message) {
        if (firstMessageAt.load() == 0) {
            firstMessageAt.store(NowNanoseconds());
        }
        if (message.message != simwin::kWmCommand) {
            return;
        }
        if (message.wParam == simwin::kPrinterSelChange) {
            selectedAt.store(NowNanoseconds());
        } else if ((message.wParam & 0xFFFF) == static_cast<std::uintptr_t>(simwin::kIdOk)) {
            confirmedAt.store(NowNanoseconds());
        }
    });

    std::vector<double> found;
    std::vector<double> selected;
    std::vector<double> selecting;
    std::vector<double> confirmed;
    std::vector<double> opening;
    std::size_t failures = 0;
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> phase(0, 999);
    for (auto _ : state) {
        const Clock::time_point runStart = Clock::now();
        for (std::size_t i = 0; i < dialogs; ++i) {
            if (!showDialog) {
                // The pause before confirming ends at the next change of the
                // seconds count: dialogs must come at random points of the second.
                std::this_thread::sleep_for(std::chrono::milliseconds(phase(generator)));
            }
            selectedAt.store(0);
            confirmedAt.store(0);
            firstMessageAt.store(0);
            const std::uint64_t mark = simwin::TickReads();
            if (CallText(changePrinter, parameters) != u"0") {
                ++failures;
                continue;
            }
            AwaitTickReads(mark, 3);  // started, and searching
            RandomPause(2000);
            const std::int64_t findable = NowNanoseconds();
            dialog.Open();
            const std::uint64_t readsAtOpen = simwin::TickReads();
            opening.push_back(static_cast<double>(NowNanoseconds() - findable) / 1e3);
            // The watcher reads the clock once per pass, right after its search:
            // its first read after the dialog opened ends the pass that found it.
            // A pass that takes the dialog in whole may end while the host is
            // still returning from opening it: the watcher then reads the clock
            // no more, and its first message to the dialog shows the pass over.
            const bool seen = AwaitFor(
                [&] { return simwin::TickReads() > readsAtOpen || firstMessageAt.load() != 0; },
                std::chrono::seconds(5));
            const std::int64_t foundAt = NowNanoseconds();
            bool ok = false;
            if (showDialog) {
                ok = AwaitSleeping([&] { return selectedAt.load() != 0; }, std::chrono::seconds(5));
                AwaitSleeping([] { return RunningThreads() == 0; }, std::chrono::seconds(5));
                dialog.Cancel();
            } else {
                ok = dialog.WaitUntilClosed(std::chrono::seconds(5)) == simwin::DialogState::Confirmed &&
                     dialog.ConfirmedPrinter() == PrinterName(kJobPrinter);
                dialog.Cancel();
            }
            if (!ok || !seen || selectedAt.load() == 0) {
                ++failures;
                continue;
            }
            found.push_back(SinceMilliseconds(findable, foundAt));
            selected.push_back(SinceMilliseconds(findable, selectedAt.load()));
            selecting.push_back(SinceMilliseconds(firstMessageAt.load(), selectedAt.load()));
            if (!showDialog) {
                confirmed.push_back(SinceMilliseconds(findable, confirmedAt.load()));
            }
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - runStart).count());
    }
    ui.SetMessageHook({});
    state.counters["dialogs"] = static_cast<double>(selected.size());
    state.counters["failures"] = static_cast<double>(failures);
    state.counters["open_p50_us"] = Percentile(opening, 50);
    state.counters["found_p50_ms"] = Percentile(found, 50);
    state.counters["found_p99_ms"] = Percentile(found, 99);
    state.counters["selecting_p50_ms"] = Percentile(selecting, 50);
    state.counters["select_p50_ms"] = Percentile(selected, 50);
    state.counters["select_p99_ms"] = Percentile(selected, 99);
    state.counters["select_max_ms"] = Percentile(selected, 100);
    state.counters["select_min_ms"] = Percentile(selected, 0.0001);
    if (!showDialog) {
        state.counters["confirm_p50_ms"] = Percentile(confirmed, 50);
        state.counters["confirm_p99_ms"] = Percentile(confirmed, 99);
        state.counters["confirm_max_ms"] = Percentile(confirmed, 100);
    }
    if (failures != 0) {
        state.SkipWithError("some dialogs were not handled");
    }
}

// --- Search cost: CPU of the process per second of searching -----------------------

// With `customPrint`, a dialog of the host's own titled "Print" stays open
// meanwhile (Show Custom Dialog: a message and OK, no printer box), whose
// controls every pass looks at.
void MeasureSearch(benchmark::State& state, std::size_t others, bool customPrint) {
    StartPlugin();
    simwin::UseRealClock();
    simwin::ResetMachine(MachineWithPrinters(kPrinters));
    const fmwrapper::RegisteredFunction changePrinter = Function(u"VORL_ChangePrinter");
    simwin::UiThread ui;
    AddOtherWindows(ui, others);
    simwin::DialogWindow custom;
    if (customPrint) {
        custom = simwin::DialogWindow::Create(
            &ui, u"Print", {{u"Static", u"Print the 12 invoices now?", 0, {}, -1}, {u"Button", u"OK", 1, {}, -1}});
    }
    const auto window = std::chrono::duration<double>(Settings().searchSeconds);

    for (auto _ : state) {
        // The process at rest, for comparison.
        double idleCpu = ProcessCpuSeconds();
        Clock::time_point start = Clock::now();
        std::this_thread::sleep_for(window / 2);
        const double idleShare =
            (ProcessCpuSeconds() - idleCpu) / std::chrono::duration<double>(Clock::now() - start).count();

        const std::uint64_t mark = simwin::TickReads();
        if (CallText(changePrinter, TextParameters(PrinterName(kJobPrinter))) != u"0") {
            state.SkipWithError("VORL_ChangePrinter failed");
            return;
        }
        AwaitTickReads(mark, 3);
        const std::uint64_t reads = simwin::TickReads();
        const double cpu = ProcessCpuSeconds();
        start = Clock::now();
        std::this_thread::sleep_for(window);
        const double cpuUsed = ProcessCpuSeconds() - cpu;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double passes = static_cast<double>(simwin::TickReads() - reads);
        const bool stillSearching = RunningThreads() == 1;
        EndWatcherByTimeLimit();
        simwin::UseRealClock();
        state.SetIterationTime(seconds);
        if (!stillSearching) {
            state.SkipWithError("the watcher ended before the measurement did");
            return;
        }
        state.counters["cpu_pct"] = 100.0 * cpuUsed / seconds;
        state.counters["idle_cpu_pct"] = 100.0 * idleShare;
        state.counters["passes_per_s"] = passes / seconds;
        state.counters["cpu_per_pass_us"] = passes > 0 ? 1e6 * (cpuUsed - idleShare * seconds) / passes : 0;
        state.counters["top_level_windows"] = static_cast<double>(others);
    }
}

void SearchCost(benchmark::State& state) { MeasureSearch(state, static_cast<std::size_t>(state.range(0)), false); }

void SearchCostBesideCustomPrint(benchmark::State& state) { MeasureSearch(state, 0, true); }

// --- One pass of the dialog search: the eight captions, through the facade and bare --

void SearchPassFacade(benchmark::State& state) {
    simwin::UiThread ui;
    AddOtherWindows(ui, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        for (const std::u16string_view caption : printdialog::kDialogCaptions) {
            benchmark::DoNotOptimize(
                platform::FindWindowAfter(0, 0, {printdialog::kDialogClassAtom, nullptr}, caption));
        }
    }
}

void SearchPassBare(benchmark::State& state) {
    simwin::UiThread ui;
    AddOtherWindows(ui, static_cast<std::size_t>(state.range(0)));
    const simwin::WindowManager& windows = simwin::WindowManager::Instance();
    const simwin::ClassRef dialogClass = simwin::ClassRef::ByAtom(simwin::kDialogClassAtom);
    std::vector<std::optional<std::u16string>> captions(printdialog::kDialogCaptions.begin(),
                                                        printdialog::kDialogCaptions.end());
    for (auto _ : state) {
        for (const std::optional<std::u16string>& caption : captions) {
            benchmark::DoNotOptimize(windows.Find(0, 0, dialogClass, caption));
        }
    }
}

// --- Shutdown, with no watcher and with one searching -------------------------------

void Shutdown(benchmark::State& state) {
    const bool searching = state.range(0) != 0;
    StartPlugin();
    simwin::UseRealClock();
    simwin::ResetMachine(MachineWithPrinters(kPrinters));
    std::vector<double> samples;
    for (auto _ : state) {
        if (searching) {
            const std::uint64_t mark = simwin::TickReads();
            CallText(Function(u"VORL_ChangePrinter"), TextParameters(PrinterName(kJobPrinter)));
            AwaitTickReads(mark, 3);
            RandomPause(2000);
        }
        const Clock::time_point start = Clock::now();
        ShutDownPlugin();
        const Clock::time_point end = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        samples.push_back(Milliseconds(end - start));
        if (RunningThreads() != 0) {
            state.SkipWithError("a watcher outlived the shutdown");
        }
        StartUpPlugin();
    }
    state.counters["p50_ms"] = Percentile(samples, 50);
    state.counters["max_ms"] = Percentile(samples, 100);
}

}  // namespace

void RegisterWatcherBenchmarks() {
    for (int showDialog : {1, 0}) {
        benchmark::RegisterBenchmark(showDialog ? "reaction/select-only" : "reaction/confirm", Reaction)
            ->Arg(showDialog)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("search/cpu", SearchCost)
        ->Arg(0)
        ->Arg(50)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("search/custom-print", SearchCostBesideCustomPrint)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("pass/facade", SearchPassFacade)->Arg(0)->Arg(50)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("pass/bare", SearchPassBare)->Arg(0)->Arg(50)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("shutdown/none", Shutdown)
        ->Arg(0)
        ->UseManualTime()
        ->Iterations(static_cast<benchmark::IterationCount>(Settings().shutdowns))
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("shutdown/searching", Shutdown)
        ->Arg(1)
        ->UseManualTime()
        ->Iterations(static_cast<benchmark::IterationCount>(Settings().shutdowns))
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
}

}  // namespace vorelle::bench
