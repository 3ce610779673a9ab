// The string table as data, for builds without a resource compiler.
#pragma once

#include <cstdint>
#include <span>

namespace vorelle::resources {

struct StringEntry {
    std::uint32_t id;
    const char16_t* text;
};

std::span<const StringEntry> StringTable();

}  // namespace vorelle::resources
