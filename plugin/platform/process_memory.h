// Memory given to the process for the rest of its life.
#pragma once

namespace vorelle::platform {

// Gives `block` (allocated with new) to the process for good: it is never
// freed and stays valid after this library has been unloaded. For a buffer
// lent to another thread that may still write into it at any later time, and
// for a record that a thread which was let go may still read.
void KeepForProcessLifetime(void* block) noexcept;

}  // namespace vorelle::platform
