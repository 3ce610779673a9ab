// Name comparison on Windows: both texts upper-cased by CharUpperBuffW, then
// compared unit for unit, as the window manager and the spooler compare
// names. CharUpperBuffW maps by the system's own upper-case table, the one
// the file system uses (the same for every language: "i" is always "I"), so
// this is an ordinal comparison without regard to case, as in Windows 2000.
#include "platform/win32/win32_api.h"

#include "platform/text.h"

#include <climits>
#include <string>

namespace vorelle::platform {

namespace {

std::wstring UpperCased(std::u16string_view text) {
    std::wstring copy(reinterpret_cast<const wchar_t*>(text.data()), text.size());
    CharUpperBuffW(copy.data(), static_cast<DWORD>(copy.size()));
    return copy;
}

}  // namespace

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
    return UpperCased(a) == UpperCased(b);
}

}  // namespace vorelle::platform
