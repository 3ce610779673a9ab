// Session lines: calls as written in a calculation, host actions, comments.
#include <gtest/gtest.h>

#include "fmhost/line_parser.h"

namespace {

using hosting::Parameter;
using fmhost::ParsedLine;

ParsedLine Parse(std::string_view line) {
    std::string error;
    auto parsed = fmhost::ParseLine(line, error);
    EXPECT_TRUE(parsed) << line << ": " << error;
    return parsed.value_or(ParsedLine{});
}

std::string ErrorOf(std::string_view line) {
    std::string error;
    EXPECT_FALSE(fmhost::ParseLine(line, error)) << line;
    return error;
}

TEST(LineParser, ReadsACallWithTextsNumbersAndBooleans) {
    const ParsedLine line = Parse("VORL_ChangePrinter( \"Office Laser\" ; True ; 0 )");
    ASSERT_EQ(line.kind, ParsedLine::Kind::Call);
    EXPECT_EQ(line.call.name, u"VORL_ChangePrinter");
    ASSERT_EQ(line.call.parameters.size(), 3u);
    EXPECT_EQ(line.call.parameters[0], Parameter::OfText(u"Office Laser"));
    EXPECT_EQ(line.call.parameters[1], Parameter::OfBoolean(true));
    EXPECT_EQ(line.call.parameters[2], Parameter::OfNumber("0"));
}

TEST(LineParser, ReadsCallsWithoutParenthesesOrParameters) {
    for (const char* text : {"VORL_GetSystemPrinter", "  VORL_GetSystemPrinter  ", "VORL_GetSystemPrinter()",
                             "VORL_GetSystemPrinter (  )\r"}) {
        const ParsedLine line = Parse(text);
        ASSERT_EQ(line.kind, ParsedLine::Kind::Call) << text;
        EXPECT_EQ(line.call.name, u"VORL_GetSystemPrinter") << text;
        EXPECT_TRUE(line.call.parameters.empty()) << text;
    }
}

TEST(LineParser, UnescapesQuotesAndBackslashesOnly) {
    const ParsedLine line = Parse(R"(F( "say \"hi\"" ; "\\\\server\\Accounts" ; "" ; " a;b) " ))");
    ASSERT_EQ(line.call.parameters.size(), 4u);
    EXPECT_EQ(line.call.parameters[0].text, u"say \"hi\"");
    EXPECT_EQ(line.call.parameters[1].text, u"\\\\server\\Accounts");
    EXPECT_EQ(line.call.parameters[2].text, u"");
    EXPECT_EQ(line.call.parameters[3].text, u" a;b) ");
    EXPECT_NE(ErrorOf(R"(F( "a\nb" ))").find("\\n"), std::string::npos);
}

TEST(LineParser, ReadsUtf8TextsAsUtf16) {
    const ParsedLine line = Parse("F( \"Caf\xC3\xA9 \xF0\x9F\x96\xA8\" )");
    EXPECT_EQ(line.call.parameters.at(0).text, u"Caf\u00E9 \U0001F5A8");
}

TEST(LineParser, JoinsTextsCharAndPilcrowsAsFileMakerDoes) {
    // Char( 0 ) is empty; more than five digits are five-digit code points,
    // the lowest first; a group of zeros is no character.
    const ParsedLine line = Parse("F( \"^XA\xC2\xB6\" & Char( 10 ) & char(0)&\"\\\xC2\xB6\" ; "
                                  "Char( 255 ) & CHAR( 65535 ) & Char( 9800097 ) & Char( 128424 ) & "
                                  "Char( 99999 ) & Char( 6500000 ) ; Char(65) )");
    ASSERT_EQ(line.call.parameters.size(), 3u);
    EXPECT_EQ(line.call.parameters[0].text, u"^XA\r\n\u00B6");
    EXPECT_EQ(line.call.parameters[1].text, u"\u00FF\uFFFFab\u6F08\u0001\U0001869FA");
    EXPECT_EQ(line.call.parameters[2], Parameter::OfText(u"A"));
    EXPECT_EQ(Parse("F( Char( 0 ) )").call.parameters.at(0), Parameter::OfText(u""));
    for (const char* bad : {"F( Char( -1 ) )", "F( Char( 1.5 ) )", "F( Char 13 )", "F( Char( ) )",
                            "F( \"a\" & )", "F( \"a\" & 1 )", "F( 1 & \"a\" )", "F( \"a\" & True )"}) {
        EXPECT_FALSE(ErrorOf(bad).empty()) << bad;
    }
}

TEST(LineParser, ReadsNumbersAsWrittenAndBooleansInAnyCase) {
    const ParsedLine line = Parse("F( -12.5 ; 1e400 ; .5 ; +3 ; true ; FALSE )");
    ASSERT_EQ(line.call.parameters.size(), 6u);
    EXPECT_EQ(line.call.parameters[0], Parameter::OfNumber("-12.5"));
    EXPECT_EQ(line.call.parameters[1], Parameter::OfNumber("1e400"));
    EXPECT_EQ(line.call.parameters[2], Parameter::OfNumber(".5"));
    EXPECT_EQ(line.call.parameters[3], Parameter::OfNumber("+3"));
    EXPECT_EQ(line.call.parameters[4], Parameter::OfBoolean(true));
    EXPECT_EQ(line.call.parameters[5], Parameter::OfBoolean(false));
}

TEST(LineParser, SkipsBlankLinesAndComments) {
    for (const char* text : {"", "   ", "\t\r", "# VORL_Version", "   # note"}) {
        EXPECT_EQ(Parse(text).kind, ParsedLine::Kind::Nothing) << text;
    }
}

TEST(LineParser, ReadsHostActionsWithTheirArguments) {
    ParsedLine line = Parse(":string 128 5");
    ASSERT_EQ(line.kind, ParsedLine::Kind::Action);
    EXPECT_EQ(line.action.name, "string");
    EXPECT_EQ(line.action.arguments, (std::vector<std::string>{"128", "5"}));
    line = Parse("  :preference  ");
    EXPECT_EQ(line.action.name, "preference");
    EXPECT_TRUE(line.action.arguments.empty());
    EXPECT_FALSE(ErrorOf(":").empty());
}

TEST(LineParser, ReportsWhatIsWrong) {
    EXPECT_NE(ErrorOf("F( \"open").find("quote"), std::string::npos);
    EXPECT_NE(ErrorOf("F( 1 ; 2").find(")"), std::string::npos);
    EXPECT_NE(ErrorOf("F( 1 2 )").find("column 6"), std::string::npos);
    EXPECT_NE(ErrorOf("F( 1-2 )").find("not a number"), std::string::npos);
    EXPECT_NE(ErrorOf("F( PrinterName )").find("unknown name PrinterName"), std::string::npos);
    EXPECT_NE(ErrorOf("F( 1 ; )").find("unexpected"), std::string::npos);
    EXPECT_NE(ErrorOf("F( 1 ) x").find("after the call"), std::string::npos);
    EXPECT_NE(ErrorOf("F x").find("after the call"), std::string::npos);
    EXPECT_FALSE(ErrorOf("\"text\"").empty());
    EXPECT_FALSE(ErrorOf("1 + 2").empty());
    EXPECT_FALSE(ErrorOf("F( ; 1 )").empty());
}

}  // namespace
