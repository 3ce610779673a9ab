// The host's own tables: where it keeps its preferences, per version text, the
// texts of its Print dialog, per language, and how it prints the plug-in's texts.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "fmhost/escaped_text.h"
#include "fmhost/preferences_path.h"
#include "hosting/dialog_languages.h"

namespace {

using namespace std::string_literals;

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
    ASSERT_EQ(hosting::DialogLanguages().size(), std::size(rows));
    for (const Row& row : rows) {
        const auto texts = hosting::DialogTextsFor(row.code);
        ASSERT_TRUE(texts) << row.code;
        EXPECT_EQ(texts->caption, row.caption) << row.code;
        EXPECT_EQ(texts->nameLabel, row.label) << row.code;
        EXPECT_EQ(texts->okButton, row.ok) << row.code;
        EXPECT_FALSE(texts->cancelButton.empty()) << row.code;
    }
    EXPECT_FALSE(hosting::DialogTextsFor("xx"));
    EXPECT_FALSE(hosting::DialogTextsFor("EN"));
    EXPECT_EQ(hosting::EnglishDialogTexts().caption, u"Print");
}

TEST(EscapedText, ShowsEveryControlCharacterAndPrintableTextAsItIs) {
    const std::pair<std::u16string, std::string> rows[] = {
        {u"\\\\server\\Office Laser", "\\\\server\\Office Laser"},
        {u"Drucker B\u00FCro \U0001F5A8", "Drucker B\xC3\xBCro \xF0\x9F\x96\xA8"},
        {u"Invoices\0"s, "Invoices<U+0000>"},
        {u"\0a\r\n\tb\x1F "s, "<U+0000>a<U+000D><U+000A><U+0009>b<U+001F> "},
        {u"\x1B[2J~\x7F\u0085\u009F\u00A0", "<U+001B>[2J~<U+007F><U+0085><U+009F>\xC2\xA0"},
    };
    for (const auto& [text, printed] : rows) {
        EXPECT_EQ(fmhost::EscapedText(text), printed);
    }
}

}  // namespace
