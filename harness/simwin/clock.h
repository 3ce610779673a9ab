// The calendar clock of the simulated Windows: real time by default; tests can
// switch to a manual clock, set it and move it forward and back. Reading it is
// cheap (a pollers reads it every millisecond).
#pragma once

#include <cstdint>

namespace simwin {

// The current calendar time in whole seconds (signed 32-bit).
std::int32_t CalendarSeconds();
// Switches to the manual clock, showing `seconds` until set or moved.
void UseManualClock(std::int32_t seconds);
// Sets the manual clock (switches to it when the real clock is in use).
void SetClock(std::int32_t seconds);
// Moves the manual clock by `seconds` (negative: back); switches to it, from real time, first.
void AdvanceClock(std::int32_t seconds);
// Switches back to real time.
void UseRealClock();
// Whether the manual clock is in use.
bool ManualClockInUse();
// How often CalendarSeconds has been read in this process (lets a test wait for a poller's next read).
std::uint64_t ClockReads();

}  // namespace simwin
