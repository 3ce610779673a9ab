#include "fmwrapper/call_log.h"

namespace fmwrapper {
namespace {

// Written and read on the host's thread, as the calls themselves are made.
bool logging = false;
std::vector<LoggedCall> logged;

}  // namespace

void LogCall(const char* operation, std::size_t size, std::uint32_t position, std::uint32_t count) {
    if (logging) {
        logged.push_back({operation, static_cast<std::uint32_t>(size), position, count});
    }
}

void LogCalls(bool on) {
    if (on) {
        logged.clear();
    }
    logging = on;
}

std::vector<LoggedCall> CallLog() { return logged; }

}  // namespace fmwrapper
