#include "functions/hex_data.h"

#include <stdexcept>

namespace vorelle::functions {

namespace {

bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n'; }

// The digit's value, or -1 for a unit that is no hexadecimal digit.
int DigitValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') {
        return unit - u'0';
    }
    if (unit >= u'a' && unit <= u'f') {
        return unit - u'a' + 10;
    }
    if (unit >= u'A' && unit <= u'F') {
        return unit - u'A' + 10;
    }
    return -1;
}

}  // namespace

HexCheck CheckHexData(DataUnits& units) {
    HexCheck check;
    // Between pairs, inside a pair after its first digit, or inside a pair
    // after a blank that followed its first digit.
    enum class Place { Between, Half, HalfThenBlank } place = Place::Between;
    for (std::size_t from = 0; from < units.length(); from += DataUnits::kChunkUnits) {
        for (const char16_t unit : units.ChunkAt(from)) {
            if (IsBlank(unit)) {
                place = place == Place::Between ? Place::Between : Place::HalfThenBlank;
                continue;
            }
            if (DigitValue(unit) < 0) {
                check.status = HexCheck::Status::NotHex;
                return check;
            }
            switch (place) {
                case Place::Between:
                    place = Place::Half;
                    break;
                case Place::Half:
                    place = Place::Between;
                    ++check.bytes;
                    break;
                case Place::HalfThenBlank:
                    check.status = HexCheck::Status::BlankInPair;
                    return check;
            }
        }
    }
    if (place != Place::Between) {
        check.status = HexCheck::Status::OddDigits;
    }
    return check;
}

void HexBytes::Fill(std::size_t offset, std::span<std::uint8_t> bytes) {
    if (offset < produced_) {
        nextUnit_ = partFrom_ = produced_ = 0;
        part_ = {};
        half_ = false;
    }
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        if (nextUnit_ == partFrom_ + part_.size()) {
            if (nextUnit_ >= units_.length()) {
                throw std::runtime_error("HexData ended before its last byte");
            }
            partFrom_ = nextUnit_;
            part_ = units_.ChunkAt(partFrom_);
        }
        const int digit = DigitValue(part_[nextUnit_++ - partFrom_]);
        if (digit < 0) {
            continue;  // a blank between pairs
        }
        if (!half_) {
            high_ = static_cast<std::uint8_t>(digit);
            half_ = true;
            continue;
        }
        half_ = false;
        if (produced_++ >= offset) {
            bytes[filled++] = static_cast<std::uint8_t>(high_ << 4 | digit);
        }
    }
}

}  // namespace vorelle::functions
