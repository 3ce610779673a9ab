// SendRawData: bytes to a printer as one spooler job of datatype "RAW", past
// the printer's driver, as written.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/spooler.h"
#include "platform/trace.h"
#include "printers/printer_services.h"

namespace vorelle::printers {

namespace {

// The document started on an open printer. Left without End, it is
// cancelled: the spooler deletes what was written of it, so that no half job
// reaches the printer (ClosePrinter would end and print it).
class RawDocument {
public:
    explicit RawDocument(const platform::PrinterHandle& printer) : printer_(printer) {}
    ~RawDocument() {
        if (started_ && !ended_) {
            platform::AbortRawDocument(printer_);
        }
    }
    RawDocument(const RawDocument&) = delete;
    RawDocument& operator=(const RawDocument&) = delete;

    [[nodiscard]] bool Start() {
        started_ = platform::StartRawDocument(printer_, std::u16string(kRawDocumentName));
        return started_;
    }
    // EndDocPrinter hands the job to the spooler; a queue that rejects jobs
    // fails it, and the spooler ends the document either way.
    [[nodiscard]] bool End() {
        ended_ = true;
        return platform::EndRawDocument(printer_);
    }

private:
    const platform::PrinterHandle& printer_;
    bool started_ = false;
    bool ended_ = false;
};

// Every byte, made by `source` into one buffer a chunk of at most
// kRawChunkBytes at a time; false at the first write that fails or takes less
// than it was given.
bool WriteAll(const platform::PrinterHandle& printer, std::size_t size, const RawDataSource& source) {
    std::vector<std::uint8_t> chunk(std::min(size, kRawChunkBytes));
    for (std::size_t offset = 0; offset < size;) {
        const std::size_t length = std::min(size - offset, kRawChunkBytes);
        source(offset, std::span<std::uint8_t>(chunk.data(), length));
        std::uint32_t written = 0;
        if (!platform::WriteToPrinter(printer, chunk.data(), static_cast<std::uint32_t>(length), written)) {
            return false;
        }
        if (written != length) {
            // Success with fewer bytes taken: no error code to read.
            platform::TraceFailure(u"WritePrinter (fewer bytes taken than given)", 0);
            return false;
        }
        offset += length;
    }
    return true;
}

}  // namespace

RawSendOutcome PrinterServices::SendRawData(const std::u16string& printerName, std::size_t size,
                                            const RawDataSource& source) const {
    const platform::PrinterHandle printer = platform::OpenPrinterByName(printerName);
    if (!printer) {
        return RawSendOutcome::PrinterNotFound;
    }
    RawDocument document(printer);
    if (!document.Start() || !platform::StartPrinterPage(printer) || !WriteAll(printer, size, source) ||
        !platform::EndPrinterPage(printer) || !document.End()) {
        return RawSendOutcome::NotSent;
    }
    return RawSendOutcome::Sent;
}

}  // namespace vorelle::printers
