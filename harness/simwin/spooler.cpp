#include "simwin/spooler.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "simwin/errors.h"
#include "simwin/handle_accounting.h"
#include "simwin/machine_state.h"
#include "simwin/text.h"

namespace simwin {
namespace {

constexpr std::u16string_view kDriverName = u"Simwin Generic Printer";

// The server part ("\\server") of a connection named "\\server\share"; none otherwise.
std::optional<std::u16string> ServerOf(const PrinterSpec& printer) {
    if (!printer.connection || !printer.name.starts_with(u"\\\\")) {
        return std::nullopt;
    }
    std::size_t end = printer.name.find(u'\\', 2);
    return end == std::u16string::npos ? std::nullopt : std::optional(printer.name.substr(0, end));
}

std::uint32_t AttributesOf(const PrinterSpec& printer) {
    return printer.connection ? kPrinterAttributeNetwork : kPrinterAttributeLocal;
}

std::uint32_t StringBytes(const std::optional<std::u16string>& text) {
    return text ? static_cast<std::uint32_t>(2 * text->size() + 2) : 0;
}

// Lays records and their strings out in a caller's buffer the way the spooler does: the fixed
// records first, then the strings they point to.
class RecordWriter {
public:
    RecordWriter(std::uint8_t* buffer, std::size_t recordBytes) : buffer_(buffer), stringsAt_(recordBytes) {}

    // Copies the text with its terminator behind the records; null for none.
    const char16_t* PutString(const std::optional<std::u16string>& text) {
        if (!text) {
            return nullptr;
        }
        auto* at = reinterpret_cast<char16_t*>(buffer_ + stringsAt_);
        std::memcpy(at, text->c_str(), 2 * text->size() + 2);
        stringsAt_ += 2 * text->size() + 2;
        return at;
    }

    template <typename Record>
    void PutRecord(std::size_t index, const Record& record) {
        std::memcpy(buffer_ + index * sizeof(Record), &record, sizeof(Record));
    }

private:
    std::uint8_t* buffer_;
    std::size_t stringsAt_;
};

bool Fail(std::uint32_t error) {
    SetLastError(error);
    return false;
}

}  // namespace

namespace {

// The change a test wants made after size queries, and how many are left.
struct SizeQueryChange {
    std::mutex lock;
    std::function<void()> change;
    int remaining = 0;
};

SizeQueryChange& PendingChange() {
    static SizeQueryChange* pending = new SizeQueryChange;
    return *pending;
}

// Declared before the machine's lock is taken, so the change runs after it is released.
class AfterSizeQuery {
public:
    explicit AfterSizeQuery(bool sizeQuery) : sizeQuery_(sizeQuery) {}
    ~AfterSizeQuery() {
        if (!sizeQuery_) {
            return;
        }
        std::function<void()> change;
        {
            SizeQueryChange& pending = PendingChange();
            std::lock_guard guard(pending.lock);
            if (pending.remaining <= 0) {
                return;
            }
            change = pending.change;
            if (--pending.remaining == 0) {
                pending.change = nullptr;
            }
        }
        change();
    }
    AfterSizeQuery(const AfterSizeQuery&) = delete;
    AfterSizeQuery& operator=(const AfterSizeQuery&) = delete;

private:
    bool sizeQuery_;
};

}  // namespace

void ChangeAfterNextSizeQuery(std::function<void()> change, int times) {
    SizeQueryChange& pending = PendingChange();
    std::lock_guard guard(pending.lock);
    pending.change = std::move(change);
    pending.remaining = pending.change ? times : 0;
}

bool EnumPrinters(std::uint32_t flags, std::uint32_t level, std::uint8_t* buffer, std::uint32_t bufferBytes,
                  std::uint32_t& needed, std::uint32_t& returned) {
    returned = 0;
    needed = 0;
    if (level != 4) {
        return Fail(kErrorInvalidLevel);
    }
    const AfterSizeQuery after(buffer == nullptr);
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    std::vector<const PrinterSpec*> listed;
    for (const PrinterSpec& printer : machine.printers) {
        if ((flags & (printer.connection ? kPrinterEnumConnections : kPrinterEnumLocal)) != 0) {
            listed.push_back(&printer);
        }
    }
    std::uint32_t total = static_cast<std::uint32_t>(listed.size() * sizeof(PrinterInfo4));
    for (const PrinterSpec* printer : listed) {
        total += StringBytes(printer->name) + StringBytes(ServerOf(*printer));
    }
    needed = total;
    bool fits = buffer != nullptr && bufferBytes >= total;
    if (detail::FaultOn(machine, Fault::Enumerate)) {
        return Fail(fits || total == 0 ? kErrorRpcUnavailable : kErrorInsufficientBuffer);
    }
    if (total == 0) {
        return true;
    }
    if (!fits) {
        return Fail(kErrorInsufficientBuffer);
    }
    RecordWriter writer(buffer, listed.size() * sizeof(PrinterInfo4));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        PrinterInfo4 record{};
        record.printerName = writer.PutString(listed[i]->name);
        record.serverName = writer.PutString(ServerOf(*listed[i]));
        record.attributes = AttributesOf(*listed[i]);
        writer.PutRecord(i, record);
    }
    returned = static_cast<std::uint32_t>(listed.size());
    return true;
}

bool GetDefaultPrinter(char16_t* buffer, std::uint32_t& units) {
    const AfterSizeQuery after(buffer == nullptr);
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (!machine.defaultPrinter) {
        units = 0;
        return Fail(kErrorFileNotFound);
    }
    auto needed = static_cast<std::uint32_t>(machine.defaultPrinter->size() + 1);
    if (buffer == nullptr || units < needed) {
        units = needed;
        return Fail(kErrorInsufficientBuffer);
    }
    std::memcpy(buffer, machine.defaultPrinter->c_str(), 2 * needed);
    units = needed;
    return true;
}

bool SetDefaultPrinter(const char16_t* name) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (name == nullptr || *name == u'\0') {
        // Windows: nothing when there is a default; otherwise the first printer becomes it.
        if (!machine.defaultPrinter && !machine.printers.empty()) {
            machine.defaultPrinter = machine.printers.front().name;
        }
        return machine.defaultPrinter ? true : Fail(kErrorInvalidPrinterName);
    }
    const PrinterSpec* printer = detail::FindPrinter(machine, name);
    if (printer == nullptr) {
        return Fail(kErrorInvalidPrinterName);
    }
    machine.defaultPrinter = printer->name;
    return true;
}

bool OpenPrinter(const char16_t* name, Handle& printer) {
    printer = 0;
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    const PrinterSpec* known = name == nullptr ? nullptr : detail::FindPrinter(machine, name);
    if (known == nullptr) {
        return Fail(kErrorInvalidPrinterName);
    }
    printer = detail::NewHandleValue();
    machine.printerHandles.emplace(printer, known->name);
    return true;
}

bool GetPrinter(Handle printer, std::uint32_t level, std::uint8_t* buffer, std::uint32_t bufferBytes,
                std::uint32_t& needed) {
    needed = 0;
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    auto handle = machine.printerHandles.find(printer);
    if (handle == machine.printerHandles.end()) {
        detail::NoteInvalidHandle();
        return Fail(kErrorInvalidHandle);
    }
    if (level != 2) {
        return Fail(kErrorInvalidLevel);
    }
    const PrinterSpec* known = detail::FindPrinter(machine, handle->second);
    if (known == nullptr) {  // removed since it was opened
        return Fail(kErrorInvalidPrinterName);
    }
    std::optional<std::u16string> server = ServerOf(*known);
    std::optional<std::u16string> driver{std::u16string(kDriverName)};
    std::uint32_t total = sizeof(PrinterInfo2) + StringBytes(server) + StringBytes(known->name) +
                          StringBytes(known->port) + StringBytes(driver);
    needed = total;
    bool fits = buffer != nullptr && bufferBytes >= total;
    if (!fits) {
        return Fail(kErrorInsufficientBuffer);
    }
    if (detail::FaultOn(machine, Fault::PrinterDetails)) {
        return Fail(kErrorAccessDenied);
    }
    RecordWriter writer(buffer, sizeof(PrinterInfo2));
    PrinterInfo2 record{};
    record.serverName = writer.PutString(server);
    record.printerName = writer.PutString(known->name);
    record.shareName = nullptr;
    record.portName = writer.PutString(known->port);
    record.driverName = writer.PutString(driver);
    record.attributes = AttributesOf(*known);
    writer.PutRecord(0, record);
    return true;
}

bool PrintDocument(const char16_t* printer, std::u16string document, std::u16string text) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    const PrinterSpec* known = printer == nullptr ? nullptr : detail::FindPrinter(machine, printer);
    if (known == nullptr) {
        return Fail(kErrorInvalidPrinterName);
    }
    machine.printJobs.push_back(PrintJob{known->name, std::move(document), std::move(text)});
    return true;
}

std::vector<PrintJob> PrintJobs() {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return machine.printJobs;
}

std::vector<PrintJob> QueueJobs(std::u16string_view printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    std::vector<PrintJob> jobs;
    for (const PrintJob& job : machine.printJobs) {
        if (EqualsIgnoreCase(job.printer, printer)) {
            jobs.push_back(job);
        }
    }
    return jobs;
}

std::vector<std::uint8_t> PortBytes(std::u16string_view printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    const PrinterSpec* known = detail::FindPrinter(machine, printer);
    const auto port = known == nullptr ? machine.portBytes.end() : machine.portBytes.find(known->name);
    return port == machine.portBytes.end() ? std::vector<std::uint8_t>() : port->second;
}

namespace {

bool StartsPrintingImmediately(detail::MachineState& machine, const PrintJob& job) {
    const PrinterSpec* known = detail::FindPrinter(machine, job.printer);
    return known != nullptr && known->startPrintingImmediately;
}

// The job joins its queue; the printer's port has its bytes now unless they
// went there as they were written.
void Enqueue(detail::MachineState& machine, PrintJob job) {
    if (!StartsPrintingImmediately(machine, job)) {
        std::vector<std::uint8_t>& port = machine.portBytes[job.printer];
        port.insert(port.end(), job.bytes.begin(), job.bytes.end());
    }
    machine.printJobs.push_back(std::move(job));
}

// The document started on an open printer handle; null, with the last error set, when the handle
// is not an open printer (counted) or has no document started.
PrintJob* OpenDocument(detail::MachineState& machine, Handle printer) {
    if (machine.printerHandles.count(printer) == 0) {
        detail::NoteInvalidHandle();
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    auto document = machine.openDocuments.find(printer);
    if (document == machine.openDocuments.end()) {
        SetLastError(kErrorSplNoStartDoc);
        return nullptr;
    }
    return &document->second;
}

}  // namespace

std::uint32_t StartDocPrinter(Handle printer, const char16_t* document, const char16_t* datatype) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    auto handle = machine.printerHandles.find(printer);
    if (handle == machine.printerHandles.end()) {
        detail::NoteInvalidHandle();
        SetLastError(kErrorInvalidHandle);
        return 0;
    }
    if (machine.openDocuments.count(printer) != 0) {
        SetLastError(kErrorInvalidPrinterState);
        return 0;
    }
    PrintJob job;
    job.printer = handle->second;
    job.document = document == nullptr ? std::u16string() : std::u16string(document);
    job.datatype = datatype == nullptr ? std::u16string() : std::u16string(datatype);
    machine.openDocuments.emplace(printer, std::move(job));
    return machine.nextJobId++;
}

bool StartPagePrinter(Handle printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return OpenDocument(machine, printer) != nullptr;
}

bool WritePrinter(Handle printer, const std::uint8_t* bytes, std::uint32_t size, std::uint32_t& written) {
    written = 0;
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    PrintJob* job = OpenDocument(machine, printer);
    if (job == nullptr) {
        return false;
    }
    const bool failPartWay = detail::FaultOn(machine, Fault::SpoolWrite);
    if (failPartWay) {
        written = size / 2;
    } else if (detail::FaultOn(machine, Fault::WriteNothing)) {
        written = 0;
    } else if (detail::FaultOn(machine, Fault::ShortWrite)) {
        written = size - size / 2;
    } else {
        written = size;
    }
    job->bytes.insert(job->bytes.end(), bytes, bytes + written);
    if (StartsPrintingImmediately(machine, *job)) {
        std::vector<std::uint8_t>& port = machine.portBytes[job->printer];
        port.insert(port.end(), bytes, bytes + written);
    }
    return failPartWay ? Fail(kErrorDiskFull) : true;
}

bool EndPagePrinter(Handle printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    return OpenDocument(machine, printer) != nullptr;
}

bool EndDocPrinter(Handle printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (OpenDocument(machine, printer) == nullptr) {
        return false;
    }
    auto document = machine.openDocuments.extract(printer);
    if (detail::FaultOn(machine, Fault::RejectJobs)) {
        return Fail(kErrorInvalidHandle);
    }
    Enqueue(machine, std::move(document.mapped()));
    return true;
}

bool AbortPrinter(Handle printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (OpenDocument(machine, printer) == nullptr) {
        return false;
    }
    machine.openDocuments.erase(printer);
    return true;
}

bool ClosePrinter(Handle printer) {
    detail::MachineState& machine = detail::Machine();
    std::lock_guard guard(machine.lock);
    if (machine.printerHandles.erase(printer) == 0) {
        detail::NoteInvalidHandle();
        return Fail(kErrorInvalidHandle);
    }
    // A document never ended is ended by the spooler: what was written is printed.
    if (auto document = machine.openDocuments.extract(printer)) {
        Enqueue(machine, std::move(document.mapped()));
    }
    return true;
}

}  // namespace simwin
