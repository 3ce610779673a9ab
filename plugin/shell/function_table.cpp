#include "shell/function_table.h"

#include <string>

#include "functions/script_functions.h"
#include "platform/trace.h"
#include "shell/host_calls.h"
#include "shell/plugin_strings.h"

namespace vorelle::shell {

const std::array<FunctionRow, 9> kFunctionTable = {{
    {144, 0, 1, &functions::Version},
    {kChangePrinterId, kChangePrinterMinParameters, kChangePrinterMaxParameters, &functions::ChangePrinter},
    {146, 1, 1, &functions::GetPrinterAt},
    {147, 0, 0, &functions::SetToWindowsDefaultPrinter},
    {148, 2, 2, &functions::SendData},
    {158, 1, 1, &functions::SetSystemPrinter},
    {159, 0, 0, &functions::GetSystemPrinter},
    {160, 0, 0, &functions::GetPrintDialogResult},
    {172, 1, 1, &functions::ChangeForPreview},
}};

void RegisterFunctionTable(const FMX_QuadChar* pluginId, FMX_Text* name, FMX_Text* prototype) {
    for (const FunctionRow& row : kFunctionTable) {
        const auto id = static_cast<std::uint32_t>(row.id);
        LoadFunctionText(id, name, true);
        LoadFunctionText(id, prototype, false);
        CallHost([&](FMX_ErrorRecord* err) {
            return FM_ExprEnv_RegisterExternalFunction(pluginId, row.id, name, prototype,
                                                       row.minParameters, row.maxParameters,
                                                       kRegistrationFlags, row.function, err);
        });
    }
}

void UnregisterFunctionTable(const FMX_QuadChar* pluginId) {
    for (const FunctionRow& row : kFunctionTable) {
        // Every row is tried, a failed one once more: a function left
        // registered would point into a library the host is about to unload.
        const std::int32_t failure = TryTwice([&] {
            CallHost([&](FMX_ErrorRecord* err) {
                return FM_ExprEnv_UnRegisterExternalFunction(pluginId, row.id, err);
            });
        });
        if (failure != kFMXErrorNone) {
            std::u16string call = u"FM_ExprEnv_UnRegisterExternalFunction ";
            for (const char digit : std::to_string(row.id)) {
                call += static_cast<char16_t>(digit);
            }
            platform::TraceFailure(call, static_cast<std::uint32_t>(failure));
        }
    }
}

}  // namespace vorelle::shell
