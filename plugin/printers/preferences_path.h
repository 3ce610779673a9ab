// Which per-user key holds the host application's preferences, by host version.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vorelle::printers {

// One FileMaker version the plug-in knows: the mark its version text holds
// ("11.0"), the word of its lettered edition ("Advanced") and the key of
// each edition below HKEY_CURRENT_USER.
struct PreferencesRow {
    std::u16string_view mark;
    std::u16string_view editionWord;
    std::u16string_view editionPath;
    std::u16string_view plainPath;
};

// The rows in the order they are tried: the first mark the version text
// contains decides.
std::span<const PreferencesRow> PreferencesTable();

// The preferences key path below HKEY_CURRENT_USER for the host's version
// text, or the empty text when the version is not one the plug-in knows.
std::u16string ChoosePreferencesPath(std::u16string_view hostVersion);

}  // namespace vorelle::printers
