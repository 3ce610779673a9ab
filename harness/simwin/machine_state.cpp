#include "simwin/machine_state.h"

#include <algorithm>

#include "simwin/handle_accounting.h"
#include "simwin/text.h"

namespace simwin::detail {

MachineState& Machine() {
    static MachineState* machine = new MachineState;
    return *machine;
}

std::u16string FoldPath(std::u16string_view path) {
    std::u16string folded(path);
    for (char16_t& unit : folded) {
        unit = FoldCase(unit);
    }
    return folded;
}

RegistryKeyData* FindKey(MachineState& machine, std::u16string_view path) {
    auto it = machine.keys.find(FoldPath(path));
    return it == machine.keys.end() ? nullptr : &it->second;
}

RegistryKeyData& CreateKey(MachineState& machine, std::u16string_view path) {
    // Every parent exists as a key of its own, as on Windows.
    for (std::size_t end = path.find(u'\\'); end != std::u16string_view::npos;
         end = path.find(u'\\', end + 1)) {
        if (end > 0) {
            CreateKey(machine, path.substr(0, end));
        }
    }
    auto [it, created] = machine.keys.try_emplace(FoldPath(path));
    if (created) {
        it->second.path = std::u16string(path);
        it->second.id = machine.nextKeyId++;
    }
    return it->second;
}

RegistryValue* FindValue(RegistryKeyData& key, std::u16string_view name) {
    auto it = std::find_if(key.values.begin(), key.values.end(),
                           [&](const RegistryValue& value) { return EqualsIgnoreCase(value.name, name); });
    return it == key.values.end() ? nullptr : &*it;
}

void SetValue(RegistryKeyData& key, RegistryValue value) {
    if (RegistryValue* existing = FindValue(key, value.name)) {
        existing->type = value.type;
        existing->data = std::move(value.data);
    } else {
        key.values.push_back(std::move(value));
    }
}

bool RemoveValue(RegistryKeyData& key, std::u16string_view name) {
    auto it = std::find_if(key.values.begin(), key.values.end(),
                           [&](const RegistryValue& value) { return EqualsIgnoreCase(value.name, name); });
    if (it == key.values.end()) {
        return false;
    }
    key.values.erase(it);
    return true;
}

PrinterSpec* FindPrinter(MachineState& machine, std::u16string_view name) {
    auto it = std::find_if(machine.printers.begin(), machine.printers.end(),
                           [&](const PrinterSpec& printer) { return EqualsIgnoreCase(printer.name, name); });
    return it == machine.printers.end() ? nullptr : &*it;
}

void InstallPrinter(MachineState& machine, const PrinterSpec& printer) {
    machine.printers.push_back(printer);
    if (printer.devices) {
        SetValue(CreateKey(machine, kDevicesKeyPath), RegistryValue::String(printer.name, *printer.devices));
    }
}

bool FaultOn(const MachineState& machine, Fault fault) {
    return machine.faults[static_cast<std::size_t>(fault)];
}

void AddMachineCounts(HandleCounts& counts) {
    MachineState& machine = Machine();
    std::lock_guard guard(machine.lock);
    counts.printers = machine.printerHandles.size();
    counts.keys = machine.keyHandles.size();
}

}  // namespace simwin::detail
