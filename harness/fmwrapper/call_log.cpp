#include "fmwrapper/call_log.h"

#include <atomic>
#include <mutex>

namespace fmwrapper {
namespace {

std::atomic<bool> logging{false};
std::mutex logMutex;
std::vector<LoggedCall> logged;

}  // namespace

void LogCall(const char* operation, std::size_t size, std::uint32_t position, std::uint32_t count) {
    if (logging.load()) {
        std::lock_guard lock(logMutex);
        logged.push_back({operation, static_cast<std::uint32_t>(size), position, count});
    }
}

void LogCalls(bool on) {
    std::lock_guard lock(logMutex);
    if (on) {
        logged.clear();
    }
    logging.store(on);
}

std::vector<LoggedCall> CallLog() {
    std::lock_guard lock(logMutex);
    return logged;
}

}  // namespace fmwrapper
