// The one shape of every external function: parameters read and checked the
// shared way, one text result, error code 0 to the host.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "hostsdk/FMWrapper.h"

namespace vorelle::functions {

// A function's one result text: one of the plug-in's fixed texts, used where
// it stands, or a text of the function's own. Fixed texts are the constants of
// result_texts.h and printer_status.h, views of string literals that end with
// their terminator; a fixed result costs no copy.
class ResultText {
public:
    ResultText(std::u16string text) : owned_(std::move(text)) {}  // a text of the call's own
    static ResultText Fixed(std::u16string_view constant) {
        ResultText result;
        result.fixed_ = constant.data();
        return result;
    }
    // The text with its terminator, as the host takes it.
    const char16_t* c_str() const { return fixed_ != nullptr ? fixed_ : owned_.c_str(); }

private:
    ResultText() = default;
    std::u16string owned_;
    const char16_t* fixed_ = nullptr;
};

// A function's own work: reads its parameters, returns its result text.
using FunctionBody = ResultText (*)(const FMX_DataVect& parameters);

// Runs `body` inside the frame: creates the result holder, writes the text
// that the body returns, and releases everything on every way out. A host
// failure or a missing start-up is contained here: the call then returns a
// non-zero code (result_texts.h) and writes no result.
std::int16_t RunFunction(const FMX_DataVect* parameters, FMX_Data* result, FunctionBody body,
                         bool needsStartup);

// The number of parameters the host passed.
std::uint32_t ParameterCount(const FMX_DataVect& parameters);

// The length in UTF-16 units of the parameter's text form.
std::uint32_t TextParameterLength(const FMX_DataVect& parameters, std::uint32_t position);

// A text parameter as an owned copy, exactly as the host gives it.
struct TextParameter {
    enum class Status { Ok, Empty, NoMemory };
    Status status = Status::Empty;
    std::u16string text;
};
TextParameter ReadTextParameter(const FMX_DataVect& parameters, std::uint32_t position);

// The printer name at position 0, or the error text that ends the call (an
// empty name, or no memory for its copy).
struct PrinterName {
    std::u16string_view error;
    std::u16string name;
};
PrinterName ReadPrinterName(const FMX_DataVect& parameters);

// Units `from` to `from + into.size()` of the parameter's text form, copied
// into `into`; the caller keeps within the text's length.
void ReadTextParameterPart(const FMX_DataVect& parameters, std::uint32_t position, std::uint32_t from,
                           std::span<char16_t> into);

// The host's conversion of the parameter's number to a signed 32-bit integer.
std::int32_t ReadIntegerParameter(const FMX_DataVect& parameters, std::uint32_t position);

// The parameter as the host evaluates it as a boolean.
bool ReadBooleanParameter(const FMX_DataVect& parameters, std::uint32_t position);

}  // namespace vorelle::functions
