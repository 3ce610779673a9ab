#include "simwin/tick.h"

#include <atomic>
#include <chrono>

namespace simwin {
namespace {

std::atomic<bool> manual{false};
std::atomic<std::uint64_t> manualTick{0};
// Added to the real tick so that it never goes back after a manual stretch.
std::atomic<std::uint64_t> realOffset{0};
std::atomic<std::uint64_t> reads{0};

std::uint64_t RealTick() {
    static const auto start = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) +
           realOffset.load(std::memory_order_acquire);
}

}  // namespace

std::uint64_t TickMilliseconds() {
    reads.fetch_add(1, std::memory_order_relaxed);
    return manual.load(std::memory_order_acquire) ? manualTick.load(std::memory_order_acquire)
                                                   : RealTick();
}

void UseManualTick() {
    if (!manual.load(std::memory_order_acquire)) {
        manualTick.store(RealTick(), std::memory_order_release);
        manual.store(true, std::memory_order_release);
    }
}

void AdvanceTick(std::uint64_t milliseconds) {
    UseManualTick();
    manualTick.fetch_add(milliseconds, std::memory_order_acq_rel);
}

void UseRealTick() {
    if (manual.exchange(false, std::memory_order_acq_rel)) {
        const std::uint64_t stood = manualTick.load(std::memory_order_acquire);
        const std::uint64_t real = RealTick();
        if (stood > real) {
            realOffset.fetch_add(stood - real, std::memory_order_acq_rel);
        }
    }
}

std::uint64_t TickReads() { return reads.load(std::memory_order_relaxed); }

}  // namespace simwin
