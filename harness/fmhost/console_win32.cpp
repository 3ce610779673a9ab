#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "fmhost/console.h"
#include "fmwrapper/host_runtime.h"
#include "hosting/win32_owners.h"

namespace fmhost {

std::vector<std::string> CommandLineArguments(int, char**) {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    const hosting::LocalOwner memory(wide);
    for (int i = 1; i < count; ++i) {
        arguments.push_back(fmwrapper::Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
    }
    return arguments;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace fmhost
