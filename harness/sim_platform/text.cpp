// Name comparison on the simulated Windows: its own case folding (simwin/text.h:
// ASCII, Latin-1, Greek and Cyrillic letters; other units compare exactly).
#include "platform/text.h"

#include "simwin/text.h"

namespace vorelle::platform {

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) { return simwin::EqualsIgnoreCase(a, b); }

}  // namespace vorelle::platform
