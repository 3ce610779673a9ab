// Which per-user key holds the host application's preferences, by host version.
#pragma once

#include <string>
#include <string_view>

namespace vorelle::printers {

// The preferences key path below HKEY_CURRENT_USER for the host's version
// text, or the empty text when the version is not one the plug-in knows.
std::u16string ChoosePreferencesPath(std::u16string_view hostVersion);

}  // namespace vorelle::printers
