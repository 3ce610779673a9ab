// The print spooler of the simulated Windows, with the Win32 calling
// conventions: two-call size queries, records followed by their strings in the
// caller's buffer, failures reported by false and the thread's last error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "simwin/handles.h"

namespace simwin {

inline constexpr std::uint32_t kPrinterEnumLocal = 0x2;        // PRINTER_ENUM_LOCAL
inline constexpr std::uint32_t kPrinterEnumConnections = 0x4;  // PRINTER_ENUM_CONNECTIONS
inline constexpr std::uint32_t kPrinterAttributeNetwork = 0x10;
inline constexpr std::uint32_t kPrinterAttributeLocal = 0x40;

// PRINTER_INFO_4W: the strings point into the same buffer, after the records.
struct PrinterInfo4 {
    const char16_t* printerName;
    const char16_t* serverName;  // null for local printers
    std::uint32_t attributes;
};

// PRINTER_INFO_2W, reduced to the fields the simulation knows.
struct PrinterInfo2 {
    const char16_t* serverName;  // null for local printers
    const char16_t* printerName;
    const char16_t* shareName;   // null
    const char16_t* portName;    // null when the printer names no port
    const char16_t* driverName;
    std::uint32_t attributes;
};

// EnumPrintersW on the local machine, level 4 only: the local printers and/or the connections,
// in the spooler's order. `needed` is always set; false with kErrorInsufficientBuffer when
// `buffer` is null or smaller than needed (zero printers: true with needed = returned = 0).
// Under Fault::Enumerate every call fails, still reporting `needed` (kErrorRpcUnavailable when
// the buffer was large enough).
bool EnumPrinters(std::uint32_t flags, std::uint32_t level, std::uint8_t* buffer,
                  std::uint32_t bufferBytes, std::uint32_t& needed, std::uint32_t& returned);

// GetDefaultPrinterW: `units` in, buffer size in UTF-16 units; out, the name's size with its
// terminator. False with kErrorInsufficientBuffer when too small, kErrorFileNotFound (units 0)
// when there is no default printer.
bool GetDefaultPrinter(char16_t* buffer, std::uint32_t& units);

// SetDefaultPrinterW: an unknown name is refused (kErrorInvalidPrinterName, default unchanged);
// the name matches ignoring case and the spooler's own spelling is kept. Null or empty: makes the
// first printer the default only when there is none.
bool SetDefaultPrinter(const char16_t* name);

// OpenPrinterW with default access and no defaults: false (kErrorInvalidPrinterName) for a name
// the spooler does not know (matched ignoring case). The handle is counted until ClosePrinter.
bool OpenPrinter(const char16_t* name, Handle& printer);

// GetPrinterW, level 2 only: `needed` is always set; false with kErrorInsufficientBuffer when
// `buffer` is null or too small. Under Fault::PrinterDetails every call fails, still reporting
// `needed` (kErrorAccessDenied when the buffer was large enough). An invalid handle fails with
// kErrorInvalidHandle and is counted.
bool GetPrinter(Handle printer, std::uint32_t level, std::uint8_t* buffer, std::uint32_t bufferBytes,
                std::uint32_t& needed);

// For tests: `change` runs once, right after the next size query (EnumPrinters or
// GetDefaultPrinter without a buffer) has answered and before anything else reaches the
// spooler, as when a printer is added or the default changes between the two calls of the
// size pattern. `times` > 1: after that many size queries in a row.
void ChangeAfterNextSizeQuery(std::function<void()> change, int times = 1);

// A document a program printed, kept by the spooler in its printer's queue: either drawn
// (StartDocW to EndDoc on a printer's device context; `datatype` empty) or written as bytes
// (StartDocPrinterW to EndDocPrinter on a printer handle).
struct PrintJob {
    std::u16string printer;   // as the spooler spells it
    std::u16string document;  // DOCINFOW's lpszDocName or DOC_INFO_1W's pDocName
    std::u16string text;      // the text drawn on its pages
    std::u16string datatype{};           // DOC_INFO_1W's pDatatype ("RAW"); empty for a drawn job
    std::vector<std::uint8_t> bytes{};   // what WritePrinter took, in order
};

// A program prints `document` with `text` on the printer named `printer` (matched ignoring
// case): the job joins that printer's queue. False (kErrorInvalidPrinterName, no job) for a name
// the spooler does not know.
bool PrintDocument(const char16_t* printer, std::u16string document, std::u16string text);

// The jobs of every queue, in the order they were given; none after ResetMachine.
std::vector<PrintJob> PrintJobs();

// The jobs of one queue (printer name matched ignoring case), in the order they were given.
std::vector<PrintJob> QueueJobs(std::u16string_view printer);

// The raw bytes that reached a printer's port (name matched ignoring case), every job's in the
// order they arrived; none after ResetMachine.
std::vector<std::uint8_t> PortBytes(std::u16string_view printer);

// A document of bytes on an open printer, as the spooler's API writes one. A handle that is not an
// open printer fails with kErrorInvalidHandle (counted); a call that needs a started document
// without one fails with kErrorSplNoStartDoc. The job joins its printer's queue at EndDocPrinter,
// or at ClosePrinter when the document was never ended (the spooler ends it then, as Wine does);
// AbortPrinter deletes it. A job that joins its queue reaches the printer's port then, unless the
// printer starts printing immediately (its bytes reached the port as they were written).
//
// StartDocPrinterW level 1: the job's id (> 0), or 0 (kErrorInvalidPrinterState when a document
// is started already on that handle).
std::uint32_t StartDocPrinter(Handle printer, const char16_t* document, const char16_t* datatype);
bool StartPagePrinter(Handle printer);
// Appends the bytes to the document (and, on a printer that starts printing immediately, passes
// them to its port). Under Fault::SpoolWrite it takes the first half of them (rounded down) and
// fails with kErrorDiskFull, `written` saying how many it took; under Fault::ShortWrite it takes
// the first half (rounded up) and succeeds; under Fault::WriteNothing it succeeds taking none.
bool WritePrinter(Handle printer, const std::uint8_t* bytes, std::uint32_t size, std::uint32_t& written);
bool EndPagePrinter(Handle printer);
// Under Fault::RejectJobs it fails with kErrorInvalidHandle (not counted), as Wine's does for a
// queue that rejects jobs, and the job is lost.
bool EndDocPrinter(Handle printer);
bool AbortPrinter(Handle printer);

// ClosePrinter: false (kErrorInvalidHandle, counted) for a handle that is not an open printer.
bool ClosePrinter(Handle printer);

}  // namespace simwin
