// Raw data to a queue held meanwhile: the job must arrive in the queue whole,
// and is then deleted, so that nothing prints.
#include <windows.h>
#include <winspool.h>

#include "check/checks.h"
#include "check/win32_text.h"
#include "hosting/win32_owners.h"

namespace check {
namespace {

constexpr char16_t kData[] = u"Vorelle Check";
constexpr char16_t kHexData[] = u"56 6F 72 65 6C 6C 65";  // "Vorelle"

// The queue's jobs named `document`: their ids and sizes.
std::vector<std::pair<DWORD, DWORD>> JobsNamed(HANDLE printer, const std::u16string& document) {
    DWORD needed = 0, count = 0;
    EnumJobsW(printer, 0, 1000, 2, nullptr, 0, &needed, &count);
    std::vector<std::max_align_t> buffer(needed / sizeof(std::max_align_t) + 1);
    std::vector<std::pair<DWORD, DWORD>> jobs;
    if (!EnumJobsW(printer, 0, 1000, 2, reinterpret_cast<BYTE*>(buffer.data()),
                   static_cast<DWORD>(buffer.size() * sizeof(std::max_align_t)), &needed, &count)) {
        return jobs;
    }
    const auto* info = reinterpret_cast<const JOB_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (FromWide(info[i].pDocument) == document) {
            jobs.emplace_back(info[i].JobId, info[i].Size);
        }
    }
    return jobs;
}

void SendOne(CheckContext& context, hosting::PluginHost& session, HANDLE printer, const std::u16string& function,
             const std::u16string& data, DWORD bytes) {
    const std::vector<hosting::Parameter> parameters = {hosting::Parameter::OfText(*context.options.sendTest),
                                                       hosting::Parameter::OfText(data)};
    const CallResult result = CallPlugin(session, function, parameters);
    const std::vector<std::pair<DWORD, DWORD>> jobs = JobsNamed(printer, u"Vorelle " + function);
    bool deleted = true;
    for (const auto& job : jobs) {
        deleted = SetJobW(printer, job.first, 0, nullptr, JOB_CONTROL_DELETE) && deleted;
    }
    const bool whole = jobs.size() == 1 && (jobs[0].second == bytes || jobs[0].second == 0);
    context.report.Check(result.ok && result.text == u"0" && whole && deleted, Written(function, parameters),
                         Quoted(result.text) + u", " + Number(static_cast<long long>(jobs.size())) +
                             u" job in the held queue" + (jobs.empty() ? u"" : u" of " + Number(jobs[0].second) + u" bytes") +
                             (deleted ? u", deleted unprinted" : u", NOT deleted: delete it by hand"));
}

}  // namespace

void CheckSendTest(CheckContext& context, hosting::PluginHost& session) {
    const std::u16string names[] = {u"VORL_SendData", u"VORL_SendHexData"};
    if (!context.options.sendTest) {
        for (const std::u16string& name : names) {
            context.report.Skip(name, u"sends a job to a printer: run with --send-test PRINTER");
        }
        return;
    }
    const std::u16string printer = *context.options.sendTest;
    // Held from before the send until its jobs are gone: a Ctrl+C meanwhile
    // waits for the queue to be released.
    const Restorer::Change change(context.restorer);
    PRINTER_DEFAULTSW access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    hosting::PrinterOwner handle;
    if (!OpenPrinterW(const_cast<wchar_t*>(Wide(printer)), handle.put(), &access) ||
        !SetPrinterW(handle.get(), 0, nullptr, PRINTER_CONTROL_PAUSE)) {
        const DWORD error = GetLastError();
        const std::u16string why = Failed(handle ? u"SetPrinterW (pause)" : u"OpenPrinterW", error) + u": the queue " +
                                   Quoted(printer) + u" cannot be held" +
                                   (error == ERROR_ACCESS_DENIED ? u" (it needs the right to manage the printer)" : u"") +
                                   u", so nothing was sent";
        for (const std::u16string& name : names) {
            context.report.Skip(name, why);
        }
        return;
    }
    SendOne(context, session, handle.get(), names[0], kData, 13);
    SendOne(context, session, handle.get(), names[1], kHexData, 7);
    if (!SetPrinterW(handle.get(), 0, nullptr, PRINTER_CONTROL_RESUME)) {
        context.report.Fail(u"queue released", Failed(u"SetPrinterW (resume)", GetLastError()) + u": resume " +
                                                   Quoted(printer) + u" by hand");
    }
}

}  // namespace check
