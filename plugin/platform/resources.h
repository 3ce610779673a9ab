// The library's own string table.
#pragma once

#include <cstdint>

namespace vorelle::platform {

// LoadStringW from the module `instance`: copies the entry `id`, cut to
// `bufferUnits - 1` units, and a terminating zero. Returns the units copied,
// 0 when the entry does not exist. Writes nothing when bufferUnits is 0.
[[nodiscard]] std::uint32_t LoadModuleString(std::uintptr_t instance, std::uint32_t id, char16_t* buffer,
                         std::uint32_t bufferUnits);

}  // namespace vorelle::platform
