// VORL_ChangePrinter, VORL_ChangeForPreview and VORL_SetToWindowsDefaultPrinter:
// switch the host application's printer; VORL_ChangePrinter also hands the
// next Print dialog to a watcher.
#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printdialog/print_job_handoff.h"
#include "printers/printer_services.h"
#include "printers/printer_status.h"
#include "shell/function_table.h"

namespace vorelle::functions {

namespace {

// A successful switch without a job ends the job of an earlier
// VORL_ChangePrinter: its watcher would drive the next Print dialog to the
// printer FileMaker no longer has. A failed switch leaves it alone.
ResultText EndingAnEarlierJob(std::u16string status) {
    if (status == printers::kSwitched) {
        // A watcher that does not end in time sends its dialog nothing more
        // all the same: it has been asked to stop.
        static_cast<void>(printdialog::TheHandoff()->EndWatcher());
    }
    return status;
}

ResultText ChangePrinterText(const FMX_DataVect& parameters) {
    const std::uint32_t count = ParameterCount(parameters);
    // The counts registered for it. The host passes at most the registered
    // maximum; the function itself accepts one more, as it always has
    // (nothing reads a fifth parameter).
    if (count < std::uint32_t{shell::kChangePrinterMinParameters} ||
        count > std::uint32_t{shell::kChangePrinterMaxParameters} + 1) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    PrinterName printer = ReadPrinterName(parameters);
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
    const PrinterName printer = ReadPrinterName(parameters);
    if (!printer.error.empty()) {
        return ResultText::Fixed(printer.error);
    }
    return EndingAnEarlierJob(printers::ThePrinterServices()->SetApplicationPrinter(printer.name));
}

// The switch of VORL_ChangeForPreview, to the Windows default printer under
// the name the spooler gives it. No watcher; an earlier one ended.
ResultText SetToWindowsDefaultPrinterText(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 0) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    const printers::PrinterServices& services = *printers::ThePrinterServices();
    const std::u16string name = services.GetSystemPrinter();
    if (name.empty()) {
        return ResultText::Fixed(kNoDefaultPrinter);
    }
    return EndingAnEarlierJob(services.SetApplicationPrinter(name));
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
