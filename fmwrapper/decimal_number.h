// The host's numbers: exact decimals of any size and sign, as FileMaker keeps
// them. A value is sign × digits × 10^exponent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fmwrapper {

class DecimalNumber {
public:
    DecimalNumber() = default;  // zero

    static DecimalNumber FromInteger(std::int64_t value);

    // A number literal as written in a calculation: optional sign, digits with
    // an optional fraction, an optional exponent ("-12.50", ".5", "1e400").
    // Nothing else may follow. None when the text is not such a literal.
    static std::optional<DecimalNumber> ParseLiteral(std::string_view literal);

    // The number a text stands for: its leading number (after leading blanks),
    // zero when it does not start with one.
    static DecimalNumber LeadingNumber(std::u16string_view text);

    bool IsZero() const { return digits_.empty(); }
    bool IsNegative() const { return negative_; }

    // Truncated toward zero, saturated at the 32-bit limits.
    std::int32_t ToInt32() const;

    // Canonical text: no superfluous zeros ("1.5", "-3", "0.001"); numbers
    // whose plain form would be very long are written with an exponent.
    std::u16string ToText() const;

private:
    void Normalize();

    bool negative_ = false;
    std::string digits_;          // no leading or trailing zeros; empty for zero
    std::int64_t exponent_ = 0;   // scale of the last digit
};

}  // namespace fmwrapper
