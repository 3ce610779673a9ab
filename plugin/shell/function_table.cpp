#include "shell/function_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <span>
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

void RegisterFunctionTable(const FMX_QuadChar* pluginId, FMX_Text* name, FMX_Text* prototype,
                           std::size_t& registered) {
    registered = 0;
    for (const FunctionRow& row : kFunctionTable) {
        const auto id = static_cast<std::uint32_t>(row.id);
        LoadFunctionText(id, name, true);
        LoadFunctionText(id, prototype, false);
        CallHost([&](FMX_ErrorRecord* err) {
            return FM_ExprEnv_RegisterExternalFunction(pluginId, row.id, name, prototype,
                                                       row.minParameters, row.maxParameters,
                                                       kRegistrationFlags, row.function, err);
        });
        ++registered;
    }
}

namespace {

// "FM_ExprEnv_UnRegisterExternalFunction <id>" traced in a buffer of its own:
// a failure at shutdown may come of exhausted memory, and the rest of the
// shutdown must still run.
void TraceFailedUnregistration(std::int16_t id, std::int32_t failure) noexcept {
    constexpr std::u16string_view kOperation = u"FM_ExprEnv_UnRegisterExternalFunction ";
    char digits[6];  // a sign and five digits
    const char* const end = std::to_chars(std::begin(digits), std::end(digits), id).ptr;
    std::array<char16_t, kOperation.size() + std::size(digits)> call{};
    const std::size_t named = kOperation.copy(call.data(), kOperation.size());
    const auto last = std::copy(std::cbegin(digits), end, call.begin() + static_cast<std::ptrdiff_t>(named));
    platform::TraceFailure(std::u16string_view(call.data(), static_cast<std::size_t>(last - call.begin())),
                           static_cast<std::uint32_t>(failure));
}

}  // namespace

void UnregisterFunctionTable(const FMX_QuadChar* pluginId, std::size_t rows) noexcept {
    for (const FunctionRow& row : std::span(kFunctionTable).first(std::min(rows, kFunctionTable.size()))) {
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
