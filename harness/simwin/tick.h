// The monotonic tick count of the simulated Windows (GetTickCount64): real
// elapsed milliseconds by default; tests can switch to a manual tick and make
// it jump, as after a suspended machine or a stopped process.
#pragma once

#include <cstdint>

namespace simwin {

// Milliseconds since an arbitrary start; never goes back.
std::uint64_t TickMilliseconds();
// Switches to the manual tick, standing at its current value until moved.
void UseManualTick();
// Moves the manual tick forward (switches to it first when the real tick is in use).
void AdvanceTick(std::uint64_t milliseconds);
// Switches back to the real tick; it goes on from where the manual one stood.
void UseRealTick();
// How often TickMilliseconds has been read in this process (lets a test wait for a poller's next read).
std::uint64_t TickReads();

}  // namespace simwin
