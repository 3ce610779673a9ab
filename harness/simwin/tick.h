// The tick count of the simulated Windows (GetTickCount): a 32-bit count of
// milliseconds that wraps to 0 every 2^32 ms (49.7 days), as Windows' own.
// Real elapsed milliseconds by default; tests can switch to a manual tick,
// make it jump (as after a suspended machine or a stopped process) and place
// it just before the wrap (a machine that has run for 49.7 days).
#pragma once

#include <cstdint>

namespace simwin {

// Milliseconds since an arbitrary start, modulo 2^32; never goes back except
// by wrapping.
std::uint32_t TickMilliseconds();
// Switches to the manual tick, standing at its current value until moved.
void UseManualTick();
// Switches to the manual tick and places it at `milliseconds`, e.g. just
// before the wrap. Only for a test's start: whatever read the tick before
// sees it jump.
void PlaceTick(std::uint32_t milliseconds);
// Moves the manual tick forward, wrapping past 2^32 - 1 to 0 (switches to it
// first when the real tick is in use).
void AdvanceTick(std::uint32_t milliseconds);
// Switches back to the real tick; it goes on from where the manual one stood.
void UseRealTick();
// How often TickMilliseconds has been read in this process (lets a test wait for a poller's next read).
std::uint64_t TickReads();

}  // namespace simwin
