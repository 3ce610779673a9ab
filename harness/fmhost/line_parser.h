// One line of an fmhost session: a call written as in a FileMaker calculation
// ("VORL_GetPrinterAt( 1 )", "VORL_ChangePrinter( \"Office Laser\" ; True ; 0 )",
// "VORL_GetSystemPrinter"), a host action (":string 128 16"), or nothing
// (blank, or a comment starting with "#").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fmhost {

// One parameter as written: a text, a number literal, or True/False. A text
// is written as in a FileMaker calculation: quoted texts ("..." with \" and
// \\ inside; ¶ is a carriage return, \¶ the pilcrow itself) and Char( N )
// as FileMaker evaluates it (five-digit groups of N, the lowest first, each
// the character of that code point; Char( 0 ) the empty text), joined by
// "&": "^XA" & Char( 13 ) & Char( 10 ).
struct Parameter {
    enum class Kind { Text, Number, Boolean };
    Kind kind = Kind::Text;
    std::u16string text;  // Kind::Text
    std::string number;   // Kind::Number: the literal as written
    bool boolean = false; // Kind::Boolean

    static Parameter OfText(std::u16string text);
    static Parameter OfNumber(std::string literal);
    static Parameter OfBoolean(bool value);
    bool operator==(const Parameter&) const = default;
};

struct FunctionCall {
    std::u16string name;
    std::vector<Parameter> parameters;
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
