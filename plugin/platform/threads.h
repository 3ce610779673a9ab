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
// default stack size, running at once. The owner joins it: the destructor
// waits for the thread to end, so no thread outlives its owner's code.
class Thread {
public:
    Thread() = default;
    [[nodiscard]] static Thread Start(ThreadEntry entry, void* argument);  // empty on failure
    ~Thread() { Join(); }

    Thread(Thread&&) noexcept = default;
    Thread& operator=(Thread&& other) noexcept {
        if (this != &other) {
            Join();
            handle_ = std::move(other.handle_);
        }
        return *this;
    }

    explicit operator bool() const { return static_cast<bool>(handle_); }
    // Waits until the thread has ended and closes it. Nothing when empty.
    void Join();

private:
    explicit Thread(RawHandle handle) : handle_(handle) {}
    UniqueHandle<KernelHandleTraits> handle_;
};

// Sleep.
void SleepMilliseconds(std::uint32_t milliseconds);

// The current calendar time in whole seconds.
std::int32_t CalendarSeconds();

}  // namespace vorelle::platform
