// Which per-user key holds the host application's preferences, chosen from the
// host's version text: the host's own knowledge of where it keeps them.
#pragma once

#include <string>
#include <string_view>

namespace fmhost {

// The preferences key path below HKEY_CURRENT_USER for `hostVersion`; empty
// when the text names no known version.
std::u16string PreferencesPathFor(std::u16string_view hostVersion);

}  // namespace fmhost
