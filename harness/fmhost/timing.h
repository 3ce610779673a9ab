// fmhost's timing mode (fmhost --time N LINE ...): instead of printing each
// line's result, it times the line N times on the host thread and prints the
// figures, one tab-separated line each. Lines are function calls as usual, or
// timing lines ("@...") that time the bare calls a function must make, the
// watcher's reaction to the Print dialog, its search cost and the hand-over
// and shutdown times. scripts/bench runs it under Wine; see TimingUsageText.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "fmhost/session.h"

namespace fmhost {

// Times each of `lines` (standard input's lines when there are none) `count`
// times with the started plug-in of `session`; leaves it started. Returns an
// exit status of host_program.h.
int RunTiming(Session& session, std::uint32_t count, const std::vector<std::string>& lines,
              std::istream& in, std::ostream& out, std::ostream& err);

// What --help says about the timing lines.
std::string_view TimingUsageText();

}  // namespace fmhost
