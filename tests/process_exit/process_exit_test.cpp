// The process ending without a shutdown message (FileMaker's crash handler,
// a logoff, ExitProcess) while a watcher searches: Windows stops the watcher
// wherever it is, perhaps holding the heap's lock, and then gives the library
// its process-exit notice. Nothing of the plug-in's may allocate or free then.
// The simulated Windows ends the process so (simwin::EndProcess); this
// program's allocator ends it with status 3 at any new or delete made while
// the library's exit notice runs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "simwin/process_end.h"
#include "simwin/tick.h"
#include "tests/plugin/host_fixture.h"

namespace {

void RefuseDuringTheExitNotice(const char* what) noexcept {
    if (simwin::LibraryExitNoticeRunning()) {
        (void)!write(STDERR_FILENO, what, std::strlen(what));
        _exit(3);
    }
}

}  // namespace

// Every form a library calls: the sanitizers' runtimes would otherwise give
// some of them, and free what this one allocated. Kept out of line: inlined,
// GCC takes the replacement's free for a mismatch.
[[gnu::noinline]] void* operator new(std::size_t size) {
    RefuseDuringTheExitNotice("the plug-in allocated at process exit\n");
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    RefuseDuringTheExitNotice("the plug-in allocated at process exit\n");
    return std::malloc(size != 0 ? size : 1);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}

[[gnu::noinline]] void operator delete(void* block) noexcept {
    RefuseDuringTheExitNotice("the plug-in freed at process exit\n");
    std::free(block);
}
[[gnu::noinline]] void operator delete[](void* block) noexcept { operator delete(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
[[gnu::noinline]] void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }
[[gnu::noinline]] void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete(block); }

namespace vorelle::testing {
namespace {

class ProcessExitTest : public HostTest {};

TEST_F(ProcessExitTest, AnExitWhileAWatcherSearchesNeitherAllocatesNorFrees) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StartUp();
            if (Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}) != u"0") {
                std::_Exit(4);
            }
            const std::uint64_t reads = simwin::TickReads();
            if (!Eventually([&] { return simwin::TickReads() > reads + 50; })) {
                std::_Exit(5);  // no watcher searches
            }
            simwin::EndProcess(dlopen(VORELLE_PLUGIN_PATH, RTLD_LAZY | RTLD_NOLOAD), 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vorelle::testing
