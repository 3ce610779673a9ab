#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <array>

namespace vorelle::fuzz {

namespace {

constexpr std::array<char16_t, 32> kEdgeUnits = {
    0x0000, u' ',   u',',   u'\\',  0xD800, 0xDBFF, 0xDC00, 0xDFFF,  // NUL, separators, lone surrogates
    0xFFFE, 0xFFFF, 0xFEFF, 0x00A0, 0x3000, u'\t',  u'\n',  u'\r',   // noncharacters, BOM, other blanks
    u'(',   u')',   u'"',   u';',   u'&',   u':',   u'/',   u'%',    // prototype and path punctuation
    0x00E9, 0x00DF, 0x0130, 0x0131, 0x03A3, 0x0416, u'!',   u'.',    // letters that fold oddly
};

constexpr std::array<const char16_t*, 10> kShortVariants = {
    u"short", u"SHORT", u"Short", u"sHoRt", u" short", u"short ", u"shorter", u"shor", u"Long",
    u"\u017Fhort",  // long s: folds to S outside ASCII only
};

constexpr std::array<const char*, 24> kNumberLiterals = {
    "0", "1", "2", "3", "4", "5", "6", "7", "-1", "-2", "2147483647", "2147483648", "-2147483648",
    "-2147483649", "4294967296", "4294967297", "1e400", "-1e400", "1e-400", "2.5", "2.9999999",
    "-0.5", "99999999999999999999999999", "0.0000001",
};

}  // namespace

char16_t AlphabetUnit(std::uint8_t byte) {
    return byte < kEdgeUnits.size() ? kEdgeUnits[byte] : static_cast<char16_t>(byte);
}

std::uint8_t FuzzInput::U8() { return AtEnd() ? 0 : data_[position_++]; }

std::uint16_t FuzzInput::U16() {
    const std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | (U8() << 8));
}

std::uint32_t FuzzInput::U32() {
    const std::uint32_t low = U16();
    return low | (static_cast<std::uint32_t>(U16()) << 16);
}

std::vector<std::uint8_t> FuzzInput::Bytes(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(U8());
    }
    return bytes;
}

std::u16string FuzzInput::AlphabetUnits(std::size_t count) {
    std::u16string units;
    for (std::size_t i = 0; i < count; ++i) {
        units.push_back(AlphabetUnit(U8()));
    }
    return units;
}

std::u16string FuzzInput::Text(const std::vector<std::u16string>& names) {
    const std::uint8_t header = U8();
    const std::size_t low = header & 31u;
    switch (header >> 5) {
        case 0:
            return {};
        case 1:
            return AlphabetUnits(low);
        case 2: {
            std::u16string units;
            for (std::size_t i = 0; i < low; ++i) {
                units.push_back(static_cast<char16_t>(U16()));
            }
            return units;
        }
        case 3: {
            const std::u16string pattern = AlphabetUnits(low == 0 ? 1 : low);
            const std::size_t repeats = U16();
            std::u16string units;
            units.reserve(std::min(kMaxTextUnits, pattern.size() * repeats));
            for (std::size_t i = 0; i < repeats && units.size() + pattern.size() <= kMaxTextUnits; ++i) {
                units += pattern;
            }
            return units;
        }
        case 4: {
            if (names.empty()) {
                return u"x";
            }
            std::u16string name = names[U8() % names.size()];
            switch (low & 3u) {
                case 1:
                    for (char16_t& c : name) {
                        if (c >= u'a' && c <= u'z') {
                            c = static_cast<char16_t>(c - u'a' + u'A');
                        }
                    }
                    break;
                case 2:
                    name.push_back(u' ');
                    break;
                case 3:
                    if (!name.empty()) {
                        name.pop_back();
                    }
                    break;
                default:
                    break;
            }
            if ((low & 4u) != 0) {
                // What follows a NUL: invisible to every 0-terminated copy.
                name.push_back(u'\0');
                name += AlphabetUnits(U8() % 4);
            }
            return name;
        }
        case 5:
            return kShortVariants[low % kShortVariants.size()];
        case 6: {
            const std::size_t length = U32() % (kMaxTextUnits + 1);
            const std::u16string cycle = AlphabetUnits(8);
            std::u16string units(length, u'\0');
            for (std::size_t i = 0; i < length; ++i) {
                units[i] = cycle[i % cycle.size()];
            }
            return units;
        }
        default: {
            const std::string literal = NumberLiteral();
            return std::u16string(literal.begin(), literal.end());
        }
    }
}

std::string FuzzInput::NumberLiteral() {
    const std::uint8_t selector = U8();
    if (selector < 2 * kNumberLiterals.size()) {
        return kNumberLiterals[selector % kNumberLiterals.size()];
    }
    // Digits from the input: a sign, up to 40 digits, maybe a point and an exponent.
    std::string literal;
    if (selector & 1u) {
        literal.push_back('-');
    }
    const std::size_t digits = 1 + U8() % 40;
    for (std::size_t i = 0; i < digits; ++i) {
        literal.push_back(static_cast<char>('0' + U8() % 10));
    }
    if (selector & 2u) {
        literal += ".5";
    }
    if (selector & 4u) {
        literal += "e";
        literal += std::to_string(static_cast<int>(U8()) - 128);
    }
    return literal;
}

}  // namespace vorelle::fuzz
