#include "fmwrapper/text_encoding.h"

#include "fmwrapper/host_runtime.h"
#include "utf/conversion.h"

namespace fmwrapper {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// Windows-1252 at 0x80..0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    u'\u20AC', kReplacement, u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', kReplacement, u'\u017D', kReplacement,
    kReplacement, u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', kReplacement, u'\u017E', u'\u0178',
};

}  // namespace

std::u16string DecodeNative(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) { return utf::ToUtf16(utf8); }

std::string Utf16ToUtf8(std::u16string_view utf16) { return utf::ToUtf8(utf16); }

}  // namespace fmwrapper
