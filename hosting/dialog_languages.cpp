#include "hosting/dialog_languages.h"

namespace hosting {
namespace {

struct LanguageRow {
    std::string_view code;
    std::u16string_view caption;
    std::u16string_view nameLabel;
    std::u16string_view okButton;
    std::u16string_view cancelButton;
};

constexpr LanguageRow kLanguages[] = {
    {"en", u"Print", u"&Name:", u"OK", u"Cancel"},
    {"sv", u"Skriv ut", u"&Namn:", u"OK", u"Avbryt"},
    {"nl", u"Afdrukken", u"&Naam:", u"OK", u"Annuleren"},
    {"fr", u"Imprimer", u"&Nom :", u"OK", u"Annuler"},
    {"de", u"Drucken", u"&Name:", u"OK", u"Abbrechen"},
    {"it", u"Stampa", u"&Nome:", u"OK", u"Annulla"},
    {"es", u"Imprimir", u"Nom&bre:", u"Aceptar", u"Cancelar"},
    {"af", u"Druk af", u"&Naam:", u"OK", u"Kanselleer"},
};

}  // namespace

std::optional<DialogTexts> DialogTextsFor(std::string_view language) {
    for (const LanguageRow& row : kLanguages) {
        if (row.code == language) {
            return DialogTexts{std::u16string(row.caption), std::u16string(row.nameLabel),
                               std::u16string(row.okButton), std::u16string(row.cancelButton)};
        }
    }
    return std::nullopt;
}

DialogTexts EnglishDialogTexts() { return *DialogTextsFor(kDefaultDialogLanguage); }

std::vector<std::string_view> DialogLanguages() {
    std::vector<std::string_view> codes;
    for (const LanguageRow& row : kLanguages) {
        codes.push_back(row.code);
    }
    return codes;
}

}  // namespace hosting
