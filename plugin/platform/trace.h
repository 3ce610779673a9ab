// The one trace point for failed Windows calls. Where the facade turns a
// failure into false or empty, it keeps the call's error code here (and so
// does the shell, with the host's code, where a host operation at shutdown
// failed twice and left something behind), for the people who support a
// user's machine: on Windows as a line of debug output (OutputDebugStringW,
// readable with any debug-output viewer), on the simulated Windows for the
// tests to read. Only failures are traced, so a normal pass of the watcher's
// poll loop says nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorelle::platform {

// "Vorelle: <call> failed, error <code>". Never throws, never allocates.
void TraceFailure(std::u16string_view call, std::uint32_t errorCode) noexcept;

}  // namespace vorelle::platform
