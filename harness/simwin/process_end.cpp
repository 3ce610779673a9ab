#include "simwin/process_end.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "simwin/handles.h"

namespace simwin {
namespace {

std::atomic<bool> ending{false};
std::atomic<bool> noticeRunning{false};
std::atomic<std::size_t> stopped{0};

void MarkEnding() { ending.store(true); }

// exit() runs the handlers registered with atexit before the loader runs the
// libraries' finalizers: a library's finalizer then sees the process ending.
__attribute__((constructor)) void WatchForExit() { (void)std::atexit(&MarkEnding); }

// The library's finalizers in the loader's order: DT_FINI_ARRAY from its end,
// then DT_FINI.
void RunFinalizers(void* module) {
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        return;
    }
    using Finalizer = void (*)();
    const ElfW(Addr)* array = nullptr;
    std::size_t count = 0;
    Finalizer last = nullptr;
    for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
        switch (entry->d_tag) {
            case DT_FINI_ARRAY:
                array = reinterpret_cast<const ElfW(Addr)*>(map->l_addr + entry->d_un.d_ptr);
                break;
            case DT_FINI_ARRAYSZ:
                count = entry->d_un.d_val / sizeof(ElfW(Addr));
                break;
            case DT_FINI:
                last = reinterpret_cast<Finalizer>(map->l_addr + entry->d_un.d_ptr);
                break;
            default:
                break;
        }
    }
    for (std::size_t i = count; array != nullptr && i-- > 0;) {
        reinterpret_cast<Finalizer>(array[i])();
    }
    if (last != nullptr) {
        last();
    }
}

thread_local bool startedByKernel = false;

}  // namespace

void NoteThreadStartedByKernel() { startedByKernel = true; }

bool ProcessEnding() { return ending.load(); }

void StopIfProcessEnding() {
    if (!startedByKernel || !ending.load()) {
        return;
    }
    stopped.fetch_add(1);
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

void EndProcess(void* module, int status) {
    ending.store(true);
    const auto start = std::chrono::steady_clock::now();
    while (stopped.load() < CountHandles().runningThreads &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    noticeRunning.store(true);
    RunFinalizers(module);
    noticeRunning.store(false);
    _exit(status);
}

bool LibraryExitNoticeRunning() { return noticeRunning.load(); }

}  // namespace simwin
