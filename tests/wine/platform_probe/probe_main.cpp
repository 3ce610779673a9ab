// platform_probe [PRINTER] — checks the Win32 side of the platform facade on the
// machine it runs on (Wine, in our runs). PRINTER names a printer on the port
// "FILE:" for the spooler checks and the Print dialog's (which needs another
// printer as the default), both skipped without it.
#include "platform/win32/win32_api.h"

#include <cstdio>
#include <string>

#include "tests/wine/platform_probe/probe.h"

namespace probe {
namespace {
int passed = 0;
int failed = 0;
}  // namespace

void Check(bool ok, const std::string& what, const std::string& detail) {
    (ok ? passed : failed) += 1;
    const bool explain = !ok && !detail.empty();
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), explain ? ": " : "",
                explain ? detail.c_str() : "");
    std::fflush(stdout);
}

void Note(const std::string& text) {
    std::printf("NOTE %s\n", text.c_str());
    std::fflush(stdout);
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

}  // namespace probe

int wmain(int argc, wchar_t** argv) {
    probe::WindowChecks();
    probe::KernelChecks();
    probe::RegistryChecks();
    probe::StringChecks();
    if (argc > 1) {
        const std::u16string printer(vorelle::platform::win32::Utf16(argv[1]));
        probe::PrintDialogChecks(printer);
        probe::SpoolerChecks(printer);
    }
    std::printf("%d passed, %d failed\n", probe::passed, probe::failed);
    return probe::failed == 0 ? 0 : 1;
}
