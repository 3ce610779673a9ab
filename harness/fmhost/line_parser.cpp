#include "fmhost/line_parser.h"

#include <cstdint>

#include "fmwrapper/host_runtime.h"

namespace fmhost {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNamePart(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }
bool IsNumberPart(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) {
            ++pos_;
        }
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    bool Take(char c) {
        if (Peek() == c && !AtEnd()) {
            ++pos_;
            return true;
        }
        return false;
    }
    std::string_view TakeWhile(bool (*part)(char)) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && part(text_[pos_])) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }
    std::size_t Column() const { return pos_ + 1; }

    // A quoted text, the opening quote already taken.
    bool QuotedText(std::string& out, std::string& error) {
        while (!AtEnd()) {
            if (TakePilcrow()) {
                out.push_back('\r');  // ¶ is a carriage return, as FileMaker writes one
                continue;
            }
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c == '\\') {
                if (AtEnd()) {
                    break;
                }
                if (TakePilcrow()) {
                    out += kPilcrow;  // \¶ is the pilcrow itself
                    continue;
                }
                const char escaped = text_[pos_++];
                if (escaped != '"' && escaped != '\\') {
                    error = "unknown escape \\" + std::string(1, escaped) + " at column " +
                            std::to_string(pos_ - 1) + " (only \\\", \\\\ and \\¶ are known)";
                    return false;
                }
                out.push_back(escaped);
            } else {
                out.push_back(c);
            }
        }
        error = "text not closed by a quote";
        return false;
    }

private:
    // The pilcrow in UTF-8.
    static constexpr std::string_view kPilcrow = "\xC2\xB6";

    bool TakePilcrow() {
        if (text_.substr(pos_, kPilcrow.size()) != kPilcrow) {
            return false;
        }
        pos_ += kPilcrow.size();
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits of Char's number that make one code point.
constexpr std::size_t kCharGroupDigits = 5;

// The rest of "Char( N )", the name already taken, as FileMaker evaluates it:
// N's digits in groups of five from the right, each group the character of
// that code point, the lowest group first (Char( 9800097 ) is "ab"); a group
// of 0 is no character, so Char( 0 ) is the empty text. A code point above
// U+FFFF is a surrogate pair; one from 0xD800 to 0xDFFF is that one unit, as
// a FileMaker text can hold it.
std::optional<std::u16string> CharFunction(Scanner& in, std::size_t column, std::string& error) {
    in.SkipBlanks();
    if (!in.Take('(')) {
        error = "Char at column " + std::to_string(column) + " needs \"( N )\"";
        return std::nullopt;
    }
    in.SkipBlanks();
    const std::string_view digits = in.TakeWhile(IsDigit);
    in.SkipBlanks();
    if (digits.empty() || !in.Take(')')) {
        error = "Char at column " + std::to_string(column) + " takes one whole number in \"( N )\"";
        return std::nullopt;
    }
    std::u16string text;
    for (std::size_t end = digits.size(); end > 0;) {
        const std::size_t begin = end > kCharGroupDigits ? end - kCharGroupDigits : 0;
        std::uint32_t code = 0;
        for (const char d : digits.substr(begin, end - begin)) {
            code = code * 10 + static_cast<std::uint32_t>(d - '0');
        }
        end = begin;
        if (code == 0) {
            continue;
        }
        if (code <= 0xFFFF) {
            text.push_back(static_cast<char16_t>(code));
        } else {
            code -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        }
    }
    return text;
}

// One part of a text: a quoted text or Char( N ); none, with the error, when
// the scanner is at neither.
std::optional<std::u16string> TextTerm(Scanner& in, std::string& error) {
    const std::size_t column = in.Column();
    if (in.Take('"')) {
        std::string text;
        if (!in.QuotedText(text, error)) {
            return std::nullopt;
        }
        return fmwrapper::Utf8ToUtf16(text);
    }
    if (IsNameStart(in.Peek())) {
        const std::string_view word = in.TakeWhile(IsNamePart);
        if (EqualsIgnoringCase(word, "Char")) {
            return CharFunction(in, column, error);
        }
        error = "unknown name " + std::string(word) + " at column " + std::to_string(column) +
                " after \"&\" (texts are joined: quoted texts and Char( N ))";
        return std::nullopt;
    }
    error = in.AtEnd() ? std::string("a text is missing after \"&\" at the end")
                       : "expected a quoted text or Char( N ) at column " + std::to_string(column);
    return std::nullopt;
}

// `first` and every "& part" after it, joined.
std::optional<hosting::Parameter> JoinedText(Scanner& in, std::u16string first, std::string& error) {
    for (;;) {
        in.SkipBlanks();
        if (!in.Take('&')) {
            return hosting::Parameter::OfText(std::move(first));
        }
        in.SkipBlanks();
        std::optional<std::u16string> next = TextTerm(in, error);
        if (!next) {
            return std::nullopt;
        }
        first += *next;
    }
}

std::optional<hosting::Parameter> ParseParameter(Scanner& in, std::string& error) {
    const std::size_t column = in.Column();
    if (in.Peek() == '"') {
        std::optional<std::u16string> text = TextTerm(in, error);
        if (!text) {
            return std::nullopt;
        }
        return JoinedText(in, std::move(*text), error);
    }
    if (IsNameStart(in.Peek())) {
        const std::string_view word = in.TakeWhile(IsNamePart);
        if (EqualsIgnoringCase(word, "True")) {
            return hosting::Parameter::OfBoolean(true);
        }
        if (EqualsIgnoringCase(word, "False")) {
            return hosting::Parameter::OfBoolean(false);
        }
        if (EqualsIgnoringCase(word, "Char")) {
            std::optional<std::u16string> text = CharFunction(in, column, error);
            if (!text) {
                return std::nullopt;
            }
            return JoinedText(in, std::move(*text), error);
        }
        error = "unknown name " + std::string(word) + " at column " + std::to_string(column) +
                " (a parameter is a text, a number, True or False)";
        return std::nullopt;
    }
    if (IsNumberPart(in.Peek())) {
        const std::string_view literal = in.TakeWhile(IsNumberPart);
        if (!fmwrapper::IsNumberLiteral(literal)) {
            error = "not a number: " + std::string(literal) + " at column " + std::to_string(column);
            return std::nullopt;
        }
        return hosting::Parameter::OfNumber(std::string(literal));
    }
    if (in.AtEnd()) {
        error = "a parameter or \")\" is missing at the end";
    } else {
        error = "unexpected \"" + std::string(1, in.Peek()) + "\" at column " +
                std::to_string(column) + " (a parameter is a text, a number, True or False)";
    }
    return std::nullopt;
}

std::optional<ParsedLine> ParseCall(Scanner& in, std::string& error) {
    ParsedLine parsed;
    parsed.kind = ParsedLine::Kind::Call;
    if (!IsNameStart(in.Peek())) {
        error = "a line is a function call, a host action starting with \":\", or a comment "
                "starting with \"#\"";
        return std::nullopt;
    }
    const std::string_view name = in.TakeWhile(IsNamePart);
    parsed.call.name = fmwrapper::Utf8ToUtf16(name);
    in.SkipBlanks();
    if (in.Take('(')) {
        in.SkipBlanks();
        if (!in.Take(')')) {
            for (;;) {
                in.SkipBlanks();
                auto parameter = ParseParameter(in, error);
                if (!parameter) {
                    return std::nullopt;
                }
                parsed.call.parameters.push_back(std::move(*parameter));
                in.SkipBlanks();
                if (in.Take(';')) {
                    continue;
                }
                if (in.Take(')')) {
                    break;
                }
                if (in.AtEnd()) {
                    error = "\")\" is missing at the end";
                } else {
                    error = "expected \";\" or \")\" at column " + std::to_string(in.Column()) +
                            ", found \"" + std::string(1, in.Peek()) + "\"";
                }
                return std::nullopt;
            }
        }
        in.SkipBlanks();
    }
    if (!in.AtEnd()) {
        error = "unexpected \"" + std::string(1, in.Peek()) + "\" at column " +
                std::to_string(in.Column()) + " after the call";
        return std::nullopt;
    }
    return parsed;
}

ParsedLine ParseAction(std::string_view text) {
    ParsedLine parsed;
    parsed.kind = ParsedLine::Kind::Action;
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) {
            ++i;
        }
        if (i > start) {
            words.emplace_back(text.substr(start, i - start));
        }
    }
    if (!words.empty()) {
        parsed.action.name = words.front();
        parsed.action.arguments.assign(words.begin() + 1, words.end());
    }
    return parsed;
}

}  // namespace

std::optional<ParsedLine> ParseLine(std::string_view line, std::string& error) {
    Scanner in(line);
    in.SkipBlanks();
    if (in.AtEnd() || in.Peek() == '#') {
        return ParsedLine{};
    }
    if (in.Take(':')) {
        const std::size_t afterColon = in.Column() - 1;
        ParsedLine parsed = ParseAction(line.substr(afterColon));
        if (parsed.action.name.empty()) {
            error = "a host action needs a name after \":\"";
            return std::nullopt;
        }
        return parsed;
    }
    return ParseCall(in, error);
}

}  // namespace fmhost
