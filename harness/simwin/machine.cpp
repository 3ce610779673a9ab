#include "simwin/machine.h"

#include <algorithm>
#include <array>

#include "simwin/machine_state.h"

namespace simwin {
namespace {

struct FaultNameEntry {
    Fault fault;
    std::string_view name;
};

constexpr std::array<FaultNameEntry, 11> kFaultNames{{
    {Fault::Enumerate, "enumerate"},
    {Fault::PrinterDetails, "printer-details"},
    {Fault::DevicesKey, "devices-key"},
    {Fault::DevicesValue, "devices-value"},
    {Fault::WritePrinter, "write-printer"},
    {Fault::CreateMutex, "create-mutex"},
    {Fault::MutexWait, "mutex-wait"},
    {Fault::SpoolWrite, "spool-write"},
    {Fault::RejectJobs, "reject-jobs"},
    {Fault::ShortWrite, "short-write"},
    {Fault::WriteNothing, "write-nothing"},
}};

}  // namespace

RegistryValue RegistryValue::String(std::u16string name, std::u16string_view text) {
    RegistryValue value;
    value.name = std::move(name);
    value.type = kRegSz;
    value.data.resize(2 * text.size() + 2, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        value.data[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        value.data[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return value;
}

std::u16string RegistryValue::Text() const {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    while (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return text;
}

void ResetMachine(const MachineSpec& setup) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    machine.printers.clear();
    machine.keys.clear();
    machine.printJobs.clear();
    machine.portBytes.clear();
    machine.faults = {};
    detail::CreateKey(machine, kDevicesKeyPath);
    for (const RegistryKeySpec& key : setup.keys) {
        detail::RegistryKeyData& data = detail::CreateKey(machine, key.path);
        for (const RegistryValue& value : key.values) {
            detail::SetValue(data, value);
        }
    }
    for (const std::u16string& path : setup.readOnlyKeys) {
        detail::CreateKey(machine, path).readOnly = true;
    }
    for (const PrinterSpec& printer : setup.printers) {
        if (PrinterNameAllowed(printer.name, printer.connection)) {
            detail::InstallPrinter(machine, printer);
        }
    }
    machine.defaultPrinter.reset();
    if (setup.defaultPrinter) {
        const PrinterSpec* known = detail::FindPrinter(machine, *setup.defaultPrinter);
        machine.defaultPrinter = known ? known->name : *setup.defaultPrinter;
    }
    for (Fault fault : setup.faults) {
        machine.faults[static_cast<std::size_t>(fault)] = true;
    }
}

void SetFault(Fault fault, bool on) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    machine.faults[static_cast<std::size_t>(fault)] = on;
}

bool FaultOn(Fault fault) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return detail::FaultOn(machine, fault);
}

std::string_view FaultName(Fault fault) {
    for (const FaultNameEntry& entry : kFaultNames) {
        if (entry.fault == fault) {
            return entry.name;
        }
    }
    return {};
}

std::optional<Fault> FaultFromName(std::string_view name) {
    for (const FaultNameEntry& entry : kFaultNames) {
        if (entry.name == name) {
            return entry.fault;
        }
    }
    return std::nullopt;
}

std::vector<PrinterSpec> Printers() {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return machine.printers;
}

std::optional<std::u16string> CurrentDefaultPrinter() {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return machine.defaultPrinter;
}

std::size_t PrinterNameLocalPart(std::u16string_view name, bool connection) {
    if (connection && name.starts_with(u"\\\\")) {
        if (const std::size_t end = name.find(u'\\', 2); end != std::u16string_view::npos) {
            return end + 1;
        }
    }
    return 0;
}

bool PrinterNameAllowed(std::u16string_view name, bool connection) {
    return name.find_first_of(u",\\", PrinterNameLocalPart(name, connection)) == std::u16string_view::npos;
}

bool AddPrinter(const PrinterSpec& printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (!PrinterNameAllowed(printer.name, printer.connection) ||
        detail::FindPrinter(machine, printer.name) != nullptr) {
        return false;
    }
    detail::InstallPrinter(machine, printer);
    return true;
}

bool RemovePrinter(std::u16string_view name) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    const PrinterSpec* printer = detail::FindPrinter(machine, name);
    if (printer == nullptr) {
        return false;
    }
    std::u16string removed = printer->name;
    machine.printers.erase(machine.printers.begin() + (printer - machine.printers.data()));
    if (detail::RegistryKeyData* devices = detail::FindKey(machine, kDevicesKeyPath)) {
        detail::RemoveValue(*devices, removed);
    }
    if (machine.defaultPrinter && *machine.defaultPrinter == removed) {
        machine.defaultPrinter.reset();
    }
    return true;
}

}  // namespace simwin
