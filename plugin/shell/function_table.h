// The external functions that start-up registers with the host, in order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "hostsdk/FMWrapper.h"

namespace vorelle::shell {

struct FunctionRow {
    std::int16_t id;  // also the string-table id of the prototype
    std::int16_t minParameters;
    std::int16_t maxParameters;
    FMX_ExternalFunction function;
};

inline constexpr std::uint32_t kRegistrationFlags = 0xFF01;

// VORL_ChangePrinter's row: its function checks its own count against the
// counts registered.
inline constexpr std::int16_t kChangePrinterId = 145;
inline constexpr std::int16_t kChangePrinterMinParameters = 1;
inline constexpr std::int16_t kChangePrinterMaxParameters = 4;

extern const std::array<FunctionRow, 10> kFunctionTable;

// Registers every row, in order, reusing the two Texts for each row's name and
// prototype. The host's answer is not looked at; a host failure ends the
// registration with the rows before it registered. `registered` counts the
// rows whose registration went through the host without a failure.
void RegisterFunctionTable(const FMX_QuadChar* pluginId, FMX_Text* name, FMX_Text* prototype,
                           std::size_t& registered);

// Unregisters the first `rows` rows of the table, each row even when the host
// fails an earlier one; a failed row is tried once more. A row the host fails
// twice stays registered: it is traced (the operation and the row's id, with
// the host's code). Raises nothing.
void UnregisterFunctionTable(const FMX_QuadChar* pluginId, std::size_t rows) noexcept;

}  // namespace vorelle::shell
