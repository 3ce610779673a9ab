// VorelleCheck [--plugin PATH] [--report FILE] [--change-default] [--send-test PRINTER]
//
// Checks the plug-in on the Windows it runs on, loading it as FileMaker does
// (through FMExternCallProc, with the runtime FMWrapper.dll from its own
// folder), and writes a report: "Vorelle Check VERSION", one line per check,
// "N passed, N failed, N skipped". Exit status 0 when nothing failed, 1 when
// a check failed, 2 when the check could not run. Started from Explorer it
// shows its outcome in a window that stays until closed; from a command line
// or a script it waits for nobody. Whatever it changes it puts back, also
// when its console is closed or Ctrl+C pressed half-way.
#include <windows.h>

#include <vector>

#include "check/checks.h"
#include "check/win32_text.h"
#include "fmwrapper/host_runtime.h"

namespace check {
namespace {

constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kCouldNotRun = 2;

constexpr char16_t kUsage[] =
    u"usage: VorelleCheck [--plugin PATH] [--report FILE] [--change-default] [--send-test PRINTER]\r\n"
    u"  --plugin PATH        the plug-in to check (default: Vorelle.fmx in the folder above the check's)\r\n"
    u"  --report FILE        where the report goes (default: VorelleCheck-report.txt beside the check)\r\n"
    u"  --change-default     also VORL_SetSystemPrinter (the default printer is put back)\r\n"
    u"  --send-test PRINTER  also VORL_SendData and VORL_SendHexData to PRINTER, its queue held\r\n"
    u"                       meanwhile and the jobs deleted unprinted (needs the right to manage it)\r\n";

std::u16string ProgramFolder() {
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    const std::u16string exe(reinterpret_cast<const char16_t*>(path.data()), n);
    const std::size_t slash = exe.find_last_of(u"\\/");
    return slash == std::u16string::npos ? u"." : exe.substr(0, slash);
}

std::u16string ParentOf(const std::u16string& folder) {
    const std::size_t slash = folder.find_last_of(u"\\/");
    return slash == std::u16string::npos ? u".." : folder.substr(0, slash);
}

// Whether the check has a console of its own that closes with it: started
// from Explorer, not from a command line (whose console it shares) nor a
// script (whose output is a file or a pipe).
bool ConsoleOfItsOwn() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) != FILE_TYPE_CHAR) {
        return false;
    }
    // Windows XP and later count the processes attached to the console; on
    // Windows 2000 (which lacks the call) a console made for this process
    // has its cursor still at its first cell.
    using ProcessList = DWORD(WINAPI*)(LPDWORD, DWORD);
    const auto list = reinterpret_cast<ProcessList>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetConsoleProcessList")));
    if (list != nullptr) {
        DWORD processes[2];
        return list(processes, 2) == 1;
    }
    CONSOLE_SCREEN_BUFFER_INFO info;
    return GetConsoleScreenBufferInfo(out, &info) && info.dwCursorPosition.X == 0 && info.dwCursorPosition.Y == 0;
}

// The report on the console (as the console shows UTF-16), or as UTF-8 to a
// file or pipe.
void Show(const std::u16string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_CHAR &&
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return;
    }
    // Written as it is: the C runtime's text mode would make each CR LF a CR CR LF.
    const std::string utf8 = fmwrapper::Utf16ToUtf8(text);
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

struct Arguments {
    CheckOptions options;
    std::u16string reportPath;
    bool valid = true;
};

Arguments Parse(int argc, wchar_t** argv) {
    Arguments parsed;
    const std::u16string folder = ProgramFolder();
    parsed.options.pluginPath = ParentOf(folder) + u"\\Vorelle.fmx";
    parsed.reportPath = folder + u"\\VorelleCheck-report.txt";
    for (int i = 1; i < argc; ++i) {
        const std::u16string arg = FromWide(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == u"--plugin" && hasValue) {
            parsed.options.pluginPath = FromWide(argv[++i]);
        } else if (arg == u"--report" && hasValue) {
            parsed.reportPath = FromWide(argv[++i]);
        } else if (arg == u"--change-default") {
            parsed.options.changeDefault = true;
        } else if (arg == u"--send-test" && hasValue) {
            parsed.options.sendTest = FromWide(argv[++i]);
        } else {
            parsed.valid = false;
        }
    }
    return parsed;
}

int Run(int argc, wchar_t** argv) {
    const bool window = ConsoleOfItsOwn();
    const Arguments arguments = Parse(argc, argv);
    if (!arguments.valid) {
        Show(kUsage);
        return kCouldNotRun;
    }
    Report report(u"" VORELLE_CHECK_VERSION, Show);
    Restorer restorer;
    restorer.PutBackOnConsoleEvents(kCouldNotRun);
    CheckContext context{report, restorer, arguments.options};
    CheckSystemFacts(context);
    const bool ran = CheckPluginBasics(context);
    if (ran) {
        CheckPrintDialogs(context, CheckPreferences(context));
    }
    for (const std::u16string& failure : restorer.PutBack()) {
        report.Fail(u"putting back", failure);
    }
    const int status = !ran ? kCouldNotRun : report.Failed() > 0 ? kFailed : kPassed;
    const std::u16string text = report.Text();
    unsigned long error = 0;
    const bool written = WriteReportFile(arguments.reportPath, text, error);
    const std::u16string where = written ? u"The report: " + arguments.reportPath
                                         : Failed(u"writing the report " + arguments.reportPath, error);
    Show(report.Summary() + u"\r\n" + where + u"\r\n");
    if (window) {
        const std::u16string outcome = (status == kPassed ? u"Vorelle works on this computer.\r\n\r\n"
                                        : status == kFailed ? u"Vorelle failed a check on this computer.\r\n\r\n"
                                                            : u"The check could not run.\r\n\r\n") +
                                       report.Summary() + u"\r\n\r\n" + where;
        MessageBoxW(nullptr, Wide(outcome), L"Vorelle Check",
                    MB_OK | (status == kPassed ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    return status;
}

}  // namespace
}  // namespace check

int wmain(int argc, wchar_t** argv) { return check::Run(argc, argv); }
