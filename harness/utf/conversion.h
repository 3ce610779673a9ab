// UTF-8/UTF-16 conversion for the harness, done by utfcpp (Debian's
// libutfcpp-dev, header-only, so the MinGW builds use it too), with one error
// policy: what cannot be converted becomes U+FFFD — an invalid UTF-8 sequence
// (one mark for the sequence) and an unpaired surrogate.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <utf8/cpp17.h>

namespace utf {

inline std::u16string ToUtf16(std::string_view text) {
    return utf8::utf8to16(utf8::replace_invalid(text));
}

inline std::string ToUtf8(std::u16string_view text) {
    // utfcpp rejects an unpaired surrogate; the policy here replaces it.
    const auto lead = [](char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    const auto trail = [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    std::u16string paired(text);
    for (std::size_t i = 0; i < paired.size(); ++i) {
        if (lead(paired[i]) && i + 1 < paired.size() && trail(paired[i + 1])) {
            ++i;
        } else if (lead(paired[i]) || trail(paired[i])) {
            paired[i] = u'\uFFFD';
        }
    }
    return utf8::utf16to8(paired);
}

}  // namespace utf
