#include "functions/hex_data.h"

#include <array>
#include <stdexcept>

namespace vorelle::functions {

namespace {

constexpr std::uint8_t kBlank = 16;
constexpr std::uint8_t kOther = 17;

// Each unit below U+0100: its digit's value, kBlank (space, tab, CR, LF) or
// kOther.
constexpr std::array<std::uint8_t, 256> kUnitKinds = [] {
    std::array<std::uint8_t, 256> kinds{};
    kinds.fill(kOther);
    for (int digit = 0; digit < 10; ++digit) {
        kinds['0' + digit] = static_cast<std::uint8_t>(digit);
    }
    for (int letter = 0; letter < 6; ++letter) {
        kinds['a' + letter] = kinds['A' + letter] = static_cast<std::uint8_t>(10 + letter);
    }
    kinds[' '] = kinds['\t'] = kinds['\r'] = kinds['\n'] = kBlank;
    return kinds;
}();

std::uint8_t KindOf(char16_t unit) { return unit < kUnitKinds.size() ? kUnitKinds[unit] : kOther; }

}  // namespace

HexCheck CheckHexData(DataUnits& units) {
    HexCheck check;
    // Between pairs, inside a pair after its first digit, or inside a pair
    // after a blank that followed its first digit.
    enum class Place { Between, Half, HalfThenBlank } place = Place::Between;
    for (std::size_t from = 0; from < units.length(); from += DataUnits::kChunkUnits) {
        for (const char16_t unit : units.ChunkAt(from)) {
            const std::uint8_t kind = KindOf(unit);
            if (kind == kBlank) {
                place = place == Place::Between ? Place::Between : Place::HalfThenBlank;
                continue;
            }
            if (kind == kOther) {
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
        // The rest of this part, or as much as the bytes asked for need.
        for (std::size_t at = nextUnit_ - partFrom_; at < part_.size() && filled < bytes.size(); ++at) {
            const std::uint8_t kind = KindOf(part_[at]);
            if (kind == kBlank) {
                continue;  // checked: blanks stand only between pairs
            }
            if (!half_) {
                high_ = kind;
                half_ = true;
                continue;
            }
            half_ = false;
            if (produced_++ >= offset) {
                bytes[filled++] = static_cast<std::uint8_t>(high_ << 4 | kind);
            }
            nextUnit_ = partFrom_ + at + 1;
        }
        if (filled < bytes.size()) {
            nextUnit_ = partFrom_ + part_.size();
        }
    }
}

}  // namespace vorelle::functions
