#include "simwin/errors.h"

namespace simwin {
namespace {
thread_local std::uint32_t lastError = kErrorSuccess;
}  // namespace

std::uint32_t GetLastError() { return lastError; }

void SetLastError(std::uint32_t code) { lastError = code; }

}  // namespace simwin
