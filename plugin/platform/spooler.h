// The Windows print spooler, as the printer services need it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handle.h"

namespace vorelle::platform {

// Printer names of one level-4 enumeration (local printers and the user's
// connections), in the spooler's order. Owns copies of the names.
class PrinterList {
public:
    std::size_t size() const { return ends_.size(); }
    std::u16string_view name(std::size_t i) const {
        std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::u16string_view(names_).substr(begin, ends_[i] - begin);
    }
    void Reserve(std::size_t count, std::size_t units) {
        ends_.reserve(count);
        names_.reserve(units);
    }
    void Append(std::u16string_view name) {
        names_.append(name);
        ends_.push_back(names_.size());
    }
    void Clear() {
        names_.clear();
        ends_.clear();
    }

private:
    std::u16string names_;
    std::vector<std::size_t> ends_;
};

// How often the two-call size pattern is tried when the second call finds the
// buffer too small (the list or the name grew between the two calls).
inline constexpr int kSizeQueryAttempts = 4;

// EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, level 4) with the
// two-call size pattern: the first call's outcome is ignored, only its byte
// count is used; when the second fails for lack of buffer, the size is asked
// again, up to kSizeQueryAttempts times in all. False when the second call
// fails otherwise, or every time; `out` then holds nothing.
[[nodiscard]] bool EnumeratePrinters(PrinterList& out);

// GetDefaultPrinterW: size query, then a zero-filled buffer of that size,
// asked again like EnumeratePrinters when the name outgrew the buffer. The
// empty text when there is no default printer.
[[nodiscard]] std::u16string DefaultPrinterName();

// SetDefaultPrinterW with the name unchanged.
[[nodiscard]] bool MakeDefaultPrinter(const std::u16string& name);

struct PrinterHandleTraits {
    static void Close(RawHandle handle);  // ClosePrinter
};
using PrinterHandle = UniqueHandle<PrinterHandleTraits>;

// OpenPrinterW with default access and no defaults record; empty on failure.
[[nodiscard]] PrinterHandle OpenPrinterByName(const std::u16string& name);

// What the level-2 details (GetPrinterW, PRINTER_INFO_2W) say of a printer.
struct PrinterDetails {
    std::optional<std::u16string> portName;  // none when pPortName is null
};

// GetPrinterW level 2: a size query, then a buffer of that size. None when the
// second call fails.
[[nodiscard]] std::optional<PrinterDetails> GetPrinterDetails(const PrinterHandle& printer);

// One document of raw bytes on an open printer: StartDocPrinterW (level 1,
// datatype "RAW", no output file), StartPagePrinter, WritePrinter,
// EndPagePrinter, EndDocPrinter, AbortPrinter. Each is false when Windows
// says it failed; the failure is traced with its error code, read right after
// the failed call and never after a successful one.
[[nodiscard]] bool StartRawDocument(const PrinterHandle& printer, const std::u16string& documentName);
[[nodiscard]] bool StartPrinterPage(const PrinterHandle& printer);
// `written` receives the count WritePrinter reports (0 when it fails).
[[nodiscard]] bool WriteToPrinter(const PrinterHandle& printer, const std::uint8_t* bytes,
                                  std::uint32_t size, std::uint32_t& written);
[[nodiscard]] bool EndPrinterPage(const PrinterHandle& printer);
[[nodiscard]] bool EndRawDocument(const PrinterHandle& printer);
// Cancels the document in progress: the spooler deletes the job.
void AbortRawDocument(const PrinterHandle& printer);

}  // namespace vorelle::platform
