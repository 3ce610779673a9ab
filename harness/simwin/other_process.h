// For tests: another process on the same machine, reduced to what matters to
// the plug-in: it can hold a named mutex of the shared namespace.
#pragma once

#include <memory>
#include <string>

namespace simwin {

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
