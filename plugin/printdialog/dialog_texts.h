// The localized texts by which the watcher finds the Print dialog, its
// printer-name label and its confirming button. Each table is tried in order;
// the first hit wins.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vorelle::printdialog {

// The system dialog class, searched by atom.
inline constexpr std::uint16_t kDialogClassAtom = 0x8002;
inline constexpr char16_t kStaticClass[] = u"Static";
inline constexpr char16_t kComboBoxClass[] = u"ComboBox";
inline constexpr char16_t kButtonClass[] = u"Button";

inline const std::array<std::u16string, 8> kDialogCaptions = {
    u"Print", u"Skriv ut", u"Afdrukken", u"Imprimer",
    u"Drucken", u"Stampa", u"Imprimir", u"Druk af",
};

inline const std::array<std::u16string, 6> kNameLabels = {
    u"&Name:", u"&Namn:", u"&Naam:", u"&Nom :", u"&Nome:", u"Nom&bre:",
};

inline const std::array<std::u16string, 2> kConfirmCaptions = {u"OK", u"Aceptar"};

}  // namespace vorelle::printdialog
