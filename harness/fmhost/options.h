// fmhost's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fmhost/host_platform.h"
#include "hosting/defaults.h"
#include "hosting/dialog_languages.h"

namespace fmhost {

struct ArmedFailure {
    std::uint64_t nth = 0;
    std::int32_t code = 0;
    std::uint64_t times = 1;  // in a row; fmwrapper::kEveryTime: every one from the Nth on
};

struct Options {
    std::string pluginPath;      // empty: Vorelle.fmx beside fmhost
    std::int16_t interfaceVersion = hosting::kDefaultInterfaceVersion;
    std::u16string hostVersion{hosting::kDefaultHostVersion};
    std::string machineFile;     // empty: the embedded sample machine
    std::string dialogLanguage{hosting::kDefaultDialogLanguage};
    PrintTemplate printTemplate = PrintTemplate::Host;
    std::optional<ArmedFailure> failOperation;
    std::optional<std::uint32_t> timeCount;  // --time N: time each line N times (timing.h)
    bool describe = false;
    bool help = false;
    std::vector<std::string> lines;  // none: read the lines from standard input
};

// Parses the arguments after the program name (UTF-8); false, with the fault
// in `error`, for a usage error.
bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& error);

// The --help text.
std::string UsageText();

}  // namespace fmhost
