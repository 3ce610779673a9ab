#include "printers/preferences_path.h"

namespace vorelle::printers {

namespace {

constexpr PreferencesRow kVersions[] = {
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

std::span<const PreferencesRow> PreferencesTable() { return kVersions; }

std::u16string ChoosePreferencesPath(std::u16string_view hostVersion) {
    for (const PreferencesRow& row : kVersions) {
        if (hostVersion.find(row.mark) != std::u16string_view::npos) {
            const bool edition = hostVersion.find(row.editionWord) != std::u16string_view::npos;
            return std::u16string(edition ? row.editionPath : row.plainPath);
        }
    }
    return {};
}

}  // namespace vorelle::printers
