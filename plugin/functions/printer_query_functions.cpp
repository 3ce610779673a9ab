// VORL_GetPrinterAt, VORL_GetPrinterList, VORL_GetSystemPrinter and
// VORL_SetSystemPrinter: thin wrappers over the printer services.
#include <new>

#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printers/printer_services.h"

namespace vorelle::functions {

namespace {

ResultText GetPrinterAtText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 1) {
        return ResultText::Fixed(kInvalidNumberOfParameters);
    }
    // The text form decides emptiness; the number is read only after that.
    if (TextParameterLength(parameters, 0) < 1) {
        return ResultText::Fixed(kInvalidParameterFormat);
    }
    const std::int32_t index = ReadIntegerParameter(parameters, 0);
    std::u16string name;
    // On failure the name holds the error text, which is the result either way.
    (void)printers::ThePrinterServices()->GetPrinterAt(index, name);
    return name;
}

ResultText GetPrinterListText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 0) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    std::u16string list;
    // On failure the list holds the error text, which is the result either way.
    (void)printers::ThePrinterServices()->GetPrinterList(list);
    return list;
}

ResultText GetSystemPrinterText(const FMX_DataVect& parameters) {
    ParameterCount(parameters);  // fetched, not used: the function takes none
    return printers::ThePrinterServices()->GetSystemPrinter();
}

ResultText SetSystemPrinterText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 1) {
        return ResultText::Fixed(kInvalidNumberOfParameters);
    }
    const TextParameter name = ReadTextParameter(parameters, 0);
    switch (name.status) {
        case TextParameter::Status::Empty:
            return ResultText::Fixed(kInvalidParameterFormat);
        case TextParameter::Status::NoMemory:
            throw std::bad_alloc();
        case TextParameter::Status::Ok:
            break;
    }
    return printers::ThePrinterServices()->SetSystemPrinter(name.text);
}

}  // namespace

std::int16_t FMX_STDCALL GetPrinterAt(std::int16_t, const FMX_ExprEnv*,
                                      const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &GetPrinterAtText, true);
}

std::int16_t FMX_STDCALL GetPrinterList(std::int16_t, const FMX_ExprEnv*,
                                        const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &GetPrinterListText, true);
}

std::int16_t FMX_STDCALL GetSystemPrinter(std::int16_t, const FMX_ExprEnv*,
                                          const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &GetSystemPrinterText, true);
}

std::int16_t FMX_STDCALL SetSystemPrinter(std::int16_t, const FMX_ExprEnv*,
                                          const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &SetSystemPrinterText, true);
}

}  // namespace vorelle::functions
