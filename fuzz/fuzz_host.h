// The host side of the fuzz targets: talks to the plug-in linked into the
// target exactly as a host does (call records through FMExternCallProc, the
// registered functions through the runtime), and checks after every step
// that nothing leaked, no watcher runs where none may, and the host's buffers
// were respected. A broken invariant aborts with a message: libFuzzer then
// reports the input as a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fmwrapper/host_runtime.h"
#include "hostsdk/FMWrapper.h"
#include "simwin/machine.h"

extern "C" FMX_PLUGIN_EXPORT void FMX_STDCALL FMExternCallProc(FMX_CallRecord* record);

namespace vorelle::fuzz {

// Aborts with `what` when `condition` is false.
void Require(bool condition, std::string_view what);

// The preferences key of the host version every target starts with.
inline constexpr std::u16string_view kPreferencesPath =
    u"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences";
inline constexpr std::u16string_view kHostVersion = u"ProAdvanced 11.0v3";

// Office Laser (default), a connection, a printer whose Devices data holds a
// comma, one without a port and one without a Devices value.
simwin::MachineSpec StandardMachine();

// Once per process: the manual clock (so a watcher's time limits pass when a
// target moves it), the standard machine, the counts everything is measured
// against, and a report of what the run did when the process ends.
void InitializeProcess();

// Counts an injected host failure that fired (for the report at exit).
void NoteFailureFired();

// The plug-in's instance handle: the module it is linked into.
std::uintptr_t PluginInstance();

// A call record as the host fills it: zero but the message code and the
// instance, the result field holding a marker.
FMX_CallRecord NewRecord(std::uint8_t message, std::uintptr_t instance);
inline constexpr std::uintptr_t kUnwrittenResult = 0x5EED5EEDu;

struct StartupAnswer {
    bool answered = false;
    std::int32_t answer = 0;
};
// The start-up message with this interface version and host version text
// (none: a null address). Checks that only the result field changed.
StartupAnswer SendStartup(std::int16_t interfaceVersion, const std::u16string* hostVersion,
                          std::uintptr_t instance);

// The shutdown message. Checks that it returned with no watcher thread left,
// no function registered (unless `rowsMayStay`: the host failed their
// unregistration twice), the mutex closed and the record untouched.
void SendShutdown(bool rowsMayStay = false);

// Unregisters what the plug-in left registered, as the host drops a library's
// functions when it unloads it.
void ForgetRegistrations();

// Whether a shutdown may be sent now. A shutdown sleeps 500 ms by design, so
// only a share of the run's time goes to them (VORELLE_FUZZ_SHUTDOWN_SHARE,
// default 0.2); the first one of a process is always allowed.
bool ShutdownAllowed();

// A string request with a buffer of exactly `size` units on the heap, so that
// the address sanitizer catches a single unit written past it. Checks the
// reply against the string table and that the record stayed as it was.
void SendStringRequest(std::uint8_t id, std::uint32_t size, std::uintptr_t instance);

// Any other message: the record must stay exactly as it was.
void SendOtherMessage(FMX_CallRecord record);

// One parameter of a function call.
struct Parameter {
    enum class Kind { Text, Number, Boolean };
    Kind kind = Kind::Text;
    std::u16string text;
    std::string number;  // a literal; falls back to text when the host refuses it
    bool boolean = false;
};

struct CallResult {
    bool registered = false;  // the function was found
    std::int16_t code = 0;
    std::uint32_t writes = 0;
    std::u16string text;
    bool storedAsTextWithOwnLocale = false;
};
// Calls a registered function the way the calculation engine does.
CallResult CallFunction(std::u16string_view name, const std::vector<Parameter>& parameters);

// What the runtime and the machine must look like between two host calls:
// no host object alive, no printer handle or registry key open, no handle
// used after it was closed, at most one watcher thread.
void CheckBetweenCalls();

// Whether the plug-in has registered functions with the host now.
bool AnyFunctionRegistered();

// The stored "Printer" preference of the standard key, if any.
std::optional<simwin::RegistryValue> PrinterPreference();

// Ends a watcher that is searching: moves the manual clock past its limit.
void LetWatcherTimeOut();

}  // namespace vorelle::fuzz
