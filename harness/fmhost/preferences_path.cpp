#include "fmhost/preferences_path.h"

#include "printers/preferences_path.h"

namespace fmhost {

// The host and the plug-in agree on where each version keeps its
// preferences: one table, the plug-in's.
std::u16string PreferencesPathFor(std::u16string_view hostVersion) {
    return vorelle::printers::ChoosePreferencesPath(hostVersion);
}

}  // namespace fmhost
