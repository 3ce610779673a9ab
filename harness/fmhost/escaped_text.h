// How fmhost prints a text it got from the plug-in (a result, what a queue
// holds): every character as UTF-8, except the control characters U+0000 to
// U+001F and U+007F to U+009F, which would be invisible or act on the
// terminal: each prints as "<U+XXXX>", four upper-case hexadecimal digits
// ("<U+0000>" a NUL, "<U+000D>" a carriage return, "<U+001B>" an ESC). So a
// result that carries its terminator differs from one that does not.
#pragma once

#include <string>
#include <string_view>

namespace fmhost {

std::string EscapedText(std::u16string_view text);

}  // namespace fmhost
