// The library's own string table on Windows: LoadStringW.
#include "platform/win32/win32_api.h"

#include "platform/resources.h"

#include <climits>

namespace vorelle::platform {

std::uint32_t LoadModuleString(std::uintptr_t instance, std::uint32_t id, char16_t* buffer,
                         std::uint32_t bufferUnits) {
    if (bufferUnits == 0 || buffer == nullptr) {
        // LoadStringW with a size of 0 would hand back a pointer into the
        // read-only resource instead of copying: never asked for.
        return 0;
    }
    const int units = bufferUnits > INT_MAX ? INT_MAX : static_cast<int>(bufferUnits);
    // LoadStringW leaves the buffer alone for a missing entry (Wine 8: for a
    // one-unit buffer too); the result is a terminated text on every path.
    buffer[0] = u'\0';
    const int copied = LoadStringW(reinterpret_cast<HINSTANCE>(instance), static_cast<UINT>(id),
                                   win32::Wide(buffer), units);
    return copied > 0 ? static_cast<std::uint32_t>(copied) : 0;
}

}  // namespace vorelle::platform
