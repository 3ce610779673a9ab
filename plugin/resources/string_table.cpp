#include "resources/string_table.h"

namespace vorelle::resources {
namespace {

#define VORELLE_STRING(id, text) StringEntry{id, u"" text},
constexpr StringEntry kEntries[] = {
#include "resources/string_table.inc"
};
#undef VORELLE_STRING

}  // namespace

std::span<const StringEntry> StringTable() { return kEntries; }

}  // namespace vorelle::resources
