// Threads, the named mutex, sleeping and the clock on the simulated Windows.
#include "platform/threads.h"

#include <dlfcn.h>

#include "platform/trace.h"
#include "simwin/clock.h"
#include "simwin/errors.h"
#include "simwin/kernel.h"
#include "simwin/scheduling.h"
#include "simwin/tick.h"

namespace vorelle::platform {
namespace {

void TraceLastError(std::u16string_view call) { TraceFailure(call, simwin::GetLastError()); }

// A new thread, run to its end before its start returns when a test asks so.
RawHandle EndedWhenAsked(RawHandle thread) {
    if (thread != 0 && simwin::NewThreadsRunToTheirEnd()) {
        (void)simwin::WaitForSingleObject(thread, simwin::kInfinite);
    }
    return thread;
}

}  // namespace

void KernelHandleTraits::Close(RawHandle handle) { (void)simwin::CloseHandle(handle); }

NamedMutex NamedMutex::Create(const std::u16string& name) {
    const simwin::Handle mutex = simwin::CreateMutex(name.c_str(), false);
    if (mutex == 0) {
        TraceLastError(u"CreateMutexW");
    }
    return NamedMutex(mutex);
}

WaitResult NamedMutex::Wait(std::uint32_t milliseconds) const {
    if (!handle_) {
        return WaitResult::Failed;
    }
    switch (simwin::WaitForSingleObject(handle_.get(), milliseconds)) {
        case simwin::WaitResult::Acquired:
            return WaitResult::Acquired;
        case simwin::WaitResult::Abandoned:
            return WaitResult::Abandoned;
        case simwin::WaitResult::TimedOut:
            return WaitResult::TimedOut;
        case simwin::WaitResult::Failed:
            break;
    }
    TraceLastError(u"WaitForSingleObject");
    return WaitResult::Failed;
}

bool NamedMutex::Release() const {
    if (!handle_) {
        return false;
    }
    if (!simwin::ReleaseMutex(handle_.get())) {
        TraceLastError(u"ReleaseMutex");
        return false;
    }
    return true;
}

namespace {

// A reference to the library this code is linked into, as GetModuleHandleExW
// with GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS takes one; null when this code
// is not in a library of its own (a test program).
void* ReferenceOwnModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ReferenceOwnModule), &info) == 0 || info.dli_fname == nullptr) {
        return nullptr;
    }
    return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
}

}  // namespace

Thread Thread::Start(ThreadEntry entry, void* argument) {
    const simwin::Handle thread = simwin::CreateThreadHoldingModule(entry, argument, ReferenceOwnModule());
    if (thread == 0) {
        TraceLastError(u"CreateThread");
    }
    return Thread(EndedWhenAsked(thread));
}

bool Thread::JoinFor(std::uint32_t milliseconds) {
    if (!handle_) {
        return true;
    }
    if (simwin::WaitForSingleObject(handle_.get(), milliseconds) != simwin::WaitResult::Acquired) {
        return false;
    }
    handle_.reset();
    return true;
}

void SleepMilliseconds(std::uint32_t milliseconds) { simwin::Sleep(milliseconds); }

std::int32_t CalendarSeconds() { return simwin::CalendarSeconds(); }

std::uint32_t TickMilliseconds() { return simwin::TickMilliseconds(); }

}  // namespace vorelle::platform
