// Memory given to the process on the simulated Windows: the simulated
// Windows keeps the block, so it stays reachable (and a leak checker sees it
// so) after the plug-in's library has been unloaded.
#include "platform/process_memory.h"

#include "simwin/kernel.h"

namespace vorelle::platform {

void KeepForProcessLifetime(void* block) noexcept { simwin::KeepForProcessLifetime(block); }

}  // namespace vorelle::platform
