// Memory given to the process on Windows. The C runtime's heap (msvcrt.dll)
// belongs to the process, not to this library, so a block that is never freed
// outlives the library's unloading without anything being recorded.
#include "platform/process_memory.h"

namespace vorelle::platform {

void KeepForProcessLifetime(void*) noexcept {}

}  // namespace vorelle::platform
