// Threads, the named mutex, sleeping and the clock on the simulated Windows.
#include "platform/threads.h"

#include <dlfcn.h>
#include <link.h>

#include <optional>

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

// The thread's reference to the library this code is linked into, as
// LoadLibraryW by the library's own path takes one: a dlopen handle; null
// when this code is not in a library of its own (a test program, whose code
// is never unloaded). Empty when it cannot be taken: the simulated Windows
// refuses it when a test asks so, or the library is not found.
std::optional<void*> ReferenceOwnModule() {
    if (simwin::ModuleReferencesRefused()) {
        simwin::SetLastError(simwin::kErrorNotEnoughMemory);
        TraceLastError(u"LoadLibraryW");
        return std::nullopt;
    }
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&ReferenceOwnModule), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return std::nullopt;
    }
    if (map->l_name == nullptr || map->l_name[0] == '\0') {
        return nullptr;  // the program itself
    }
    void* module = dlopen(map->l_name, RTLD_LAZY | RTLD_NOLOAD);
    if (module == nullptr) {
        return std::nullopt;
    }
    return module;
}

}  // namespace

Thread Thread::Start(ThreadEntry entry, void* argument) {
    const std::optional<void*> module = ReferenceOwnModule();
    if (!module) {
        return Thread{};  // no thread without its reference, as on Windows
    }
    const simwin::Handle thread = simwin::CreateThreadHoldingModule(entry, argument, *module);
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
