// The host's own tables: where it keeps its preferences, per version text, and
// the texts of its Print dialog, per language.
#include <gtest/gtest.h>

#include "fmhost/dialog_languages.h"
#include "fmhost/preferences_path.h"

namespace {

std::u16string Path(const char16_t* folder) {
    return u"Software\\FileMaker\\FileMaker Pro\\" + std::u16string(folder) + u"\\Preferences";
}

TEST(PreferencesPath, ChoosesEachOfTheTwelveRows) {
    using fmhost::PreferencesPathFor;
    EXPECT_EQ(PreferencesPathFor(u"ProAdvanced 11.0v3"), Path(u"11.0A"));
    EXPECT_EQ(PreferencesPathFor(u"Pro 11.0v3"), Path(u"11.0"));
    EXPECT_EQ(PreferencesPathFor(u"Advanced 10.0v1"), Path(u"10.0A"));
    EXPECT_EQ(PreferencesPathFor(u"Pro 10.0v1"), Path(u"10.0"));
    EXPECT_EQ(PreferencesPathFor(u"9.0 Advanced"), Path(u"9.0A"));
    EXPECT_EQ(PreferencesPathFor(u"Pro 9.0v3"), Path(u"9.0"));
    EXPECT_EQ(PreferencesPathFor(u"ProAdvanced 8.5"), Path(u"8.5A"));
    EXPECT_EQ(PreferencesPathFor(u"Pro 8.5v2"), Path(u"8.5"));
    EXPECT_EQ(PreferencesPathFor(u"ProAdvanced 8.0v3"), Path(u"8.0A"));
    EXPECT_EQ(PreferencesPathFor(u"Pro 8.0v3"), Path(u"8.0"));
    EXPECT_EQ(PreferencesPathFor(u"Developer 7.0v3"), Path(u"7.0D"));
    EXPECT_EQ(PreferencesPathFor(u"Pro 7.0v3"), Path(u"7.0"));
}

TEST(PreferencesPath, TheFirstMarkDecidesAndEditionWordsAreExact) {
    using fmhost::PreferencesPathFor;
    EXPECT_EQ(PreferencesPathFor(u"Pro 12.0"), u"");
    EXPECT_EQ(PreferencesPathFor(u""), u"");
    EXPECT_EQ(PreferencesPathFor(u"7.0 and 11.0"), Path(u"11.0"));  // 11.0 is tried first
    EXPECT_EQ(PreferencesPathFor(u"Developer 8.0"), Path(u"8.0"));
    EXPECT_EQ(PreferencesPathFor(u"Advanced 7.0"), Path(u"7.0"));
    EXPECT_EQ(PreferencesPathFor(u"proadvanced 11.0"), Path(u"11.0"));  // case matters
    EXPECT_EQ(PreferencesPathFor(u"11.05 Advanced"), Path(u"11.0A"));   // anywhere in the text
}

TEST(DialogLanguages, GiveTheCaptionLabelAndButtons) {
    struct Row {
        const char* code;
        const char16_t* caption;
        const char16_t* label;
        const char16_t* ok;
    };
    const Row rows[] = {
        {"en", u"Print", u"&Name:", u"OK"},         {"sv", u"Skriv ut", u"&Namn:", u"OK"},
        {"nl", u"Afdrukken", u"&Naam:", u"OK"},     {"fr", u"Imprimer", u"&Nom :", u"OK"},
        {"de", u"Drucken", u"&Name:", u"OK"},       {"it", u"Stampa", u"&Nome:", u"OK"},
        {"es", u"Imprimir", u"Nom&bre:", u"Aceptar"}, {"af", u"Druk af", u"&Naam:", u"OK"},
    };
    ASSERT_EQ(fmhost::DialogLanguages().size(), std::size(rows));
    for (const Row& row : rows) {
        const auto texts = fmhost::DialogTextsFor(row.code);
        ASSERT_TRUE(texts) << row.code;
        EXPECT_EQ(texts->caption, row.caption) << row.code;
        EXPECT_EQ(texts->nameLabel, row.label) << row.code;
        EXPECT_EQ(texts->okButton, row.ok) << row.code;
        EXPECT_FALSE(texts->cancelButton.empty()) << row.code;
    }
    EXPECT_FALSE(fmhost::DialogTextsFor("xx"));
    EXPECT_FALSE(fmhost::DialogTextsFor("EN"));
    EXPECT_EQ(fmhost::EnglishDialogTexts().caption, u"Print");
}

}  // namespace
