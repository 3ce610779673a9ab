#include "functions/function_frame.h"

#include <new>
#include <stdexcept>

#include "functions/result_texts.h"
#include "printdialog/print_job_handoff.h"
#include "printers/printer_services.h"
#include "shell/host_calls.h"

namespace vorelle::functions {

using shell::CallHost;

namespace {

void WriteResultText(FMX_Data& result, FMX_Text& holder, const ResultText& text) {
    CallHost([&](FMX_ErrorRecord* err) { FM_Text_AssignUnicode(&holder, text.c_str(), err); });
    const FMX_Locale* locale =
        CallHost([&](FMX_ErrorRecord* err) { return FM_Data_GetLocale(&result, err); });
    constexpr std::int32_t kNativeTypeText = 1;
    CallHost([&](FMX_ErrorRecord* err) {
        return FM_Data_SetAsText(&result, &holder, locale, kNativeTypeText, err);
    });
}

bool Started() {
    return printers::ThePrinterServices() != nullptr && printdialog::TheHandoff() != nullptr;
}

}  // namespace

std::int16_t RunFunction(const FMX_DataVect* parameters, FMX_Data* result, FunctionBody body,
                         bool needsStartup) {
    if (parameters == nullptr || result == nullptr) {
        return kFunctionHostFailure;
    }
    if (needsStartup && !Started()) {
        return kFunctionNotStarted;
    }
    try {
        shell::HostText holder = shell::NewHostText();
        const ResultText text = body(*parameters);
        WriteResultText(*result, *holder.get(), text);
        holder.Delete();
        return kFunctionOk;
    } catch (const std::bad_alloc&) {
        return kFunctionOutOfMemory;
    } catch (...) {
        return kFunctionHostFailure;
    }
}

std::uint32_t ParameterCount(const FMX_DataVect& parameters) {
    return CallHost([&](FMX_ErrorRecord* err) { return FM_DataVect_Size(&parameters, err); });
}

std::uint32_t TextParameterLength(const FMX_DataVect& parameters, std::uint32_t position) {
    const FMX_Text* text = CallHost(
        [&](FMX_ErrorRecord* err) { return FM_DataVect_AtAsText(&parameters, position, err); });
    return CallHost([&](FMX_ErrorRecord* err) { return FM_Text_GetSize(text, err); });
}

TextParameter ReadTextParameter(const FMX_DataVect& parameters, std::uint32_t position) {
    TextParameter parameter;
    const std::uint32_t length = TextParameterLength(parameters, position);
    if (length < 1) {
        return parameter;
    }
    try {
        // Zero-filled: the copy always ends with a terminating 0.
        parameter.text.assign(length, u'\0');
    } catch (const std::bad_alloc&) {
        parameter.status = TextParameter::Status::NoMemory;
        return parameter;
    } catch (const std::length_error&) {
        parameter.status = TextParameter::Status::NoMemory;
        return parameter;
    }
    const FMX_Text* text = CallHost(
        [&](FMX_ErrorRecord* err) { return FM_DataVect_AtAsText(&parameters, position, err); });
    CallHost([&](FMX_ErrorRecord* err) {
        FM_Text_GetUnicode(text, parameter.text.data(), 0, length, err);
    });
    parameter.status = TextParameter::Status::Ok;
    return parameter;
}

PrinterName ReadPrinterName(const FMX_DataVect& parameters) {
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

void ReadTextParameterPart(const FMX_DataVect& parameters, std::uint32_t position, std::uint32_t from,
                           std::span<char16_t> into) {
    const FMX_Text* text = CallHost(
        [&](FMX_ErrorRecord* err) { return FM_DataVect_AtAsText(&parameters, position, err); });
    CallHost([&](FMX_ErrorRecord* err) {
        FM_Text_GetUnicode(text, into.data(), from, static_cast<std::uint32_t>(into.size()), err);
    });
}

std::int32_t ReadIntegerParameter(const FMX_DataVect& parameters, std::uint32_t position) {
    const FMX_FixPt* number = CallHost(
        [&](FMX_ErrorRecord* err) { return FM_DataVect_AtAsNumber(&parameters, position, err); });
    return CallHost([&](FMX_ErrorRecord* err) { return FM_FixPt_AsLong(number, err); });
}

bool ReadBooleanParameter(const FMX_DataVect& parameters, std::uint32_t position) {
    return CallHost([&](FMX_ErrorRecord* err) {
               return FM_DataVect_AtAsBoolean(&parameters, position, err);
           }) != 0;
}

}  // namespace vorelle::functions
