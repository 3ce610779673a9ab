// The texts the printer services hand back. Callers return them unchanged.
#pragma once

#include <string_view>

namespace vorelle::printers {

inline constexpr std::u16string_view kNoPrintersListed = u"!!ERROR!! No Printers Listed";
inline constexpr std::u16string_view kIndexOutOfBounds = u"!!ERROR!! Index out of bounds";
inline constexpr std::u16string_view kUnableToSetSystemPrinter =
    u"!!ERROR!! Unable to set system printer";

// Status texts of SetApplicationPrinter. There is no status "1".
inline constexpr std::u16string_view kSwitched = u"0";
inline constexpr std::u16string_view kPrinterNotFound = u"!!ERROR!! Specified printer not found";
inline constexpr std::u16string_view kDevicesKeyUnavailable = u"-3";
inline constexpr std::u16string_view kDevicesValueMissing = u"-1";
inline constexpr std::u16string_view kDevicesValueUnreadable = u"-2";
inline constexpr std::u16string_view kNoPort = u"2";
inline constexpr std::u16string_view kNoPreferencesPath = u"3";
inline constexpr std::u16string_view kPreferencesKeyUnavailable = u"5";
inline constexpr std::u16string_view kPreferenceNotWritten = u"4";

}  // namespace vorelle::printers
