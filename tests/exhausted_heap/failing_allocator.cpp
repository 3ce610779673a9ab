#include "failing_allocator.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace vorelle::testing {
namespace {

thread_local const void* refusedLibrary = nullptr;  // the library's base
std::atomic<std::size_t> refused{0};

const void* LibraryOf(const void* address) {
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

void* Allocate(std::size_t size, const void* caller) {
    if (refusedLibrary != nullptr && LibraryOf(caller) == refusedLibrary) {
        ++refused;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

}  // namespace

void RefusePluginAllocations(const void* address) {
    refused = 0;
    refusedLibrary = address != nullptr ? LibraryOf(address) : nullptr;
}

std::size_t RefusedAllocations() { return refused.load(); }

}  // namespace vorelle::testing

void* operator new(std::size_t size) { return vorelle::testing::Allocate(size, __builtin_return_address(0)); }
void* operator new[](std::size_t size) { return vorelle::testing::Allocate(size, __builtin_return_address(0)); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
