#include "fmwrapper/decimal_number.h"

#include <algorithm>
#include <limits>

namespace fmwrapper {
namespace {

// Exponents beyond this are all "too large to matter": kept saturated so that
// arithmetic on them cannot overflow.
constexpr std::int64_t kExponentLimit = 1'000'000'000'000LL;
// Plain (non-exponent) text is used while it stays this short.
constexpr std::int64_t kPlainTextLimit = 400;

bool IsDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0';
}

// Scans a number at the start of `text` (characters as code points); returns
// how many characters it used, 0 when there is no number there.
template <typename Char>
std::size_t ScanNumber(std::basic_string_view<Char> text, bool& negative, std::string& digits,
                       std::int64_t& exponent) {
    std::size_t i = 0;
    negative = false;
    if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) {
        negative = text[i] == Char('-');
        ++i;
    }
    std::string all;
    std::int64_t fractionDigits = 0;
    bool sawDigit = false;
    while (i < text.size() && IsDigit(static_cast<char32_t>(text[i]))) {
        all.push_back(static_cast<char>(text[i]));
        sawDigit = true;
        ++i;
    }
    if (i < text.size() && text[i] == Char('.')) {
        std::size_t j = i + 1;
        std::string fraction;
        while (j < text.size() && IsDigit(static_cast<char32_t>(text[j]))) {
            fraction.push_back(static_cast<char>(text[j]));
            ++j;
        }
        if (sawDigit || !fraction.empty()) {
            all += fraction;
            fractionDigits = static_cast<std::int64_t>(fraction.size());
            sawDigit = true;
            i = j;
        }
    }
    if (!sawDigit) {
        return 0;
    }
    std::int64_t exp = 0;
    if (i < text.size() && (text[i] == Char('e') || text[i] == Char('E'))) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < text.size() && (text[j] == Char('+') || text[j] == Char('-'))) {
            expNegative = text[j] == Char('-');
            ++j;
        }
        if (j < text.size() && IsDigit(static_cast<char32_t>(text[j]))) {
            while (j < text.size() && IsDigit(static_cast<char32_t>(text[j]))) {
                exp = std::min<std::int64_t>(exp * 10 + (static_cast<char32_t>(text[j]) - U'0'),
                                             kExponentLimit);
                ++j;
            }
            if (expNegative) {
                exp = -exp;
            }
            i = j;
        }
    }
    digits = std::move(all);
    exponent = exp - fractionDigits;
    return i;
}

}  // namespace

void DecimalNumber::Normalize() {
    std::size_t first = digits_.find_first_not_of('0');
    if (first == std::string::npos) {
        digits_.clear();
        exponent_ = 0;
        negative_ = false;
        return;
    }
    digits_.erase(0, first);
    std::size_t last = digits_.find_last_not_of('0');
    exponent_ += static_cast<std::int64_t>(digits_.size() - 1 - last);
    digits_.erase(last + 1);
    exponent_ = std::clamp(exponent_, -kExponentLimit, kExponentLimit);
}

DecimalNumber DecimalNumber::FromInteger(std::int64_t value) {
    DecimalNumber n;
    n.negative_ = value < 0;
    // Built from the unsigned magnitude so that the smallest value works too.
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    n.digits_ = std::to_string(magnitude);
    n.Normalize();
    return n;
}

std::optional<DecimalNumber> DecimalNumber::ParseLiteral(std::string_view literal) {
    DecimalNumber n;
    std::size_t used = ScanNumber(literal, n.negative_, n.digits_, n.exponent_);
    if (used == 0 || used != literal.size()) {
        return std::nullopt;
    }
    n.Normalize();
    return n;
}

DecimalNumber DecimalNumber::LeadingNumber(std::u16string_view text) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) {
        ++start;
    }
    DecimalNumber n;
    if (ScanNumber(text.substr(start), n.negative_, n.digits_, n.exponent_) == 0) {
        return DecimalNumber();
    }
    n.Normalize();
    return n;
}

std::int32_t DecimalNumber::ToInt32() const {
    if (digits_.empty()) {
        return 0;
    }
    const std::int64_t integerDigits = static_cast<std::int64_t>(digits_.size()) + exponent_;
    if (integerDigits <= 0) {
        return 0;  // only a fraction: truncated toward zero
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    if (integerDigits > 10) {
        return static_cast<std::int32_t>(negative_ ? kMin : kMax);
    }
    std::int64_t magnitude = 0;
    for (std::int64_t i = 0; i < integerDigits; ++i) {
        const std::size_t index = static_cast<std::size_t>(i);
        magnitude = magnitude * 10 + (index < digits_.size() ? digits_[index] - '0' : 0);
    }
    const std::int64_t value = negative_ ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
}

std::u16string DecimalNumber::ToText() const {
    if (digits_.empty()) {
        return u"0";
    }
    std::string out = negative_ ? "-" : "";
    const std::int64_t count = static_cast<std::int64_t>(digits_.size());
    const std::int64_t integerDigits = count + exponent_;
    const std::int64_t plainLength =
        std::max<std::int64_t>(integerDigits, 1) + std::max<std::int64_t>(-exponent_, 0) + 1;
    if (plainLength <= kPlainTextLimit) {
        if (exponent_ >= 0) {
            out += digits_;
            out.append(static_cast<std::size_t>(exponent_), '0');
        } else if (integerDigits > 0) {
            out += digits_.substr(0, static_cast<std::size_t>(integerDigits));
            out += '.';
            out += digits_.substr(static_cast<std::size_t>(integerDigits));
        } else {
            out += "0.";
            out.append(static_cast<std::size_t>(-integerDigits), '0');
            out += digits_;
        }
    } else {
        // d.ddd e±N, where N is the power of the first digit.
        out += digits_[0];
        if (digits_.size() > 1) {
            out += '.';
            out += digits_.substr(1);
        }
        const std::int64_t power = integerDigits - 1;
        out += power < 0 ? "e-" : "e+";
        out += std::to_string(power < 0 ? -power : power);
    }
    return std::u16string(out.begin(), out.end());
}

}  // namespace fmwrapper
