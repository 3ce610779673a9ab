// Threads, the named mutex, sleeping and the clock on the simulated Windows.
#include "platform/threads.h"

#include "simwin/clock.h"
#include "simwin/kernel.h"

namespace vorelle::platform {

void KernelHandleTraits::Close(RawHandle handle) { (void)simwin::CloseHandle(handle); }

NamedMutex NamedMutex::Create(const std::u16string& name) {
    return NamedMutex(simwin::CreateMutex(name.c_str(), false));
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
    return WaitResult::Failed;
}

bool NamedMutex::Release() const { return handle_ && simwin::ReleaseMutex(handle_.get()); }

Thread Thread::Start(ThreadEntry entry, void* argument) { return Thread(simwin::CreateThread(entry, argument)); }

void Thread::Join() {
    if (handle_) {
        (void)simwin::WaitForSingleObject(handle_.get(), simwin::kInfinite);
        handle_.reset();
    }
}

void SleepMilliseconds(std::uint32_t milliseconds) { simwin::Sleep(milliseconds); }

std::int32_t CalendarSeconds() { return simwin::CalendarSeconds(); }

}  // namespace vorelle::platform
