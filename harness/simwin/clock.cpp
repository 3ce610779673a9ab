#include "simwin/clock.h"

#include <atomic>
#include <ctime>

namespace simwin {
namespace {

std::atomic<bool> manual{false};
std::atomic<std::int32_t> manualSeconds{0};
std::atomic<std::uint64_t> reads{0};

std::int32_t RealSeconds() { return static_cast<std::int32_t>(std::time(nullptr)); }

}  // namespace

std::int32_t CalendarSeconds() {
    reads.fetch_add(1, std::memory_order_relaxed);
    return manual.load(std::memory_order_acquire) ? manualSeconds.load(std::memory_order_acquire)
                                                   : RealSeconds();
}

void UseManualClock(std::int32_t seconds) {
    manualSeconds.store(seconds, std::memory_order_release);
    manual.store(true, std::memory_order_release);
}

void SetClock(std::int32_t seconds) { UseManualClock(seconds); }

void AdvanceClock(std::int32_t seconds) {
    if (!manual.load(std::memory_order_acquire)) {
        UseManualClock(RealSeconds());
    }
    // Atomic arithmetic on signed integers wraps, like the 32-bit count it stands for.
    manualSeconds.fetch_add(seconds, std::memory_order_acq_rel);
}

void UseRealClock() { manual.store(false, std::memory_order_release); }

bool ManualClockInUse() { return manual.load(std::memory_order_acquire); }

std::uint64_t ClockReads() { return reads.load(std::memory_order_relaxed); }

}  // namespace simwin
