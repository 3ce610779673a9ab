#include "winsetup/utf8_output.h"

#include <windows.h>

#include <string>

namespace winsetup {
namespace {

void WriteUtf8Line(DWORD stream, std::wstring_view text) {
    std::string bytes;
    if (!text.empty()) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
        bytes.resize(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            size, nullptr, nullptr);
    }
    bytes.push_back('\n');
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

}  // namespace

void PrintLine(std::wstring_view text) {
    WriteUtf8Line(STD_OUTPUT_HANDLE, text);
}

void PrintError(std::wstring_view text) {
    WriteUtf8Line(STD_ERROR_HANDLE, text);
}

}  // namespace winsetup
