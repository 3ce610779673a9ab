// LoadString on the probe's own string table (probe_strings.rc).
#include "platform/win32/win32_api.h"

#include <string>

#include "platform/resources.h"
#include "tests/wine/platform_probe/probe.h"

namespace probe {

void StringChecks() {
    using vorelle::platform::LoadModuleString;
    const auto self = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
    const std::u16string description = u"This plug-in allows you to dynamically change printers.";

    char16_t buffer[80];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    Check(LoadModuleString(self, 129, buffer, 80) == description.size() &&
              std::u16string(buffer) == description,
          "a whole entry and its terminator");

    std::fill(std::begin(buffer), std::end(buffer), u'#');
    Check(LoadModuleString(self, 128, buffer, 0) == 0 && buffer[0] == u'#',
          "size 0 writes nothing");
    Check(LoadModuleString(self, 128, buffer, 1) == 0 && buffer[0] == u'\0' && buffer[1] == u'#',
          "size 1 writes the terminator alone");
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    Check(LoadModuleString(self, 128, buffer, 4) == 3 && std::u16string(buffer) == u"Vor" &&
              buffer[4] == u'#',
          "cut to size - 1 units and a terminator, nothing past the buffer");
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    Check(LoadModuleString(self, 77, buffer, 80) == 0 && buffer[0] == u'\0',
          "a missing entry: 0 and the empty text");
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    Check(LoadModuleString(self, 1, buffer, 0xFFFFFFFFu) == 11 &&
              std::u16string(buffer) == u"VORL1nnYYnn" && buffer[12] == u'#',
          "a size beyond INT_MAX is clamped; only the entry is written");
}

}  // namespace probe
