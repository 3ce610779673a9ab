// The printer services: the spooler's printer list, the Windows default
// printer and the host application's own printer. Keeps no list of printers:
// every query asks the spooler afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vorelle::printers {

// What became of data sent with SendRawData.
enum class RawSendOutcome {
    Sent,             // the whole job reached the spooler
    PrinterNotFound,  // the spooler cannot open a printer of that name; nothing sent
    NotSent,          // the spooler refused the job or part of it; the job is cancelled
};

// The largest piece of a raw job handed to WritePrinter at once.
inline constexpr std::size_t kRawChunkBytes = 64 * 1024;

// Fills `bytes` with the data's bytes from `offset` on.
using RawDataSource = std::function<void(std::size_t offset, std::span<std::uint8_t> bytes)>;

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

    // Sends `size` bytes to the printer `printerName` (opened as the switch
    // opens it) as one spooler job of datatype "RAW" named `documentName`
    // (the name the spooler shows: where it came from), made by `source` and
    // written in chunks of at most kRawChunkBytes, so the data is never held
    // whole. A write that takes part of what it was given is followed by one
    // for the rest. A write that fails or takes no byte at all, or a source
    // that raises, cancels the job.
    [[nodiscard]] RawSendOutcome SendRawData(const std::u16string& printerName, std::u16string_view documentName,
                                             std::size_t size, const RawDataSource& source) const;

private:
    std::u16string preferencesPath_;
};

// The one instance, from start-up to shutdown.
PrinterServices& CreatePrinterServices();
void DestroyPrinterServices() noexcept;
PrinterServices* ThePrinterServices();

}  // namespace vorelle::printers
