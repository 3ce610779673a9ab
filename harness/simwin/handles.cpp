#include <atomic>

#include "simwin/handle_accounting.h"

namespace simwin {
namespace {

std::atomic<Handle> nextHandle{0x1000};
std::atomic<std::size_t> invalidUses{0};

}  // namespace

namespace detail {

// Steps of 4, like Windows handles; never reused.
Handle NewHandleValue() { return nextHandle.fetch_add(4, std::memory_order_relaxed); }

void NoteInvalidHandle() { invalidUses.fetch_add(1, std::memory_order_relaxed); }

}  // namespace detail

HandleCounts CountHandles() {
    HandleCounts counts;
    detail::AddMachineCounts(counts);
    detail::AddKernelCounts(counts);
    counts.invalidUses = invalidUses.load(std::memory_order_relaxed);
    return counts;
}

void ClearInvalidHandleUses() { invalidUses.store(0, std::memory_order_relaxed); }

}  // namespace simwin
