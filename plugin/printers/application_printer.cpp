// SetApplicationPrinter: the host application's own printer, switched by
// writing its per-user "Printer" preference as "name,devices data".
#include <vector>

#include "platform/registry.h"
#include "platform/spooler.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"

namespace vorelle::printers {

namespace {

constexpr char16_t kDevicesKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
constexpr char16_t kPrinterValue[] = u"Printer";

// The Devices data of `printerName`, read as text up to its first null, or
// the status that says why it cannot be had.
struct DevicesData {
    std::u16string_view status = kSwitched;
    std::u16string text;
};

DevicesData ReadDevicesData(const std::u16string& printerName) {
    DevicesData result;
    const platform::RegistryKey devices =
        platform::RegistryKey::OpenCurrentUser(kDevicesKey, platform::KeyAccess::QueryValue);
    if (!devices) {
        result.status = kDevicesKeyUnavailable;
        return result;
    }
    const std::optional<std::uint32_t> size = devices.ValueSize(printerName);
    if (!size) {
        result.status = kDevicesValueMissing;
        return result;
    }
    // Zero-filled, with room for the data rounded up to whole units and a
    // terminating null: data of odd length or without a terminator still
    // ends inside the buffer.
    std::vector<char16_t> buffer((static_cast<std::size_t>(*size) + 1) / 2 + 1, u'\0');
    std::uint32_t bytes = *size;
    if (!devices.ReadValue(printerName, buffer.data(), bytes)) {
        result.status = kDevicesValueUnreadable;
        return result;
    }
    result.text = buffer.data();
    return result;
}

}  // namespace

std::u16string PrinterServices::SetApplicationPrinter(const std::u16string& printerName) const {
    const platform::PrinterHandle printer = platform::OpenPrinterByName(printerName);
    if (!printer) {
        return std::u16string(kPrinterNotFound);
    }
    const std::optional<platform::PrinterDetails> details = platform::GetPrinterDetails(printer);
    if (!details) {
        // Without the details the port cannot be checked; nothing is written.
        return std::u16string(kNoPort);
    }
    const DevicesData devices = ReadDevicesData(printerName);
    if (devices.status != kSwitched) {
        return std::u16string(devices.status);
    }
    // The name as the spooler and the Devices key saw it: up to its first
    // NUL. A host text may hold a NUL; stored whole, it would hide the
    // Devices data from everyone who reads the preference.
    std::u16string deviceText(printerName.c_str());
    deviceText += u',';
    deviceText += devices.text;

    if (!details->portName) {
        return std::u16string(kNoPort);
    }
    if (preferencesPath_.empty()) {
        return std::u16string(kNoPreferencesPath);
    }
    const platform::RegistryKey preferences =
        platform::RegistryKey::OpenCurrentUser(preferencesPath_, platform::KeyAccess::SetValue);
    if (!preferences) {
        return std::u16string(kPreferencesKeyUnavailable);
    }
    if (!preferences.SetString(kPrinterValue, deviceText)) {
        return std::u16string(kPreferenceNotWritten);
    }
    return std::u16string(kSwitched);
}

}  // namespace vorelle::printers
