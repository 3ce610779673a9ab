#include "shell/lifecycle.h"

#include <string>

#include "platform/library.h"
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

// Unregisters the first `rows` rows of the function table, whatever the host
// answers: with a plug-in ID of its own, each row tried twice, what still
// fails traced (without a plug-in ID nothing can be unregistered: that is
// traced). The plug-in ID, empty when it could not be made, is returned to be
// deleted by DeletePluginId once the rest of the teardown is done.
HostQuadChar UnregisterRows(std::size_t rows) {
    HostQuadChar pluginId;
    const std::int32_t idFailure = TryTwice([&] { pluginId = NewPluginId(); });
    if (idFailure == kFMXErrorNone) {
        UnregisterFunctionTable(pluginId.get(), rows);
    } else {
        platform::TraceFailure(u"FM_QuadChar_Constructor2", static_cast<std::uint32_t>(idFailure));
    }
    return pluginId;
}

void DeletePluginId(HostQuadChar& pluginId) {
    if (pluginId.get() != nullptr) {
        (void)TryTwice([&] { pluginId.Delete(); });
    }
}

// A start-up that a host failure ended is not answered: the host counts the
// plug-in as not started and may unload it. Nothing of it may stay behind,
// above all no function registered into code about to go: what was
// registered is unregistered, what was created is freed (no watcher can run
// yet, so nothing waits).
void UndoStartup(std::size_t registeredRows) noexcept {
    HostQuadChar pluginId = UnregisterRows(registeredRows);
    printers::DestroyPrinterServices();
    printdialog::AbandonHandoff();
    DeletePluginId(pluginId);
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

    // A second start-up finds the plug-in started: what exists is kept, and
    // a failure of this one leaves it as it was.
    const bool started = printers::ThePrinterServices() != nullptr;
    std::size_t registered = 0;
    try {
        HostQuadChar pluginId = NewPluginId();
        HostText name = NewHostText();
        HostText prototype = NewHostText();
        RegisterFunctionTable(pluginId.get(), name.get(), prototype.get(), registered);

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
    } catch (...) {
        if (!started) {
            UndoStartup(registered);
        }
        throw;
    }
    WriteAnswer(record, kFMXCurrentInterfaceVersion);
}

void Shutdown() {
    // The teardown happens whatever the host answers: no function may stay
    // registered and no watcher may run once the library is unloaded.
    // The plug-in ID is deleted last, after the services and the hand-off.
    HostQuadChar pluginId = UnregisterRows(kFunctionTable.size());
    printers::DestroyPrinterServices();
    printdialog::TearDownHandoff();
    DeletePluginId(pluginId);
}

}  // namespace vorelle::shell

namespace vorelle::platform {

// Unloaded without a shutdown message: the host's functions stay registered
// (only the host can be asked to unregister them, and not under the loader's
// lock); the services are freed, the hand-off record abandoned without
// waiting. After a shutdown there is nothing left to do.
void LibraryUnloading() noexcept {
    printers::DestroyPrinterServices();
    printdialog::AbandonHandoff();
}

}  // namespace vorelle::platform
