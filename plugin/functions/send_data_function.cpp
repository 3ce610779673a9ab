// VORL_SendData: the script's data to a printer, byte for byte, as one raw
// spooler job (label, receipt and barcode printers take their own commands).
#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"

namespace vorelle::functions {

namespace {

constexpr std::uint32_t kSendDataParameters = 2;

constexpr std::uint32_t kDataPosition = 1;

// Data's units a chunk at a time, read from the host's text into one buffer:
// the data is never held whole.
class DataChunks {
public:
    DataChunks(const FMX_DataVect& parameters, std::uint32_t length)
        : parameters_(parameters),
          length_(length),
          units_(std::min<std::size_t>(length, printers::kRawChunkBytes)) {}

    std::uint32_t length() const { return length_; }

    // Units `from` to `from + count` (count at most a chunk).
    std::span<const char16_t> Read(std::size_t from, std::size_t count) {
        const std::span<char16_t> part(units_.data(), count);
        ReadTextParameterPart(parameters_, kDataPosition, static_cast<std::uint32_t>(from), part);
        return part;
    }

    // Whether every unit is one byte's, U+0000 to U+00FF: any other, and
    // nothing is sent.
    bool AllBytes() {
        for (std::size_t from = 0; from < length_; from += units_.size()) {
            const std::span<const char16_t> part = Read(from, std::min<std::size_t>(length_ - from, units_.size()));
            if (std::any_of(part.begin(), part.end(), [](char16_t unit) { return unit > 0xFF; })) {
                return false;
            }
        }
        return true;
    }

    // Each unit as the one byte of its value.
    void Fill(std::size_t offset, std::span<std::uint8_t> bytes) {
        const std::span<const char16_t> part = Read(offset, bytes.size());
        std::transform(part.begin(), part.end(), bytes.begin(),
                       [](char16_t unit) { return static_cast<std::uint8_t>(unit); });
    }

private:
    const FMX_DataVect& parameters_;
    std::uint32_t length_;
    std::vector<char16_t> units_;
};

ResultText SendDataText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != kSendDataParameters) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    const PrinterName printer = ReadPrinterName(parameters);
    if (!printer.error.empty()) {
        return ResultText::Fixed(printer.error);
    }
    const std::uint32_t length = TextParameterLength(parameters, kDataPosition);
    if (length < 1) {
        return ResultText::Fixed(kInvalidParameterFormat);
    }
    // Every unit is looked at before anything is sent; then the job's chunks
    // are read again as they are written.
    DataChunks data(parameters, length);
    if (!data.AllBytes()) {
        return ResultText::Fixed(kDataNotBytes);
    }
    const printers::RawDataSource source = [&data](std::size_t offset, std::span<std::uint8_t> bytes) {
        data.Fill(offset, bytes);
    };
    switch (printers::ThePrinterServices()->SendRawData(printer.name, data.length(), source)) {
        case printers::RawSendOutcome::Sent:
            return ResultText::Fixed(kSuccess);
        case printers::RawSendOutcome::PrinterNotFound:
            return ResultText::Fixed(printers::kPrinterNotFound);
        case printers::RawSendOutcome::NotSent:
            break;
    }
    return ResultText::Fixed(kDataNotSent);
}

}  // namespace

std::int16_t FMX_STDCALL SendData(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect* parameters,
                                  FMX_Data* result) {
    return RunFunction(parameters, result, &SendDataText, true);
}

}  // namespace vorelle::functions
