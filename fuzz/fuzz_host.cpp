#include "fuzz/fuzz_host.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "resources/string_table.h"
#include "simwin/simwin.h"

namespace vorelle::fuzz {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kClockStart = 1'000'000;
const std::u16string kMutexName = u"ChangePrinteMutex";

struct ProcessState {
    fmwrapper::LiveObjects liveBefore;
    simwin::HandleCounts handlesBefore;
    Clock::time_point started = Clock::now();
    Clock::duration inShutdowns{};
    bool shutdownSent = false;
    double shutdownShare = 0.2;
    // What the run did, reported when the process ends.
    std::uint64_t startups = 0, shutdowns = 0, stringRequests = 0, otherMessages = 0, calls = 0,
                  failuresFired = 0;
};

ProcessState& Process() {
    static ProcessState state;
    return state;
}

bool SameBytes(const FMX_CallRecord& a, const FMX_CallRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The record with its result field taken from `other`.
FMX_CallRecord WithResultOf(FMX_CallRecord record, const FMX_CallRecord& other) {
    record.result = other.result;
    return record;
}

// The string-table entry for a request, as the host must receive it.
std::u16string ExpectedString(std::uint8_t requestId, std::uint32_t size, std::uintptr_t instance) {
    if (size == 0 || instance != PluginInstance()) {
        return {};
    }
    const std::uint32_t id = requestId == 131 ? 1u : requestId;
    for (const resources::StringEntry& entry : resources::StringTable()) {
        if (entry.id == id) {
            std::u16string text(entry.text);
            if (text.size() > size - 1) {
                text.resize(size - 1);
            }
            return text;
        }
    }
    return {};
}

}  // namespace

void Require(bool condition, std::string_view what) {
    if (!condition) {
        std::fprintf(stderr, "\n*** invariant broken: %.*s\n", static_cast<int>(what.size()),
                     what.data());
        std::abort();
    }
}

simwin::MachineSpec StandardMachine() {
    simwin::MachineSpec setup;
    setup.printers = {
        {u"Office Laser", false, u"LPT1:", u"winspool,LPT1:"},
        {u"\\\\print-server\\Accounts", true, u"\\\\print-server\\Accounts", u"winspool,Ne01:"},
        {u"Label Printer", false, u"USB001", u"winspool,USB001,extra"},
        {u"Portless", false, std::nullopt, u"winspool,nul:"},
        {u"No Devices", false, u"LPT2:", std::nullopt},
    };
    setup.defaultPrinter = u"Office Laser";
    setup.keys = {{std::u16string(kPreferencesPath), {}}};
    return setup;
}

void ReportCounts() {
    const ProcessState& s = Process();
    std::fprintf(stderr,
                 "vorelle fuzz: %llu start-ups, %llu shutdowns, %llu string requests, %llu other "
                 "messages, %llu function calls, %llu injected host failures fired\n",
                 static_cast<unsigned long long>(s.startups), static_cast<unsigned long long>(s.shutdowns),
                 static_cast<unsigned long long>(s.stringRequests),
                 static_cast<unsigned long long>(s.otherMessages), static_cast<unsigned long long>(s.calls),
                 static_cast<unsigned long long>(s.failuresFired));
}

void NoteFailureFired() { ++Process().failuresFired; }

void InitializeProcess() {
    ProcessState& state = Process();
    std::atexit(&ReportCounts);
    if (const char* share = std::getenv("VORELLE_FUZZ_SHUTDOWN_SHARE")) {
        state.shutdownShare = std::atof(share);
    }
    simwin::UseManualClock(kClockStart);
    simwin::UseManualTick();
    simwin::ResetMachine(StandardMachine());
    fmwrapper::ResetRuntime();
    state.liveBefore = fmwrapper::CountLiveObjects();
    state.handlesBefore = simwin::CountHandles();
}

std::uintptr_t PluginInstance() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&FMExternCallProc), &info) == 0) {
        return 0;
    }
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

FMX_CallRecord NewRecord(std::uint8_t message, std::uintptr_t instance) {
    FMX_CallRecord record;
    std::memset(&record, 0, sizeof record);
    record.message = message;
    record.instance = instance;
    record.result = kUnwrittenResult;
    return record;
}

StartupAnswer SendStartup(std::int16_t interfaceVersion, const std::u16string* hostVersion,
                          std::uintptr_t instance) {
    FMX_CallRecord record = NewRecord(kFMXMessageStartup, instance);
    record.interfaceVersion = interfaceVersion;
    record.param2 = hostVersion != nullptr ? reinterpret_cast<std::uintptr_t>(hostVersion->c_str()) : 0;
    const FMX_CallRecord before = record;
    ++Process().startups;
    FMExternCallProc(&record);
    Require(SameBytes(WithResultOf(before, record), record),
            "start-up changed a record field other than the result");
    StartupAnswer answer;
    answer.answered = static_cast<std::uint32_t>(record.result) != kUnwrittenResult;
    answer.answer = static_cast<std::int32_t>(static_cast<std::uint32_t>(record.result));
    return answer;
}

void SendShutdown(bool rowsMayStay) {
    ProcessState& state = Process();
    FMX_CallRecord record = NewRecord(kFMXMessageShutdown, PluginInstance());
    const FMX_CallRecord before = record;
    const Clock::time_point start = Clock::now();
    ++state.shutdowns;
    FMExternCallProc(&record);
    state.inShutdowns += Clock::now() - start;
    state.shutdownSent = true;
    Require(SameBytes(record, before), "shutdown changed the record");
    const simwin::HandleCounts handles = simwin::CountHandles();
    Require(handles.runningThreads == 0, "a thread still runs after shutdown");
    Require(handles.threads == state.handlesBefore.threads, "a thread handle is open after shutdown");
    Require(!simwin::NamedMutexExists(kMutexName), "the hand-off mutex outlived shutdown");
    Require(rowsMayStay || !AnyFunctionRegistered(), "a function is still registered after shutdown");
}

void ForgetRegistrations() {
    FMX_ErrorRecord err{1, kFMXErrorNone};
    FMX_QuadChar* id = FM_QuadChar_Constructor2('V', 'O', 'R', 'L', &err);
    for (const fmwrapper::RegisteredFunction& f : fmwrapper::RegisteredFunctions()) {
        if (f.pluginId == "VORL") {
            FM_ExprEnv_UnRegisterExternalFunction(id, f.id, &err);
        }
    }
    FM_QuadChar_Delete(id, &err);
}

bool ShutdownAllowed() {
    const ProcessState& state = Process();
    if (!state.shutdownSent) {
        return true;
    }
    const auto elapsed = Clock::now() - state.started;
    return state.inShutdowns.count() <= state.shutdownShare * static_cast<double>(elapsed.count());
}

void SendStringRequest(std::uint8_t id, std::uint32_t size, std::uintptr_t instance) {
    // Exactly `size` units: one unit written past them is a heap overflow.
    std::unique_ptr<char16_t[]> buffer(new char16_t[size]);
    for (std::uint32_t i = 0; i < size; ++i) {
        buffer[i] = 0xA5C3;
    }
    FMX_CallRecord record = NewRecord(kFMXMessageGetString, instance);
    record.param1 = id;
    record.param3 = size;
    record.result = reinterpret_cast<std::uintptr_t>(buffer.get());
    const FMX_CallRecord before = record;
    ++Process().stringRequests;
    FMExternCallProc(&record);
    Require(SameBytes(record, before), "a string request changed the record");
    if (size == 0) {
        return;
    }
    const std::u16string expected = ExpectedString(id, size, instance);
    Require(std::u16string_view(buffer.get(), expected.size()) == expected,
            "a string request copied the wrong text");
    Require(buffer[expected.size()] == u'\0', "a string reply is not terminated");
}

void SendOtherMessage(FMX_CallRecord record) {
    const FMX_CallRecord before = record;
    ++Process().otherMessages;
    FMExternCallProc(&record);
    Require(SameBytes(record, before), "an ignored message changed the record");
}

CallResult CallFunction(std::u16string_view name, const std::vector<Parameter>& parameters) {
    CallResult outcome;
    const std::optional<fmwrapper::RegisteredFunction> function = fmwrapper::FindFunction(name);
    if (!function) {
        return outcome;
    }
    outcome.registered = true;
    fmwrapper::HostDataVect vector;
    for (const Parameter& p : parameters) {
        switch (p.kind) {
            case Parameter::Kind::Text:
                vector.AppendText(p.text);
                break;
            case Parameter::Kind::Number:
                if (!vector.AppendNumber(p.number)) {
                    vector.AppendText(std::u16string(p.number.begin(), p.number.end()));
                }
                break;
            case Parameter::Kind::Boolean:
                vector.AppendBoolean(p.boolean);
                break;
        }
    }
    fmwrapper::HostResult result;
    ++Process().calls;
    outcome.code = fmwrapper::CallFunction(*function, vector, result);
    outcome.writes = result.WriteCount();
    outcome.text = result.Text();
    outcome.storedAsTextWithOwnLocale =
        result.NativeType() == fmwrapper::kNativeTypeText && result.WrittenWithOwnLocale();
    return outcome;
}

void CheckBetweenCalls() {
    const ProcessState& state = Process();
    Require(fmwrapper::CountLiveObjects() == state.liveBefore, "a host object was left undeleted");
    const simwin::HandleCounts handles = simwin::CountHandles();
    Require(handles.printers == state.handlesBefore.printers, "a printer handle was left open");
    Require(handles.keys == state.handlesBefore.keys, "a registry key was left open");
    Require(handles.invalidUses == 0, "a handle was used that was not open");
    Require(handles.runningThreads <= 1, "more than one watcher thread runs");
}

bool AnyFunctionRegistered() {
    for (const fmwrapper::RegisteredFunction& f : fmwrapper::RegisteredFunctions()) {
        if (f.pluginId == "VORL") {
            return true;
        }
    }
    return false;
}

std::optional<simwin::RegistryValue> PrinterPreference() {
    return simwin::GetValue(kPreferencesPath, u"Printer");
}

void LetWatcherTimeOut() {
    simwin::AdvanceClock(30);
    simwin::AdvanceTick(30'000);
}

}  // namespace vorelle::fuzz
