// Handles of the simulated Windows and their accounting, so that tests can
// assert that nothing leaks and that no handle is used after it was closed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace simwin {

// A printer, registry key, mutex or thread handle; 0 means none. Values are
// never reused within a process, so a closed handle stays invalid.
using Handle = std::uintptr_t;

struct HandleCounts {
    std::size_t printers = 0;        // open printer handles (OpenPrinter)
    std::size_t keys = 0;            // open registry keys (RegOpenKey)
    std::size_t mutexes = 0;         // open mutex handles (CreateMutex), every holder included
    std::size_t threads = 0;         // open thread handles (CreateThread)
    std::size_t runningThreads = 0;  // threads started by CreateThread that have not ended
    std::size_t startedThreads = 0;  // threads CreateThread started since the process began
    std::size_t invalidUses = 0;     // calls given a handle that was not open (or of the wrong kind)

    std::size_t kernel() const { return mutexes + threads; }  // open kernel handles
};

// A snapshot of the handle accounting of this process.
HandleCounts CountHandles();

// Sets the count of invalid handle uses back to 0 (open handles are not touched).
void ClearInvalidHandleUses();

}  // namespace simwin
