// What Vorelle Check changes on the machine, kept before it changes it and
// put back after: registry values (FileMaker's "Printer" preference) and the
// Windows default printer. Also when the user ends the check half-way: the
// console's Ctrl+C, Ctrl+Break and close put everything back before the
// process ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace check {

// A value as the registry holds it: its type and bytes, or absent.
struct RegistryValue {
    std::u16string keyPath;  // below HKEY_CURRENT_USER
    std::u16string name;
    bool present = false;
    DWORD type = 0;
    std::vector<std::uint8_t> bytes;
    bool SameAs(const RegistryValue& other) const {
        return present == other.present && (!present || (type == other.type && bytes == other.bytes));
    }
};

// Whether the key exists below HKEY_CURRENT_USER.
bool KeyExists(const std::u16string& keyPath);
// The value now; none when its key cannot be opened or the value not read.
std::optional<RegistryValue> ReadValue(const std::u16string& keyPath, const std::u16string& name);
// A REG_SZ value's text without its terminators; none when it is absent or of
// another type.
std::optional<std::u16string> ValueText(const RegistryValue& value);
// Writes it back as it was (same type and bytes) or deletes it (absent).
bool WriteValue(const RegistryValue& value, unsigned long& error);

// The Windows default printer; empty when there is none.
std::u16string DefaultPrinter();

// What was kept to be put back. One lock covers every change the check makes
// (hold a Change while calling what changes the machine) and the putting
// back, so that the console's handler never restores in the middle of a
// change, and nothing changes after it restored.
class Restorer {
public:
    Restorer();
    ~Restorer();
    Restorer(const Restorer&) = delete;
    Restorer& operator=(const Restorer&) = delete;

    class Change {
    public:
        explicit Change(Restorer& restorer) : restorer_(restorer) { EnterCriticalSection(&restorer_.lock_); }
        ~Change() { LeaveCriticalSection(&restorer_.lock_); }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

    private:
        Restorer& restorer_;
    };

    // Kept once (the first state seen is the one put back). Call inside a Change.
    void Keep(const RegistryValue& value);
    void KeepDefaultPrinter(const std::u16string& printer);

    // Puts back everything kept and forgets it; the failures, one text each.
    std::vector<std::u16string> PutBack();

    // The console's Ctrl+C, Ctrl+Break and close put back everything kept,
    // then end the process with `status`.
    void PutBackOnConsoleEvents(int status);

private:
    static BOOL WINAPI OnConsoleEvent(DWORD event);

    CRITICAL_SECTION lock_;
    std::vector<RegistryValue> values_;
    std::optional<std::u16string> defaultPrinter_;
    int consoleStatus_ = 2;
};

}  // namespace check
