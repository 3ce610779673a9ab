// One run of a plug-in in the host: its PluginHost (load it, talk to it
// through call records, call the functions it registered) with the session's
// settings, evaluating session lines. Used by fmhost and, in-process, by tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fmhost/host_platform.h"
#include "fmhost/line_parser.h"
#include "fmwrapper/host_runtime.h"
#include "hosting/defaults.h"
#include "hosting/dialog_languages.h"
#include "hosting/plugin_host.h"
#include "hostsdk/FMWrapper.h"

namespace fmhost {

struct SessionSettings {
    std::int16_t interfaceVersion = hosting::kDefaultInterfaceVersion;
    std::u16string hostVersion{hosting::kDefaultHostVersion};
    hosting::DialogTexts dialog = hosting::EnglishDialogTexts();
    PrintTemplate printTemplate = PrintTemplate::Host;
    std::u16string resultLocale{hosting::kDefaultResultLocale};  // the locale every result carries
};

// What evaluating one line gave.
struct LineOutcome {
    enum class Kind { Nothing, Call, Action, Error };
    Kind kind = Kind::Nothing;
    std::optional<std::string> output;  // UTF-8, one line for stdout
    std::vector<std::string> warnings;  // for stderr
    std::optional<hosting::CallOutcome> call;
    std::string error;                  // Kind::Error: what is wrong with the line
    bool FunctionFailed() const { return call && call->code != 0; }
};

class Session {
public:
    explicit Session(SessionSettings settings = {});
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const SessionSettings& Settings() const { return settings_; }
    SessionSettings& Settings() { return settings_; }

    // The host the plug-in runs in.
    hosting::PluginHost& Host() { return host_; }
    const hosting::PluginHost& Host() const { return host_; }

    // Starts the plug-in with the settings' versions.
    hosting::StartupOutcome StartUp();

    // Calls a registered function with the settings' result locale.
    std::optional<hosting::CallOutcome> Call(std::u16string_view name,
                                    const std::vector<hosting::Parameter>& parameters,
                                    std::string* error = nullptr) {
        return host_.CallWithLocale(settings_.resultLocale, name, parameters, error);
    }

    // Evaluates one session line: a call, a host action, or nothing.
    LineOutcome EvaluateLine(std::string_view line);

private:
    LineOutcome EvaluateCall(const FunctionCall& call);
    LineOutcome EvaluateAction(const HostAction& action);

    hosting::PluginHost host_;
    SessionSettings settings_;
    unsigned printJobs_ = 0;        // pages printed or offered by :print and :other-print
    std::chrono::steady_clock::time_point lastElapsed_ = std::chrono::steady_clock::now();
};

}  // namespace fmhost
