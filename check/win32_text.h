// Texts at the Win32 boundary of Vorelle Check: UTF-16 inside, wchar_t for
// Windows, numbers and Windows errors written out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace check {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text) {
    return text == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(text));
}

std::u16string Number(long long value);
// "1.25" for 1.254 with two decimals.
std::u16string Decimal(double value, int decimals);
// "CALL failed, error N".
std::u16string Failed(std::u16string_view call, unsigned long error);
// A text quoted as a FileMaker calculation writes it.
std::u16string Quoted(std::u16string_view text);

}  // namespace check
