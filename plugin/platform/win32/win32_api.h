// The Win32 headers for the facade's Windows side, and the one place where
// UTF-16 texts cross between char16_t and wchar_t (both 16 bits on Windows).
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/trace.h"

namespace vorelle::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected on Windows");

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* Wide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}

inline std::u16string_view Utf16(const wchar_t* text, std::size_t units) {
    return std::u16string_view(reinterpret_cast<const char16_t*>(text), units);
}

// A NUL-terminated text as a view; the empty view for a null pointer.
inline std::u16string_view Utf16(const wchar_t* text) {
    if (text == nullptr) {
        return {};
    }
    return std::u16string_view(reinterpret_cast<const char16_t*>(text));
}

// Traces the failed call `call` with the calling thread's last error. Call it
// before anything else can overwrite that error.
inline void TraceLastError(std::u16string_view call) noexcept {
    TraceFailure(call, GetLastError());
}

template <typename T>
T* AsPointer(std::uintptr_t raw) {
    return reinterpret_cast<T*>(raw);
}

inline HANDLE AsHandle(std::uintptr_t raw) {
    return reinterpret_cast<HANDLE>(raw);
}

inline std::uintptr_t AsRaw(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace vorelle::platform::win32
