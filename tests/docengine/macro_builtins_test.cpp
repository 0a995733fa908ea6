// The built-in functions at their edges: starts, counts and compare modes
// of the text functions, the number and date formats, Val and IsNumeric,
// and the errors each gives for arguments out of range.

#include <gtest/gtest.h>

#include <string>

#include "tests/docengine/macro_fixture.h"

namespace quillon::docengine::macro {
namespace {

using fixture::Eval;
using fixture::Expr;
using fixture::ExprFailure;

bool InvalidCall(const std::string& expression) {
  return ExprFailure(expression).find("Invalid procedure call") != std::string::npos;
}

// The parts of a text, each in brackets, so that empty results show.
std::string Each(const std::string& a, const std::string& b = "\"\"",
                 const std::string& c = "\"\"") {
  return Expr("\"[\" & " + a + " & \"][\" & " + b + " & \"][\" & " + c + " & \"]\"");
}

TEST(MacroTextBuiltinTest, LeftRightMidTakeWhatThereIs) {
  EXPECT_EQ(Each("Left(\"abc\", 5)", "Left(\"abc\", 0)", "Right(\"abc\", 9)"), "[abc][][abc]");
  EXPECT_EQ(Each("Mid(\"abcdef\", 3)", "Mid(\"abc\", 4)", "Mid(\"abc\", 2, 10)"), "[cdef][][bc]");
  EXPECT_EQ(Each("Mid(\"abc\", 1, 0)", "Mid(\"h\u00e9llo\", 2, 3)", "Right(\"h\u00e9llo\", 4)"),
            "[][\u00e9ll][\u00e9llo]");
  EXPECT_EQ(Each("Left(12345, 2)", "Len(12.5)", "Len(\"\")"), "[12][4][0]");
  EXPECT_EQ(Eval("Dim e\nMain = Len(e) & Left(e, 1) & \"|\" & Mid(e, 1)"), "0|");
  EXPECT_TRUE(InvalidCall("Left(\"abc\", -1)"));
  EXPECT_TRUE(InvalidCall("Right(\"abc\", -1)"));
  EXPECT_TRUE(InvalidCall("Mid(\"abc\", 0)"));
  EXPECT_TRUE(InvalidCall("Mid(\"abc\", 1, -1)"));
  EXPECT_TRUE(ExprFailure("Left(\"abc\")").find("argument") != std::string::npos);
}

TEST(MacroTextBuiltinTest, InStrStartsAndCompareModes) {
  EXPECT_EQ(Expr("InStr(\"abcabc\", \"bc\") & InStr(3, \"abcabc\", \"bc\") & InStr(6, "
                 "\"abcabc\", \"bc\")"),
            "250");
  EXPECT_EQ(Expr("InStr(1, \"abc\", \"\") & InStr(3, \"abc\", \"\") & InStr(\"\", \"a\") & "
                 "InStr(4, \"abc\", \"c\")"),
            "1300");
  EXPECT_EQ(Expr("InStr(1, \"aXa\", \"x\", vbTextCompare) & InStr(1, \"aXa\", \"x\", "
                 "vbBinaryCompare) & InStr(2, \"\u00c9t\u00e9\", \"\u00c9\", 1)"),
            "203");
  EXPECT_TRUE(InvalidCall("InStr(0, \"abc\", \"a\")"));
  EXPECT_TRUE(InvalidCall("InStr(-1, \"abc\", \"a\")"));
  EXPECT_EQ(fixture::RunModule("Option Compare Text\nFunction Main()\nMain = InStr(\"ABC\", "
                               "\"b\") & InStr(1, \"ABC\", \"b\", 0)\nEnd Function\n")
                .value,
            "20");
}

TEST(MacroTextBuiltinTest, InStrRevSearchesBackFromItsStart) {
  EXPECT_EQ(Expr("InStrRev(\"abcabc\", \"bc\") & InStrRev(\"abcabc\", \"bc\", 4) & "
                 "InStrRev(\"abcabc\", \"c\", 3) & InStrRev(\"abcabc\", \"a\", 1)"),
            "5231");
  EXPECT_EQ(Expr("InStrRev(\"abc\", \"x\") & InStrRev(\"abc\", \"c\", 10) & InStrRev(\"abc\", "
                 "\"\", 2) & InStrRev(\"abc\", \"abcd\")"),
            "0020");
  EXPECT_EQ(Expr("InStrRev(\"aXbx\", \"X\", -1, vbTextCompare) & InStrRev(\"aXbx\", \"X\")"), "42");
  EXPECT_TRUE(InvalidCall("InStrRev(\"abc\", \"a\", 0)"));
  EXPECT_TRUE(InvalidCall("InStrRev(\"abc\", \"a\", -2)"));
}

TEST(MacroTextBuiltinTest, ReplaceStartsCountsAndCase) {
  EXPECT_EQ(Each("Replace(\"aaaa\", \"a\", \"b\", 1, 2)", "Replace(\"abcabc\", \"b\", \"X\", 3)",
                 "Replace(\"aaa\", \"aa\", \"b\")"),
            "[bbaa][caXc][ba]");
  EXPECT_EQ(Each("Replace(\"abc\", \"\", \"x\")", "Replace(\"abc\", \"b\", \"\")",
                 "Replace(\"abc\", \"b\", \"X\", 1, 0)"),
            "[abc][ac][abc]");
  EXPECT_EQ(Each("Replace(\"abc\", \"b\", \"X\", 4)",
                 "Replace(\"ABab\", \"a\", \"x\", 1, -1, "
                 "vbTextCompare)",
                 "Replace(\"ABab\", \"a\", \"x\")"),
            "[][xBxb][ABxb]");
  // The replacement is not searched again.
  EXPECT_EQ(Expr("Replace(\"ab\", \"a\", \"aa\")"), "aab");
  EXPECT_TRUE(InvalidCall("Replace(\"abc\", \"b\", \"X\", 0)"));
  EXPECT_TRUE(InvalidCall("Replace(\"abc\", \"b\", \"X\", 1, -2)"));
}

TEST(MacroTextBuiltinTest, TrimCaseCodesAndSplit) {
  // Trim takes spaces only; tabs and line ends stay.
  EXPECT_EQ(Each("Trim(vbTab & \" x \")", "Len(Trim(\" \" & vbCrLf))", "Trim(\"   \")"),
            "[\t x][2][]");
  EXPECT_EQ(Each("(Chr(65) & ChrW(-1) = \"A\" & ChrW(65535))", "AscW(ChrW(8364))", "Asc(\"ab\")"),
            "[True][8364][97]");
  EXPECT_TRUE(InvalidCall("Chr(256)"));
  EXPECT_TRUE(InvalidCall("ChrW(65536)"));
  EXPECT_TRUE(InvalidCall("Asc(\"\")"));
  // Case maps letter for letter.
  EXPECT_EQ(Each("UCase(\"stra\u00dfe 1\")", "LCase(\"\u00c9X\")", "UCase(12)"),
            "[STRA\u00dfE 1][\u00e9x][12]");
  EXPECT_EQ(Expr("UBound(Split(\"a,b,c\", \",\", 2)) & Split(\"a,b,c\", \",\", 2)(1)"), "1b,c");
  EXPECT_EQ(Expr("UBound(Split(\"\", \",\")) & UBound(Split(\"a,,b\", \",\")) & Split(\"a b\")(1)"),
            "-12b");
  EXPECT_EQ(Expr("Join(Array()) & \"|\" & Join(Array(1, 2), \"\") & \"|\" & Join(Array(\"a\"))"),
            "|12|a");
  EXPECT_EQ(Expr("StrComp(\"a\", \"b\") & StrComp(\"b\", \"a\") & StrComp(\"a\", \"A\") & "
                 "StrComp(\"a\", \"A\", vbTextCompare)"),
            "-1110");
  EXPECT_EQ(Each("Space(3)", "String(3, \"ab\")", "String(2, 65) & StrReverse(\"abc\")"),
            "[   ][aaa][AAcba]");
  EXPECT_TRUE(InvalidCall("Space(-1)"));
}

TEST(MacroNumberBuiltinTest, ValReadsTheLeadingNumber) {
  EXPECT_EQ(Each("Val(\"  1 2 3\")", "Val(\"-1.5e-1x\")", "Val(\"12abc34\")"), "[123][-0.15][12]");
  EXPECT_EQ(Each("Val(\"&HFF\") + Val(\"&O10\")", "Val(\".5\") + Val(\"1,000\")", "Val(\"\")"),
            "[263][1.5][0]");
  EXPECT_EQ(Each("Val(\"abc\")", "TypeName(Val(\"3\"))", "Val(\"1e3\")"), "[0][Double][1000]");
}

TEST(MacroNumberBuiltinTest, IsNumericAcceptsWhatConverts) {
  EXPECT_EQ(Expr("IsNumeric(\"12\") & IsNumeric(\" 12 \") & IsNumeric(\"-1.5e3\") & "
                 "IsNumeric(\"&H1F\") & IsNumeric(True)"),
            "TrueTrueTrueTrueTrue");
  EXPECT_EQ(Expr("IsNumeric(\"\") & IsNumeric(\"1.2.3\") & IsNumeric(\"12abc\") & "
                 "IsNumeric(\"-\") & IsNumeric(Now)"),
            "FalseFalseFalseFalseFalse");
  EXPECT_EQ(Eval("Dim e\nMain = IsNumeric(e)"), "True");
  // What IsNumeric accepts, CDbl converts.
  EXPECT_EQ(Expr("CDbl(\" 12 \") + CDbl(\"&H1F\")"), "43");
}

TEST(MacroNumberBuiltinTest, RoundingAndSigns) {
  EXPECT_EQ(Each("Round(2.5) & Round(3.5) & Round(-2.5)", "Round(1.25, 1)", "Round(2.567, 2)"),
            "[24-2][1.2][2.57]");
  EXPECT_EQ(Each("Int(-2.5) & Fix(-2.5) & Int(2.5)", "Abs(-3) & Sgn(-0.1) & Sgn(0) & Sgn(7)",
                 "TypeName(Abs(-3)) & TypeName(Int(2.5))"),
            "[-3-22][3-101][IntegerDouble]");
  EXPECT_TRUE(InvalidCall("Round(1.5, -1)"));
}

TEST(MacroFormatTest, NumberPatterns) {
  EXPECT_EQ(FormatValue(Value::Double(1234567.891), "#,##0.00"), "1,234,567.89");
  EXPECT_EQ(FormatValue(Value::Double(0), "0.00"), "0.00");
  EXPECT_EQ(FormatValue(Value::Double(0), "#"), "");
  EXPECT_EQ(FormatValue(Value::Double(2.5), "0"), "3");  // half away from zero
  EXPECT_EQ(FormatValue(Value::Double(0.75), "#%"), "75%");
  EXPECT_EQ(FormatValue(Value::Double(3), "00.0"), "03.0");
  EXPECT_EQ(FormatValue(Value::Double(123), "#"), "123");
  EXPECT_EQ(FormatValue(Value::Double(1234.5), "0.00E+00"), "1.23E+03");
  EXPECT_EQ(FormatValue(Value::Double(0.000123), "0.0E-00"), "1.2E-04");
  EXPECT_EQ(FormatValue(Value::Double(0), "0;(0);\"zero\""), "zero");
  EXPECT_EQ(FormatValue(Value::Double(-5), "0;(0);\"zero\""), "(5)");
  EXPECT_EQ(FormatValue(Value::Double(7), "\"No. \"0"), "No. 7");
  EXPECT_EQ(FormatValue(Value::Double(12), "\\$0"), "$12");
  EXPECT_EQ(FormatValue(Value::Double(-1234.5), "#,##0"), "-1,235");
}

TEST(MacroFormatTest, NamedFormatsAndOtherValues) {
  EXPECT_EQ(FormatValue(Value::Double(1234.5), "Standard"), "1,234.50");
  EXPECT_EQ(FormatValue(Value::Double(0.123), "Percent"), "12.30%");
  EXPECT_EQ(FormatValue(Value::Double(1234.5), "Scientific"), "1.23E+03");
  EXPECT_EQ(FormatValue(Value::Double(1234.5), "General Number"), "1234.5");
  EXPECT_EQ(FormatValue(Value::Double(0), "Yes/No"), "No");
  EXPECT_EQ(FormatValue(Value::Long(-3), "True/False"), "True");
  EXPECT_EQ(FormatValue(Value::Long(5), ""), "5");
  EXPECT_EQ(FormatValue(Value::String("abc"), "0.00"), "abc");
  EXPECT_EQ(FormatValue(Value::String(" 2.5 "), "0.00"), "2.50");
  EXPECT_EQ(Expr("Format(1.5) & \"|\" & Format(\"x\") & \"|\" & Format(0.5, \"0%\")"), "1.5|x|50%");
}

TEST(MacroFormatTest, DatesAndTimes) {
  // 2024-03-01 14:05:09.
  const Value date = Value::Date(45352 + (14 * 3600 + 5 * 60 + 9) / 86400.0);
  EXPECT_EQ(FormatValue(date, "mmm ddd"), "Mar Fri");
  EXPECT_EQ(FormatValue(date, "m/d/yyyy"), "3/1/2024");
  EXPECT_EQ(FormatValue(date, "h:m:s"), "14:5:9");  // m after h is the minute
  EXPECT_EQ(FormatValue(date, "h:nn am/pm"), "2:05 pm");
  EXPECT_EQ(FormatValue(date, "hA/P"), "2P");
  EXPECT_EQ(FormatValue(date, "\"on\" d mmmm yy"), "on 1 March 24");
  EXPECT_EQ(FormatValue(date, "Medium Date"), "01-Mar-24");
  EXPECT_EQ(FormatValue(date, "Short Time"), "14:05");
  EXPECT_EQ(FormatValue(Value::Date(45352), "h AM/PM"), "12 AM");
  EXPECT_EQ(FormatValue(Value::Date(45352.5), "h AM/PM"), "12 PM");
  EXPECT_EQ(FormatValue(Value::Date(0), "yyyy-mm-dd"), "1899-12-30");
  EXPECT_EQ(FormatValue(Value::Date(61), "yyyy-mm-dd"), "1900-03-01");
  EXPECT_EQ(FormatValue(Value::Date(45351), "yyyy-mm-dd dddd"), "2024-02-29 Thursday");
  EXPECT_EQ(FormatValue(Value::Date(-1), "yyyy-mm-dd"), "1899-12-29");
  // Nearly midnight rounds to the second, not past the day.
  EXPECT_EQ(FormatValue(Value::Date(45352 + 86399.6 / 86400.0), "yyyy-mm-dd hh:nn:ss"),
            "2024-03-02 00:00:00");
  EXPECT_EQ(Expr("Year(Now) >= 2024 And Month(Date) >= 1 And Day(Date) <= 31"), "True");
  EXPECT_EQ(Expr("Hour(0.75) & Minute(0.75 + 1 / 1440) & Second(30 / 86400)"), "18130");
}

}  // namespace
}  // namespace quillon::docengine::macro
