#include "simwin/text.h"

namespace simwin {

char16_t FoldCase(char16_t unit) {
    if (unit >= u'a' && unit <= u'z') {
        return static_cast<char16_t>(unit - 0x20);
    }
    if (unit < 0xE0) {
        return unit;
    }
    if ((unit <= 0xFE && unit != 0xF7) ||             // Latin-1 à..þ
        (unit >= 0x3B1 && unit <= 0x3C9 && unit != 0x3C2) ||  // Greek α..ω
        (unit >= 0x430 && unit <= 0x44F)) {           // Cyrillic а..я
        return static_cast<char16_t>(unit - 0x20);
    }
    if (unit >= 0x450 && unit <= 0x45F) {  // Cyrillic ѐ..џ
        return static_cast<char16_t>(unit - 0x50);
    }
    return unit;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace simwin
