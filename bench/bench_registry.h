// The benchmarks of vorelle_bench, registered by area, and the settings that
// the command line gives them.
#pragma once

#include <cstddef>

namespace vorelle::bench {

struct BenchSettings {
    std::size_t dialogs = 100;         // Print dialogs confirmed by the watcher (--dialogs=N)
    std::size_t selectOnlyDialogs = 500;  // dialogs with optShowDlg true (--select-dialogs=N)
    double searchSeconds = 5;          // seconds of searching measured (--search-seconds=S)
    std::size_t shutdowns = 5;         // shutdowns timed per case (--shutdowns=N)
    std::size_t sendIterations = 0;    // VORL_SendData's iterations, when fixed (--send-iterations=N)
};

BenchSettings& Settings();

void RegisterFunctionBenchmarks();
void RegisterWatcherBenchmarks();

}  // namespace vorelle::bench
