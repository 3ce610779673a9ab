// Threads, the named mutex, sleeping and the calendar clock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/handle.h"

namespace vorelle::platform {

struct KernelHandleTraits {
    static void Close(RawHandle handle);  // CloseHandle
};

enum class WaitResult { Acquired, Abandoned, TimedOut, Failed };

class NamedMutex {
public:
    NamedMutex() = default;
    // CreateMutexW: no security attributes, not initially owned; opens the
    // mutex when one of that name exists. Empty when the call fails.
    [[nodiscard]] static NamedMutex Create(const std::u16string& name);

    explicit operator bool() const { return static_cast<bool>(handle_); }

    // WaitForSingleObject. A failed or empty mutex gives Failed at once.
    [[nodiscard]] WaitResult Wait(std::uint32_t milliseconds) const;
    // ReleaseMutex.
    [[nodiscard]] bool Release() const;
    // CloseHandle now rather than at scope end.
    void Close() { handle_.reset(); }

private:
    explicit NamedMutex(RawHandle handle) : handle_(handle) {}
    UniqueHandle<KernelHandleTraits> handle_;
};

using ThreadEntry = void (*)(void* argument);

// A thread started with one pointer argument, at normal priority and with the
// default stack size, running at once. The thread holds its own reference to
// this library from before it starts and releases it as its very last act
// (FreeLibraryAndExitThread), so the library stays loaded, its code mapped,
// for as long as the thread runs, whoever unloads it. Nothing here ever waits
// without a bound: the destructor lets a running thread go on alone.
class Thread {
public:
    Thread() = default;
    // Empty when no thread starts, and when the thread's own reference to
    // this library cannot be taken (no thread is then started); may throw
    // std::bad_alloc.
    [[nodiscard]] static Thread Start(ThreadEntry entry, void* argument);
    ~Thread() { Detach(); }

    Thread(Thread&&) noexcept = default;
    Thread& operator=(Thread&& other) noexcept {
        if (this != &other) {
            Detach();
            handle_ = std::move(other.handle_);
        }
        return *this;
    }

    explicit operator bool() const { return static_cast<bool>(handle_); }
    // Waits at most `milliseconds` for the thread to end; closes it and returns
    // true when it has (or when empty), false (still owned) when time ran out.
    [[nodiscard]] bool JoinFor(std::uint32_t milliseconds);
    // Closes the handle without waiting; the thread runs on alone.
    void Detach() { handle_.reset(); }

private:
    explicit Thread(RawHandle handle) : handle_(handle) {}
    UniqueHandle<KernelHandleTraits> handle_;
};

// Sleep.
void SleepMilliseconds(std::uint32_t milliseconds);

// The current calendar time in whole seconds.
std::int32_t CalendarSeconds();

// Milliseconds on the monotonic tick count (GetTickCount): never set back,
// goes on while the machine is suspended, and wraps to 0 every 2^32 ms
// (49.7 days).
[[nodiscard]] std::uint32_t TickMilliseconds();

// Milliseconds elapsed on the tick since `tick` was read: the unsigned 32-bit
// difference, right across the wrap (for spans under 49.7 days). Every time
// limit compares this, never a tick with a deadline.
[[nodiscard]] inline std::uint32_t MillisecondsSince(std::uint32_t tick) {
    return static_cast<std::uint32_t>(TickMilliseconds() - tick);
}

}  // namespace vorelle::platform
