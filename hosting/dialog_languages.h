// The captions of the host's Print dialog in the languages the host offers
// (fmhost --dialog-language).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hosting {

// The captions of the host's Print dialog in one language.
struct DialogTexts {
    std::u16string caption;    // "Print"
    std::u16string nameLabel;  // "&Name:"
    std::u16string okButton;   // "OK"
    std::u16string cancelButton;
};

inline constexpr std::string_view kDefaultDialogLanguage = "en";

// The texts for a language code ("en", "fr", ...); none for an unknown code.
std::optional<DialogTexts> DialogTextsFor(std::string_view language);

// The English texts, the host's default.
DialogTexts EnglishDialogTexts();

// Every language code, in table order.
std::vector<std::string_view> DialogLanguages();

}  // namespace hosting
