// The library's own string table on the simulated Windows. The module handle
// of a library is its base address, as on Windows: only the library that this
// code is linked into has the string table.
#include "platform/resources.h"

#include <dlfcn.h>

#include <algorithm>
#include <string_view>

#include "resources/string_table.h"

namespace vorelle::platform {
namespace {

// The base address of the module this code is linked into.
std::uintptr_t OwnModuleBase() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnModuleBase), &info) == 0) {
        return 0;
    }
    return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace

std::uint32_t LoadModuleString(std::uintptr_t instance, std::uint32_t id, char16_t* buffer,
                         std::uint32_t bufferUnits) {
    if (buffer == nullptr || bufferUnits == 0) {
        return 0;
    }
    buffer[0] = u'\0';
    if (instance == 0 || instance != OwnModuleBase()) {
        return 0;
    }
    for (const resources::StringEntry& entry : resources::StringTable()) {
        if (entry.id == id) {
            std::u16string_view text(entry.text);
            auto units = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), bufferUnits - 1));
            std::copy_n(text.data(), units, buffer);
            buffer[units] = u'\0';
            return units;
        }
    }
    return 0;
}

}  // namespace vorelle::platform
