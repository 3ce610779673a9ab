// Reads a fuzz input from front to back as the values the targets need:
// integers, texts with the units that matter at the edges (NUL, blanks,
// commas, backslashes, lone surrogates) and up to about 100,000 units long,
// and number literals of any size and sign. Past the end every read gives 0,
// so every input is valid and a short seed stays readable by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorelle::fuzz {

inline constexpr std::size_t kMaxTextUnits = 100'000;

class FuzzInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> data) : data_(data) {}

    bool AtEnd() const { return position_ >= data_.size(); }
    std::uint8_t U8();
    std::uint16_t U16();  // little-endian
    std::uint32_t U32();
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::vector<std::uint8_t> Bytes(std::size_t count);

    // A text; `names` are texts of the machine (printer names) that the input
    // may pick by index, unchanged or altered. Header byte h, kind h >> 5:
    //   0 empty; 1 (h & 31) units, one byte each through the edge alphabet;
    //   2 (h & 31) raw UTF-16 units; 3 such a pattern of (h & 31) alphabet
    //   units repeated U16 times; 4 a name of `names` (next byte), h & 3:
    //   as is, upper case, with a trailing blank, cut by one unit, and with
    //   h & 4 followed by a NUL and up to 3 more units; 5 a
    //   variant of "short"; 6 U32 units cycling through 8 alphabet bytes;
    //   7 a number written as text.
    // Never longer than kMaxTextUnits.
    std::u16string Text(const std::vector<std::u16string>& names = {});

    // A number literal of the host's syntax: small integers, the edges of
    // 32 bits, huge and tiny magnitudes, fractions, up to 40 digits.
    std::string NumberLiteral();

private:
    std::u16string AlphabetUnits(std::size_t count);

    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
};

// One byte as a text unit: below 32 an edge unit (NUL, blank, comma,
// backslash, surrogates, noncharacters, ...), otherwise its Latin-1 unit.
char16_t AlphabetUnit(std::uint8_t byte);

}  // namespace vorelle::fuzz
