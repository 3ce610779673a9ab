#include "shell/function_table.h"

#include <array>
#include <string_view>

#include "functions/script_functions.h"
#include "platform/trace.h"
#include "shell/host_calls.h"
#include "shell/plugin_strings.h"

namespace vorelle::shell {

const std::array<FunctionRow, 10> kFunctionTable = {{
    {144, 0, 1, &functions::Version},
    {kChangePrinterId, kChangePrinterMinParameters, kChangePrinterMaxParameters, &functions::ChangePrinter},
    {146, 1, 1, &functions::GetPrinterAt},
    {147, 0, 0, &functions::SetToWindowsDefaultPrinter},
    {148, 2, 2, &functions::SendData},
    {149, 2, 2, &functions::SendHexData},
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

namespace {

// "FM_ExprEnv_UnRegisterExternalFunction <id>" traced in a buffer of its own:
// a failure at shutdown may come of exhausted memory, and the rest of the
// shutdown must still run.
void TraceFailedUnregistration(std::int16_t id, std::int32_t failure) noexcept {
    constexpr std::u16string_view kOperation = u"FM_ExprEnv_UnRegisterExternalFunction ";
    std::array<char16_t, kOperation.size() + 6> call{};  // a sign and five digits
    std::size_t used = kOperation.copy(call.data(), kOperation.size());
    auto value = static_cast<std::int32_t>(id);
    if (value < 0) {
        call[used++] = u'-';
        value = -value;
    }
    char16_t digits[5];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        call[used++] = digits[--count];
    }
    platform::TraceFailure(std::u16string_view(call.data(), used), static_cast<std::uint32_t>(failure));
}

}  // namespace

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
            TraceFailedUnregistration(row.id, failure);
        }
    }
}

}  // namespace vorelle::shell
