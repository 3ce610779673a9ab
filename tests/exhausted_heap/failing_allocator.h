// A global allocator that refuses the plug-in's own code, on one thread, while
// a test asks it to: the heap as an exhausted process has it.
#pragma once

#include <cstddef>

namespace vorelle::testing {

// From now on, every operator new called from the code of the library that
// holds `address` throws std::bad_alloc on the calling thread, until
// RefusePluginAllocations(nullptr); how many it refused since then.
void RefusePluginAllocations(const void* address);
std::size_t RefusedAllocations();

}  // namespace vorelle::testing
