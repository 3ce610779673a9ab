// The plug-in as FileMaker loads it: start-up, its registrations, its version,
// the printer queries against the spooler's own answers, the optional changes
// and the shutdown.
#include <windows.h>
#include <winspool.h>

#include <algorithm>

#include "check/checks.h"
#include "check/win32_text.h"
#include "hosting/defaults.h"
#include "resources/string_table.h"

namespace check {
namespace {

constexpr char16_t kOutOfBounds[] = u"!!ERROR!! Index out of bounds";

// The prototype the plug-in's string table holds for `id`; none when none.
std::optional<std::u16string> Prototype(std::int16_t id) {
    for (const vorelle::resources::StringEntry& entry : vorelle::resources::StringTable()) {
        if (entry.id == static_cast<std::uint32_t>(id)) {
            return std::u16string(entry.text);
        }
    }
    return std::nullopt;
}

void CheckRegistrations(CheckContext& context, const std::vector<fmwrapper::RegistrationEvent>& events) {
    int registered = 0;
    for (const fmwrapper::RegistrationEvent& event : events) {
        if (event.kind != fmwrapper::RegistrationEvent::Kind::Register) {
            continue;
        }
        ++registered;
        const std::optional<std::u16string> prototype = Prototype(event.id);
        const std::u16string name = event.prototype.substr(0, event.prototype.find(u'('));
        const bool ok = event.pluginId == "VORL" && event.answer == 0 && prototype == event.prototype &&
                        event.name == name && event.name.starts_with(u"VORL_") &&
                        event.minParameters <= event.maxParameters;
        context.report.Check(ok, u"registration " + event.name,
                             u"id " + Number(event.id) + u", " + Number(event.minParameters) + u" to " +
                                 Number(event.maxParameters) + u" parameters, prototype " +
                                 Quoted(event.prototype) +
                                 (ok ? u"" : u"; expected " + Quoted(prototype.value_or(u"(none)")) +
                                                 u", plug-in id VORL, the host's answer 0 (got " +
                                                 Number(event.answer) + u")"));
    }
    context.report.Check(registered > 0, u"registrations", Number(registered) + u" functions registered");
}

// The file and product version of the plug-in's version resource, "a.b.c.d".
std::optional<std::u16string> FileVersion(const std::u16string& path, unsigned long& error) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(Wide(path), &handle);
    std::vector<std::uint8_t> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(Wide(path), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) {
        error = GetLastError();
        return std::nullopt;
    }
    auto dotted = [](DWORD ms, DWORD ls) {
        return Number(HIWORD(ms)) + u"." + Number(LOWORD(ms)) + u"." + Number(HIWORD(ls)) + u"." + Number(LOWORD(ls));
    };
    const std::u16string file = dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    const std::u16string product = dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    return file == product ? file : file + u" (product " + product + u")";
}

void CheckVersion(CheckContext& context, hosting::PluginHost& session) {
    unsigned long error = 0;
    const std::optional<std::u16string> resource = FileVersion(context.options.pluginPath, error);
    const std::u16string expected = u"" VORELLE_CHECK_VERSION;
    context.report.Check(resource == expected, u"version resource",
                         resource ? *resource + (resource == expected ? u"" : u", expected " + expected)
                                  : Failed(u"reading the version resource", error));
    const CallResult version = CallPlugin(session, u"VORL_Version");
    const std::u16string said = u"Vorelle " + expected;
    context.report.Check(version.ok && version.text == said, Written(u"VORL_Version"),
                         version.ok ? Quoted(version.text) + (version.text == said ? u"" : u", expected " + Quoted(said))
                                    : version.text);
}

void CheckPrinters(CheckContext& context, hosting::PluginHost& session) {
    unsigned long error = 0;
    const std::optional<std::vector<std::u16string>> printers = SpoolerPrinters(error);
    if (!printers) {
        context.report.Fail(u"the spooler's printers", Failed(u"EnumPrintersW", error));
        return;
    }
    for (std::size_t i = 0; i <= printers->size(); ++i) {
        const std::vector<hosting::Parameter> at = {hosting::Parameter::OfNumber(std::to_string(i + 1))};
        const CallResult result = CallPlugin(session, u"VORL_GetPrinterAt", at);
        const std::u16string expected = i < printers->size() ? (*printers)[i] : std::u16string(kOutOfBounds);
        const std::u16string whose =
            i < printers->size() ? u"the spooler's printer " + Number(static_cast<long long>(i + 1))
                                 : u"one past the spooler's " + Number(static_cast<long long>(printers->size())) + u" printers";
        context.report.Check(result.ok && result.text == expected, Written(u"VORL_GetPrinterAt", at),
                             result.ok ? Quoted(result.text) + u", " + whose +
                                             (result.text == expected ? u"" : u" is " + Quoted(expected))
                                       : result.text);
    }
    const std::u16string system = DefaultPrinter();
    const CallResult result = CallPlugin(session, u"VORL_GetSystemPrinter");
    context.report.Check(result.ok && result.text == system, Written(u"VORL_GetSystemPrinter"),
                         result.ok ? Quoted(result.text) + u", the system's default is " + Quoted(system) : result.text);
}

// VORL_SetSystemPrinter to another printer, read back, then the default put back.
void CheckChangeDefault(CheckContext& context, hosting::PluginHost& session) {
    const std::u16string name = Written(u"VORL_SetSystemPrinter");
    if (!context.options.changeDefault) {
        context.report.Skip(name, u"changes the Windows default printer: run with --change-default");
        return;
    }
    unsigned long error = 0;
    const std::u16string before = DefaultPrinter();
    const std::vector<std::u16string> printers = SpoolerPrinters(error).value_or(std::vector<std::u16string>{});
    const auto other = std::find_if(printers.begin(), printers.end(), [&](const std::u16string& p) { return p != before; });
    if (other == printers.end()) {
        context.report.Skip(name, u"no printer other than the default to make the default");
        return;
    }
    const std::vector<hosting::Parameter> to = {hosting::Parameter::OfText(*other)};
    CallResult result;
    {
        const Restorer::Change change(context.restorer);
        context.restorer.KeepDefaultPrinter(before);
        result = CallPlugin(session, u"VORL_SetSystemPrinter", to);
    }
    const std::u16string now = DefaultPrinter();
    context.report.Check(result.ok && result.text == u"0" && now == *other, Written(u"VORL_SetSystemPrinter", to),
                         Quoted(result.text) + u", the system's default now " + Quoted(now));
    const std::vector<std::u16string> failures = context.restorer.PutBack();
    const std::u16string after = DefaultPrinter();
    context.report.Check(failures.empty() && after == before, u"default printer put back",
                         failures.empty() ? Quoted(after) : failures.front());
}

}  // namespace

std::unique_ptr<hosting::PluginHost> StartPlugin(CheckContext& context, const std::u16string& hostVersion,
                                             const std::u16string& name) {
    auto session = std::make_unique<hosting::PluginHost>();
    std::string error;
    if (!session->Load(fmwrapper::Utf16ToUtf8(context.options.pluginPath), error)) {
        context.report.Fail(name, fmwrapper::Utf8ToUtf16(error));
        return nullptr;
    }
    const hosting::StartupOutcome started = session->StartUp(hosting::kDefaultInterfaceVersion, hostVersion);
    if (!started.Accepted()) {
        context.report.Fail(name, u"the plug-in refused to start for host version " + Quoted(hostVersion) +
                                      u" (answer " + Number(started.answer) + u")");
        return nullptr;
    }
    return session;
}

bool CheckPluginBasics(CheckContext& context) {
    const std::u16string hostVersion(hosting::kDefaultHostVersion);
    auto session = StartPlugin(context, hostVersion, u"start-up");
    if (!session) {
        return false;
    }
    context.report.Pass(u"start-up", u"loaded " + context.options.pluginPath + u" through FMExternCallProc; it answered " +
                                         Number(hosting::kDefaultInterfaceVersion) + u" to host version " + Quoted(hostVersion));
    CheckRegistrations(context, session->RegistrationEvents());
    CheckVersion(context, *session);
    CheckPrinters(context, *session);
    CheckChangeDefault(context, *session);
    CheckSendTest(context, *session);
    // Shutdown: every function registered is unregistered.
    std::vector<std::int16_t> registered;
    for (const auto& event : session->RegistrationEvents()) {
        if (event.kind == fmwrapper::RegistrationEvent::Kind::Register) {
            registered.push_back(event.id);
        }
    }
    session->Shutdown();
    const std::size_t mark = registered.size();
    std::vector<std::int16_t> unregistered;
    const auto events = session->RegistrationEvents();
    for (std::size_t i = mark; i < events.size(); ++i) {
        if (events[i].kind == fmwrapper::RegistrationEvent::Kind::Unregister && events[i].answer == 0) {
            unregistered.push_back(events[i].id);
        }
    }
    std::sort(registered.begin(), registered.end());
    std::sort(unregistered.begin(), unregistered.end());
    context.report.Check(registered == unregistered && !registered.empty(), u"shutdown",
                         Number(static_cast<long long>(unregistered.size())) + u" of " +
                             Number(static_cast<long long>(registered.size())) + u" functions unregistered");
    return true;
}

std::optional<std::vector<std::u16string>> SpoolerPrinters(unsigned long& error) {
    constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(kFlags, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<std::max_align_t> buffer(needed / sizeof(std::max_align_t) + 1);
    if (!EnumPrintersW(kFlags, nullptr, 4, reinterpret_cast<BYTE*>(buffer.data()),
                       static_cast<DWORD>(buffer.size() * sizeof(std::max_align_t)), &needed, &count)) {
        error = GetLastError();
        return std::nullopt;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    std::vector<std::u16string> names;
    for (DWORD i = 0; i < count; ++i) {
        names.push_back(FromWide(info[i].pPrinterName));
    }
    return names;
}

CallResult CallPlugin(hosting::PluginHost& session, const std::u16string& name,
                      const std::vector<hosting::Parameter>& parameters) {
    std::string error;
    const std::optional<hosting::CallOutcome> outcome = session.CallWithLocale(hosting::kDefaultResultLocale, name, parameters, &error);
    if (!outcome) {
        return {false, fmwrapper::Utf8ToUtf16(error)};
    }
    if (outcome->code != 0 || !outcome->resultWritten) {
        return {false, name + u" returned error code " + Number(outcome->code) +
                           (outcome->resultWritten ? u"" : u" and wrote no result")};
    }
    return {true, outcome->resultText};
}

std::u16string Written(const std::u16string& name, const std::vector<hosting::Parameter>& parameters) {
    if (parameters.empty()) {
        return name;
    }
    std::u16string text = name + u"( ";
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const hosting::Parameter& p = parameters[i];
        text += i > 0 ? u" ; " : u"";
        switch (p.kind) {
            case hosting::Parameter::Kind::Text: text += Quoted(p.text); break;
            case hosting::Parameter::Kind::Number: text += fmwrapper::Utf8ToUtf16(p.number); break;
            case hosting::Parameter::Kind::Boolean: text += p.boolean ? u"True" : u"False"; break;
        }
    }
    return text + u" )";
}

}  // namespace check
