// VORL_SendData: the script's data to a printer, byte for byte, as one raw
// spooler job (label, receipt and barcode printers take their own commands).
#include <algorithm>
#include <string_view>

#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"

namespace vorelle::functions {

namespace {

constexpr std::uint32_t kSendDataParameters = 2;

// Whether every character is one byte's, U+0000 to U+00FF: any other, and
// nothing is sent.
bool AllBytes(std::u16string_view data) {
    return std::none_of(data.begin(), data.end(), [](char16_t unit) { return unit > 0xFF; });
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
    // The one copy of the data: it is made into bytes a chunk at a time as
    // it is written.
    std::u16string data;
    if (const std::u16string_view error = ReadRequiredText(parameters, 1, data); !error.empty()) {
        return ResultText::Fixed(error);
    }
    if (!AllBytes(data)) {
        return ResultText::Fixed(kDataNotBytes);
    }
    switch (printers::ThePrinterServices()->SendRawData(printerName, data)) {
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
