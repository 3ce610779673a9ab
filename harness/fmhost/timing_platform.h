// What fmhost's timing mode needs of the machine: the bare platform calls that
// each of the plug-in's functions must make (the reference its time is
// compared with), Sleep(1), the process's CPU time, and the host's Print
// dialog opened with time stamps. One implementation for the simulated Windows
// (timing_sim.cpp), one for real Windows (timing_win32.cpp, run under Wine).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fmhost/host_platform.h"

namespace fmhost::timing {

using Clock = std::chrono::steady_clock;

// The platform calls of one function, in the function's order, with buffers
// made once beforehand.
enum class Calls {
    Enumerate,         // EnumPrintersW twice (size, records); the name at a position
    DefaultPrinter,    // GetDefaultPrinterW twice (size, name)
    SetDefault,        // SetDefaultPrinterW
    Switch,            // OpenPrinterW, GetPrinterW twice, the Devices key and value (size,
                       // data), the preferences key and its "Printer" value, every close
    SwitchAndHandOver, // Switch, then one wait for a named mutex, the wait for and close of
                       // the previous (ended) thread, a new thread (it sleeps 1 ms, as a
                       // searching watcher would, and ends), the release
    RawJob,            // OpenPrinterW, StartDocPrinterW (level 1, datatype "RAW"),
                       // StartPagePrinter, WritePrinter until every byte of JobData() is
                       // written, EndPagePrinter, EndDocPrinter, ClosePrinter
};

// The bytes of the raw jobs that fmhost's timing mode and the benchmark send:
// `size` bytes, "ABC...XYZ" over and over (what the bench script gives
// VORL_SendData as its Data).
std::vector<std::uint8_t> RawJobPattern(std::size_t size);

class PlatformCalls {
public:
    // `name`: the printer (SetDefault, Switch, SwitchAndHandOver);
    // `preferencesKey`: the key whose "Printer" value Switch writes (the name,
    // a comma and the printer's Devices data, read once here).
    PlatformCalls(Calls calls, std::u16string name, std::u16string preferencesKey);
    ~PlatformCalls();
    PlatformCalls(const PlatformCalls&) = delete;
    PlatformCalls& operator=(const PlatformCalls&) = delete;

    // Makes the calls once. Enumerate: the name at the one-based `position`;
    // DefaultPrinter: the default printer's name; the others: "0" when every
    // call succeeded. Null when a call failed (or the position is outside).
    // `name` is the printer as the function's frame copied it.
    const char16_t* Run(std::int32_t position, const char16_t* name);

    // Waits, outside any timing, until a thread started by the last Run has
    // ended, and a moment more; it is neither waited for through its handle
    // nor closed: the next Run does that, as a hand-over does with the ended
    // watcher.
    void AwaitThreadEnd();

    // RawJob: the bytes each Run sends, a buffer of the calls' own that the
    // caller fills beforehand (or anew before each Run).
    std::vector<std::uint8_t>& JobData();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Sleep of the machine (Sleep(1) is the watcher's poll).
void SleepMilliseconds(std::uint32_t milliseconds);

// CPU time of this process so far, in seconds.
double ProcessCpuSeconds();

// One opening of the host's Print dialog (the standard layout, the machine's
// printers, the default printer selected), timed from the moment it can be
// found: when the printer-name combo box got its first message (the watcher
// has found it and begins selecting), when it told the dialog of a new
// selection and when the dialog was confirmed. With `cancelAfterSelection` the host
// cancels it once selected; otherwise it waits for the confirmation. The
// host cancels it after `seconds` in any case.
struct DialogTiming {
    bool opened = false;
    std::optional<double> comboAskedMs;  // the first message to the printer combo box
    std::optional<double> selectedMs;    // after the dialog could be found
    std::optional<double> confirmedMs;
    std::optional<std::u16string> confirmedPrinter;
};
DialogTiming TimePrintDialog(const hosting::DialogTexts& texts, bool cancelAfterSelection, int seconds);

}  // namespace fmhost::timing
