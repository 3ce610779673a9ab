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
    RawDocument(const platform::PrinterHandle& printer, std::u16string_view name) : printer_(printer), name_(name) {}
    ~RawDocument() {
        if (started_ && !ended_) {
            platform::AbortRawDocument(printer_);
        }
    }
    RawDocument(const RawDocument&) = delete;
    RawDocument& operator=(const RawDocument&) = delete;

    [[nodiscard]] bool Start() {
        started_ = platform::StartRawDocument(printer_, std::u16string(name_));
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
    std::u16string_view name_;
    bool started_ = false;
    bool ended_ = false;
};

// `size` bytes of `bytes`, in as many writes as the spooler needs: one that
// succeeds having taken fewer bytes than given is followed by one for the
// rest. False at a write that fails, or that takes no byte (asked again, it
// could take none again without end) or more than it was given.
bool WritePiece(const platform::PrinterHandle& printer, const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const auto rest = static_cast<std::uint32_t>(size - done);
        std::uint32_t written = 0;
        if (!platform::WriteToPrinter(printer, bytes + done, rest, written)) {
            return false;
        }
        if (written == 0 || written > rest) {
            // Success without progress: no error code to read.
            platform::TraceFailure(written == 0 ? u"WritePrinter (no byte taken)"
                                                : u"WritePrinter (more bytes taken than given)",
                                   0);
            return false;
        }
        done += written;
    }
    return true;
}

// Every byte, made by `source` into one buffer a chunk of at most
// kRawChunkBytes at a time; false at the first chunk not written whole.
bool WriteAll(const platform::PrinterHandle& printer, std::size_t size, const RawDataSource& source) {
    std::vector<std::uint8_t> chunk(std::min(size, kRawChunkBytes));
    for (std::size_t offset = 0; offset < size;) {
        const std::size_t length = std::min(size - offset, kRawChunkBytes);
        source(offset, std::span<std::uint8_t>(chunk.data(), length));
        if (!WritePiece(printer, chunk.data(), length)) {
            return false;
        }
        offset += length;
    }
    return true;
}

}  // namespace

RawSendOutcome PrinterServices::SendRawData(const std::u16string& printerName, std::u16string_view documentName,
                                            std::size_t size, const RawDataSource& source) const {
    const platform::PrinterHandle printer = platform::OpenPrinterByName(printerName);
    if (!printer) {
        return RawSendOutcome::PrinterNotFound;
    }
    RawDocument document(printer, documentName);
    if (!document.Start() || !platform::StartPrinterPage(printer) || !WriteAll(printer, size, source) ||
        !platform::EndPrinterPage(printer) || !document.End()) {
        return RawSendOutcome::NotSent;
    }
    return RawSendOutcome::Sent;
}

}  // namespace vorelle::printers
