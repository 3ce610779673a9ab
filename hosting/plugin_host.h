// The host's side of one plug-in library, as FileMaker treats it: loads it,
// talks to it through call records (start-up, string requests, idle,
// shutdown, any message) and calls the functions it registered, each through
// the checked call path of plugin_call.h. fmhost's sessions and Vorelle Check
// are built on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fmwrapper/host_runtime.h"
#include "hosting/defaults.h"
#include "hosting/parameter.h"
#include "hosting/plugin_library.h"
#include "hostsdk/FMWrapper.h"

namespace hosting {

struct StartupOutcome {
    bool answered = false;   // the plug-in wrote the result field
    std::int32_t answer = 0; // its low 32 bits, signed
    bool Accepted() const { return answered && answer != kFMXStartupRefused; }
};

struct StringReply {
    std::u16string text;      // the (zeroed) buffer up to its first zero, all of it when none
    bool terminated = false;  // a zero was found inside the buffer (false for size 0)
    bool overran = false;     // something was written past the buffer's size
};

struct CallOutcome {
    std::u16string resultText;   // empty when no result was written
    std::int16_t code = 0;       // what the function returned
    bool resultWritten = false;
    std::uint32_t resultWrites = 0;
    std::int32_t nativeType = 0;
    bool resultWithOwnLocale = false;  // stored with the locale the result carries
};

// The host's parameter vector holding exactly `parameters`; none, with the
// reason in `error`, when a number literal is malformed.
std::optional<fmwrapper::HostDataVect> MakeParameterVector(const std::vector<Parameter>& parameters,
                                                           std::string* error = nullptr);

class PluginHost {
public:
    PluginHost() = default;
    // Shuts a started plug-in down and unloads it.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loading. Load fails when a plug-in is loaded already.
    bool Load(const std::string& path, std::string& error);
    bool Loaded() const { return static_cast<bool>(library_); }
    std::uintptr_t Instance() const { return library_.Instance(); }
    // Unloads the plug-in (no message is sent). Functions it left registered
    // are dropped from the runtime's table and returned.
    std::vector<fmwrapper::RegisteredFunction> Unload();

    // Raw call records. NewRecord: all zero but the message code and the
    // instance handle, the result field filled with a marker that tells
    // whether the plug-in wrote it. Send passes the record as it is.
    FMX_CallRecord NewRecord(std::uint8_t message) const;
    void Send(FMX_CallRecord& record);
    FMX_CallRecord SendMessage(std::uint8_t message);
    static bool ResultWritten(const FMX_CallRecord& record);

    // Messages. The version text stays alive until the next start-up or the end
    // of the session.
    StartupOutcome StartUp(std::int16_t interfaceVersion, std::u16string_view hostVersion);
    StringReply RequestString(std::uint8_t id, std::uint32_t size = kDefaultStringSize);
    void Idle();
    void Shutdown();
    bool Started() const { return started_; }

    // Registrations and unregistrations made since the plug-in was loaded.
    std::vector<fmwrapper::RegistrationEvent> RegistrationEvents() const;

    // Calls a registered function (name ignoring ASCII case) with exactly these
    // parameters, its result carrying `resultLocale`; none, with the reason in
    // `error`, when no such function is registered or a number literal is
    // malformed.
    std::optional<CallOutcome> CallWithLocale(std::u16string_view resultLocale, std::u16string_view name,
                                    const std::vector<Parameter>& parameters,
                                    std::string* error = nullptr);

    // The runtime, for tests.
    void FailOperation(std::uint64_t nth, std::int32_t code, std::uint64_t times = 1) {
        fmwrapper::FailOperation(nth, code, times);
    }
    fmwrapper::LiveObjects LiveObjects() const { return fmwrapper::CountLiveObjects(); }

private:
    PluginLibrary library_;
    FMX_CallRecord record_{};       // the record of the host's own messages
    std::u16string startupVersion_; // the version text of the last start-up
    std::size_t logMark_ = 0;       // registration log size when loaded
    bool started_ = false;
};

}  // namespace hosting
