// The host's own tables: the texts of its Print dialog, per language, and how it
// prints the plug-in's texts.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "fmhost/escaped_text.h"
#include "hosting/dialog_languages.h"

namespace {

using namespace std::string_literals;

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
