#include "fmhost/preferences_path.h"

namespace fmhost {
namespace {

struct VersionRow {
    std::u16string_view mark;     // searched for anywhere in the version text
    std::u16string_view edition;  // selects the lettered folder when present too
    std::u16string_view editionPath;
    std::u16string_view plainPath;
};

// Tried in this order; the first mark found decides.
constexpr VersionRow kVersions[] = {
    {u"11.0", u"Advanced", u"Software\\FileMaker\\FileMaker Pro\\11.0A\\Preferences",
     u"Software\\FileMaker\\FileMaker Pro\\11.0\\Preferences"},
    {u"10.0", u"Advanced", u"Software\\FileMaker\\FileMaker Pro\\10.0A\\Preferences",
     u"Software\\FileMaker\\FileMaker Pro\\10.0\\Preferences"},
    {u"9.0", u"Advanced", u"Software\\FileMaker\\FileMaker Pro\\9.0A\\Preferences",
     u"Software\\FileMaker\\FileMaker Pro\\9.0\\Preferences"},
    {u"8.5", u"Advanced", u"Software\\FileMaker\\FileMaker Pro\\8.5A\\Preferences",
     u"Software\\FileMaker\\FileMaker Pro\\8.5\\Preferences"},
    {u"8.0", u"Advanced", u"Software\\FileMaker\\FileMaker Pro\\8.0A\\Preferences",
     u"Software\\FileMaker\\FileMaker Pro\\8.0\\Preferences"},
    {u"7.0", u"Developer", u"Software\\FileMaker\\FileMaker Pro\\7.0D\\Preferences",
     u"Software\\FileMaker\\FileMaker Pro\\7.0\\Preferences"},
};

}  // namespace

std::u16string PreferencesPathFor(std::u16string_view hostVersion) {
    for (const VersionRow& row : kVersions) {
        if (hostVersion.find(row.mark) != std::u16string_view::npos) {
            return std::u16string(hostVersion.find(row.edition) != std::u16string_view::npos
                                      ? row.editionPath
                                      : row.plainPath);
        }
    }
    return {};
}

}  // namespace fmhost
