// Kernel objects of the simulated Windows: named mutexes in one namespace per
// process (shared by every simulated process in it), threads, and sleeping.
// Mutexes follow Win32: an owner thread, recursive acquisition, abandonment
// when the owner thread ends while holding one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "simwin/handles.h"

namespace simwin {

inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;  // INFINITE

enum class WaitResult { Acquired, Abandoned, TimedOut, Failed };

// CreateMutexW with no security attributes: opens the mutex when one of that name exists
// (`alreadyExists` then true and `initialOwner` ignored), creates it otherwise. Null or empty
// name: an unnamed mutex. Names are case-sensitive. Returns the counted handle; 0 under
// Fault::CreateMutex (kErrorInvalidHandle, as for a name that belongs to an object of another type).
Handle CreateMutex(const char16_t* name, bool initialOwner = false, bool* alreadyExists = nullptr);

// WaitForSingleObject on a mutex (acquire, recursively for its owner) or a thread (its end),
// waiting at most `milliseconds` (kInfinite: no limit). Abandoned when the mutex's owner thread
// ended while holding it (the caller then owns it). Failed (kErrorInvalidHandle, counted) for a
// handle that is not open; Failed (kErrorAccessDenied, not counted) for a mutex under
// Fault::MutexWait.
WaitResult WaitForSingleObject(Handle object, std::uint32_t milliseconds);

// ReleaseMutex: false with kErrorNotOwner when the calling thread does not own the mutex.
bool ReleaseMutex(Handle mutex);

// CloseHandle on a mutex or thread handle: false (kErrorInvalidHandle, counted) when not open.
// A named mutex disappears with its last handle; a thread keeps running without its handle.
bool CloseHandle(Handle object);

using ThreadEntry = void (*)(void* argument);

// CreateThread: runs entry(argument) on a new thread at once; its handle is counted until closed
// and is signalled (WaitForSingleObject) once the thread has ended. 0 when no thread can start.
Handle CreateThread(ThreadEntry entry, void* argument);

// CreateThread for a thread that keeps a library loaded while it runs: `module` is a
// reference to the library (a dlopen handle, or null for none), released with dlclose
// by simwin's own code as the thread's very last act, after `entry` has returned, as
// FreeLibraryAndExitThread does on Windows. Released at once when no thread starts.
Handle CreateThreadHoldingModule(ThreadEntry entry, void* argument, void* module);

// For tests: how thread starts fail from now on, until set back to None. Fail: CreateThread
// returns 0 (kErrorNotEnoughMemory); Throw: it throws std::bad_alloc, as an allocation made
// for the start would.
enum class ThreadStartFailure { None, Fail, Throw };
void FailThreadStarts(ThreadStartFailure how);

// For tests: whether a new thread's reference to its library is refused from now on (as
// LoadLibraryW failing with kErrorNotEnoughMemory), until set back to false.
void RefuseModuleReferences(bool refuse);
bool ModuleReferencesRefused();

// Keeps `block` for the rest of the process's life, never freed: memory a library gave to
// the process, which stays reachable from here once that library has been unloaded.
void KeepForProcessLifetime(const void* block) noexcept;
// How many blocks have been kept so.
std::size_t BlocksKeptForProcessLifetime();
// Whether `block` is one of them.
bool KeptForProcessLifetime(const void* block);

// Sleep: suspends the calling thread for at least `milliseconds` of real time (0: yields).
void Sleep(std::uint32_t milliseconds);
// The milliseconds every thread has asked of Sleep since the process began.
std::uint64_t MillisecondsSlept();

// Whether a mutex of that name exists (a handle to it is open, or a thread owns it).
bool NamedMutexExists(const std::u16string& name);
// Whether a mutex of that name exists and some thread owns it.
bool NamedMutexOwned(const std::u16string& name);

}  // namespace simwin
