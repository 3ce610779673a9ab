// The per-user registry: keys opened, never created; REG_SZ written with its
// terminating null from a text that need not end in one.
#include "platform/win32/win32_api.h"

#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/wine/platform_probe/probe.h"

namespace probe {
namespace {

using vorelle::platform::KeyAccess;
using vorelle::platform::RegistryKey;

bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

}  // namespace

void RegistryChecks() {
    const std::wstring base = L"Software\\VorelleProbe";
    const std::wstring path = base + L"\\Preferences";
    const std::u16string path16(vorelle::platform::win32::Utf16(path.c_str()));
    const std::u16string missing16 = path16 + u"\\Missing";
    RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());

    Check(!RegistryKey::OpenCurrentUser(missing16, KeyAccess::SetValue),
          "a missing key does not open for writing");
    Check(!RegistryKey::OpenCurrentUser(missing16, KeyAccess::QueryValue),
          "a missing key does not open for reading");
    Check(!KeyExists(path + L"\\Missing") && !KeyExists(path), "and is not created");

    HKEY created = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &created, nullptr);
    if (created != nullptr) {
        RegCloseKey(created);
    }

    // The view stops before ",tail": its last unit is not followed by a null.
    const std::u16string whole = u"Invoices,wineps.drv,FILE:,tail";
    const std::u16string_view text = std::u16string_view(whole).substr(0, 25);
    {
        RegistryKey key = RegistryKey::OpenCurrentUser(path16, KeyAccess::SetValue);
        Check(static_cast<bool>(key), "an existing key opens for writing");
        Check(key.SetString(u"Printer", text), "SetString");
        Check(key.SetString(u"Empty", u""), "SetString of the empty text");
    }
    {
        HKEY raw = nullptr;
        RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &raw);
        DWORD type = 0;
        DWORD bytes = 0;
        std::vector<wchar_t> data(64, L'x');
        DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status = RegQueryValueExW(raw, L"Printer", nullptr, &type,
                                                reinterpret_cast<BYTE*>(data.data()), &size);
        bytes = size;
        Check(status == ERROR_SUCCESS && type == REG_SZ, "the value is REG_SZ");
        Check(bytes == 2 * text.size() + 2, "stored with 2 * length + 2 bytes",
              std::to_string(bytes) + " bytes");
        Check(std::u16string_view(vorelle::platform::win32::Utf16(data.data(), text.size())) ==
                      text &&
                  data[text.size()] == L'\0',
              "the text and its null, nothing of what followed it");
        size = 0;
        RegQueryValueExW(raw, L"Empty", nullptr, &type, nullptr, &size);
        Check(size == 2, "the empty text is stored as its null alone");
        RegCloseKey(raw);
    }
    {
        RegistryKey key = RegistryKey::OpenCurrentUser(path16, KeyAccess::QueryValue);
        Check(static_cast<bool>(key), "an existing key opens for reading");
        const auto size = key.ValueSize(u"Printer");
        Check(size && *size == 2 * text.size() + 2, "ValueSize");
        Check(!key.ValueSize(u"No Such Value"), "ValueSize of a missing value: none");
        std::vector<char16_t> buffer(64, u'\0');
        std::uint32_t bytes = static_cast<std::uint32_t>(buffer.size() * sizeof(char16_t));
        Check(key.ReadValue(u"Printer", buffer.data(), bytes) && bytes == 2 * text.size() + 2 &&
                  std::u16string(buffer.data()) == std::u16string(text),
              "ReadValue reads the data and reports its size");
        bytes = 4;
        Check(!key.ReadValue(u"Printer", buffer.data(), bytes),
              "ReadValue into a buffer too small fails");
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
}

}  // namespace probe
