#include "simwin/tick.h"

#include "simwin/process_end.h"

#include <atomic>
#include <chrono>

namespace simwin {
namespace {

std::atomic<bool> manual{false};
std::atomic<std::uint32_t> manualTick{0};
// Added to the real tick (modulo 2^32) so that it goes on from where a manual
// stretch left it.
std::atomic<std::uint32_t> realOffset{0};
std::atomic<std::uint64_t> reads{0};

std::uint32_t RealTick() {
    static const auto start = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) +
        realOffset.load(std::memory_order_acquire));
}

}  // namespace

std::uint32_t TickMilliseconds() {
    StopIfProcessEnding();
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

void PlaceTick(std::uint32_t milliseconds) {
    UseManualTick();
    manualTick.store(milliseconds, std::memory_order_release);
}

void AdvanceTick(std::uint32_t milliseconds) {
    UseManualTick();
    manualTick.fetch_add(milliseconds, std::memory_order_acq_rel);  // unsigned: wraps
}

void UseRealTick() {
    if (manual.exchange(false, std::memory_order_acq_rel)) {
        const std::uint32_t stood = manualTick.load(std::memory_order_acquire);
        const std::uint32_t real = RealTick();
        // Wherever it stood, placed or wrapped: the real tick goes on from there.
        realOffset.fetch_add(static_cast<std::uint32_t>(stood - real), std::memory_order_acq_rel);
    }
}

std::uint64_t TickReads() { return reads.load(std::memory_order_relaxed); }

}  // namespace simwin
