// VORL_GetPrintDialogResult: how the last job handed to the print-dialog
// watcher ended, or that its watcher is still at work.
#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"
#include "printdialog/print_job_handoff.h"

namespace vorelle::functions {

namespace {

ResultText PrintDialogResultBody(const FMX_DataVect& parameters) {
    if (ParameterCount(parameters) != 0) {
        return ResultText::Fixed(kInvalidNumberOfParametersLower);
    }
    return ResultText::Fixed(PrintDialogResultText(printdialog::TheHandoff()->Outcome()));
}

}  // namespace

std::int16_t FMX_STDCALL GetPrintDialogResult(std::int16_t, const FMX_ExprEnv*,
                                              const FMX_DataVect* parameters, FMX_Data* result) {
    return RunFunction(parameters, result, &PrintDialogResultBody, true);
}

}  // namespace vorelle::functions
