#include "check/win32_text.h"

#include <cmath>

namespace check {

std::u16string Number(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string Decimal(double value, int decimals) {
    long long scale = 1;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    const long long scaled = std::llround(value * static_cast<double>(scale));
    if (decimals <= 0) {
        return Number(scaled);
    }
    std::u16string fraction = Number(scaled % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), u'0');
    return Number(scaled / scale) + u"." + fraction;
}

std::u16string Failed(std::u16string_view call, unsigned long error) {
    return std::u16string(call) + u" failed, error " + Number(static_cast<long long>(error));
}

std::u16string Quoted(std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; }

}  // namespace check
