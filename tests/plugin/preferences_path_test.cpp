#include <gtest/gtest.h>

#include "printers/preferences_path.h"

namespace vorelle::printers {
namespace {

std::u16string Path(std::u16string_view folder) {
    return u"Software\\FileMaker\\FileMaker Pro\\" + std::u16string(folder) + u"\\Preferences";
}

TEST(ChoosePreferencesPath, EveryRowOfTheTable) {
    struct Row {
        std::u16string_view version;
        std::u16string_view folder;
    };
    const Row rows[] = {
        {u"ProAdvanced 11.0v3", u"11.0A"}, {u"Pro 11.0v1", u"11.0"},
        {u"ProAdvanced 10.0v2", u"10.0A"}, {u"Pro 10.0v1", u"10.0"},
        {u"ProAdvanced 9.0v3", u"9.0A"},   {u"Pro 9.0v1", u"9.0"},
        {u"ProAdvanced 8.5v2", u"8.5A"},   {u"Pro 8.5v1", u"8.5"},
        {u"ProAdvanced 8.0v3", u"8.0A"},   {u"Pro 8.0v1", u"8.0"},
        {u"Developer 7.0v3", u"7.0D"},     {u"Pro 7.0v2", u"7.0"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChoosePreferencesPath(row.version), Path(row.folder))
            << std::string(row.version.begin(), row.version.end());
    }
}

TEST(ChoosePreferencesPath, UnknownVersionsGiveTheEmptyPath) {
    EXPECT_EQ(ChoosePreferencesPath(u""), u"");
    EXPECT_EQ(ChoosePreferencesPath(u"ProAdvanced 12.0v1"), u"");
    EXPECT_EQ(ChoosePreferencesPath(u"Pro 6.0"), u"");
    EXPECT_EQ(ChoosePreferencesPath(std::u16string(5000, u'x')), u"");
}

TEST(ChoosePreferencesPath, FirstMarkInTableOrderWinsWhereverItStands) {
    // "10.0" stands first in the text, but "11.0" comes first in the table.
    EXPECT_EQ(ChoosePreferencesPath(u"10.0 and 11.0 Advanced"), Path(u"11.0A"));
    EXPECT_EQ(ChoosePreferencesPath(u"build 7.0 of 9.0"), Path(u"9.0"));
    // Plain substring search: "111.05" contains "11.0".
    EXPECT_EQ(ChoosePreferencesPath(u"111.05"), Path(u"11.0"));
}

TEST(ChoosePreferencesPath, EditionWordsBelongToTheirMarks) {
    EXPECT_EQ(ChoosePreferencesPath(u"Developer 8.0"), Path(u"8.0"));
    EXPECT_EQ(ChoosePreferencesPath(u"Advanced 7.0"), Path(u"7.0"));
    EXPECT_EQ(ChoosePreferencesPath(u"Developer Advanced 7.0"), Path(u"7.0D"));
    // Case-sensitive.
    EXPECT_EQ(ChoosePreferencesPath(u"proadvanced 11.0"), Path(u"11.0"));
    EXPECT_EQ(ChoosePreferencesPath(u"developer 7.0"), Path(u"7.0"));
}

}  // namespace
}  // namespace vorelle::printers
