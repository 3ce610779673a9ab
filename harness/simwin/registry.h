// The per-user registry (HKEY_CURRENT_USER) of the simulated Windows: the
// Win32-style calls the plug-in uses, and a direct view for tests. Key paths
// and value names match ignoring case, as on Windows; values keep their type
// and raw bytes exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simwin/handles.h"
#include "simwin/machine.h"

namespace simwin {

inline constexpr std::uint32_t kKeyQueryValue = 0x0001;  // KEY_QUERY_VALUE
inline constexpr std::uint32_t kKeySetValue = 0x0002;    // KEY_SET_VALUE

// RegOpenKeyExW below HKEY_CURRENT_USER; never creates. Returns a Win32 status:
// kErrorFileNotFound for a missing key, kErrorAccessDenied for KEY_SET_VALUE on a read-only key
// or any access to the Devices key under Fault::DevicesKey. On success `key` is counted until
// RegCloseKey.
std::int32_t RegOpenKey(const char16_t* path, std::uint32_t access, Handle& key);

// RegQueryValueExW: `type`, `data` and `size` may each be null. Null data with a size: the size
// only. Data with a size too small: kErrorMoreData and the needed size. Data without a size:
// kErrorInvalidParameter. kErrorFileNotFound for a missing value, kErrorAccessDenied without
// KEY_QUERY_VALUE or when reading Devices data under Fault::DevicesValue, kErrorInvalidHandle
// (counted) for a key that is not open, kErrorKeyDeleted when the key no longer exists.
std::int32_t RegQueryValue(Handle key, const char16_t* name, std::uint32_t* type,
                           std::uint8_t* data, std::uint32_t* size);

// RegSetValueExW: stores `size` bytes of `data` exactly, with `type`. kErrorAccessDenied without
// KEY_SET_VALUE or, under Fault::WritePrinter, for a value named "Printer".
std::int32_t RegSetValue(Handle key, const char16_t* name, std::uint32_t type,
                         const std::uint8_t* data, std::uint32_t size);

// RegCloseKey: kErrorInvalidHandle (counted) for a key that is not open.
std::int32_t RegCloseKey(Handle key);

// Direct view for tests (no handles, no faults):

// Whether the key exists.
bool KeyExists(std::u16string_view path);
// Creates the key and its parents (nothing when it exists).
void CreateKey(std::u16string_view path);
// Deletes the key, its subkeys and their values; false when it did not exist.
bool DeleteKey(std::u16string_view path);
// Makes the key refuse (or accept again) opening for KEY_SET_VALUE; creates it when missing.
void SetKeyReadOnly(std::u16string_view path, bool readOnly);
// Puts a value of any type and any bytes (odd lengths, no terminator) into the key, creating it.
void PutValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
              std::vector<std::uint8_t> data);
// Puts a REG_SZ value holding `text` and its terminating null.
void PutString(std::u16string_view path, std::u16string_view name, std::u16string_view text);
// A value's name (as stored), type and bytes; none when the key or value is missing.
std::optional<RegistryValue> GetValue(std::u16string_view path, std::u16string_view name);
// Deletes a value; false when it did not exist.
bool DeleteValue(std::u16string_view path, std::u16string_view name);
// Every key's path as first created, sorted ignoring case.
std::vector<std::u16string> ListKeys();
// The key's values in the order they were first set; empty when the key is missing.
std::vector<RegistryValue> ListValues(std::u16string_view path);

}  // namespace simwin
