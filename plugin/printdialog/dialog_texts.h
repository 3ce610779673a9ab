// The localized texts by which the watcher finds the Print dialog, its
// printer-name label and its confirming button. Each table is tried in order;
// the first hit wins. Constant views: nothing of them is freed at exit.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vorelle::printdialog {

// The system dialog class, searched by atom.
inline constexpr std::uint16_t kDialogClassAtom = 0x8002;
inline constexpr char16_t kStaticClass[] = u"Static";
inline constexpr char16_t kComboBoxClass[] = u"ComboBox";
inline constexpr char16_t kButtonClass[] = u"Button";

inline constexpr std::array<std::u16string_view, 8> kDialogCaptions = {
    u"Print", u"Skriv ut", u"Afdrukken", u"Imprimer",
    u"Drucken", u"Stampa", u"Imprimir", u"Druk af",
};

inline constexpr std::array<std::u16string_view, 6> kNameLabels = {
    u"&Name:", u"&Namn:", u"&Naam:", u"&Nom :", u"&Nome:", u"Nom&bre:",
};

inline constexpr std::array<std::u16string_view, 2> kConfirmCaptions = {u"OK", u"Aceptar"};

}  // namespace vorelle::printdialog
