// VORL_ChangePrinter, VORL_ChangeForPreview and VORL_SetToWindowsDefaultPrinter:
// switch the host application's printer; VORL_ChangePrinter also hands the
// next Print dialog to a watcher.
#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printdialog/print_job_handoff.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"

namespace vorelle::functions {

namespace {

constexpr std::uint32_t kChangePrinterMaxParameters = 5;

// The printer name at position 0, or the error text that ends the call.
struct PrinterNameParameter {
    std::u16string_view error;
    std::u16string name;
};

PrinterNameParameter ReadPrinterName(const FMX_DataVect& parameters) {
    TextParameter parameter = ReadTextParameter(parameters, 0);
    switch (parameter.status) {
        case TextParameter::Status::Empty:
            return {kInvalidParameterFormat, {}};
        case TextParameter::Status::NoMemory:
            return {kParsingParameters, {}};
        case TextParameter::Status::Ok:
            break;
    }
    return {{}, std::move(parameter.text)};
}

ResultText ChangePrinterText(const FMX_DataVect& parameters) {
    const std::uint32_t count = ParameterCount(parameters);
    if (count < 1 || count > kChangePrinterMaxParameters) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    PrinterNameParameter printer = ReadPrinterName(parameters);
    if (!printer.error.empty()) {
        return ResultText::Fixed(printer.error);
    }
    printdialog::PrintJob job;
    job.showDialog = count > 1 && ReadBooleanParameter(parameters, 1);
    job.pause = count > 2 ? ReadIntegerParameter(parameters, 2) : 0;
    job.extraFlag = count > 3 && ReadBooleanParameter(parameters, 3);

    std::u16string status = printers::ThePrinterServices()->SetApplicationPrinter(printer.name);
    if (status != printers::kSwitched) {
        // No job: a watcher of an earlier call keeps its job.
        return status;
    }
    job.printerName = std::move(printer.name);
    // The switch is made either way: a job that found no watcher (its thread
    // did not start, or the last one did not end in time) leaves the next
    // Print dialog to the user, who sees the switched printer there.
    const bool watching = printdialog::TheHandoff()->HandOverJob(std::move(job));
    static_cast<void>(watching);
    return ResultText::Fixed(kSuccess);
}

ResultText ChangeForPreviewText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 1) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    const PrinterNameParameter printer = ReadPrinterName(parameters);
    if (!printer.error.empty()) {
        return ResultText::Fixed(printer.error);
    }
    return printers::ThePrinterServices()->SetApplicationPrinter(printer.name);
}

// The switch of VORL_ChangeForPreview, to the Windows default printer under
// the name the spooler gives it. No watcher.
ResultText SetToWindowsDefaultPrinterText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 0) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    const printers::PrinterServices& services = *printers::ThePrinterServices();
    const std::u16string name = services.GetSystemPrinter();
    if (name.empty()) {
        return ResultText::Fixed(kNoDefaultPrinter);
    }
    return services.SetApplicationPrinter(name);
}

}  // namespace

std::int16_t FMX_STDCALL ChangePrinter(std::int16_t, const FMX_ExprEnv*,
                                       const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &ChangePrinterText, true);
}

std::int16_t FMX_STDCALL ChangeForPreview(std::int16_t, const FMX_ExprEnv*,
                                          const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &ChangeForPreviewText, true);
}

std::int16_t FMX_STDCALL SetToWindowsDefaultPrinter(std::int16_t, const FMX_ExprEnv*,
                                                    const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &SetToWindowsDefaultPrinterText, true);
}

}  // namespace vorelle::functions
