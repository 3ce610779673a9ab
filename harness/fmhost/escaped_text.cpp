#include "fmhost/escaped_text.h"

#include <cstdio>

#include "utf/conversion.h"

namespace fmhost {
namespace {

bool IsControl(char16_t c) { return c <= 0x1F || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string EscapedText(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsControl(text[i])) {
            continue;
        }
        out += utf::ToUtf8(text.substr(plainFrom, i - plainFrom));
        if (i < text.size()) {
            char escape[9];
            std::snprintf(escape, sizeof escape, "<U+%04X>", static_cast<unsigned>(text[i]));
            out += escape;
        }
        plainFrom = i + 1;
    }
    return out;
}

}  // namespace fmhost
