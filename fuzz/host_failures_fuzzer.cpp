// Host failures: sequences of start-ups, shutdowns and function calls in which
// the host's runtime fails its Nth operation with code 1 (out of memory) or
// 2 (general failure), N and the code taken from the input.
//
// Checked: nothing escapes to the host (an exception leaving the plug-in
// ends the process, which libFuzzer reports); a start-up hit by a failure is
// not answered, leaves no function registered (when it was the first), and
// the next start-up is answered; a function hit by one returns the
// failure's code and its next call answers correctly; a shutdown hit by one
// still leaves no function registered, no thread and no mutex; no host
// object, printer handle or registry key is left behind at any point.
//
// Input: operations, each a selector byte (bit 7: inject a failure; low bits:
// start-up, shutdown or a call from the probe table), then, when injecting,
// the operation number byte and the failure byte, and for a call the probe
// byte. The failure byte: bit 0 the code (1 or 2); bits 1-3 the run: 0 the
// Nth operation alone, 1 to 6 that many more in a row, 7 every operation from
// the Nth on; bits 4-5 the simulated kernel's faults during the operation:
// CreateMutexW fails (bit 4), the mutex wait fails (bit 5). A failure byte of
// 0 or 1 (the committed seeds have no other) means what it always has: the
// Nth operation alone, no kernel fault.
//
// A shutdown hit by a run of two or more may leave the rows registered whose
// unregistration failed twice; nothing else.
//
// Every function of the plug-in's function table is called: by the probes
// below, and a function added to the table without a probe by one of its own
// (its least number of parameters, each a printer's name; any text result).
#include <algorithm>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_host.h"
#include "fuzz/fuzz_input.h"
#include "resources/string_table.h"
#include "shell/function_table.h"

namespace vorelle::fuzz {
namespace {

using Kind = Parameter::Kind;

struct Probe {
    std::u16string function;
    std::vector<Parameter> parameters;
    std::vector<std::u16string> answers;  // the results it may give, none: any text
};

Parameter Text(std::u16string text) { return {Kind::Text, std::move(text), {}, false}; }
Parameter Number(std::string literal) { return {Kind::Number, {}, std::move(literal), false}; }
Parameter Boolean(bool value) { return {Kind::Boolean, {}, {}, value}; }

// The function's name in the string table: its entry up to the "(" of its
// parameters, without the blanks before it.
std::u16string FunctionName(std::int16_t id) {
    for (const resources::StringEntry& entry : resources::StringTable()) {
        if (entry.id == static_cast<std::uint32_t>(id)) {
            std::u16string name(entry.text);
            name = name.substr(0, name.find(u'('));
            name.erase(name.find_last_not_of(u' ') + 1);
            return name;
        }
    }
    return {};
}

std::vector<Probe> MakeProbes() {
    std::vector<Probe> probes = {
        {u"VORL_Version", {}, {u"Vorelle 3.0.4.3"}},
        {u"VORL_Version", {Text(u"short")}, {u"3.0.4.13"}},
        {u"VORL_GetPrinterAt", {Number("2")}, {u"\\\\print-server\\Accounts"}},
        {u"VORL_GetPrinterAt", {Number("99")}, {u"!!ERROR!! Index out of bounds"}},
        {u"VORL_GetPrinterAt", {Text(u"")}, {u"!!ERROR!! Invalid Parameter format"}},
        {u"VORL_SetSystemPrinter", {Text(u"Label Printer")}, {u"0"}},
        {u"VORL_SetSystemPrinter", {Text(u"Nowhere")}, {u"!!ERROR!! Unable to set system printer"}},
        {u"VORL_GetSystemPrinter", {}, {u"Office Laser", u"Label Printer"}},
        {u"VORL_ChangePrinter",
         {Text(u"Office Laser"), Boolean(false), Number("3"), Boolean(true)},
         {u"0"}},
        {u"VORL_ChangePrinter", {Text(u"Portless")}, {u"2"}},
        {u"VORL_ChangePrinter", {}, {u"!!ERROR!! Invalid number of parameters"}},
        {u"VORL_ChangeForPreview", {Text(u"Label Printer")}, {u"0"}},
        {u"VORL_ChangeForPreview", {Text(u"No Devices")}, {u"-1"}},
        {u"VORL_ChangeForPreview", {Text(u"Missing")}, {u"!!ERROR!! Specified printer not found"}},
        {u"VORL_SetToWindowsDefaultPrinter", {}, {u"0"}},
        {u"VORL_SendData", {Text(u"Label Printer"), Text(u"^XA^FDVorelle^FS^XZ")}, {u"0"}},
        {u"VORL_SendHexData", {Text(u"Label Printer"), Text(u"1B 40 1d 56 00")}, {u"0"}},
        {u"VORL_SendHexData",
         {Text(u"Label Printer"), Text(u"1B 4")},
         {u"!!ERROR!! HexData has an odd number of hexadecimal digits; nothing was sent"}},
        {u"VORL_GetPrintDialogResult", {}, {u"none", u"waiting", u"stopped", u"no watcher", u"no dialog"}},
    };
    for (const shell::FunctionRow& row : shell::kFunctionTable) {
        const std::u16string name = FunctionName(row.id);
        Require(!name.empty(), "a row of the function table has no name in the string table");
        if (std::none_of(probes.begin(), probes.end(), [&](const Probe& p) { return p.function == name; })) {
            probes.push_back({name, std::vector<Parameter>(static_cast<std::size_t>(row.minParameters),
                                                           Text(u"Office Laser")),
                              {}});
        }
    }
    return probes;
}

const std::vector<Probe>& Probes() {
    static const std::vector<Probe> probes = MakeProbes();
    return probes;
}

bool gStarted = false;

void RequireAnswer(const Probe& probe, const CallResult& result) {
    Require(result.code == 0 && result.writes == 1 && result.storedAsTextWithOwnLocale,
            "a clean call did not answer with one text result and code 0");
    bool known = probe.answers.empty();
    for (const std::u16string& answer : probe.answers) {
        known = known || result.text == answer;
    }
    Require(known, "a clean call gave the wrong result");
}

// A clean start-up is answered and the functions work.
void StartCleanly() {
    const std::u16string version(kHostVersion);
    const StartupAnswer answer = SendStartup(51, &version, PluginInstance());
    Require(answer.answered && answer.answer == 51, "a clean start-up was not answered with 51");
    gStarted = true;
    RequireAnswer(Probes()[2], CallFunction(Probes()[2].function, Probes()[2].parameters));
}

// What to fail during one operation: none when nth is 0.
struct Failure {
    std::uint64_t nth = 0;
    std::int32_t code = 0;
    std::uint64_t times = 1;  // fmwrapper::kEveryTime: every operation from the Nth on
    bool createMutexFails = false;
    bool mutexWaitFails = false;
};

Failure ReadFailure(FuzzInput& in) {
    Failure failure;
    failure.nth = 1 + in.U8() % 96;
    const std::uint8_t byte = in.U8();
    failure.code = 1 + (byte & 1);
    const unsigned run = (byte >> 1) & 7u;
    failure.times = run == 7 ? fmwrapper::kEveryTime : 1 + run;
    failure.createMutexFails = (byte & 0x10u) != 0;
    failure.mutexWaitFails = (byte & 0x20u) != 0;
    return failure;
}

// Arms the failure when there is one; afterwards whether it fired.
class InjectedFailure {
public:
    explicit InjectedFailure(const Failure& failure) : failure_(failure) {
        fmwrapper::ClearInjectedFailures();
        if (failure_.nth != 0) {
            fmwrapper::FailOperation(failure_.nth, failure_.code, failure_.times);
        }
        simwin::SetFault(simwin::Fault::CreateMutex, failure_.createMutexFails);
        simwin::SetFault(simwin::Fault::MutexWait, failure_.mutexWaitFails);
    }
    ~InjectedFailure() {
        fmwrapper::DisarmFailure();
        simwin::SetFault(simwin::Fault::CreateMutex, false);
        simwin::SetFault(simwin::Fault::MutexWait, false);
    }
    InjectedFailure(const InjectedFailure&) = delete;
    InjectedFailure& operator=(const InjectedFailure&) = delete;

    bool Fired() const {
        const bool fired = failure_.nth != 0 && fmwrapper::LastInjectedFailure().has_value();
        if (fired) {
            NoteFailureFired();
        }
        return fired;
    }

private:
    Failure failure_;
};

void StartUp(const Failure& injected) {
    bool fired = false;
    StartupAnswer answer;
    {
        const std::u16string version(kHostVersion);
        const InjectedFailure failure(injected);
        answer = SendStartup(51, &version, PluginInstance());
        fired = failure.Fired();
    }
    CheckBetweenCalls();
    if (fired) {
        Require(!answer.answered, "a start-up hit by a host failure was answered");
        // Not started, so the host may unload it: nothing stays registered,
        // unless a run of three failures or more also failed the undoing
        // twice (traced). A started plug-in keeps its functions.
        Require(gStarted || injected.times > 2 || !AnyFunctionRegistered(),
                "a function stayed registered after a failed start-up");
        StartCleanly();
    } else {
        Require(answer.answered && answer.answer == 51, "a start-up was not answered with 51");
        gStarted = true;
    }
}

void ShutDown(const Failure& injected) {
    if (!ShutdownAllowed()) {
        return;
    }
    {
        const InjectedFailure failure(injected);
        // Checks: no thread or mutex left, and no function unless a run of
        // failures hit its unregistration twice.
        SendShutdown(injected.nth != 0 && injected.times > 1);
        Require(!AnyFunctionRegistered() || failure.Fired(), "a function stayed registered with no host failure");
    }
    ForgetRegistrations();
    gStarted = false;
    CheckBetweenCalls();
}

void Call(const Probe& probe, const Failure& injected) {
    if (!gStarted) {
        return;
    }
    const std::int32_t code = injected.code;
    bool fired = false;
    CallResult result;
    {
        const InjectedFailure failure(injected);
        result = CallFunction(probe.function, probe.parameters);
        fired = failure.Fired();
    }
    Require(result.registered, "a function of a started plug-in is not registered");
    CheckBetweenCalls();
    if (fired) {
        Require(result.code == code, "an injected failure was not contained with its code");
        Require(result.writes <= 1, "a result was written twice");
        // The plug-in stays usable: the same call again answers.
        RequireAnswer(probe, CallFunction(probe.function, probe.parameters));
        CheckBetweenCalls();
    } else {
        RequireAnswer(probe, result);
    }
}

}  // namespace
}  // namespace vorelle::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vorelle::fuzz::InitializeProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorelle::fuzz;
    FuzzInput in(std::span<const std::uint8_t>(data, size));
    for (int step = 0; step < 32 && !in.AtEnd(); ++step) {
        const std::uint8_t selector = in.U8();
        const Failure failure = (selector & 0x80u) != 0 ? ReadFailure(in) : Failure{};
        switch (selector % 4) {
            case 0:
                StartUp(failure);
                break;
            case 1:
                ShutDown(failure);
                break;
            default:
                Call(Probes()[in.U8() % Probes().size()], failure);
                break;
        }
    }
    LetWatcherTimeOut();
    fmwrapper::ClearRegistrationLog();
    return 0;
}
