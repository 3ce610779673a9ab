#include "functions/hex_data.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace vorelle::functions {

namespace {

// A unit's kind: a digit's value (0 to 15), kBlank (space, tab, CR, LF) or a
// kind with kOther set (every other unit).
constexpr std::uint8_t kBlank = 0x20;
constexpr std::uint8_t kOther = 0x40;

// Every unit's kind, looked up in one step.
constexpr std::array<std::uint8_t, 0x10000> kUnitKinds = [] {
    std::array<std::uint8_t, 0x10000> kinds{};
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

std::uint8_t KindOf(char16_t unit) { return kUnitKinds[unit]; }

bool IsDigit(std::uint8_t kind) { return kind < 16; }

// How many of the first `most` pairs of units at `units` are two digits each,
// before the first that is not: the usual run of HexData, looked at in one
// loop; with kMake, each pair's byte is made into `out` as well.
template <bool kMake>
std::size_t WholePairs(const char16_t* units, std::size_t most, std::uint8_t* out = nullptr) {
    std::size_t pair = 0;
    for (; pair < most; ++pair) {
        const std::uint8_t high = KindOf(units[2 * pair]);
        const std::uint8_t low = KindOf(units[2 * pair + 1]);
        if (!IsDigit(static_cast<std::uint8_t>(high | low))) {
            break;
        }
        if constexpr (kMake) {
            out[pair] = static_cast<std::uint8_t>(high << 4 | low);
        }
    }
    return pair;
}

}  // namespace

HexCheck CheckHexData(DataUnits& units) {
    HexCheck check;
    // Between pairs, inside a pair after its first digit, or inside a pair
    // after a blank that followed its first digit.
    enum class Place { Between, Half, HalfThenBlank } place = Place::Between;
    for (std::size_t from = 0; from < units.length(); from += DataUnits::kChunkUnits) {
        const std::span<const char16_t> part = units.ChunkAt(from);
        for (std::size_t at = 0; at < part.size();) {
            if (place == Place::Between) {
                const std::size_t pairs = WholePairs<false>(part.data() + at, (part.size() - at) / 2);
                check.bytes += pairs;
                at += 2 * pairs;
                if (at == part.size()) {
                    break;
                }
            }
            const std::uint8_t kind = KindOf(part[at++]);
            if (kind == kBlank) {
                place = place == Place::Between ? Place::Between : Place::HalfThenBlank;
                continue;
            }
            if (!IsDigit(kind)) {
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
    if (offset != produced_) {
        throw std::logic_error("HexData's bytes are made in order");
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
        // Locals: a store through `out` may alias any member.
        const char16_t* const units = part_.data();
        const std::size_t end = part_.size();
        std::uint8_t* const out = bytes.data() + filled;
        const std::size_t wanted = bytes.size() - filled;
        std::uint8_t high = high_;
        bool half = half_;
        std::size_t at = nextUnit_ - partFrom_;
        std::size_t made = 0;
        while (at < end && made < wanted) {
            // Checked already: digits in pairs, blanks between them.
            if (!half) {
                // The run of whole pairs, made in one loop.
                const std::size_t pairs =
                    WholePairs<true>(units + at, std::min((end - at) / 2, wanted - made), out + made);
                made += pairs;
                at += 2 * pairs;
                if (at == end || made == wanted) {
                    break;
                }
            }
            const std::uint8_t kind = KindOf(units[at++]);
            if (kind == kBlank) {
                continue;
            }
            if (!half) {
                high = kind;
                half = true;
                continue;
            }
            half = false;
            out[made++] = static_cast<std::uint8_t>(high << 4 | kind);
        }
        high_ = high;
        half_ = half;
        produced_ += made;
        nextUnit_ = partFrom_ + at;
        filled += made;
    }
}

}  // namespace vorelle::functions
