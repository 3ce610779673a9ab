// The runtime's values: numbers (AsLong), a text's number and boolean value,
// texts (Find, DeleteText, GetUnicode, Assign), results and their locale.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "fmwrapper/host_runtime.h"

namespace {

using fmwrapper::HostDataVect;
using fmwrapper::HostResult;

// Owns one Text made by the runtime.
class Text {
public:
    Text() : text_(FM_Text_Constructor1(&err_)) {}
    explicit Text(const char16_t* units) : Text() { FM_Text_AssignUnicode(text_, units, &err_); }
    ~Text() { FM_Text_Delete(text_, &err_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    FMX_Text* get() const { return text_; }
    std::u16string Units() {
        const std::uint32_t size = FM_Text_GetSize(text_, &err_);
        std::u16string units(size, u'\0');
        FM_Text_GetUnicode(text_, units.data(), 0, size, &err_);
        return units;
    }

private:
    FMX_ErrorRecord err_{1, 0};
    FMX_Text* text_;
};

std::int32_t AsLong(const HostDataVect& vect, std::uint32_t position) {
    FMX_ErrorRecord err{1, 0};
    const FMX_FixPt* number = FM_DataVect_AtAsNumber(vect.Get(), position, &err);
    EXPECT_EQ(err.code, 0);
    return FM_FixPt_AsLong(number, &err);
}

std::int32_t NumberLiteralAsLong(const char* literal) {
    HostDataVect vect;
    EXPECT_TRUE(vect.AppendNumber(literal)) << literal;
    return AsLong(vect, 0);
}

std::int32_t TextAsLong(const char16_t* text) {
    HostDataVect vect;
    vect.AppendText(text);
    return AsLong(vect, 0);
}

bool TextAsBoolean(const char16_t* text) {
    HostDataVect vect;
    vect.AppendText(text);
    FMX_ErrorRecord err{1, 0};
    return FM_DataVect_AtAsBoolean(vect.Get(), 0, &err) != 0;
}

std::u16string NumberText(const char* literal) {
    HostDataVect vect;
    EXPECT_TRUE(vect.AppendNumber(literal)) << literal;
    FMX_ErrorRecord err{1, 0};
    const FMX_Text* text = FM_DataVect_AtAsText(vect.Get(), 0, &err);
    std::u16string units(FM_Text_GetSize(text, &err), u'\0');
    FM_Text_GetUnicode(text, units.data(), 0, static_cast<std::uint32_t>(units.size()), &err);
    return units;
}

TEST(FixPtAsLong, TruncatesTowardZero) {
    EXPECT_EQ(NumberLiteralAsLong("2.7"), 2);
    EXPECT_EQ(NumberLiteralAsLong("-2.7"), -2);
    EXPECT_EQ(NumberLiteralAsLong("0.999"), 0);
    EXPECT_EQ(NumberLiteralAsLong("-0.5"), 0);
    EXPECT_EQ(NumberLiteralAsLong("1e-7"), 0);
    EXPECT_EQ(NumberLiteralAsLong("12.5e1"), 125);
    EXPECT_EQ(NumberLiteralAsLong("1250e-2"), 12);
}

TEST(FixPtAsLong, SaturatesAtThe32BitLimits) {
    EXPECT_EQ(NumberLiteralAsLong("2147483647"), INT32_MAX);
    EXPECT_EQ(NumberLiteralAsLong("2147483647.9"), INT32_MAX);
    EXPECT_EQ(NumberLiteralAsLong("2147483648"), INT32_MAX);
    EXPECT_EQ(NumberLiteralAsLong("-2147483648"), INT32_MIN);
    EXPECT_EQ(NumberLiteralAsLong("-2147483648.7"), INT32_MIN);
    EXPECT_EQ(NumberLiteralAsLong("-2147483649"), INT32_MIN);
    EXPECT_EQ(NumberLiteralAsLong("9999999999"), INT32_MAX);
    EXPECT_EQ(NumberLiteralAsLong("99999999999999999999999999"), INT32_MAX);
    EXPECT_EQ(NumberLiteralAsLong("-1e400"), INT32_MIN);
    EXPECT_EQ(NumberLiteralAsLong("1e999999999999999999999"), INT32_MAX);
    EXPECT_EQ(NumberLiteralAsLong("1e-999999999999999999999"), 0);
}

TEST(NumberLiterals, AreCheckedAndGivenCanonicalText) {
    EXPECT_EQ(NumberText("1.50"), u"1.5");
    EXPECT_EQ(NumberText("007"), u"7");
    EXPECT_EQ(NumberText("-0"), u"0");
    EXPECT_EQ(NumberText(".5"), u"0.5");
    EXPECT_EQ(NumberText("-12.0"), u"-12");
    EXPECT_EQ(NumberText("1e3"), u"1000");
    EXPECT_EQ(NumberText("25e-4"), u"0.0025");
    EXPECT_EQ(NumberText("1e400"), u"1e+400");
    for (const char* bad : {"", "-", ".", "1.2.3", "1e", "e5", "12abc", " 1", "1-2", "+-1"}) {
        EXPECT_FALSE(fmwrapper::IsNumberLiteral(bad)) << bad;
        HostDataVect vect;
        EXPECT_FALSE(vect.AppendNumber(bad)) << bad;
        EXPECT_EQ(vect.Size(), 0u);
    }
}

TEST(TextValues, NumberIsTheLeadingNumberOrZero) {
    EXPECT_EQ(TextAsLong(u"42"), 42);
    EXPECT_EQ(TextAsLong(u"  12abc"), 12);
    EXPECT_EQ(TextAsLong(u"-3.9 apples"), -3);
    EXPECT_EQ(TextAsLong(u"abc12"), 0);
    EXPECT_EQ(TextAsLong(u""), 0);
    EXPECT_EQ(TextAsLong(u"-"), 0);
    EXPECT_EQ(TextAsLong(u"5e2x"), 500);
    EXPECT_EQ(TextAsLong(u"5ex"), 5);
    EXPECT_EQ(TextAsLong(u"99999999999 big"), INT32_MAX);
}

TEST(TextValues, BooleanIsWhetherTheLeadingNumberIsNotZero) {
    EXPECT_TRUE(TextAsBoolean(u"1"));
    EXPECT_TRUE(TextAsBoolean(u"-0.1"));
    EXPECT_TRUE(TextAsBoolean(u"2 pages"));
    EXPECT_FALSE(TextAsBoolean(u"0"));
    EXPECT_FALSE(TextAsBoolean(u"0.000"));
    EXPECT_FALSE(TextAsBoolean(u"True"));  // a text without a number
    EXPECT_FALSE(TextAsBoolean(u"yes"));
    EXPECT_FALSE(TextAsBoolean(u""));
}

TEST(DataVect, BooleansAreTheNumbersOneAndZero) {
    HostDataVect vect;
    vect.AppendBoolean(true);
    vect.AppendBoolean(false);
    FMX_ErrorRecord err{1, 0};
    EXPECT_EQ(FM_DataVect_Size(vect.Get(), &err), 2u);
    EXPECT_EQ(FM_DataVect_AtAsBoolean(vect.Get(), 0, &err), 1);
    EXPECT_EQ(FM_DataVect_AtAsBoolean(vect.Get(), 1, &err), 0);
    EXPECT_EQ(AsLong(vect, 0), 1);
    EXPECT_EQ(FM_Text_GetSize(FM_DataVect_AtAsText(vect.Get(), 1, &err), &err), 1u);
}

TEST(DataVect, APositionPastTheEndReadsAsEmpty) {
    HostDataVect vect;
    vect.AppendText(u"only");
    FMX_ErrorRecord err{1, 0};
    const FMX_Text* text = FM_DataVect_AtAsText(vect.Get(), 5, &err);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(FM_Text_GetSize(text, &err), 0u);
    EXPECT_EQ(AsLong(vect, 5), 0);
    EXPECT_EQ(FM_DataVect_AtAsBoolean(vect.Get(), 5, &err), 0);
    EXPECT_EQ(err.code, 0);
}

TEST(Text, FindGivesTheFirstMatchOrNotFound) {
    Text text(u"VORL_ChangePrinter( PrinerName ; optShowDlg )");
    Text paren(u"(");
    Text missing(u"[");
    FMX_ErrorRecord err{1, 0};
    EXPECT_EQ(FM_Text_Find(text.get(), paren.get(), 0, &err), 18u);
    EXPECT_EQ(FM_Text_Find(text.get(), paren.get(), 19, &err), kFMXTextNotFound);
    EXPECT_EQ(FM_Text_Find(text.get(), missing.get(), 0, &err), kFMXTextNotFound);
    EXPECT_EQ(FM_Text_Find(text.get(), paren.get(), 1000, &err), kFMXTextNotFound);
    EXPECT_EQ(err.code, 0);
}

TEST(Text, DeleteTextFromNotFoundRemovesNothing) {
    Text text(u"VORL_GetSystemPrinter");
    Text paren(u"(");
    FMX_ErrorRecord err{1, 0};
    const std::uint32_t size = FM_Text_GetSize(text.get(), &err);
    const std::uint32_t at = FM_Text_Find(text.get(), paren.get(), 0, &err);
    // The way a name is cut from a prototype: from the "(" to the end.
    FM_Text_DeleteText(text.get(), at, size - at, &err);
    EXPECT_EQ(text.Units(), u"VORL_GetSystemPrinter");
    EXPECT_EQ(err.code, 0);
}

TEST(Text, DeleteTextRemovesWithinTheText) {
    Text text(u"VORL_Version( optType )");
    FMX_ErrorRecord err{1, 0};
    FM_Text_DeleteText(text.get(), 12, 11, &err);
    EXPECT_EQ(text.Units(), u"VORL_Version");
    FM_Text_DeleteText(text.get(), 4, 1000, &err);  // count past the end
    EXPECT_EQ(text.Units(), u"VORL");
    FM_Text_DeleteText(text.get(), 4, 1, &err);  // at the end
    EXPECT_EQ(text.Units(), u"VORL");
}

TEST(Text, GetUnicodeWritesAtMostCountUnits) {
    Text text(u"Office Laser");
    FMX_ErrorRecord err{1, 0};
    std::u16string buffer(20, u'#');
    FM_Text_GetUnicode(text.get(), buffer.data(), 0, 6, &err);
    EXPECT_EQ(buffer, u"Office##############");
    buffer.assign(20, u'#');
    FM_Text_GetUnicode(text.get(), buffer.data(), 7, 100, &err);  // only what the text has
    EXPECT_EQ(buffer, u"Laser###############");
    buffer.assign(20, u'#');
    FM_Text_GetUnicode(text.get(), buffer.data(), 12, 5, &err);  // from the end: nothing
    FM_Text_GetUnicode(text.get(), buffer.data(), 0, 0, &err);
    EXPECT_EQ(buffer, std::u16string(20, u'#'));
    EXPECT_EQ(err.code, 0);
}

TEST(Text, KeepsUtf16UnitsExactly) {
    const std::u16string units = u"a\U0001F5A8b\u00E9";  // a surrogate pair inside
    Text text(units.c_str());
    FMX_ErrorRecord err{1, 0};
    EXPECT_EQ(FM_Text_GetSize(text.get(), &err), 5u);
    EXPECT_EQ(text.Units(), units);
    FM_Text_AssignUnicode(text.get(), nullptr, &err);
    EXPECT_EQ(text.Units(), u"");
}

TEST(Text, AssignReadsNativeAndUtf8Strings) {
    Text text;
    FMX_ErrorRecord err{1, 0};
    FM_Text_Assign(text.get(), "(", 0, &err);
    EXPECT_EQ(text.Units(), u"(");
    FM_Text_Assign(text.get(), "caf\xE9 \x80", 0, &err);  // Windows-1252
    EXPECT_EQ(text.Units(), u"caf\u00E9 \u20AC");
    FM_Text_Assign(text.get(), "caf\xC3\xA9", 1, &err);  // UTF-8
    EXPECT_EQ(text.Units(), u"caf\u00E9");
    EXPECT_EQ(err.code, 0);
}

TEST(Text, MissingObjectsAreAGeneralFailure) {
    FMX_ErrorRecord err{1, 0};
    EXPECT_EQ(FM_Text_GetSize(nullptr, &err), 0u);
    EXPECT_EQ(err.code, kFMXErrorGeneral);
    err.code = 0;
    Text text(u"abc");
    FM_Text_GetUnicode(text.get(), nullptr, 0, 3, &err);
    EXPECT_EQ(err.code, kFMXErrorGeneral);
    err.code = 0;
    FM_Text_GetSize(text.get(), &err);  // success clears the record
    EXPECT_EQ(err.code, 0);
}

TEST(Result, StoresTextWithTheLocaleAndTypeGiven) {
    HostResult result(u"sv_SE");
    EXPECT_FALSE(result.Written());
    Text text(u"0");
    FMX_ErrorRecord err{1, 0};
    const FMX_Locale* locale = FM_Data_GetLocale(result.Get(), &err);
    ASSERT_EQ(locale, result.Locale());
    FM_Data_SetAsText(result.Get(), text.get(), locale, fmwrapper::kNativeTypeText, &err);
    EXPECT_EQ(err.code, 0);
    EXPECT_TRUE(result.Written());
    EXPECT_EQ(result.WriteCount(), 1u);
    EXPECT_EQ(result.Text(), u"0");
    EXPECT_EQ(result.NativeType(), fmwrapper::kNativeTypeText);
    EXPECT_TRUE(result.WrittenWithOwnLocale());
    EXPECT_EQ(result.WrittenLocaleName(), u"sv_SE");

    HostResult other(u"de_DE");
    FM_Data_SetAsText(result.Get(), text.get(), other.Locale(), fmwrapper::kNativeTypeNumber, &err);
    EXPECT_EQ(result.WriteCount(), 2u);
    EXPECT_FALSE(result.WrittenWithOwnLocale());
    EXPECT_EQ(result.WrittenLocaleName(), u"de_DE");
    EXPECT_EQ(result.NativeType(), fmwrapper::kNativeTypeNumber);
}

TEST(Utf8, ConvertsBothWaysAndReplacesMalformedInput) {
    const std::u16string units = u"Druk af \u00E9\U0001F5A8";
    EXPECT_EQ(fmwrapper::Utf8ToUtf16(fmwrapper::Utf16ToUtf8(units)), units);
    EXPECT_EQ(fmwrapper::Utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(fmwrapper::Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(fmwrapper::Utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(fmwrapper::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");  // overlong
    EXPECT_EQ(fmwrapper::Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
}

}  // namespace
