#include "fmhost/host_program.h"

#include <iomanip>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

#include "fmhost/escaped_text.h"
#include "fmhost/host_platform.h"
#include "fmhost/options.h"
#include "fmhost/session.h"
#include "fmhost/timing.h"
#include "hosting/dialog_languages.h"

namespace fmhost {
namespace {

// The strings --describe shows, in its order: options, name, description.
constexpr std::uint8_t kDescribedStrings[] = {131, 128, 129};

std::string FlagsText(std::uint32_t flags) {
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(4) << std::setfill('0') << flags;
    return s.str();
}

class Host {
public:
    Host(const Options& options, std::istream& in, std::ostream& out, std::ostream& err)
        : options_(options), in_(in), out_(out), err_(err) {}

    int Run() {
        SessionSettings settings;
        settings.interfaceVersion = options_.interfaceVersion;
        settings.hostVersion = options_.hostVersion;
        settings.dialog = *hosting::DialogTextsFor(options_.dialogLanguage);
        settings.printTemplate = options_.printTemplate;
        Session session(std::move(settings));
        hosting::PluginHost& host = session.Host();

        std::string error;
        if (!PrepareMachine(options_.machineFile, error)) {
            err_ << "fmhost: " << error << "\n";
            return kExitUsage;
        }
        const std::string path =
            options_.pluginPath.empty() ? hosting::DefaultPluginPath() : options_.pluginPath;
        if (!host.Load(path, error)) {
            err_ << "fmhost: " << error << "\n";
            return kExitUsage;
        }

        if (options_.describe) {
            for (std::uint8_t id : kDescribedStrings) {
                out_ << "string " << int{id} << ": " << EscapedText(host.RequestString(id).text) << "\n";
            }
        }
        if (options_.failOperation) {
            host.FailOperation(options_.failOperation->nth, options_.failOperation->code,
                               options_.failOperation->times);
        }
        const hosting::StartupOutcome startup = session.StartUp();
        if (options_.describe || !startup.Accepted()) {
            out_ << "start-up: " << (startup.answered ? std::to_string(startup.answer) : "(no answer)")
                 << "\n";
        }
        if (!startup.Accepted()) {
            if (!startup.answered) {
                err_ << "fmhost: the plug-in wrote no answer to start-up\n";
            }
            if (options_.describe) {
                // What the start-up registered and, having failed, unregistered.
                PrintEvents(host, 0, std::nullopt);
            }
            ReportLeftOver(host.Unload());
            return kExitStartupRefused;
        }
        if (options_.describe) {
            PrintEvents(host, 0, fmwrapper::RegistrationEvent::Kind::Register);
        }

        int status = options_.timeCount
                         ? RunTiming(session, *options_.timeCount, options_.lines, in_, out_, err_)
                         : RunLines(session);

        const std::size_t beforeShutdown = host.RegistrationEvents().size();
        host.Shutdown();
        if (options_.describe) {
            out_ << "shut-down\n";
            PrintEvents(host, beforeShutdown, fmwrapper::RegistrationEvent::Kind::Unregister);
        }
        ReportLeftOver(host.Unload());
        out_.flush();
        return status;
    }

private:
    int RunLines(Session& session) {
        bool functionFailed = false;
        auto evaluate = [&](const std::string& line, const std::string& where) {
            const LineOutcome outcome = session.EvaluateLine(line);
            for (const std::string& warning : outcome.warnings) {
                err_ << "fmhost: " << where << ": " << warning << "\n";
            }
            if (outcome.kind == LineOutcome::Kind::Error) {
                err_ << "fmhost: " << where << ": " << outcome.error << ": " << line << "\n";
                return false;
            }
            if (outcome.output) {
                out_ << *outcome.output << "\n";
                out_.flush();
            }
            functionFailed = functionFailed || outcome.FunctionFailed();
            return true;
        };
        if (!options_.lines.empty()) {
            for (std::size_t i = 0; i < options_.lines.size(); ++i) {
                if (!evaluate(options_.lines[i], "line " + std::to_string(i + 1))) {
                    return kExitUsage;
                }
            }
        } else if (!options_.describe) {
            std::string line;
            for (std::size_t number = 1; std::getline(in_, line); ++number) {
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                if (!evaluate(line, "line " + std::to_string(number))) {
                    return kExitUsage;
                }
            }
        }
        return functionFailed ? kExitFunctionError : kExitOk;
    }

    // The events from `from` on of `kind`, or of both kinds in their order.
    void PrintEvents(const hosting::PluginHost& host, std::size_t from,
                     std::optional<fmwrapper::RegistrationEvent::Kind> kind) {
        const auto events = host.RegistrationEvents();
        for (std::size_t i = from; i < events.size(); ++i) {
            const fmwrapper::RegistrationEvent& e = events[i];
            if (kind && e.kind != *kind) {
                continue;
            }
            if (e.kind == fmwrapper::RegistrationEvent::Kind::Register) {
                out_ << "register " << e.id << " " << EscapedText(e.name) << " " << e.minParameters << ".."
                     << e.maxParameters << " " << FlagsText(e.flags) << " " << EscapedText(e.prototype)
                     << "\n";
            } else {
                out_ << "unregister " << e.id << "\n";
            }
        }
    }

    void ReportLeftOver(const std::vector<fmwrapper::RegisteredFunction>& leftOver) {
        for (const fmwrapper::RegisteredFunction& f : leftOver) {
            err_ << "fmhost: warning: the plug-in left " << EscapedText(f.name) << " (id " << f.id
                 << ") registered when it was unloaded\n";
        }
    }

    const Options& options_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

int RunHost(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
            std::ostream& err) {
    Options options;
    std::string error;
    if (!ParseOptions(arguments, options, error)) {
        err << "fmhost: " << error << "\nTry 'fmhost --help'.\n";
        return kExitUsage;
    }
    if (options.help) {
        out << UsageText();
        return kExitOk;
    }
    return Host(options, in, out, err).Run();
}

}  // namespace fmhost
