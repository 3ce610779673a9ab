// The shutdown with the heap exhausted for the plug-in: a program of its own,
// as it replaces the global allocator. While a test asks, every operator new
// called from the plug-in's code on that thread throws std::bad_alloc.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <set>

#include "host_fixture.h"

namespace {
thread_local const void* refusedLibrary = nullptr;  // the plug-in's base address
std::size_t refusedCount = 0;                       // written on that thread only

const void* LibraryOf(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

void* Allocate(std::size_t size, const void* caller) {
    if (refusedLibrary != nullptr && LibraryOf(caller) == refusedLibrary) {
        ++refusedCount;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size, __builtin_return_address(0)); }
void* operator new[](std::size_t size) { return Allocate(size, __builtin_return_address(0)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size, __builtin_return_address(0));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace vorelle::testing {
namespace {

class ExhaustedHeapTest : public HostTest {};

TEST_F(ExhaustedHeapTest, AShutdownWithNoMemoryLeftStillUnregistersEveryRowAndEndsTheWatcher) {
    StartUp();
    ASSERT_EQ(Result(u"VORL_ChangePrinter", {Text(u"Office Laser")}), u"0");
    void* library = dlopen(VORELLE_PLUGIN_PATH, RTLD_LAZY | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    const void* plugin = LibraryOf(dlsym(library, "FMExternCallProc"));
    dlclose(library);
    // A VORL_GetPrinterAt shows the allocator refusing the plug-in; then the
    // runtime reports the second row out of memory twice (its trace line).
    const std::size_t refusedToACall = WithinBound("the shutdown to return", [&] {
        refusedLibrary = plugin;
        std::string error;
        (void)session_.Call(u"VORL_GetPrinterAt", {Number("1")}, &error);
        const std::size_t refused = refusedCount;
        session_.Host().FailOperation(3, 1, 2);
        session_.Host().Shutdown();
        refusedLibrary = nullptr;
        return refused;
    });
    fmwrapper::DisarmFailure();
    EXPECT_GT(refusedToACall, 0u) << "the failing allocator does not reach the plug-in";
    std::set<std::int16_t> left;
    for (const fmwrapper::RegisteredFunction& function : fmwrapper::RegisteredFunctions()) {
        left.insert(function.id);
    }
    EXPECT_EQ(left, std::set<std::int16_t>{145}) << "a row was not tried";
    EXPECT_EQ(simwin::CountHandles().runningThreads, 0u) << "the watcher outlived the shutdown";
}

}  // namespace
}  // namespace vorelle::testing
