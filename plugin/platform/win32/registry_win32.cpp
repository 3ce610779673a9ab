// The per-user registry on Windows: RegOpenKeyExW below HKEY_CURRENT_USER,
// RegQueryValueExW, RegSetValueExW and RegCloseKey. Keys are never created.
#include "platform/win32/win32_api.h"

#include "platform/registry.h"

#include <limits>

namespace vorelle::platform {
namespace {

using win32::Wide;

HKEY AsKey(RawHandle raw) {
    return reinterpret_cast<HKEY>(raw);
}

}  // namespace

void RegistryKeyTraits::Close(RawHandle handle) {
    RegCloseKey(AsKey(handle));
}

RegistryKey RegistryKey::OpenCurrentUser(const std::u16string& path, KeyAccess access) {
    const REGSAM rights = access == KeyAccess::QueryValue ? KEY_QUERY_VALUE : KEY_SET_VALUE;
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path), 0, rights, &key);
    if (status != ERROR_SUCCESS || key == nullptr) {
        TraceFailure(u"RegOpenKeyExW", static_cast<std::uint32_t>(status));
        return RegistryKey(0);
    }
    return RegistryKey(win32::AsRaw(key));
}

std::optional<std::uint32_t> RegistryKey::ValueSize(const std::u16string& name) const {
    if (!key_) {
        return std::nullopt;
    }
    DWORD bytes = 0;
    const LSTATUS status =
        RegQueryValueExW(AsKey(key_.get()), Wide(name), nullptr, nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) {
        TraceFailure(u"RegQueryValueExW", static_cast<std::uint32_t>(status));
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(bytes);
}

bool RegistryKey::ReadValue(const std::u16string& name, void* buffer, std::uint32_t& size) const {
    if (!key_) {
        return false;
    }
    DWORD bytes = size;
    const LSTATUS status = RegQueryValueExW(AsKey(key_.get()), Wide(name), nullptr, nullptr,
                                            static_cast<BYTE*>(buffer), &bytes);
    if (status != ERROR_SUCCESS) {
        TraceFailure(u"RegQueryValueExW", static_cast<std::uint32_t>(status));
        return false;
    }
    size = static_cast<std::uint32_t>(bytes);
    return true;
}

bool RegistryKey::SetString(const std::u16string& name, std::u16string_view text) const {
    if (!key_) {
        return false;
    }
    // A view need not end in a null: write from a terminated copy.
    const std::u16string terminated(text);
    const std::size_t bytes = 2 * terminated.size() + 2;
    if (bytes > std::numeric_limits<DWORD>::max()) {
        return false;
    }
    const LSTATUS status = RegSetValueExW(AsKey(key_.get()), Wide(name), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(terminated.c_str()),
                                          static_cast<DWORD>(bytes));
    if (status != ERROR_SUCCESS) {
        TraceFailure(u"RegSetValueExW", static_cast<std::uint32_t>(status));
        return false;
    }
    return true;
}

}  // namespace vorelle::platform
