// Conversions between the runtime's UTF-16 texts and 8-bit strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fmwrapper {

// The encodings FM_Text_Assign understands; any other value reads as native.
enum : std::int32_t { kEncodingNative = 0, kEncodingUtf8 = 1 };

// The native 8-bit encoding of the host: Windows-1252.
std::u16string DecodeNative(std::string_view bytes);

}  // namespace fmwrapper
