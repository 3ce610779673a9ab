// Internal to simwin: the one machine's data behind the spooler, the registry
// and the handle accounting, guarded by one lock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simwin/handles.h"
#include "simwin/machine.h"
#include "simwin/spooler.h"

namespace simwin::detail {

struct RegistryKeyData {
    std::u16string path;  // spelled as when first created
    std::uint64_t id = 0;  // tells a key from a later one of the same path
    bool readOnly = false;
    std::vector<RegistryValue> values;  // in the order first set
};

struct OpenKey {
    std::u16string foldedPath;
    std::uint64_t id = 0;
    std::uint32_t access = 0;
};

struct MachineState {
    std::mutex lock;
    std::vector<PrinterSpec> printers;
    std::optional<std::u16string> defaultPrinter;
    std::map<std::u16string, RegistryKeyData> keys;  // by folded path
    std::uint64_t nextKeyId = 1;
    std::array<bool, 11> faults{};
    std::map<Handle, std::u16string> printerHandles;  // the printer's name as the spooler knows it
    std::map<Handle, OpenKey> keyHandles;
    std::vector<PrintJob> printJobs;  // every queue's jobs, in the order given
    std::map<Handle, PrintJob> openDocuments;  // documents started on a printer handle, not yet ended
    std::map<std::u16string, std::vector<std::uint8_t>> portBytes;  // by printer, as the spooler spells it
    std::uint32_t nextJobId = 1;
};

// The machine of this process (never destroyed, so threads may use it during exit).
MachineState& Machine();

// The path in upper case, as keys are compared.
std::u16string FoldPath(std::u16string_view path);

// The functions below expect the machine's lock to be held.

// The key, or null when missing.
RegistryKeyData* FindKey(MachineState& machine, std::u16string_view path);
// The key, created with its parents when missing.
RegistryKeyData& CreateKey(MachineState& machine, std::u16string_view path);
// The value (name matched ignoring case), or null when missing.
RegistryValue* FindValue(RegistryKeyData& key, std::u16string_view name);
// Sets type and bytes of the value; a new value keeps the given name, an existing one its own.
void SetValue(RegistryKeyData& key, RegistryValue value);
// Removes the value; false when missing.
bool RemoveValue(RegistryKeyData& key, std::u16string_view name);
// The printer (name matched ignoring case), or null when the spooler does not know it.
PrinterSpec* FindPrinter(MachineState& machine, std::u16string_view name);
// Appends the printer and its Devices value.
void InstallPrinter(MachineState& machine, const PrinterSpec& printer);
// Whether the fault is on.
bool FaultOn(const MachineState& machine, Fault fault);

}  // namespace simwin::detail
