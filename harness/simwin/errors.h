// Error codes of the simulated Windows (the Win32 values) and the calling
// thread's last error.
#pragma once

#include <cstdint>

namespace simwin {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorInvalidLevel = 124;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorNotOwner = 288;
inline constexpr std::uint32_t kErrorKeyDeleted = 1018;
inline constexpr std::uint32_t kErrorInvalidPrinterName = 1801;
inline constexpr std::uint32_t kErrorInvalidWindowHandle = 1400;
inline constexpr std::uint32_t kErrorInvalidPrinterState = 1906;
inline constexpr std::uint32_t kErrorSplNoStartDoc = 3003;
inline constexpr std::uint32_t kErrorTimeout = 1460;
inline constexpr std::uint32_t kErrorRpcUnavailable = 1722;

// GetLastError: the code the calling thread's last failed spooler or kernel call set.
std::uint32_t GetLastError();
// SetLastError for the calling thread.
void SetLastError(std::uint32_t code);

}  // namespace simwin
