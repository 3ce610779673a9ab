// HexData: bytes written as pairs of hexadecimal digits (either letter case),
// blanks (space, tab, CR, LF) allowed between pairs: "1B 40 1d 56 00".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "functions/data_units.h"

namespace vorelle::functions {

// What a look at every unit of HexData found: its byte count, or the first
// fault.
struct HexCheck {
    enum class Status { Ok, NotHex, BlankInPair, OddDigits };
    Status status = Status::Ok;
    std::size_t bytes = 0;
};
HexCheck CheckHexData(DataUnits& units);

// The bytes of HexData that CheckHexData found sound, read again a chunk of
// units at a time as they are asked for, in order.
class HexBytes {
public:
    explicit HexBytes(DataUnits& units) : units_(units) {}

    // Bytes `offset` to `offset + bytes.size()`, `offset` the count made so
    // far; raises for any other offset, and when the text holds fewer bytes
    // (it is no longer the text that was checked).
    void Fill(std::size_t offset, std::span<std::uint8_t> bytes);

private:
    DataUnits& units_;
    std::size_t nextUnit_ = 0;  // the next unit to take
    std::size_t partFrom_ = 0;  // where part_ starts
    std::span<const char16_t> part_{};
    std::size_t produced_ = 0;  // bytes made so far
    std::uint8_t high_ = 0;
    bool half_ = false;  // high_ holds a pair's first digit
};

}  // namespace vorelle::functions
