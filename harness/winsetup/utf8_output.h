// Lines of UTF-16 text written to standard output or standard error as UTF-8.
#pragma once

#include <string_view>

namespace winsetup {

void PrintLine(std::wstring_view text);
void PrintError(std::wstring_view text);

}  // namespace winsetup
