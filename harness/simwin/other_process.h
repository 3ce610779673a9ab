// For tests: another process on the same machine, reduced to what matters to
// the plug-in: it can hold a named mutex of the shared namespace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace simwin {

class UiThread;

// GetCurrentProcessId of the calling thread: this process's id, unless the
// thread runs for another simulated process.
std::uint32_t CurrentProcessId();

// A user-interface thread of another process on the same desktop: the windows
// it creates belong to that process (GetWindowThreadProcessId tells them apart),
// though they are found among the same top-level windows.
class OtherProcessUi {
public:
    OtherProcessUi();
    ~OtherProcessUi();
    OtherProcessUi(const OtherProcessUi&) = delete;
    OtherProcessUi& operator=(const OtherProcessUi&) = delete;

    UiThread& Thread() { return *thread_; }
    std::uint32_t ProcessId() const { return id_; }

private:
    std::unique_ptr<UiThread> thread_;
    std::uint32_t id_;
};

// A thread standing for another process that holds a named mutex until told
// otherwise. Move-only; the destructor releases the mutex if still held.
class MutexHeldElsewhere {
public:
    // Opens (or creates) the named mutex on the other process's thread and returns once that
    // thread owns it (waiting while someone else holds it).
    explicit MutexHeldElsewhere(const std::u16string& name);
    ~MutexHeldElsewhere();
    MutexHeldElsewhere(MutexHeldElsewhere&&) noexcept;
    MutexHeldElsewhere& operator=(MutexHeldElsewhere&&) noexcept;
    MutexHeldElsewhere(const MutexHeldElsewhere&) = delete;
    MutexHeldElsewhere& operator=(const MutexHeldElsewhere&) = delete;

    // The other process releases the mutex and closes its handle; returns once done.
    void Release();
    // The other process ends while holding the mutex: its next waiter gets WaitResult::Abandoned.
    void Abandon();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace simwin
