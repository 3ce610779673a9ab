// VORL_SendData and VORL_SendHexData: the script's data to a printer, byte for
// byte, as one raw spooler job (label, receipt and barcode printers take their
// own commands). Data is every character as the byte of its value; HexData is
// bytes written in hexadecimal, for the bytes no script can write as text (a
// NUL: FileMaker's Char( 0 ) is the empty text).
#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>

#include "functions/data_units.h"
#include "functions/function_frame.h"
#include "functions/hex_data.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"

namespace vorelle::functions {

namespace {

constexpr std::uint32_t kSendDataParameters = 2;

constexpr std::uint32_t kDataPosition = 1;

// The names the spooler shows for the two functions' jobs: where they came from.
constexpr std::u16string_view kSendDataDocument = u"Vorelle VORL_SendData";
constexpr std::u16string_view kSendHexDataDocument = u"Vorelle VORL_SendHexData";

// The checks both functions make first: the count, the printer name, a Data
// that is not empty. `error` empty when they pass.
struct SendParameters {
    std::u16string_view error;
    std::u16string printer;
    std::uint32_t length = 0;
};

SendParameters ReadSendParameters(const FMX_DataVect& parameters) {
    SendParameters read;
    if (ParameterCount(parameters) != kSendDataParameters) {
        read.error = kInvalidNumberOfParametersLower;
        return read;
    }
    PrinterName printer = ReadPrinterName(parameters);
    if (!printer.error.empty()) {
        read.error = printer.error;
        return read;
    }
    read.printer = std::move(printer.name);
    read.length = TextParameterLength(parameters, kDataPosition);
    if (read.length < 1) {
        read.error = kInvalidParameterFormat;
    }
    return read;
}

// The job, and the result text of what became of it.
ResultText SendJob(const std::u16string& printer, std::u16string_view document, std::size_t size,
                   const printers::RawDataSource& source) {
    switch (printers::ThePrinterServices()->SendRawData(printer, document, size, source)) {
        case printers::RawSendOutcome::Sent:
            return ResultText::Fixed(kSuccess);
        case printers::RawSendOutcome::PrinterNotFound:
            return ResultText::Fixed(printers::kPrinterNotFound);
        case printers::RawSendOutcome::NotSent:
            break;
    }
    return ResultText::Fixed(kDataNotSent);
}

// Whether every unit is one byte's, U+0000 to U+00FF: any other, and nothing
// is sent.
bool AllBytes(DataUnits& data) {
    for (std::size_t from = 0; from < data.length(); from += DataUnits::kChunkUnits) {
        const std::span<const char16_t> part = data.ChunkAt(from);
        if (std::any_of(part.begin(), part.end(), [](char16_t unit) { return unit > 0xFF; })) {
            return false;
        }
    }
    return true;
}

ResultText SendDataText(const FMX_DataVect& parameters) {
    const SendParameters read = ReadSendParameters(parameters);
    if (!read.error.empty()) {
        return ResultText::Fixed(read.error);
    }
    // Every unit is looked at before anything is sent; then the job's chunks
    // are read again as they are written.
    DataUnits data(parameters, kDataPosition, read.length);
    if (!AllBytes(data)) {
        return ResultText::Fixed(kDataNotBytes);
    }
    // Each unit as the one byte of its value.
    const printers::RawDataSource source = [&data](std::size_t offset, std::span<std::uint8_t> bytes) {
        const std::span<const char16_t> part = data.Read(offset, bytes.size());
        std::transform(part.begin(), part.end(), bytes.begin(),
                       [](char16_t unit) { return static_cast<std::uint8_t>(unit); });
    };
    return SendJob(read.printer, kSendDataDocument, data.length(), source);
}

ResultText SendHexDataText(const FMX_DataVect& parameters) {
    const SendParameters read = ReadSendParameters(parameters);
    if (!read.error.empty()) {
        return ResultText::Fixed(read.error);
    }
    DataUnits hex(parameters, kDataPosition, read.length);
    const HexCheck check = CheckHexData(hex);
    switch (check.status) {
        case HexCheck::Status::Ok:
            break;
        case HexCheck::Status::NotHex:
            return ResultText::Fixed(kHexNotHex);
        case HexCheck::Status::BlankInPair:
            return ResultText::Fixed(kHexBlankInPair);
        case HexCheck::Status::OddDigits:
            return ResultText::Fixed(kHexOddDigits);
    }
    if (check.bytes == 0) {
        return ResultText::Fixed(kInvalidParameterFormat);  // blanks alone: no byte to send
    }
    HexBytes bytes(hex);
    const printers::RawDataSource source = [&bytes](std::size_t offset, std::span<std::uint8_t> into) {
        bytes.Fill(offset, into);
    };
    return SendJob(read.printer, kSendHexDataDocument, check.bytes, source);
}

}  // namespace

std::int16_t FMX_STDCALL SendData(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect* parameters,
                                  FMX_Data* result) {
    return RunFunction(parameters, result, &SendDataText, true);
}

std::int16_t FMX_STDCALL SendHexData(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect* parameters,
                                     FMX_Data* result) {
    return RunFunction(parameters, result, &SendHexDataText, true);
}

}  // namespace vorelle::functions
