#include "winsetup/registry_setup.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "hosting/win32_owners.h"

namespace winsetup {
namespace {

using hosting::KeyOwner;

std::wstring Failure(const std::wstring& what, LSTATUS code) {
    return what + L": error " + std::to_wstring(code);
}

}  // namespace

std::wstring CreateKey(const std::wstring& path) {
    KeyOwner key;
    const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                          KEY_WRITE, nullptr, key.put(), nullptr);
    return status == ERROR_SUCCESS ? std::wstring() : Failure(L"RegCreateKeyExW " + path, status);
}

std::wstring DeleteKey(const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        return {};
    }
    return Failure(L"RegDeleteTreeW " + path, status);
}

std::wstring DeleteValue(const std::wstring& path, const std::wstring& name) {
    KeyOwner key;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        return {};
    }
    if (status != ERROR_SUCCESS) {
        return Failure(L"RegOpenKeyExW " + path, status);
    }
    status = RegDeleteValueW(key.get(), name.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        return {};
    }
    return Failure(L"RegDeleteValueW " + name, status);
}

bool KeyExists(const std::wstring& path) {
    KeyOwner key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) ==
           ERROR_SUCCESS;
}

std::optional<std::wstring> ReadText(const std::wstring& path, const std::wstring& name) {
    KeyOwner key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), size / sizeof(wchar_t)));
}

}  // namespace winsetup
