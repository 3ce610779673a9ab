// What the host sends and uses when not told otherwise.
#pragma once

#include <cstdint>
#include <string_view>

namespace hosting {

inline constexpr std::int16_t kDefaultInterfaceVersion = 51;
inline constexpr std::u16string_view kDefaultHostVersion = u"ProAdvanced 11.0v3";
inline constexpr std::uint32_t kDefaultStringSize = 1024;  // UTF-16 units
inline constexpr std::u16string_view kDefaultResultLocale = u"en_US";

}  // namespace hosting
