// The spooler part of the facade on the simulated Windows.
#include "platform/spooler.h"

#include <cstdint>
#include <memory>

#include "platform/trace.h"
#include "simwin/errors.h"
#include "simwin/spooler.h"

namespace vorelle::platform {
namespace {

void TraceLastError(std::u16string_view call) { TraceFailure(call, simwin::GetLastError()); }

// A spooler buffer of `bytes` bytes, aligned for the records at its start.
// Not filled: the spooler writes what is read of it.
class SpoolerBuffer {
public:
    explicit SpoolerBuffer(std::uint32_t bytes)
        : words_(new Word[(bytes + sizeof(Word) - 1) / sizeof(Word) + 1]), bytes_(bytes) {}
    std::uint8_t* data() { return reinterpret_cast<std::uint8_t*>(words_.get()); }
    std::uint32_t size() const { return bytes_; }

private:
    using Word = std::uint64_t;
    std::unique_ptr<Word[]> words_;  // one word more, so that even 0 bytes has an address
    std::uint32_t bytes_;
};

// The names of `returned` level-4 records at the start of `buffer`.
void FillList(SpoolerBuffer& buffer, std::uint32_t needed, std::uint32_t returned, PrinterList& out) {
    const auto* records = reinterpret_cast<const simwin::PrinterInfo4*>(buffer.data());
    // The names lie in the buffer behind the records: its size bounds them,
    // so one pass over the names does.
    out.Reserve(returned, needed / sizeof(char16_t));
    for (std::uint32_t i = 0; i < returned; ++i) {
        out.Append(records[i].printerName);
    }
}

// Whether a spooler call succeeded; a failure is traced with its error.
bool Traced(bool succeeded, std::u16string_view call) {
    if (!succeeded) {
        TraceLastError(call);
    }
    return succeeded;
}

}  // namespace

bool EnumeratePrinters(PrinterList& out) {
    out.Clear();
    constexpr std::uint32_t kFlags = simwin::kPrinterEnumLocal | simwin::kPrinterEnumConnections;
    for (int attempt = 1;; ++attempt) {
        std::uint32_t needed = 0;
        std::uint32_t returned = 0;
        (void)simwin::EnumPrinters(kFlags, 4, nullptr, 0, needed, returned);  // only the size counts
        SpoolerBuffer buffer(needed);
        if (simwin::EnumPrinters(kFlags, 4, buffer.data(), buffer.size(), needed, returned)) {
            FillList(buffer, needed, returned, out);
            return true;
        }
        // A printer added between the two calls: ask for the size again.
        if (simwin::GetLastError() != simwin::kErrorInsufficientBuffer || attempt == kSizeQueryAttempts) {
            TraceLastError(u"EnumPrintersW");
            return false;
        }
    }
}

std::u16string DefaultPrinterName() {
    for (int attempt = 1;; ++attempt) {
        std::uint32_t units = 0;
        (void)simwin::GetDefaultPrinter(nullptr, units);
        std::u16string name(units + 1, u'\0');  // zero-filled, with room for a terminator even when 0
        if (units != 0 && !simwin::GetDefaultPrinter(name.data(), units)) {
            if (simwin::GetLastError() == simwin::kErrorInsufficientBuffer && attempt < kSizeQueryAttempts) {
                continue;  // the default changed to a longer name between the two calls
            }
            TraceLastError(u"GetDefaultPrinterW");  // the zero-filled buffer stays empty
        }
        name.resize(std::char_traits<char16_t>::length(name.c_str()));
        return name;
    }
}

bool MakeDefaultPrinter(const std::u16string& name) {
    return Traced(simwin::SetDefaultPrinter(name.c_str()), u"SetDefaultPrinterW");
}

void PrinterHandleTraits::Close(RawHandle handle) { (void)simwin::ClosePrinter(handle); }

PrinterHandle OpenPrinterByName(const std::u16string& name) {
    simwin::Handle printer = 0;
    if (!simwin::OpenPrinter(name.c_str(), printer)) {
        TraceLastError(u"OpenPrinterW");
        return PrinterHandle();
    }
    return PrinterHandle(printer);
}

std::optional<PrinterDetails> GetPrinterDetails(const PrinterHandle& printer) {
    std::uint32_t needed = 0;
    (void)simwin::GetPrinter(printer.get(), 2, nullptr, 0, needed);
    SpoolerBuffer buffer(needed);
    if (needed < sizeof(simwin::PrinterInfo2) ||
        !simwin::GetPrinter(printer.get(), 2, buffer.data(), buffer.size(), needed)) {
        TraceLastError(u"GetPrinterW");
        return std::nullopt;
    }
    const auto* info = reinterpret_cast<const simwin::PrinterInfo2*>(buffer.data());
    PrinterDetails details;
    if (info->portName != nullptr) {
        details.portName = std::u16string(info->portName);
    }
    return details;
}

bool StartRawDocument(const PrinterHandle& printer, const std::u16string& documentName) {
    return Traced(simwin::StartDocPrinter(printer.get(), documentName.c_str(), u"RAW") != 0,
                  u"StartDocPrinterW");
}

bool StartPrinterPage(const PrinterHandle& printer) {
    return Traced(simwin::StartPagePrinter(printer.get()), u"StartPagePrinter");
}

bool WriteToPrinter(const PrinterHandle& printer, const std::uint8_t* bytes, std::uint32_t size,
                    std::uint32_t& written) {
    if (!simwin::WritePrinter(printer.get(), bytes, size, written)) {
        TraceLastError(u"WritePrinter");
        written = 0;
        return false;
    }
    return true;
}

bool EndPrinterPage(const PrinterHandle& printer) {
    return Traced(simwin::EndPagePrinter(printer.get()), u"EndPagePrinter");
}

bool EndRawDocument(const PrinterHandle& printer) {
    return Traced(simwin::EndDocPrinter(printer.get()), u"EndDocPrinter");
}

void AbortRawDocument(const PrinterHandle& printer) {
    (void)Traced(simwin::AbortPrinter(printer.get()), u"AbortPrinter");
}

}  // namespace vorelle::platform
