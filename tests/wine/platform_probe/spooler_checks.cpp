// The spooler, against a printer that the scenarios' setup added on "FILE:".
#include "platform/win32/win32_api.h"

#include <string>

#include "platform/spooler.h"
#include "tests/wine/platform_probe/probe.h"

namespace probe {

void SpoolerChecks(const std::u16string& printerOnFile) {
    using namespace vorelle::platform;
    PrinterList list;
    list.Append(u"stale");
    Check(EnumeratePrinters(list), "EnumeratePrinters");
    bool listed = false;
    bool stale = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        listed = listed || list.name(i) == printerOnFile;
        stale = stale || list.name(i) == u"stale";
    }
    Check(!stale, "the list is filled afresh");
    Check(listed, "the printer is listed", Narrow(printerOnFile));

    PrinterHandle printer = OpenPrinterByName(printerOnFile);
    Check(static_cast<bool>(printer), "OpenPrinter of a known printer");
    const auto details = GetPrinterDetails(printer);
    Check(details && details->portName && *details->portName == u"FILE:",
          "level-2 details name its port FILE:");
    Check(!OpenPrinterByName(u"No Such Printer"), "OpenPrinter of an unknown printer is empty");
    Check(!GetPrinterDetails(PrinterHandle{}), "no details without a printer");

    const std::u16string before = DefaultPrinterName();
    Check(MakeDefaultPrinter(printerOnFile) && DefaultPrinterName() == printerOnFile,
          "SetDefaultPrinter, then GetDefaultPrinter");
    Check(!MakeDefaultPrinter(u"No Such Printer") && DefaultPrinterName() == printerOnFile,
          "an unknown default is refused and changes nothing");
    if (!before.empty()) {
        Check(MakeDefaultPrinter(before), "the earlier default is restored");
    }
}

}  // namespace probe
