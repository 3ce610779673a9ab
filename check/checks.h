// The groups of checks Vorelle Check runs, in the order it runs them; each
// adds its lines to the report.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/machine_state.h"
#include "check/report.h"
#include "hosting/plugin_host.h"

namespace check {

struct CheckOptions {
    std::u16string pluginPath;
    bool changeDefault = false;               // --change-default
    std::optional<std::u16string> sendTest;   // --send-test PRINTER
};

// What every group works with.
struct CheckContext {
    Report& report;
    Restorer& restorer;
    const CheckOptions& options;
};

// Windows' version and service pack, display language, administrator or not,
// what one Sleep( 1 ) lasts, the SHA-256 of the plug-in, the runtime loaded.
void CheckSystemFacts(CheckContext& context);

// The plug-in loaded and started as the host does, for a FileMaker of
// `hostVersion`; none (with a FAIL line named `name`) when it cannot be.
std::unique_ptr<hosting::PluginHost> StartPlugin(CheckContext& context, const std::u16string& hostVersion,
                                             const std::u16string& name);

// Start-up, registrations, version, printers, the default printer, the
// optional changes, shutdown. False when the plug-in cannot be loaded at all.
bool CheckPluginBasics(CheckContext& context);

// Each FileMaker whose preferences key exists: the switch and its undoing.
// The version text of the first such FileMaker, none when none has run.
std::optional<std::u16string> CheckPreferences(CheckContext& context);

// VORL_ChangePrinter with the Print dialogs, for a FileMaker of `hostVersion`
// (none: skipped, no FileMaker has run for this user).
void CheckPrintDialogs(CheckContext& context, const std::optional<std::u16string>& hostVersion);

// One call of a registered function: its result text, or why there is none.
struct CallResult {
    bool ok = false;
    std::u16string text;  // the result, or why there is none
};
CallResult CallPlugin(hosting::PluginHost& session, const std::u16string& name,
                      const std::vector<hosting::Parameter>& parameters = {});
// The call as a FileMaker calculation writes it: VORL_GetPrinterAt( 1 ).
std::u16string Written(const std::u16string& name, const std::vector<hosting::Parameter>& parameters = {});

// The printers the spooler lists (EnumPrintersW, level 4, local and
// connections, as the plug-in asks); none when it fails.
std::optional<std::vector<std::u16string>> SpoolerPrinters(unsigned long& error);

}  // namespace check

namespace check {

// VORL_SendData and VORL_SendHexData to the printer of --send-test, its queue
// held (paused) meanwhile and the two jobs deleted from it unprinted.
void CheckSendTest(CheckContext& context, hosting::PluginHost& session);

}  // namespace check
