// What each external function costs the host thread per call, beside the bare
// calls that the function must make; and what a VORL_ChangePrinter hand-over
// costs with and without a searching watcher.
//
// Names, with the machine's printer count last:
//   fn/FUNCTION/N        the function, called through the pointer it registered
//   bare/FUNCTION/N      the same work done with bare calls only: the host
//                        runtime's operations of the function's frame (the
//                        parameters read, the result written) and the calls of
//                        the simulated Windows; buffers made once, outside the
//                        loop. fn / bare is the plug-in's own overhead.
//   platform/FUNCTION/N  the calls of the simulated Windows alone
//   list/...             the whole printer list read position by position, and
//                        list/VORL_GetPrinterList: read in one call
// VORL_SendData's benchmarks have the job's size in bytes last instead, on a
// machine of 10 printers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/bench_support.h"
#include "fmhost/timing_frame.h"
#include "fmhost/timing_platform.h"
#include "simwin/clock.h"
#include "simwin/tick.h"
#include "simwin/kernel.h"

namespace vorelle::bench {

namespace {

constexpr benchmark::IterationCount kThreadStartIterations = 400;

std::size_t Printers(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

// The machine of the benchmark's printer count, on the real clock.
void PrepareMachine(const benchmark::State& state) {
    StartPlugin();
    simwin::UseRealClock();
    simwin::ResetMachine(MachineWithPrinters(Printers(state)));
}

// One call through the function's own pointer, as the calculation engine
// makes it (the environment is not consulted by any function).
std::int16_t Invoke(const fmwrapper::RegisteredFunction& function,
                    const fmwrapper::HostDataVect& parameters, fmwrapper::HostResult& result) {
    return function.function(function.id, nullptr, parameters.Get(), result.Get());
}

// Calls `function` with `parameters` in the timed loop; the first result must
// be `expected`.
void TimeFunction(benchmark::State& state, std::u16string_view name,
                  const fmwrapper::HostDataVect& parameters, const std::u16string& expected) {
    const fmwrapper::RegisteredFunction function = Function(name);
    if (CallText(function, parameters) != expected) {
        state.SkipWithError("unexpected result");
        return;
    }
    fmwrapper::HostResult result;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Invoke(function, parameters, result));
    }
}

using fmhost::timing::BareFrame;
using fmhost::timing::Calls;
using fmhost::timing::PlatformCalls;

// The platform calls of one function on the benchmark's machine (the same
// references as fmhost's timing mode uses).
std::unique_ptr<PlatformCalls> Platform(Calls calls, std::size_t printer) {
    return std::make_unique<PlatformCalls>(calls, PrinterName(printer), std::u16string(kPreferencesKey));
}

// A working copy of a text parameter, made once.
std::vector<char16_t> NameBuffer() { return std::vector<char16_t>(1024, u'\0'); }

// Per-iteration figures of a benchmark timed by hand: a call that starts a
// thread is now and then delayed by where the scheduler puts that thread, so
// its median says more than the mean of the iterations.
void SetSampleCounters(benchmark::State& state, const std::vector<double>& microseconds) {
    state.counters["p50_us"] = Percentile(microseconds, 50);
    state.counters["p99_us"] = Percentile(microseconds, 99);
    state.counters["max_us"] = Percentile(microseconds, 100);
    state.counters["samples"] = static_cast<double>(microseconds.size());
}

// Records one hand-timed iteration.
void Record(benchmark::State& state, std::vector<double>& samples, Clock::time_point start,
            Clock::time_point end) {
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    samples.push_back(Microseconds(end - start));
}

// --- VORL_Version: the frame alone -------------------------------------------------

void FnVersion(benchmark::State& state) {
    PrepareMachine(state);
    TimeFunction(state, u"VORL_Version", TextParameters(u"SHORT"), u"3.0.4.13");
}

void BareVersion(benchmark::State& state) {
    PrepareMachine(state);
    const fmwrapper::HostDataVect parameters = TextParameters(u"SHORT");
    fmwrapper::HostResult result;
    std::vector<char16_t> option = NameBuffer();
    for (auto _ : state) {
        BareFrame frame;
        frame.Count(parameters.Get());
        frame.CopyText(parameters.Get(), option.data(), frame.TextLength(parameters.Get()));
        frame.Write(result.Get(), u"3.0.4.13");
    }
}

// --- VORL_GetPrinterAt: the last printer ---------------------------------------------

void FnGetPrinterAt(benchmark::State& state) {
    PrepareMachine(state);
    const std::size_t last = Printers(state);
    TimeFunction(state, u"VORL_GetPrinterAt", NumberParameters(static_cast<std::int64_t>(last)),
                 PrinterName(last));
}

void BareGetPrinterAt(benchmark::State& state) {
    PrepareMachine(state);
    const fmwrapper::HostDataVect parameters = NumberParameters(static_cast<std::int64_t>(Printers(state)));
    fmwrapper::HostResult result;
    const auto platform = Platform(Calls::Enumerate, 1);
    for (auto _ : state) {
        BareFrame frame;
        frame.Count(parameters.Get());
        frame.TextLength(parameters.Get());
        frame.Write(result.Get(), platform->Run(frame.Integer(parameters.Get()), nullptr));
    }
    if (result.Text() != PrinterName(Printers(state))) {
        state.SkipWithError("unexpected result");
    }
}

void PlatformGetPrinterAt(benchmark::State& state) {
    PrepareMachine(state);
    const auto platform = Platform(Calls::Enumerate, 1);
    const auto last = static_cast<std::int32_t>(Printers(state));
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform->Run(last, nullptr));
    }
}

// The whole list, position 1 to the last, as a script reads it.
void ListGetPrinterAt(benchmark::State& state) {
    PrepareMachine(state);
    const fmwrapper::RegisteredFunction function = Function(u"VORL_GetPrinterAt");
    std::vector<fmwrapper::HostDataVect> positions;
    for (std::size_t i = 1; i <= Printers(state); ++i) {
        positions.push_back(NumberParameters(static_cast<std::int64_t>(i)));
    }
    if (CallText(function, positions.back()) != PrinterName(Printers(state))) {
        state.SkipWithError("unexpected result");
        return;
    }
    fmwrapper::HostResult result;
    for (auto _ : state) {
        for (const fmwrapper::HostDataVect& position : positions) {
            benchmark::DoNotOptimize(Invoke(function, position, result));
        }
    }
}

// The whole list in one call: the names joined by carriage returns.
void ListGetPrinterList(benchmark::State& state) {
    PrepareMachine(state);
    std::u16string list;
    for (std::size_t i = 1; i <= Printers(state); ++i) {
        list += (i == 1 ? u"" : u"\r") + PrinterName(i);
    }
    TimeFunction(state, u"VORL_GetPrinterList", fmwrapper::HostDataVect(), list);
}

void ListBare(benchmark::State& state) {
    PrepareMachine(state);
    std::vector<fmwrapper::HostDataVect> positions;
    for (std::size_t i = 1; i <= Printers(state); ++i) {
        positions.push_back(NumberParameters(static_cast<std::int64_t>(i)));
    }
    fmwrapper::HostResult result;
    const auto platform = Platform(Calls::Enumerate, 1);
    for (auto _ : state) {
        for (const fmwrapper::HostDataVect& position : positions) {
            BareFrame frame;
            frame.Count(position.Get());
            frame.TextLength(position.Get());
            frame.Write(result.Get(), platform->Run(frame.Integer(position.Get()), nullptr));
        }
    }
}

// --- VORL_GetSystemPrinter -----------------------------------------------------------

void FnGetSystemPrinter(benchmark::State& state) {
    PrepareMachine(state);
    TimeFunction(state, u"VORL_GetSystemPrinter", fmwrapper::HostDataVect(), PrinterName(1));
}

void BareGetSystemPrinter(benchmark::State& state) {
    PrepareMachine(state);
    const fmwrapper::HostDataVect parameters;
    fmwrapper::HostResult result;
    const auto platform = Platform(Calls::DefaultPrinter, 1);
    for (auto _ : state) {
        BareFrame frame;
        frame.Count(parameters.Get());
        frame.Write(result.Get(), platform->Run(0, nullptr));
    }
    if (result.Text() != PrinterName(1)) {
        state.SkipWithError("unexpected result");
    }
}

void PlatformGetSystemPrinter(benchmark::State& state) {
    PrepareMachine(state);
    const auto platform = Platform(Calls::DefaultPrinter, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform->Run(0, nullptr));
    }
}

// --- VORL_SetSystemPrinter: the last printer ------------------------------------------

void FnSetSystemPrinter(benchmark::State& state) {
    PrepareMachine(state);
    TimeFunction(state, u"VORL_SetSystemPrinter", TextParameters(PrinterName(Printers(state))), u"0");
}

// The printer-name functions' bare form: the frame copies the name, the
// platform calls take it, "0" is written when they all succeeded.
void TimeBareByName(benchmark::State& state, Calls calls) {
    PrepareMachine(state);
    const fmwrapper::HostDataVect parameters = TextParameters(PrinterName(Printers(state)));
    fmwrapper::HostResult result;
    std::vector<char16_t> name = NameBuffer();
    const auto platform = Platform(calls, Printers(state));
    for (auto _ : state) {
        BareFrame frame;
        frame.Count(parameters.Get());
        frame.CopyText(parameters.Get(), name.data(), frame.TextLength(parameters.Get()));
        const char16_t* text = platform->Run(0, name.data());
        frame.Write(result.Get(), text != nullptr ? text : u"failed");
    }
    if (result.Text() != u"0") {
        state.SkipWithError("unexpected result");
    }
}

void TimePlatformByName(benchmark::State& state, Calls calls) {
    PrepareMachine(state);
    const auto platform = Platform(calls, Printers(state));
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform->Run(0, nullptr));
    }
}

void BareSetSystemPrinter(benchmark::State& state) { TimeBareByName(state, Calls::SetDefault); }
void PlatformSetSystemPrinter(benchmark::State& state) { TimePlatformByName(state, Calls::SetDefault); }

void FnChangeForPreview(benchmark::State& state) {
    PrepareMachine(state);
    TimeFunction(state, u"VORL_ChangeForPreview", TextParameters(PrinterName(Printers(state))), u"0");
}

void BareChangeForPreview(benchmark::State& state) { TimeBareByName(state, Calls::Switch); }
void PlatformChangeForPreview(benchmark::State& state) { TimePlatformByName(state, Calls::Switch); }

// --- VORL_ChangePrinter with no watcher running ---------------------------------------
// Each call starts a thread; outside the timed part it is ended (the watcher
// through its time limit, the manual clock moved on), so that the next call
// finds none running.

void FnChangePrinter(benchmark::State& state) {
    PrepareMachine(state);
    simwin::UseManualClock(1'000'000);
    const fmwrapper::RegisteredFunction function = Function(u"VORL_ChangePrinter");
    const fmwrapper::HostDataVect parameters = TextParameters(PrinterName(Printers(state)));
    fmwrapper::HostResult result;
    std::vector<double> samples;
    for (auto _ : state) {
        const std::uint64_t mark = simwin::TickReads();
        const Clock::time_point start = Clock::now();
        Invoke(function, parameters, result);
        Record(state, samples, start, Clock::now());
        AwaitTickReads(mark, 2);
        EndWatcherByTimeLimit();
    }
    SetSampleCounters(state, samples);
    if (result.Text() != u"0") {
        state.SkipWithError("unexpected result");
    }
    simwin::UseRealClock();
}

void BareChangePrinter(benchmark::State& state) {
    PrepareMachine(state);
    const fmwrapper::HostDataVect parameters = TextParameters(PrinterName(Printers(state)));
    fmwrapper::HostResult result;
    std::vector<char16_t> name = NameBuffer();
    const auto platform = Platform(Calls::SwitchAndHandOver, Printers(state));
    std::vector<double> samples;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        BareFrame frame;
        frame.Count(parameters.Get());
        frame.CopyText(parameters.Get(), name.data(), frame.TextLength(parameters.Get()));
        const char16_t* text = platform->Run(0, name.data());
        frame.Write(result.Get(), text != nullptr ? text : u"failed");
        Record(state, samples, start, Clock::now());
        platform->AwaitThreadEnd();
    }
    SetSampleCounters(state, samples);
    if (result.Text() != u"0") {
        state.SkipWithError("unexpected result");
    }
}

void PlatformChangePrinter(benchmark::State& state) {
    PrepareMachine(state);
    const auto platform = Platform(Calls::SwitchAndHandOver, Printers(state));
    std::vector<double> samples;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        benchmark::DoNotOptimize(platform->Run(0, nullptr));
        Record(state, samples, start, Clock::now());
        platform->AwaitThreadEnd();
    }
    SetSampleCounters(state, samples);
}

// --- VORL_SendData: a raw job of the benchmark's size to the first of 10 printers --------
// The simulated spooler keeps every job's bytes; outside the timed part, after
// every 16 MB sent, the machine is made anew (its queues empty).

constexpr std::size_t kSendDataPrinters = 10;
constexpr std::size_t kSendDataTo = 1;  // a local printer, the default
constexpr std::size_t kBytesKept = std::size_t{16} << 20;

std::size_t JobBytes(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

// Calls `send` once per iteration, emptying the queues now and then.
template <typename Send>
void TimeRawJobs(benchmark::State& state, Send send) {
    simwin::ResetMachine(MachineWithPrinters(kSendDataPrinters));
    const std::size_t jobsKept = std::max<std::size_t>(1, kBytesKept / std::max<std::size_t>(1, JobBytes(state)));
    std::size_t jobs = 0;
    for (auto _ : state) {
        send();
        if (++jobs == jobsKept) {
            state.PauseTiming();
            simwin::ResetMachine(MachineWithPrinters(kSendDataPrinters));
            jobs = 0;
            state.ResumeTiming();
        }
    }
}

// The printer's name and the Data: "ABC...Z" over and over, as fmhost's timing mode sends.
fmwrapper::HostDataVect SendDataParameters(std::size_t bytes) {
    const std::vector<std::uint8_t> pattern = fmhost::timing::RawJobPattern(bytes);
    fmwrapper::HostDataVect parameters = TextParameters(PrinterName(kSendDataTo));
    parameters.AppendText(std::u16string(pattern.begin(), pattern.end()));
    return parameters;
}

void FnSendData(benchmark::State& state) {
    StartPlugin();
    simwin::UseRealClock();
    simwin::ResetMachine(MachineWithPrinters(kSendDataPrinters));
    const fmwrapper::RegisteredFunction function = Function(u"VORL_SendData");
    const fmwrapper::HostDataVect parameters = SendDataParameters(JobBytes(state));
    if (CallText(function, parameters) != u"0") {
        state.SkipWithError("unexpected result");
        return;
    }
    fmwrapper::HostResult result;
    TimeRawJobs(state, [&] { benchmark::DoNotOptimize(Invoke(function, parameters, result)); });
}

// VORL_SendHexData of the same bytes written as HexData (two digits a byte,
// no blanks), against the same spooler calls (platform/VORL_SendData/SIZE).
void FnSendHexData(benchmark::State& state) {
    StartPlugin();
    simwin::UseRealClock();
    simwin::ResetMachine(MachineWithPrinters(kSendDataPrinters));
    const fmwrapper::RegisteredFunction function = Function(u"VORL_SendHexData");
    fmwrapper::HostDataVect parameters = TextParameters(PrinterName(kSendDataTo));
    std::u16string hex;
    for (const std::uint8_t byte : fmhost::timing::RawJobPattern(JobBytes(state))) {
        hex += u"0123456789ABCDEF"[byte >> 4];
        hex += u"0123456789ABCDEF"[byte & 0xF];
    }
    parameters.AppendText(hex);
    if (CallText(function, parameters) != u"0") {
        state.SkipWithError("unexpected result");
        return;
    }
    fmwrapper::HostResult result;
    TimeRawJobs(state, [&] { benchmark::DoNotOptimize(Invoke(function, parameters, result)); });
}

// The bare form: the frame copies the name and the Data, the Data's
// characters become the job's bytes, the spooler's calls send them, "0" is
// written. One call is a function of its own, so that callgrind can count its
// instructions beside the function's (run_bench.py --send-data).
[[gnu::noinline]] void BareSendDataOnce(const fmwrapper::HostDataVect& parameters, fmwrapper::HostResult& result,
                                        std::vector<char16_t>& name, std::vector<char16_t>& data,
                                        PlatformCalls& platform) {
    BareFrame frame;
    frame.Count(parameters.Get());
    frame.CopyText(parameters.Get(), name.data(), frame.TextLength(parameters.Get()));
    const char16_t* text =
        frame.CopyBytes(parameters.Get(), 1, data, platform.JobData()) ? platform.Run(0, name.data()) : nullptr;
    frame.Write(result.Get(), text != nullptr ? text : u"failed");
}

void BareSendData(benchmark::State& state) {
    StartPlugin();
    simwin::UseRealClock();
    const fmwrapper::HostDataVect parameters = SendDataParameters(JobBytes(state));
    fmwrapper::HostResult result;
    std::vector<char16_t> name = NameBuffer();
    std::vector<char16_t> data(JobBytes(state) + 1, u'\0');
    const auto platform = Platform(Calls::RawJob, kSendDataTo);
    TimeRawJobs(state, [&] { BareSendDataOnce(parameters, result, name, data, *platform); });
    if (result.Text() != u"0") {
        state.SkipWithError("unexpected result");
    }
}

void PlatformSendData(benchmark::State& state) {
    StartPlugin();
    simwin::UseRealClock();
    const auto platform = Platform(Calls::RawJob, kSendDataTo);
    platform->JobData() = fmhost::timing::RawJobPattern(JobBytes(state));
    TimeRawJobs(state, [&] { benchmark::DoNotOptimize(platform->Run(0, nullptr)); });
}

// --- The hand-over, with no watcher and with one searching -----------------------------

void HandoverNoWatcher(benchmark::State& state) {
    PrepareMachine(state);
    simwin::UseManualClock(1'000'000);
    const fmwrapper::RegisteredFunction function = Function(u"VORL_ChangePrinter");
    const fmwrapper::HostDataVect parameters = TextParameters(PrinterName(3));
    fmwrapper::HostResult result;
    std::vector<double> samples;
    for (auto _ : state) {
        const std::uint64_t mark = simwin::TickReads();
        const Clock::time_point start = Clock::now();
        Invoke(function, parameters, result);
        Record(state, samples, start, Clock::now());
        AwaitTickReads(mark, 2);
        EndWatcherByTimeLimit();
    }
    SetSampleCounters(state, samples);
    simwin::UseRealClock();
}

// Every call meets the previous call's watcher searching, at a random point
// of its poll period, and has to stop it first.
void HandoverSearching(benchmark::State& state) {
    PrepareMachine(state);
    simwin::UseManualClock(1'000'000);
    const fmwrapper::RegisteredFunction function = Function(u"VORL_ChangePrinter");
    const fmwrapper::HostDataVect parameters = TextParameters(PrinterName(3));
    fmwrapper::HostResult result;
    std::uint64_t mark = simwin::TickReads();
    Invoke(function, parameters, result);
    std::vector<double> samples;
    for (auto _ : state) {
        AwaitTickReads(mark, 3);
        RandomPause(2000);
        const Clock::time_point start = Clock::now();
        Invoke(function, parameters, result);
        Record(state, samples, start, Clock::now());
        // The hand-over reads the tick too: count the new watcher's reads from here.
        mark = simwin::TickReads();
    }
    AwaitTickReads(mark, 2);
    EndWatcherByTimeLimit();
    SetSampleCounters(state, samples);
    simwin::UseRealClock();
}

// The watcher's poll period: one Sleep(1) of the simulated Windows.
void PollPeriod(benchmark::State& state) {
    std::vector<double> samples;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        simwin::Sleep(1);
        Record(state, samples, start, Clock::now());
    }
    SetSampleCounters(state, samples);
}

}  // namespace

void RegisterFunctionBenchmarks() {
    auto perCount = [](benchmark::internal::Benchmark* b) {
        b->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
    };
    auto threadStarting = [&](benchmark::internal::Benchmark* b) {
        perCount(b->UseManualTime()->Iterations(kThreadStartIterations));
    };
    perCount(benchmark::RegisterBenchmark("fn/VORL_Version", FnVersion));
    perCount(benchmark::RegisterBenchmark("bare/VORL_Version", BareVersion));
    perCount(benchmark::RegisterBenchmark("fn/VORL_GetPrinterAt", FnGetPrinterAt));
    perCount(benchmark::RegisterBenchmark("bare/VORL_GetPrinterAt", BareGetPrinterAt));
    perCount(benchmark::RegisterBenchmark("platform/VORL_GetPrinterAt", PlatformGetPrinterAt));
    perCount(benchmark::RegisterBenchmark("fn/VORL_GetSystemPrinter", FnGetSystemPrinter));
    perCount(benchmark::RegisterBenchmark("bare/VORL_GetSystemPrinter", BareGetSystemPrinter));
    perCount(benchmark::RegisterBenchmark("platform/VORL_GetSystemPrinter", PlatformGetSystemPrinter));
    perCount(benchmark::RegisterBenchmark("fn/VORL_SetSystemPrinter", FnSetSystemPrinter));
    perCount(benchmark::RegisterBenchmark("bare/VORL_SetSystemPrinter", BareSetSystemPrinter));
    perCount(benchmark::RegisterBenchmark("platform/VORL_SetSystemPrinter", PlatformSetSystemPrinter));
    perCount(benchmark::RegisterBenchmark("fn/VORL_ChangeForPreview", FnChangeForPreview));
    perCount(benchmark::RegisterBenchmark("bare/VORL_ChangeForPreview", BareChangeForPreview));
    perCount(benchmark::RegisterBenchmark("platform/VORL_ChangeForPreview", PlatformChangeForPreview));
    threadStarting(benchmark::RegisterBenchmark("fn/VORL_ChangePrinter", FnChangePrinter));
    threadStarting(benchmark::RegisterBenchmark("bare/VORL_ChangePrinter", BareChangePrinter));
    threadStarting(benchmark::RegisterBenchmark("platform/VORL_ChangePrinter", PlatformChangePrinter));
    auto perSize = [](benchmark::internal::Benchmark* b) {
        b->Arg(1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);
        if (Settings().sendIterations != 0) {
            b->Iterations(static_cast<benchmark::IterationCount>(Settings().sendIterations))->Repetitions(1);
        }
    };
    perSize(benchmark::RegisterBenchmark("fn/VORL_SendData", FnSendData));
    perSize(benchmark::RegisterBenchmark("bare/VORL_SendData", BareSendData));
    perSize(benchmark::RegisterBenchmark("platform/VORL_SendData", PlatformSendData));
    auto largest = [](benchmark::internal::Benchmark* b) {
        b->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);
        if (Settings().sendIterations != 0) {
            b->Iterations(static_cast<benchmark::IterationCount>(Settings().sendIterations))->Repetitions(1);
        }
    };
    largest(benchmark::RegisterBenchmark("fn/VORL_SendHexData", FnSendHexData));
    auto perList = [](benchmark::internal::Benchmark* b) {
        b->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
    };
    perList(benchmark::RegisterBenchmark("list/VORL_GetPrinterAt", ListGetPrinterAt));
    perList(benchmark::RegisterBenchmark("list/VORL_GetPrinterList", ListGetPrinterList));
    perList(benchmark::RegisterBenchmark("list/bare", ListBare));
    benchmark::RegisterBenchmark("handover/none", HandoverNoWatcher)
        ->Arg(10)
        ->UseManualTime()
        ->Iterations(1000)
        ->Repetitions(1)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("handover/searching", HandoverSearching)
        ->Arg(10)
        ->UseManualTime()
        ->Iterations(1000)
        ->Repetitions(1)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("poll/Sleep(1)", PollPeriod)
        ->UseManualTime()
        ->Iterations(2000)
        ->Repetitions(1)
        ->Unit(benchmark::kMicrosecond);
}

}  // namespace vorelle::bench
