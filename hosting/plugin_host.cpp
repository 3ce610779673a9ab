#include "hosting/plugin_host.h"

#include <algorithm>
#include <cstring>

#include "hosting/plugin_call.h"

namespace hosting {
namespace {

// The result field before a message: the plug-in writing it changes the low
// 32 bits, which is all an answer has.
constexpr std::uint32_t kUnwrittenResult = 0x5EED5EEDu;
constexpr std::uintptr_t kUnwrittenResultField =
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x5EED5EED5EED5EEDull)
                                : static_cast<std::uintptr_t>(kUnwrittenResult);
// Units after a string request's buffer that must stay untouched.
constexpr std::size_t kGuardUnits = 16;
constexpr char16_t kGuardUnit = 0xA5C3;

std::uint32_t Low32(std::uintptr_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

PluginHost::~PluginHost() {
    if (started_) {
        Shutdown();
    }
    Unload();
}

bool PluginHost::Load(const std::string& path, std::string& error) {
    if (library_) {
        error = "a plug-in is loaded already";
        return false;
    }
    logMark_ = fmwrapper::RegistrationLog().size();
    auto library = PluginLibrary::Open(path, error);
    if (!library) {
        return false;
    }
    library_ = std::move(*library);
    started_ = false;
    return true;
}

std::vector<fmwrapper::RegisteredFunction> PluginHost::Unload() {
    std::vector<fmwrapper::RegisteredFunction> leftOver;
    if (!library_) {
        return leftOver;
    }
    for (const fmwrapper::RegisteredFunction& f : fmwrapper::RegisteredFunctions()) {
        if (library_.Contains(f.function)) {
            fmwrapper::ForgetFunction(f.pluginId, f.id);
            leftOver.push_back(f);
        }
    }
    library_.Close();
    started_ = false;
    return leftOver;
}

FMX_CallRecord PluginHost::NewRecord(std::uint8_t message) const {
    FMX_CallRecord record;
    std::memset(&record, 0, sizeof record);
    record.message = message;
    record.instance = library_.Instance();
    record.result = kUnwrittenResultField;
    return record;
}

bool PluginHost::ResultWritten(const FMX_CallRecord& record) {
    return Low32(record.result) != kUnwrittenResult;
}

void PluginHost::Send(FMX_CallRecord& record) {
    if (library_) {
        CallEntryPoint(library_.EntryPoint(), &record);
    }
}

FMX_CallRecord PluginHost::SendMessage(std::uint8_t message) {
    record_ = NewRecord(message);
    Send(record_);
    return record_;
}

StartupOutcome PluginHost::StartUp(std::int16_t interfaceVersion, std::u16string_view hostVersion) {
    startupVersion_ = std::u16string(hostVersion);
    record_ = NewRecord(kFMXMessageStartup);
    record_.interfaceVersion = interfaceVersion;
    record_.param2 = reinterpret_cast<std::uintptr_t>(startupVersion_.c_str());
    Send(record_);
    StartupOutcome outcome;
    outcome.answered = ResultWritten(record_);
    outcome.answer = static_cast<std::int32_t>(Low32(record_.result));
    started_ = outcome.Accepted();
    return outcome;
}

StringReply PluginHost::RequestString(std::uint8_t id, std::uint32_t size) {
    // A zeroed buffer of `size` units, then guard units that must stay as they are.
    std::vector<char16_t> buffer(std::size_t{size} + kGuardUnits, u'\0');
    std::fill(buffer.begin() + size, buffer.end(), kGuardUnit);
    record_ = NewRecord(kFMXMessageGetString);
    record_.param1 = id;
    record_.param3 = size;
    record_.result = reinterpret_cast<std::uintptr_t>(buffer.data());
    Send(record_);
    StringReply reply;
    const auto end = buffer.begin() + size;
    const auto zero = std::find(buffer.begin(), end, u'\0');
    reply.terminated = zero != end;
    reply.text.assign(buffer.begin(), zero);
    reply.overran = std::any_of(end, buffer.end(), [](char16_t u) { return u != kGuardUnit; });
    return reply;
}

void PluginHost::Idle() { SendMessage(kFMXMessageIdle); }

void PluginHost::Shutdown() {
    SendMessage(kFMXMessageShutdown);
    started_ = false;
}

std::vector<fmwrapper::RegistrationEvent> PluginHost::RegistrationEvents() const {
    std::vector<fmwrapper::RegistrationEvent> log = fmwrapper::RegistrationLog();
    if (logMark_ >= log.size()) {
        return {};
    }
    return std::vector<fmwrapper::RegistrationEvent>(log.begin() + static_cast<std::ptrdiff_t>(logMark_),
                                                     log.end());
}

std::optional<fmwrapper::HostDataVect> MakeParameterVector(const std::vector<Parameter>& parameters,
                                                           std::string* error) {
    fmwrapper::HostDataVect vect;
    for (const Parameter& p : parameters) {
        switch (p.kind) {
            case Parameter::Kind::Text:
                vect.AppendText(p.text);
                break;
            case Parameter::Kind::Number:
                if (!vect.AppendNumber(p.number)) {
                    if (error != nullptr) {
                        *error = "not a number: " + p.number;
                    }
                    return std::nullopt;
                }
                break;
            case Parameter::Kind::Boolean:
                vect.AppendBoolean(p.boolean);
                break;
        }
    }
    return vect;
}

std::optional<CallOutcome> PluginHost::CallWithLocale(std::u16string_view resultLocale,
                                                     std::u16string_view name,
                                         const std::vector<Parameter>& parameters,
                                         std::string* error) {
    const auto function = fmwrapper::FindFunction(name);
    if (!function) {
        if (error != nullptr) {
            *error = "no function " + fmwrapper::Utf16ToUtf8(name) + " is registered";
        }
        return std::nullopt;
    }
    std::optional<fmwrapper::HostDataVect> vect = MakeParameterVector(parameters, error);
    if (!vect) {
        return std::nullopt;
    }
    fmwrapper::HostResult result(resultLocale);
    CallOutcome outcome;
    outcome.code = fmwrapper::CallFunction(*function, *vect, result, &CallExternalFunction);
    outcome.resultWritten = result.Written();
    outcome.resultWrites = result.WriteCount();
    outcome.resultText = result.Text();
    outcome.nativeType = result.NativeType();
    outcome.resultWithOwnLocale = result.WrittenWithOwnLocale();
    return outcome;
}

}  // namespace hosting
