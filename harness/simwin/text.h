// UTF-8/UTF-16 conversion and Windows-like case-insensitive comparison.
#pragma once

#include <string>
#include <string_view>

namespace simwin {

// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// The unit in upper case, as Windows compares names (ASCII, Latin-1, Greek and Cyrillic letters).
char16_t FoldCase(char16_t unit);
// Whether two texts are equal ignoring case (unit by unit through FoldCase).
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

}  // namespace simwin
