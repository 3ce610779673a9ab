// The library's string table, read through the instance handle of the current
// call record.
#pragma once

#include <cstdint>

#include "shell/host_calls.h"

namespace vorelle::shell {

// String ids of the table.
enum StringId : std::uint32_t {
    kStringOptions = 1,
    kStringName = 128,
    kStringDescription = 129,
    kStringOptionsRequest = 131,  // what the host asks for to get kStringOptions
};

// Copies the entry `id`, cut to `bufferUnits - 1` units, and a terminating
// zero into `buffer`. Nothing is written when bufferUnits is 0 or there is no
// current call record. Returns the units copied (0 for an id with no entry).
std::uint32_t LoadPluginString(std::uint32_t id, char16_t* buffer, std::uint32_t bufferUnits);

// Fills `target` with the entry's prototype or, with `nameOnly`, with the
// function name: the characters before the first "(", the whole entry when it
// has none. Host failures raise as ThrowOnHostError says.
void LoadFunctionText(std::uint32_t id, FMX_Text* target, bool nameOnly);

}  // namespace vorelle::shell
