// SHA-256 (FIPS 180-4) of a file's bytes, for the report. Windows 2000's
// CryptoAPI has no SHA-256 (its default provider lacks CALG_SHA_256 until
// XP SP3), and the check runs there too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace check {

class Sha256 {
public:
    Sha256();
    void Add(std::span<const std::uint8_t> bytes);
    // The digest as 64 lower-case hexadecimal digits; ends the hashing.
    std::u16string HexDigest();

private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingBytes_ = 0;
    std::uint64_t totalBytes_ = 0;
};

}  // namespace check
