#include "simwin/registry.h"

#include <algorithm>
#include <cstring>

#include "simwin/errors.h"
#include "simwin/handle_accounting.h"
#include "simwin/machine_state.h"
#include "simwin/text.h"

namespace simwin {
namespace {

std::u16string_view NameOf(const char16_t* name) { return name == nullptr ? u"" : std::u16string_view(name); }

// The open key behind a handle, or null (the use counted) when the handle is not an open key.
const detail::OpenKey* OpenKeyOf(detail::MachineState& machine, Handle key) {
    auto it = machine.keyHandles.find(key);
    if (it == machine.keyHandles.end()) {
        detail::NoteInvalidHandle();
        return nullptr;
    }
    return &it->second;
}

// The key data an open key stands for, or null when it was deleted since.
detail::RegistryKeyData* KeyDataOf(detail::MachineState& machine, const detail::OpenKey& open) {
    auto it = machine.keys.find(open.foldedPath);
    return it == machine.keys.end() || it->second.id != open.id ? nullptr : &it->second;
}

bool IsDevicesKey(const std::u16string& foldedPath) { return foldedPath == detail::FoldPath(kDevicesKeyPath); }

}  // namespace

std::int32_t RegOpenKey(const char16_t* path, std::uint32_t access, Handle& key) {
    key = 0;
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    std::u16string folded = detail::FoldPath(NameOf(path));
    auto it = machine.keys.find(folded);
    if (it == machine.keys.end()) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    if (IsDevicesKey(folded) && detail::FaultOn(machine, Fault::DevicesKey)) {
        return static_cast<std::int32_t>(kErrorAccessDenied);
    }
    if ((access & kKeySetValue) != 0 && it->second.readOnly) {
        return static_cast<std::int32_t>(kErrorAccessDenied);
    }
    key = detail::NewHandleValue();
    machine.keyHandles.emplace(key, detail::OpenKey{folded, it->second.id, access});
    return static_cast<std::int32_t>(kErrorSuccess);
}

std::int32_t RegQueryValue(Handle key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    const detail::OpenKey* open = OpenKeyOf(machine, key);
    if (open == nullptr) {
        return static_cast<std::int32_t>(kErrorInvalidHandle);
    }
    if (data != nullptr && size == nullptr) {
        return static_cast<std::int32_t>(kErrorInvalidParameter);
    }
    if ((open->access & kKeyQueryValue) == 0) {
        return static_cast<std::int32_t>(kErrorAccessDenied);
    }
    detail::RegistryKeyData* keyData = KeyDataOf(machine, *open);
    if (keyData == nullptr) {
        return static_cast<std::int32_t>(kErrorKeyDeleted);
    }
    const RegistryValue* value = detail::FindValue(*keyData, NameOf(name));
    if (value == nullptr) {
        return static_cast<std::int32_t>(kErrorFileNotFound);
    }
    if (data != nullptr && IsDevicesKey(open->foldedPath) && detail::FaultOn(machine, Fault::DevicesValue)) {
        return static_cast<std::int32_t>(kErrorAccessDenied);
    }
    auto needed = static_cast<std::uint32_t>(value->data.size());
    if (type != nullptr) {
        *type = value->type;
    }
    if (data != nullptr && *size < needed) {
        *size = needed;
        return static_cast<std::int32_t>(kErrorMoreData);
    }
    if (data != nullptr && needed > 0) {
        std::memcpy(data, value->data.data(), needed);
    }
    if (size != nullptr) {
        *size = needed;
    }
    return static_cast<std::int32_t>(kErrorSuccess);
}

std::int32_t RegSetValue(Handle key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    const detail::OpenKey* open = OpenKeyOf(machine, key);
    if (open == nullptr) {
        return static_cast<std::int32_t>(kErrorInvalidHandle);
    }
    if (data == nullptr && size != 0) {
        return static_cast<std::int32_t>(kErrorInvalidParameter);
    }
    if ((open->access & kKeySetValue) == 0) {
        return static_cast<std::int32_t>(kErrorAccessDenied);
    }
    detail::RegistryKeyData* keyData = KeyDataOf(machine, *open);
    if (keyData == nullptr) {
        return static_cast<std::int32_t>(kErrorKeyDeleted);
    }
    if (EqualsIgnoreCase(NameOf(name), u"Printer") && detail::FaultOn(machine, Fault::WritePrinter)) {
        return static_cast<std::int32_t>(kErrorAccessDenied);
    }
    RegistryValue value;
    value.name = std::u16string(NameOf(name));
    value.type = type;
    value.data.assign(data, data + size);
    detail::SetValue(*keyData, std::move(value));
    return static_cast<std::int32_t>(kErrorSuccess);
}

std::int32_t RegCloseKey(Handle key) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (machine.keyHandles.erase(key) == 0) {
        detail::NoteInvalidHandle();
        return static_cast<std::int32_t>(kErrorInvalidHandle);
    }
    return static_cast<std::int32_t>(kErrorSuccess);
}

bool KeyExists(std::u16string_view path) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return detail::FindKey(machine, path) != nullptr;
}

void CreateKey(std::u16string_view path) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    detail::CreateKey(machine, path);
}

bool DeleteKey(std::u16string_view path) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    std::u16string folded = detail::FoldPath(path);
    if (machine.keys.erase(folded) == 0) {
        return false;
    }
    std::u16string prefix = folded + u'\\';
    std::erase_if(machine.keys, [&](const auto& entry) { return entry.first.starts_with(prefix); });
    return true;
}

void SetKeyReadOnly(std::u16string_view path, bool readOnly) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    detail::CreateKey(machine, path).readOnly = readOnly;
}

void PutValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
              std::vector<std::uint8_t> data) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    detail::SetValue(detail::CreateKey(machine, path), RegistryValue{std::u16string(name), type, std::move(data)});
}

void PutString(std::u16string_view path, std::u16string_view name, std::u16string_view text) {
    RegistryValue value = RegistryValue::String(std::u16string(name), text);
    PutValue(path, name, value.type, std::move(value.data));
}

std::optional<RegistryValue> GetValue(std::u16string_view path, std::u16string_view name) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    detail::RegistryKeyData* key = detail::FindKey(machine, path);
    const RegistryValue* value = key == nullptr ? nullptr : detail::FindValue(*key, name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return *value;
}

bool DeleteValue(std::u16string_view path, std::u16string_view name) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    detail::RegistryKeyData* key = detail::FindKey(machine, path);
    return key != nullptr && detail::RemoveValue(*key, name);
}

std::vector<std::u16string> ListKeys() {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    std::vector<std::u16string> paths;
    paths.reserve(machine.keys.size());
    for (const auto& entry : machine.keys) {  // the map is ordered by folded path
        paths.push_back(entry.second.path);
    }
    return paths;
}

std::vector<RegistryValue> ListValues(std::u16string_view path) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    detail::RegistryKeyData* key = detail::FindKey(machine, path);
    return key == nullptr ? std::vector<RegistryValue>{} : key->values;
}

}  // namespace simwin
