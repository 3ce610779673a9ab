// VORL_SendData: the script's data to a printer, byte for byte, as one raw
// spooler job (label, receipt and barcode printers take their own commands).
#include <new>
#include <optional>
#include <vector>

#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"

namespace vorelle::functions {

namespace {

constexpr std::uint32_t kSendDataParameters = 2;

// Each character U+0000 to U+00FF as the one byte of its value; none when a
// character is above U+00FF, so that nothing is sent then.
std::optional<std::vector<std::uint8_t>> DataBytes(const std::u16string& data) {
    std::vector<std::uint8_t> bytes(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] > 0xFF) {
            return std::nullopt;
        }
        bytes[i] = static_cast<std::uint8_t>(data[i]);
    }
    return bytes;
}

// The text at `position`, or the error text that ends the call.
std::u16string_view ReadRequiredText(const FMX_DataVect& parameters, std::uint32_t position,
                                     std::u16string& text) {
    TextParameter parameter = ReadTextParameter(parameters, position);
    switch (parameter.status) {
        case TextParameter::Status::Empty:
            return kInvalidParameterFormat;
        case TextParameter::Status::NoMemory:
            return kParsingParameters;
        case TextParameter::Status::Ok:
            break;
    }
    text = std::move(parameter.text);
    return {};
}

ResultText SendDataText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != kSendDataParameters) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    std::u16string printerName;
    if (const std::u16string_view error = ReadRequiredText(parameters, 0, printerName); !error.empty()) {
        return ResultText::Fixed(error);
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    {
        std::u16string data;
        if (const std::u16string_view error = ReadRequiredText(parameters, 1, data); !error.empty()) {
            return ResultText::Fixed(error);
        }
        try {
            bytes = DataBytes(data);
        } catch (const std::bad_alloc&) {
            return ResultText::Fixed(kParsingParameters);
        }
        if (!bytes) {
            return ResultText::Fixed(kDataNotBytes);
        }
    }  // the text copy is let go of before the job: the bytes are all it needs
    switch (printers::ThePrinterServices()->SendRawData(printerName, *bytes)) {
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
