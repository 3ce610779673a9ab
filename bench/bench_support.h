// What every benchmark of the plug-in on the simulated Windows shares: a
// machine with a chosen number of printers, the plug-in loaded and started in
// an in-process host session, the watcher's state as the simulated Windows
// shows it, and the statistics of timed samples.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fmwrapper/host_runtime.h"
#include "simwin/machine.h"

namespace vorelle::bench {

using Clock = std::chrono::steady_clock;

// The preferences key of fmhost's default host version ("ProAdvanced 11.0v3").
inline constexpr std::u16string_view kPreferencesKey =
    u"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences";
inline constexpr std::u16string_view kHostVersion = u"ProAdvanced 11.0v3";

// A machine of `count` printers: every fifth a connection of the user
// ("\\print-server\Queue 0005"), the others local ("Printer 0001 Laser"), each
// with a port and a Devices value; the first is the default; the host's
// preferences key exists.
simwin::MachineSpec MachineWithPrinters(std::size_t count);
// The name of printer `position` (one-based) of that machine.
std::u16string PrinterName(std::size_t position);
// Its Devices data.
std::u16string DevicesData(std::size_t position);

// The plug-in, loaded from beside this program and started once; shut down
// by StopPlugin (or at exit).
void StartPlugin();
void StopPlugin();
// Shutdown and start-up messages, for the shutdown measurements.
void ShutDownPlugin();
void StartUpPlugin();
// A function the plug-in registered; aborts when it is not registered.
fmwrapper::RegisteredFunction Function(std::u16string_view name);

// One call as the calculation engine makes it; the result text.
std::u16string CallText(const fmwrapper::RegisteredFunction& function,
                        const fmwrapper::HostDataVect& parameters);

// Parameter vectors.
fmwrapper::HostDataVect TextParameters(std::u16string_view text);
fmwrapper::HostDataVect NumberParameters(std::int64_t number);
fmwrapper::HostDataVect ChangePrinterParameters(std::u16string_view printer, bool showDialog);

// Watcher threads as the simulated Windows counts them.
std::size_t RunningThreads();
// Waits until the clock has been read `reads` more times than `mark` (a
// watcher reads it once as it starts and once in every search pass).
void AwaitTickReads(std::uint64_t mark, std::uint64_t reads);
// Waits until no thread started through the simulated Windows runs.
void AwaitNoThreads();
// Ends a searching watcher through its time limit: moves the manual clock on
// by half a minute and waits until the thread has ended (and a moment more,
// for it to finish ending).
void EndWatcherByTimeLimit();

// Sleeps a random time of 0 to `maxMicroseconds`, so that what follows meets
// the watcher at a random point of its poll period.
void RandomPause(std::int64_t maxMicroseconds);

// Nearest-rank percentile (0 < p <= 100) of unsorted samples; 0 when none.
double Percentile(std::vector<double> samples, double p);

inline double Microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}
inline double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of the whole process so far, in seconds.
double ProcessCpuSeconds();

}  // namespace vorelle::bench
