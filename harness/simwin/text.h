// Windows-like case-insensitive comparison.
#pragma once

#include <string>
#include <string_view>

namespace simwin {

// The unit in upper case, as Windows compares names (ASCII, Latin-1, Greek and Cyrillic letters).
char16_t FoldCase(char16_t unit);
// Whether two texts are equal ignoring case (unit by unit through FoldCase).
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace simwin
