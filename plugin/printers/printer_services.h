// The printer services: the spooler's printer list, the Windows default
// printer and the host application's own printer. Keeps no list of printers:
// every query asks the spooler afresh.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorelle::printers {

class PrinterServices {
public:
    // The host's preferences key below HKEY_CURRENT_USER (at most 255 units).
    void SetPreferencesPath(std::u16string_view path);
    const std::u16string& PreferencesPath() const { return preferencesPath_; }

    // The printer at the one-based `index` in the spooler's order. 0 with the
    // name in `name`, or -1 with an error text in `name`.
    [[nodiscard]] std::int32_t GetPrinterAt(std::int32_t index, std::u16string& name) const;

    // The Windows default printer; the empty text when there is none.
    [[nodiscard]] std::u16string GetSystemPrinter() const;

    // Makes `printerName` the Windows default: "0", or the error text.
    [[nodiscard]] std::u16string SetSystemPrinter(const std::u16string& printerName) const;

    // Writes the host's "Printer" preference for `printerName` (never empty):
    // "0", or the status text of the first check that fails.
    [[nodiscard]] std::u16string SetApplicationPrinter(const std::u16string& printerName) const;

private:
    std::u16string preferencesPath_;
};

// The one instance, from start-up to shutdown.
PrinterServices& CreatePrinterServices();
void DestroyPrinterServices();
PrinterServices* ThePrinterServices();

}  // namespace vorelle::printers
