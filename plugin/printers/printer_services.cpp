#include "printers/printer_services.h"

#include <memory>

#include "common/no_destructor.h"
#include "platform/spooler.h"
#include "printers/printer_status.h"

namespace vorelle::printers {

namespace {
constexpr std::size_t kMaxPreferencesPathUnits = 255;
// Created at start-up and destroyed at shutdown (or when the library is
// unloaded without one); never at process exit.
NoDestructor<std::unique_ptr<PrinterServices>> gServices;
}  // namespace

void PrinterServices::SetPreferencesPath(std::u16string_view path) {
    preferencesPath_ = path.substr(0, kMaxPreferencesPathUnits);
}

std::int32_t PrinterServices::GetPrinterAt(std::int32_t index, std::u16string& name) const {
    platform::PrinterList printers;
    if (!platform::EnumeratePrinters(printers)) {
        name = kNoPrintersListed;
        return -1;
    }
    if (index < 1 || static_cast<std::size_t>(index) > printers.size()) {
        name = kIndexOutOfBounds;
        return -1;
    }
    name = printers.name(static_cast<std::size_t>(index) - 1);
    return 0;
}

std::u16string PrinterServices::GetSystemPrinter() const { return platform::DefaultPrinterName(); }

std::u16string PrinterServices::SetSystemPrinter(const std::u16string& printerName) const {
    return std::u16string(platform::MakeDefaultPrinter(printerName) ? kSwitched
                                                                   : kUnableToSetSystemPrinter);
}

PrinterServices& CreatePrinterServices() {
    *gServices = std::make_unique<PrinterServices>();
    return **gServices;
}

void DestroyPrinterServices() noexcept { gServices->reset(); }

PrinterServices* ThePrinterServices() { return gServices->get(); }

}  // namespace vorelle::printers
