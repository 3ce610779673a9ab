// Texts compared as Windows compares names of printers and window titles.
#pragma once

#include <string_view>

namespace vorelle::platform {

// Whether the two texts are equal without regard to letter case, unit for
// unit after Windows' own upper-casing (CharUpperBuffW on both).
[[nodiscard]] bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace vorelle::platform
