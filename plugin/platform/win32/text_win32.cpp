// Name comparison on Windows: CompareStringOrdinal ignoring case, as the
// window manager and the spooler compare names.
#include "platform/win32/win32_api.h"

#include "platform/text.h"

#include <climits>

namespace vorelle::platform {

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    if (a.empty()) {
        return true;
    }
    if (a.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    const int length = static_cast<int>(a.size());
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), length,
                                reinterpret_cast<const wchar_t*>(b.data()), length,
                                TRUE) == CSTR_EQUAL;
}

}  // namespace vorelle::platform
