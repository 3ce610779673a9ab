#include "hosting/parameter.h"

#include <utility>

namespace hosting {

Parameter Parameter::OfText(std::u16string text) {
    Parameter p;
    p.kind = Kind::Text;
    p.text = std::move(text);
    return p;
}

Parameter Parameter::OfNumber(std::string literal) {
    Parameter p;
    p.kind = Kind::Number;
    p.number = std::move(literal);
    return p;
}

Parameter Parameter::OfBoolean(bool value) {
    Parameter p;
    p.kind = Kind::Boolean;
    p.boolean = value;
    return p;
}

}  // namespace hosting
