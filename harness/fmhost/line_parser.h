// One line of an fmhost session: a call written as in a FileMaker calculation
// ("VORL_GetPrinterAt( 1 )", "VORL_ChangePrinter( \"Office Laser\" ; True ; 0 )",
// "VORL_GetSystemPrinter"), a host action (":string 128 16"), or nothing
// (blank, or a comment starting with "#").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosting/parameter.h"

namespace fmhost {

struct FunctionCall {
    std::u16string name;
    std::vector<hosting::Parameter> parameters;
};

struct HostAction {
    std::string name;                    // without the ":"
    std::vector<std::string> arguments;  // separated by blanks
};

struct ParsedLine {
    enum class Kind { Nothing, Call, Action };
    Kind kind = Kind::Nothing;
    FunctionCall call;
    HostAction action;
};

// Parses one UTF-8 line; none, with what is wrong in `error`, when it is not
// a call, an action or nothing.
std::optional<ParsedLine> ParseLine(std::string_view line, std::string& error);

}  // namespace fmhost
