// Threads, the named mutex, sleeping and the clock on the simulated Windows.
#include "platform/threads.h"

#include "platform/trace.h"
#include "simwin/clock.h"
#include "simwin/errors.h"
#include "simwin/kernel.h"
#include "simwin/scheduling.h"

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

Thread Thread::Start(ThreadEntry entry, void* argument) {
    const simwin::Handle thread = simwin::CreateThread(entry, argument);
    if (thread == 0) {
        TraceLastError(u"CreateThread");
    }
    return Thread(EndedWhenAsked(thread));
}

void Thread::Join() {
    if (handle_) {
        (void)simwin::WaitForSingleObject(handle_.get(), simwin::kInfinite);
        handle_.reset();
    }
}

void SleepMilliseconds(std::uint32_t milliseconds) { simwin::Sleep(milliseconds); }

std::int32_t CalendarSeconds() { return simwin::CalendarSeconds(); }

}  // namespace vorelle::platform
