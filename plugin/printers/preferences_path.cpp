#include "printers/preferences_path.h"

namespace vorelle::printers {

namespace {

struct VersionRow {
    std::u16string_view mark;
    std::u16string_view editionWord;
    std::u16string_view editionPath;
    std::u16string_view plainPath;
};

// Tried in order; the first mark the version text contains decides.
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

std::u16string ChoosePreferencesPath(std::u16string_view hostVersion) {
    for (const VersionRow& row : kVersions) {
        if (hostVersion.find(row.mark) != std::u16string_view::npos) {
            const bool edition = hostVersion.find(row.editionWord) != std::u16string_view::npos;
            return std::u16string(edition ? row.editionPath : row.plainPath);
        }
    }
    return {};
}

}  // namespace vorelle::printers
