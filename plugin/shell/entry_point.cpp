// FMExternCallProc: the library's only export. Dispatches the host's messages
// by code; no exception ever leaves towards the host.
#include "hostsdk/FMWrapper.h"
#include "shell/call_record.h"
#include "shell/lifecycle.h"
#include "shell/plugin_strings.h"

namespace vorelle::shell {
namespace {

void AnswerStringRequest(const FMX_CallRecord& record) {
    std::uint32_t id = record.param1;
    if (id == kStringOptionsRequest) {
        id = kStringOptions;
    }
    // The buffer size is a 32-bit count of UTF-16 units.
    const auto bufferUnits = static_cast<std::uint32_t>(record.param3);
    LoadPluginString(id, reinterpret_cast<char16_t*>(record.result), bufferUnits);
}

void Dispatch(FMX_CallRecord& record) {
    switch (record.message) {
        case kFMXMessageStartup:
            Startup(record);
            break;
        case kFMXMessageShutdown:
            Shutdown();
            break;
        case kFMXMessageGetString:
            AnswerStringRequest(record);
            break;
        default:
            // Idle, preferences (there is no preferences dialog) and every
            // other code: nothing to do, the record stays as it is.
            break;
    }
}

}  // namespace
}  // namespace vorelle::shell

extern "C" FMX_PLUGIN_EXPORT void FMX_STDCALL FMExternCallProc(FMX_CallRecord* record) {
    if (record == nullptr) {
        return;
    }
    vorelle::shell::SetCurrentCallRecord(record);
    try {
        vorelle::shell::Dispatch(*record);
    } catch (...) {
        // A host failure abandons the message in progress; it must not unwind
        // into the host, which has no handler for it.
    }
    // The record belongs to the host and lives only as long as this call.
    vorelle::shell::SetCurrentCallRecord(nullptr);
}
