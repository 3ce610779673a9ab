// The print spooler on Windows: EnumPrintersW, GetDefaultPrinterW,
// SetDefaultPrinterW, OpenPrinterW, GetPrinterW and ClosePrinter; a raw
// document's StartDocPrinterW, StartPagePrinter, WritePrinter,
// EndPagePrinter, EndDocPrinter and AbortPrinter.
#include "platform/win32/win32_api.h"

#include "platform/spooler.h"

#include <vector>

namespace vorelle::platform {
namespace {

using win32::Utf16;
using win32::Wide;

constexpr DWORD kLocalAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
static_assert(kLocalAndConnections == 6);

// A byte buffer for spooler records, aligned for the pointers they hold.
class RecordBuffer {
public:
    explicit RecordBuffer(DWORD bytes) : storage_(bytes / sizeof(Unit) + 1) {}
    BYTE* data() { return reinterpret_cast<BYTE*>(storage_.data()); }

private:
    using Unit = std::max_align_t;
    std::vector<Unit> storage_;
};

// The names of `returned` level-4 records at the start of `buffer`.
void FillList(RecordBuffer& buffer, DWORD returned, PrinterList& out) {
    const auto* records = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    std::size_t units = 0;
    for (DWORD i = 0; i < returned; ++i) {
        units += Utf16(records[i].pPrinterName).size();
    }
    out.Reserve(returned, units);
    for (DWORD i = 0; i < returned; ++i) {
        out.Append(Utf16(records[i].pPrinterName));
    }
}

// Whether a spooler call succeeded; a failure is traced with its error.
bool Traced(bool succeeded, std::u16string_view call) {
    if (!succeeded) {
        win32::TraceLastError(call);
    }
    return succeeded;
}

}  // namespace

bool EnumeratePrinters(PrinterList& out) {
    out.Clear();
    for (int attempt = 1;; ++attempt) {
        DWORD needed = 0;
        DWORD returned = 0;
        // Only the byte count of this call matters; its outcome is ignored (it
        // fails with ERROR_INSUFFICIENT_BUFFER whenever there are printers).
        EnumPrintersW(kLocalAndConnections, nullptr, 4, nullptr, 0, &needed, &returned);

        RecordBuffer buffer(needed);
        DWORD written = 0;
        returned = 0;
        if (EnumPrintersW(kLocalAndConnections, nullptr, 4, buffer.data(), needed, &written,
                          &returned)) {
            FillList(buffer, returned, out);
            return true;
        }
        // A printer added between the two calls: ask for the size again.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || attempt == kSizeQueryAttempts) {
            win32::TraceLastError(u"EnumPrintersW");
            return false;
        }
    }
}

std::u16string DefaultPrinterName() {
    for (int attempt = 1;; ++attempt) {
        DWORD units = 0;
        GetDefaultPrinterW(nullptr, &units);
        if (units == 0) {
            return {};
        }
        std::vector<wchar_t> buffer(units, L'\0');
        DWORD size = units;
        if (!GetDefaultPrinterW(buffer.data(), &size)) {
            if (GetLastError() == ERROR_INSUFFICIENT_BUFFER && attempt < kSizeQueryAttempts) {
                continue;  // the default changed to a longer name between the two calls
            }
            win32::TraceLastError(u"GetDefaultPrinterW");  // the zero-filled buffer stays empty
        }
        std::size_t length = 0;
        while (length < buffer.size() && buffer[length] != L'\0') {
            ++length;
        }
        return std::u16string(Utf16(buffer.data(), length));
    }
}

bool MakeDefaultPrinter(const std::u16string& name) {
    return Traced(SetDefaultPrinterW(Wide(name)), u"SetDefaultPrinterW");
}

void PrinterHandleTraits::Close(RawHandle handle) {
    ClosePrinter(win32::AsHandle(handle));
}

PrinterHandle OpenPrinterByName(const std::u16string& name) {
    std::u16string copy = name;  // OpenPrinterW takes a non-const name
    HANDLE printer = nullptr;
    if (!OpenPrinterW(reinterpret_cast<wchar_t*>(copy.data()), &printer, nullptr) ||
        printer == nullptr) {
        win32::TraceLastError(u"OpenPrinterW");
        return PrinterHandle{};
    }
    return PrinterHandle(win32::AsRaw(printer));
}

std::optional<PrinterDetails> GetPrinterDetails(const PrinterHandle& printer) {
    if (!printer) {
        return std::nullopt;
    }
    HANDLE handle = win32::AsHandle(printer.get());
    DWORD needed = 0;
    GetPrinterW(handle, 2, nullptr, 0, &needed);
    RecordBuffer buffer(needed);
    DWORD written = 0;
    if (!GetPrinterW(handle, 2, buffer.data(), needed, &written)) {
        win32::TraceLastError(u"GetPrinterW");
        return std::nullopt;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    PrinterDetails details;
    if (info->pPortName != nullptr) {
        details.portName = std::u16string(Utf16(info->pPortName));
    }
    return details;
}

bool StartRawDocument(const PrinterHandle& printer, const std::u16string& documentName) {
    // DOC_INFO_1W takes non-const texts; the spooler only reads them.
    std::u16string name = documentName;
    std::u16string datatype = u"RAW";
    DOC_INFO_1W info{};
    info.pDocName = Wide(name.data());
    info.pOutputFile = nullptr;
    info.pDatatype = Wide(datatype.data());
    return Traced(StartDocPrinterW(win32::AsHandle(printer.get()), 1, reinterpret_cast<BYTE*>(&info)) != 0,
                  u"StartDocPrinterW");
}

bool StartPrinterPage(const PrinterHandle& printer) {
    return Traced(StartPagePrinter(win32::AsHandle(printer.get())), u"StartPagePrinter");
}

bool WriteToPrinter(const PrinterHandle& printer, const std::uint8_t* bytes, std::uint32_t size,
                    std::uint32_t& written) {
    DWORD count = 0;
    // WritePrinter takes a non-const buffer; it only reads it.
    if (!WritePrinter(win32::AsHandle(printer.get()), const_cast<std::uint8_t*>(bytes), size, &count)) {
        win32::TraceLastError(u"WritePrinter");
        written = 0;
        return false;
    }
    written = count;
    return true;
}

bool EndPrinterPage(const PrinterHandle& printer) {
    return Traced(EndPagePrinter(win32::AsHandle(printer.get())), u"EndPagePrinter");
}

bool EndRawDocument(const PrinterHandle& printer) {
    return Traced(EndDocPrinter(win32::AsHandle(printer.get())), u"EndDocPrinter");
}

void AbortRawDocument(const PrinterHandle& printer) {
    (void)Traced(AbortPrinter(win32::AsHandle(printer.get())), u"AbortPrinter");
}

}  // namespace vorelle::platform
