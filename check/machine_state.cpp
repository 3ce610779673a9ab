#include "check/machine_state.h"

#include <winspool.h>

#include "check/win32_text.h"
#include "hosting/win32_owners.h"

namespace check {
namespace {

// The one Restorer the console's handler serves (set by PutBackOnConsoleEvents).
Restorer* consoleRestorer = nullptr;

}  // namespace

bool KeyExists(const std::u16string& keyPath) {
    hosting::KeyOwner key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, Wide(keyPath), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS;
}

std::optional<RegistryValue> ReadValue(const std::u16string& keyPath, const std::u16string& name) {
    hosting::KeyOwner key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(keyPath), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value;
    value.keyPath = keyPath;
    value.name = name;
    DWORD bytes = 0;
    const LONG status = RegQueryValueExW(key.get(), Wide(name), nullptr, &value.type, nullptr, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) {
        return value;  // absent
    }
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(bytes);
    if (RegQueryValueExW(key.get(), Wide(name), nullptr, &value.type, value.bytes.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(bytes);
    value.present = true;
    return value;
}

std::optional<std::u16string> ValueText(const RegistryValue& value) {
    if (!value.present || value.type != REG_SZ) {
        return std::nullopt;
    }
    std::u16string text(value.bytes.size() / sizeof(char16_t), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(value.bytes[2 * i] | value.bytes[2 * i + 1] << 8);
    }
    return text.substr(0, text.find(u'\0'));
}

bool WriteValue(const RegistryValue& value, unsigned long& error) {
    hosting::KeyOwner key;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, Wide(value.keyPath), 0, KEY_SET_VALUE, key.put());
    if (status == ERROR_SUCCESS) {
        if (value.present) {
            status = RegSetValueExW(key.get(), Wide(value.name), 0, value.type, value.bytes.data(),
                                    static_cast<DWORD>(value.bytes.size()));
        } else {
            status = RegDeleteValueW(key.get(), Wide(value.name));
            if (status == ERROR_FILE_NOT_FOUND) {
                status = ERROR_SUCCESS;
            }
        }
    }
    error = static_cast<unsigned long>(status);
    return status == ERROR_SUCCESS;
}

std::u16string DefaultPrinter() {
    DWORD units = 0;
    GetDefaultPrinterW(nullptr, &units);
    if (units == 0) {
        return {};
    }
    std::u16string name(units, u'\0');
    if (!GetDefaultPrinterW(reinterpret_cast<wchar_t*>(name.data()), &units)) {
        return {};
    }
    return name.substr(0, name.find(u'\0'));
}

Restorer::Restorer() { InitializeCriticalSection(&lock_); }

Restorer::~Restorer() {
    if (consoleRestorer == this) {
        SetConsoleCtrlHandler(&Restorer::OnConsoleEvent, FALSE);
        consoleRestorer = nullptr;
    }
    DeleteCriticalSection(&lock_);
}

void Restorer::Keep(const RegistryValue& value) {
    for (const RegistryValue& kept : values_) {
        if (kept.keyPath == value.keyPath && kept.name == value.name) {
            return;
        }
    }
    values_.push_back(value);
}

void Restorer::KeepDefaultPrinter(const std::u16string& printer) {
    if (!defaultPrinter_) {
        defaultPrinter_ = printer;
    }
}

std::vector<std::u16string> Restorer::PutBack() {
    const Change change(*this);
    std::vector<std::u16string> failures;
    for (const RegistryValue& value : values_) {
        unsigned long error = 0;
        if (!WriteValue(value, error)) {
            failures.push_back(Failed(u"putting back HKCU\\" + value.keyPath + u" " + value.name, error));
        }
    }
    values_.clear();
    if (defaultPrinter_ && !defaultPrinter_->empty() && DefaultPrinter() != *defaultPrinter_ &&
        !SetDefaultPrinterW(Wide(*defaultPrinter_))) {
        failures.push_back(Failed(u"SetDefaultPrinterW " + Quoted(*defaultPrinter_), GetLastError()));
    }
    defaultPrinter_.reset();
    return failures;
}

void Restorer::PutBackOnConsoleEvents(int status) {
    consoleRestorer = this;
    consoleStatus_ = status;
    SetConsoleCtrlHandler(&Restorer::OnConsoleEvent, TRUE);
}

BOOL WINAPI Restorer::OnConsoleEvent(DWORD) {
    Restorer* restorer = consoleRestorer;
    if (restorer == nullptr) {
        return FALSE;
    }
    // Taken once a change under way has ended, and kept (PutBack takes it
    // again, as a critical section allows its owner): the check changes
    // nothing more before the process ends.
    EnterCriticalSection(&restorer->lock_);
    restorer->PutBack();
    ExitProcess(static_cast<UINT>(restorer->consoleStatus_));
}

}  // namespace check
