// One parameter of a call into a plug-in function, as written in a FileMaker
// calculation: a text, a number literal, or True/False. The host turns it
// into an entry of the call's parameter vector (plugin_host.h).
#pragma once

#include <string>

namespace hosting {

// A text is written as in a FileMaker calculation: quoted texts ("..." with
// \" and \\ inside; ¶ is a carriage return, \¶ the pilcrow itself) and
// Char( N ) as FileMaker evaluates it (five-digit groups of N, the lowest
// first, each the character of that code point; Char( 0 ) the empty text),
// joined by "&": "^XA" & Char( 13 ) & Char( 10 ).
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

}  // namespace hosting
