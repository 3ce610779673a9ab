#include "bench/bench_support.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "fmhost/session.h"
#include "simwin/clock.h"
#include "simwin/handles.h"
#include "simwin/tick.h"

namespace vorelle::bench {

namespace {

std::u16string Digits4(std::size_t n) {
    std::u16string text = u"0000";
    for (std::size_t i = 4; i-- > 0 && n > 0; n /= 10) {
        text[i] = static_cast<char16_t>(u'0' + n % 10);
    }
    return text;
}

bool IsConnection(std::size_t position) { return position % 5 == 0; }

std::string ProgramDirectory() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return ".";
    }
    path.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "vorelle_bench: %s\n", message.c_str());
    std::exit(2);
}

std::unique_ptr<fmhost::Session>& TheSession() {
    static std::unique_ptr<fmhost::Session> session;
    return session;
}

}  // namespace

std::u16string PrinterName(std::size_t position) {
    if (IsConnection(position)) {
        return u"\\\\print-server\\Queue " + Digits4(position);
    }
    return u"Printer " + Digits4(position) + u" Laser";
}

std::u16string DevicesData(std::size_t position) {
    return IsConnection(position) ? u"winspool,Ne01:" : u"winspool,LPT1:";
}

simwin::MachineSpec MachineWithPrinters(std::size_t count) {
    simwin::MachineSpec setup;
    for (std::size_t position = 1; position <= count; ++position) {
        simwin::PrinterSpec printer;
        printer.name = PrinterName(position);
        printer.connection = IsConnection(position);
        printer.port = IsConnection(position) ? printer.name : u"LPT1:";
        printer.devices = DevicesData(position);
        setup.printers.push_back(std::move(printer));
    }
    if (count > 0) {
        setup.defaultPrinter = PrinterName(1);
    }
    setup.keys = {{std::u16string(kPreferencesKey), {}}};
    return setup;
}

void StartPlugin() {
    if (TheSession()) {
        return;
    }
    simwin::ResetMachine(MachineWithPrinters(10));
    TheSession() = std::make_unique<fmhost::Session>();
    std::string error;
    if (!TheSession()->Host().Load(ProgramDirectory() + "/Vorelle.fmx", error)) {
        Fail("cannot load the plug-in: " + error);
    }
    StartUpPlugin();
}

void StopPlugin() { TheSession().reset(); }

void ShutDownPlugin() { TheSession()->Host().Shutdown(); }

void StartUpPlugin() {
    if (!TheSession()->Host().StartUp(51, kHostVersion).Accepted()) {
        Fail("the plug-in refused start-up");
    }
}

fmwrapper::RegisteredFunction Function(std::u16string_view name) {
    StartPlugin();
    const auto function = fmwrapper::FindFunction(name);
    if (!function) {
        Fail("no function " + fmwrapper::Utf16ToUtf8(name) + " is registered");
    }
    return *function;
}

std::u16string CallText(const fmwrapper::RegisteredFunction& function,
                        const fmwrapper::HostDataVect& parameters) {
    fmwrapper::HostResult result;
    fmwrapper::CallFunction(function, parameters, result);
    return result.Text();
}

fmwrapper::HostDataVect TextParameters(std::u16string_view text) {
    fmwrapper::HostDataVect parameters;
    parameters.AppendText(text);
    return parameters;
}

fmwrapper::HostDataVect NumberParameters(std::int64_t number) {
    fmwrapper::HostDataVect parameters;
    parameters.AppendNumber(std::to_string(number));
    return parameters;
}

fmwrapper::HostDataVect ChangePrinterParameters(std::u16string_view printer, bool showDialog) {
    fmwrapper::HostDataVect parameters;
    parameters.AppendText(printer);
    parameters.AppendBoolean(showDialog);
    return parameters;
}

std::size_t RunningThreads() { return simwin::CountHandles().runningThreads; }

void AwaitTickReads(std::uint64_t mark, std::uint64_t reads) {
    while (simwin::TickReads() < mark + reads) {
        std::this_thread::yield();
    }
}

void AwaitNoThreads() {
    while (RunningThreads() != 0) {
        std::this_thread::yield();
    }
}

void EndWatcherByTimeLimit() {
    simwin::AdvanceClock(30);
    // The tick is moved on until the watcher has ended: a watcher that takes
    // its start time only after a move still meets its limit at the next.
    while (RunningThreads() != 0) {
        simwin::AdvanceTick(30'000);
        std::this_thread::yield();
    }
    simwin::UseRealTick();
    // The thread has reported its end; let it finish ending, so that the next
    // hand-over's wait for it is what it is after any ended job.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void RandomPause(std::int64_t maxMicroseconds) {
    static std::mt19937_64 generator(20240607);
    std::uniform_int_distribution<std::int64_t> pause(0, maxMicroseconds);
    // A sleep: it takes no processor from the watcher; the scheduler's
    // granularity shifts the pauses but keeps them spread.
    std::this_thread::sleep_for(std::chrono::microseconds(pause(generator)));
}

double Percentile(std::vector<double> samples, double p) {
    if (samples.empty()) {
        return 0;
    }
    std::sort(samples.begin(), samples.end());
    auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
    rank = std::clamp<std::size_t>(rank, 1, samples.size());
    return samples[rank - 1];
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace vorelle::bench
