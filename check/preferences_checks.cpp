// Each FileMaker Pro 7 to 11 whose preferences key exists for this user: the
// plug-in started with that FileMaker's version text switches its "Printer"
// preference, and the value is put back exactly as it was.
#include <windows.h>

#include <algorithm>

#include "check/checks.h"
#include "check/win32_text.h"
#include "printers/preferences_path.h"

namespace check {
namespace {

constexpr char16_t kDevices[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
constexpr char16_t kPrinterValue[] = u"Printer";

// A FileMaker of the plug-in's table: its name in the report and the
// version text it gives at start-up (it holds the table's mark, and the
// edition's word for the lettered edition).
struct FileMaker {
    std::u16string name;
    std::u16string hostVersion;
    std::u16string keyPath;
};

std::vector<FileMaker> KnownFileMakers() {
    std::vector<FileMaker> known;
    for (const vorelle::printers::PreferencesRow& row : vorelle::printers::PreferencesTable()) {
        const std::u16string mark(row.mark), word(row.editionWord);
        known.push_back({u"FileMaker Pro " + mark + u" " + word, u"Pro" + word + u" " + mark + u"v1",
                         std::u16string(row.editionPath)});
        known.push_back({u"FileMaker Pro " + mark, u"Pro " + mark + u"v1", std::u16string(row.plainPath)});
    }
    return known;
}

// "NAME,DEVICES" as the plug-in writes it for `printer`; none without a
// Devices entry.
std::optional<std::u16string> PreferenceFor(const std::u16string& printer) {
    const std::optional<RegistryValue> devices = ReadValue(kDevices, printer);
    const std::optional<std::u16string> text = devices ? ValueText(*devices) : std::nullopt;
    return text ? std::optional<std::u16string>(printer + u"," + *text) : std::nullopt;
}

std::u16string Shown(const std::optional<RegistryValue>& value) {
    if (!value) {
        return u"unreadable";
    }
    const std::optional<std::u16string> text = ValueText(*value);
    return !value->present ? u"absent" : text ? Quoted(*text) : u"of type " + Number(value->type);
}

// One switching call, the value read back against what it should now say.
void CheckSwitch(CheckContext& context, hosting::PluginHost& session, const FileMaker& fileMaker,
                 const std::u16string& function, const std::vector<hosting::Parameter>& parameters,
                 const std::u16string& printer) {
    CallResult result;
    {
        const Restorer::Change change(context.restorer);
        result = CallPlugin(session, function, parameters);
    }
    const std::optional<RegistryValue> now = ReadValue(fileMaker.keyPath, kPrinterValue);
    const std::optional<std::u16string> wanted = PreferenceFor(printer);
    const std::optional<std::u16string> text = now ? ValueText(*now) : std::nullopt;
    context.report.Check(result.ok && result.text == u"0" && wanted && text == wanted,
                         Written(function, parameters) + u", " + fileMaker.name,
                         Quoted(result.text) + u", Printer now " + Shown(now) +
                             (wanted ? (text == wanted ? u"" : u", expected " + Quoted(*wanted))
                                     : u", but the printer has no Devices entry"));
}

void CheckFileMaker(CheckContext& context, const FileMaker& fileMaker, const std::vector<std::u16string>& printers) {
    const std::optional<RegistryValue> before = ReadValue(fileMaker.keyPath, kPrinterValue);
    if (!before) {
        context.report.Fail(fileMaker.name, u"its Printer preference cannot be read (HKCU\\" + fileMaker.keyPath + u")");
        return;
    }
    {
        const Restorer::Change change(context.restorer);
        context.restorer.Keep(*before);
    }
    auto session = StartPlugin(context, fileMaker.hostVersion, fileMaker.name);
    if (session) {
        // A printer other than the default where there is one, so that the
        // switch back to the default is seen.
        const std::u16string system = DefaultPrinter();
        const auto other = std::find_if(printers.begin(), printers.end(), [&](const auto& p) { return p != system; });
        const std::u16string chosen = other != printers.end() ? *other : system;
        CheckSwitch(context, *session, fileMaker, u"VORL_ChangeForPreview", {hosting::Parameter::OfText(chosen)}, chosen);
        if (system.empty()) {
            context.report.Skip(u"VORL_SetToWindowsDefaultPrinter, " + fileMaker.name, u"this Windows has no default printer");
        } else {
            CheckSwitch(context, *session, fileMaker, u"VORL_SetToWindowsDefaultPrinter", {}, system);
        }
    }
    session.reset();
    const std::vector<std::u16string> failures = context.restorer.PutBack();
    const std::optional<RegistryValue> after = ReadValue(fileMaker.keyPath, kPrinterValue);
    context.report.Check(failures.empty() && after && after->SameAs(*before), u"Printer put back, " + fileMaker.name,
                         failures.empty() ? u"as it was: " + Shown(after) + (after && after->SameAs(*before) ? u"" : u", was " + Shown(before))
                                          : failures.front());
}

}  // namespace

std::optional<std::u16string> CheckPreferences(CheckContext& context) {
    unsigned long error = 0;
    const std::vector<std::u16string> printers = SpoolerPrinters(error).value_or(std::vector<std::u16string>{});
    std::optional<std::u16string> first;
    for (const FileMaker& fileMaker : KnownFileMakers()) {
        if (!KeyExists(fileMaker.keyPath)) {
            context.report.Skip(fileMaker.name, u"it has not run for this user (no key HKCU\\" + fileMaker.keyPath + u")");
        } else if (printers.empty()) {
            context.report.Skip(fileMaker.name, u"this Windows has no printer to switch to");
        } else {
            CheckFileMaker(context, fileMaker, printers);
            first = first ? first : fileMaker.hostVersion;
        }
    }
    return first;
}

}  // namespace check
