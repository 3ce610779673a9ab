#include "shell/lifecycle.h"

#include <string>

#include "platform/trace.h"
#include "printdialog/print_job_handoff.h"
#include "printers/preferences_path.h"
#include "printers/printer_services.h"
#include "shell/function_table.h"
#include "shell/host_calls.h"

namespace vorelle::shell {

namespace {

constexpr std::int16_t kMinimumInterfaceVersion = 50;
constexpr std::int16_t kMaximumInterfaceVersion = 255;

void WriteAnswer(FMX_CallRecord& record, std::int32_t answer) {
    // The answer is a 32-bit value; a negative one is sign-extended to the
    // field's width on 64-bit builds.
    record.result = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(answer));
}

std::u16string HostVersionText(std::uintptr_t address) {
    if (address == 0) {
        return {};
    }
    return std::u16string(reinterpret_cast<const char16_t*>(address));
}

}  // namespace

void Startup(FMX_CallRecord& record) {
    const std::int16_t interfaceVersion = record.interfaceVersion;
    if (interfaceVersion < kMinimumInterfaceVersion ||
        interfaceVersion > kMaximumInterfaceVersion) {
        WriteAnswer(record, kFMXStartupRefused);
        return;
    }
    const std::uintptr_t hostVersion = record.param2;

    HostQuadChar pluginId = NewPluginId();
    HostText name = NewHostText();
    HostText prototype = NewHostText();
    RegisterFunctionTable(pluginId.get(), name.get(), prototype.get());

    if (printers::ThePrinterServices() == nullptr) {
        printers::PrinterServices& services = printers::CreatePrinterServices();
        const std::u16string path =
            printers::ChoosePreferencesPath(HostVersionText(hostVersion));
        if (!path.empty()) {
            services.SetPreferencesPath(path);
        }
    }
    if (printdialog::TheHandoff() == nullptr) {
        printdialog::CreateHandoff();
    }

    prototype.Delete();
    name.Delete();
    pluginId.Delete();
    WriteAnswer(record, kFMXCurrentInterfaceVersion);
}

void Shutdown() {
    // The teardown happens whatever the host answers: no function may stay
    // registered and no watcher may run once the library is unloaded.
    // The plug-in ID is deleted last, after the services and the hand-off.
    // Without a plug-in ID nothing can be unregistered: that is traced, and
    // the rest of the teardown goes on. Rows the host fails to unregister
    // are traced by the unregistration.
    HostQuadChar pluginId;
    const std::int32_t idFailure = TryTwice([&] { pluginId = NewPluginId(); });
    if (idFailure == kFMXErrorNone) {
        UnregisterFunctionTable(pluginId.get());
    } else {
        platform::TraceFailure(u"FM_QuadChar_Constructor2", static_cast<std::uint32_t>(idFailure));
    }
    printers::DestroyPrinterServices();
    printdialog::TearDownHandoff();
    if (pluginId.get() != nullptr) {
        (void)TryTwice([&] { pluginId.Delete(); });
    }
}

}  // namespace vorelle::shell
