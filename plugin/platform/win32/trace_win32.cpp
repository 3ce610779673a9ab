// The failure trace on Windows: one line of debug output per failed call.
#include "platform/win32/win32_api.h"

#include "platform/trace.h"

#include <algorithm>

namespace vorelle::platform {

void TraceFailure(std::u16string_view call, std::uint32_t errorCode) noexcept {
    constexpr std::u16string_view kPrefix = u"Vorelle: ";
    constexpr std::u16string_view kMiddle = u" failed, error ";
    wchar_t line[160];
    std::size_t used = 0;
    const auto append = [&](std::u16string_view part) {
        const std::size_t room = std::size(line) - 2 - used;  // keep the newline and the terminator
        const std::size_t units = std::min(part.size(), room);
        std::copy_n(part.data(), units, line + used);
        used += units;
    };
    append(kPrefix);
    append(call);
    append(kMiddle);
    char16_t digits[10];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + errorCode % 10);
        errorCode /= 10;
    } while (errorCode != 0);
    std::reverse(digits, digits + count);
    append(std::u16string_view(digits, count));
    line[used++] = L'\n';
    line[used] = L'\0';
    OutputDebugStringW(line);
}

}  // namespace vorelle::platform
