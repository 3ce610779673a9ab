// The facts a support request needs about the machine the check ran on.
#include <windows.h>

#include <vector>

#include "check/checks.h"
#include "check/sha256.h"
#include "check/win32_text.h"
#include "hosting/win32_owners.h"

namespace check {
namespace {

std::u16string WindowsVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    // Windows 8.1 and later tell a program without a manifest that they are
    // 8 (6.2); ntdll's RtlGetVersion tells the truth, where it exists.
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    const auto rtlGetVersion = reinterpret_cast<GetVersion>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if ((rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) &&
        !GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
        return {};
    }
    std::u16string text = Number(info.dwMajorVersion) + u"." + Number(info.dwMinorVersion) + u"." +
                          Number(info.dwBuildNumber);
    const std::u16string pack = FromWide(info.szCSDVersion);
    return text + (pack.empty() ? u", no service pack" : u", " + pack) +
           (info.wProductType == VER_NT_WORKSTATION ? u", workstation" : u", server");
}

std::u16string DisplayLanguage() {
    const LANGID language = GetUserDefaultUILanguage();
    wchar_t name[128] = {};
    GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SENGLANGUAGE, name, 128);
    wchar_t code[16] = {};
    wchar_t number[8];
    wsprintfW(number, L"%04X", language);
    GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SISO639LANGNAME, code, 16);
    return FromWide(name) + u" (" + FromWide(code) + u", language id 0x" + FromWide(number) + u")";
}

std::optional<bool> Administrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    hosting::UniqueAny<PSID, &FreeSid> administrators;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, administrators.put())) {
        return std::nullopt;
    }
    BOOL member = FALSE;
    const BOOL asked = CheckTokenMembership(nullptr, administrators.get(), &member);
    return asked ? std::optional<bool>(member != FALSE) : std::nullopt;
}

// The shortest and the longest of 20 Sleep( 1 ), in milliseconds.
std::u16string SleepOne() {
    LARGE_INTEGER frequency, before, after;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0) {
        return {};
    }
    double shortest = 1e9, longest = 0;
    for (int i = 0; i < 20; ++i) {
        QueryPerformanceCounter(&before);
        Sleep(1);
        QueryPerformanceCounter(&after);
        const double ms = static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 /
                          static_cast<double>(frequency.QuadPart);
        shortest = ms < shortest ? ms : shortest;
        longest = ms > longest ? ms : longest;
    }
    return u"one Sleep( 1 ) lasts " + Decimal(shortest, 1) + u" to " + Decimal(longest, 1) + u" ms (20 tries)";
}

std::optional<std::u16string> FileSha256(const std::u16string& path, unsigned long& error) {
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return std::nullopt;
    }
    const hosting::KernelOwner owner(file);
    Sha256 hash;
    std::vector<std::uint8_t> buffer(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
            error = GetLastError();
            return std::nullopt;
        }
        if (read == 0) {
            return hash.HexDigest();
        }
        hash.Add({buffer.data(), read});
    }
}

std::u16string ModulePath(HMODULE module) {
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(path.data()), n);
}

std::u16string FolderOf(const std::u16string& path) { return path.substr(0, path.find_last_of(u"\\/")); }

}  // namespace

void CheckSystemFacts(CheckContext& context) {
    Report& report = context.report;
    const std::u16string version = WindowsVersion();
    report.Check(!version.empty(), u"Windows version", version.empty() ? Failed(u"GetVersionExW", GetLastError()) : version);
    report.Pass(u"display language", DisplayLanguage());
    const std::optional<bool> admin = Administrator();
    report.Check(admin.has_value(), u"administrator",
                 !admin ? Failed(u"CheckTokenMembership", GetLastError())
                        : *admin ? u"yes, this user is a member of Administrators"
                                 : u"no, this user is not a member of Administrators");
    const std::u16string sleep = SleepOne();
    report.Check(!sleep.empty(), u"timer resolution", sleep.empty() ? u"no performance counter" : sleep);
    unsigned long error = 0;
    const std::optional<std::u16string> digest = FileSha256(context.options.pluginPath, error);
    report.Check(digest.has_value(), u"SHA-256 of the plug-in",
                 (digest ? *digest : Failed(u"reading the file", error)) + u" (" + context.options.pluginPath + u")");
    // The runtime is ours, from the check's own folder, never a FileMaker's.
    const std::u16string exe = ModulePath(nullptr);
    HMODULE runtime = GetModuleHandleW(L"FMWrapper.dll");
    const std::u16string runtimePath = runtime != nullptr ? ModulePath(runtime) : u"not loaded";
    report.Check(runtime != nullptr && lstrcmpiW(Wide(FolderOf(runtimePath)), Wide(FolderOf(exe))) == 0,
                 u"runtime FMWrapper.dll from the check's own folder", runtimePath);
}

}  // namespace check
