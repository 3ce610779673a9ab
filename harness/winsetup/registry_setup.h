// The per-user registry of the test machine: the host's preferences keys.
#pragma once

#include <optional>
#include <string>

namespace winsetup {

// Each returns an empty text on success, otherwise what failed and why.
std::wstring CreateKey(const std::wstring& path);   // below HKEY_CURRENT_USER
std::wstring DeleteKey(const std::wstring& path);   // with everything below it; absent is fine
std::wstring DeleteValue(const std::wstring& path, const std::wstring& name);  // absent is fine

// Whether PATH below HKEY_CURRENT_USER exists.
bool KeyExists(const std::wstring& path);

// A REG_SZ value's text without its terminator; none when it cannot be read.
std::optional<std::wstring> ReadText(const std::wstring& path, const std::wstring& name);

}  // namespace winsetup
