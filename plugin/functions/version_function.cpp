// VORL_Version( optType ): the plug-in's version, long or short.
#include <new>

#include "functions/function_frame.h"
#include "functions/result_texts.h"
#include "functions/script_functions.h"

namespace vorelle::functions {

namespace {

// "SHORT" as a whole, letters A to Z matched without regard to case.
bool IsShortOption(std::u16string_view option) {
    constexpr std::u16string_view kShort = u"SHORT";
    if (option.size() != kShort.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kShort.size(); ++i) {
        char16_t c = option[i];
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
        if (c != kShort[i]) {
            return false;
        }
    }
    return true;
}

ResultText VersionText(const FMX_DataVect& parameters) {
    std::u16string option = u"Long";
    if (ParameterCount(parameters) != 0) {
        TextParameter parameter = ReadTextParameter(parameters, 0);
        if (parameter.status == TextParameter::Status::NoMemory) {
            throw std::bad_alloc();
        }
        option = std::move(parameter.text);
    }
    // Read as a zero-terminated text, as every parameter is: up to its first NUL.
    const std::u16string_view text(option.c_str());
    return ResultText::Fixed(IsShortOption(text) ? kVersionShort : kVersionLong);
}

}  // namespace

std::int16_t FMX_STDCALL Version(std::int16_t, const FMX_ExprEnv*, const FMX_DataVect* parameters,
                                 FMX_Data* result) {
    return RunFunction(parameters, result, &VersionText, false);
}

}  // namespace vorelle::functions
