// A text parameter's units a chunk at a time, read from the host's text into
// one buffer: the text is never held whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "functions/function_frame.h"
#include "hostsdk/FMWrapper.h"
#include "printers/printer_services.h"

namespace vorelle::functions {

class DataUnits {
public:
    // The largest part read at once, in units.
    static constexpr std::size_t kChunkUnits = printers::kRawChunkBytes;

    DataUnits(const FMX_DataVect& parameters, std::uint32_t position, std::uint32_t length)
        : parameters_(parameters),
          position_(position),
          length_(length),
          units_(std::min<std::size_t>(length, kChunkUnits)) {}

    std::uint32_t length() const { return length_; }

    // Units `from` to `from + count` (count at most kChunkUnits), valid until
    // the next Read.
    std::span<const char16_t> Read(std::size_t from, std::size_t count) {
        const std::span<char16_t> part(units_.data(), count);
        ReadTextParameterPart(parameters_, position_, static_cast<std::uint32_t>(from), part);
        return part;
    }

    // The chunk that starts at `from`: up to kChunkUnits units, fewer at the end.
    std::span<const char16_t> ChunkAt(std::size_t from) {
        return Read(from, std::min<std::size_t>(length_ - from, kChunkUnits));
    }

private:
    const FMX_DataVect& parameters_;
    std::uint32_t position_;
    std::uint32_t length_;
    std::vector<char16_t> units_;
};

}  // namespace vorelle::functions
