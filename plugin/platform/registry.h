// The per-user registry (HKEY_CURRENT_USER), as the printer services need it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/handle.h"

namespace vorelle::platform {

enum class KeyAccess { QueryValue, SetValue };  // KEY_QUERY_VALUE, KEY_SET_VALUE

struct RegistryKeyTraits {
    static void Close(RawHandle handle);  // RegCloseKey
};

class RegistryKey {
public:
    // RegOpenKeyExW below HKEY_CURRENT_USER. Never creates the key. An empty
    // key (false) when it cannot be opened with that access.
    [[nodiscard]] static RegistryKey OpenCurrentUser(const std::u16string& path, KeyAccess access);

    explicit operator bool() const { return static_cast<bool>(key_); }

    // RegQueryValueExW with no buffer and no type: the data's size in bytes.
    [[nodiscard]] std::optional<std::uint32_t> ValueSize(const std::u16string& name) const;

    // RegQueryValueExW into `buffer` of `size` bytes, type not asked. On
    // success `size` holds the bytes written.
    [[nodiscard]] bool ReadValue(const std::u16string& name, void* buffer, std::uint32_t& size) const;

    // RegSetValueExW, REG_SZ, `text` and its terminating null
    // (2 * length + 2 bytes).
    [[nodiscard]] bool SetString(const std::u16string& name, std::u16string_view text) const;

private:
    explicit RegistryKey(RawHandle key) : key_(key) {}
    UniqueHandle<RegistryKeyTraits> key_;
};

}  // namespace vorelle::platform
