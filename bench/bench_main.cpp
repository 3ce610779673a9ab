// vorelle_bench: the plug-in's benchmarks on the simulated Windows. Takes
// Google Benchmark's flags and its own (see Usage); scripts/bench runs it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/bench_support.h"

namespace vorelle::bench {

BenchSettings& Settings() {
    static BenchSettings settings;
    return settings;
}

namespace {

constexpr const char* kUsage =
    "vorelle_bench [benchmark flags] [--dialogs=N] [--select-dialogs=N] [--search-seconds=S]\n"
    "              [--shutdowns=N] [--send-iterations=N]\n"
    "  --dialogs=N          Print dialogs confirmed by the watcher (default 100)\n"
    "  --select-dialogs=N   dialogs with optShowDlg true, selection only (default 500)\n"
    "  --search-seconds=S   seconds of searching measured for the search cost (default 5)\n"
    "  --shutdowns=N        shutdowns timed per case (default 5)\n"
    "  --send-iterations=N  VORL_SendData's benchmarks run exactly N iterations, once (for\n"
    "                       counting instructions per call under callgrind)\n";

// Takes our own flags out of argv; false for a malformed one.
bool TakeOwnFlags(int& argc, char** argv) {
    std::vector<char*> kept;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        auto value = [&](std::string_view flag) -> const char* {
            return arg.substr(0, flag.size()) == flag ? argv[i] + flag.size() : nullptr;
        };
        if (const char* v = value("--dialogs=")) {
            Settings().dialogs = std::strtoul(v, nullptr, 10);
        } else if (const char* v = value("--select-dialogs=")) {
            Settings().selectOnlyDialogs = std::strtoul(v, nullptr, 10);
        } else if (const char* v = value("--search-seconds=")) {
            Settings().searchSeconds = std::strtod(v, nullptr);
        } else if (const char* v = value("--shutdowns=")) {
            Settings().shutdowns = std::strtoul(v, nullptr, 10);
        } else if (const char* v = value("--send-iterations=")) {
            Settings().sendIterations = std::strtoul(v, nullptr, 10);
            if (Settings().sendIterations == 0) {
                return false;
            }
        } else {
            kept.push_back(argv[i]);
            continue;
        }
        if (Settings().dialogs == 0 || Settings().selectOnlyDialogs == 0 || Settings().shutdowns == 0 ||
            !(Settings().searchSeconds > 0)) {
            return false;
        }
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        argv[i] = kept[i];
    }
    argc = static_cast<int>(kept.size());
    return true;
}

}  // namespace

}  // namespace vorelle::bench

int main(int argc, char** argv) {
    using namespace vorelle::bench;
    if (!TakeOwnFlags(argc, argv)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    RegisterFunctionBenchmarks();
    RegisterWatcherBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopPlugin();
    return 0;
}
