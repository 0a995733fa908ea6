// The macro language on its own: each test runs small modules through the
// parser and the interpreter and reads what they print or return.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "tests/docengine/macro_fixture.h"

namespace quillon::docengine::macro {
namespace {

using fixture::Eval;
using fixture::Expr;
using fixture::FailureOf;
using fixture::Outcome;
using fixture::RunModule;
using fixture::SyntaxLine;

TEST(MacroSyntaxTest, ModuleShapeCommentsAndContinuations) {
  const std::string source =
      "Attribute VB_Name = \"Plugin\"\r\n"
      "Option Explicit\r\n"
      "Rem a comment line\r\n"
      "Private Const kWord As String = \"ab\" ' trailing comment\r\n"
      "Public Function Main() As String\r\n"
      "    Dim s As String: s = kWord & _\r\n"
      "        \"cd\"\r\n"
      "    Main = s\r\n"
      "End Function\r\n";
  const Module module = ParseModule(source);
  EXPECT_EQ(module.name, "Plugin");
  EXPECT_TRUE(module.option_explicit);
  EXPECT_EQ(RunModule(source).value, "abcd");
}

TEST(MacroSyntaxTest, OneLineIfWithColonsAndElse) {
  EXPECT_EQ(Eval("Dim a: a = 1\nIf a = 1 Then Main = \"x\": Main = Main & \"y\" Else Main = \"z\""),
            "xy");
  EXPECT_EQ(Eval("If 1 = 2 Then Main = \"x\" Else Main = \"z\": Main = Main & \"!\""), "z!");
  EXPECT_EQ(Eval("If True Then If False Then Main = 1 Else Main = 2"), "2");
}

TEST(MacroSyntaxTest, ErrorsNameTheirLine) {
  EXPECT_EQ(SyntaxLine("Sub Main()\n  If x Then\n    y = 1\nEnd Sub\n"), 4);  // no End If
  EXPECT_EQ(SyntaxLine("Sub Main()\n  s = \"open\nEnd Sub\n"), 2);
  EXPECT_EQ(SyntaxLine("Sub Main()\n  x = (1 + \nEnd Sub\n"), 2);
  EXPECT_EQ(SyntaxLine("Sub Main()\n\n  For i = 1 To 3\n  Next j\nEnd Sub\n"), 4);
  EXPECT_EQ(SyntaxLine("Sub Main()\n  On Error GoTo Handler\nEnd Sub\n"), 2);
  EXPECT_EQ(SyntaxLine("Sub Main()\n"), 2);
  // Nesting is bounded instead of running the stack out.
  EXPECT_GT(SyntaxLine("Sub Main()\nx = " + std::string(5000, '(') + "1\nEnd Sub\n"), 0);
}

TEST(MacroValueTest, OperatorsFollowTheDialect) {
  EXPECT_EQ(Expr("-2 ^ 2"), "-4");
  EXPECT_EQ(Expr("2 + 3 * 4 - 10 / 4"), "11.5");
  EXPECT_EQ(Expr("7 \\ 2 & \",\" & 7 Mod 3"), "3,1");
  EXPECT_EQ(Expr("\"1\" + 2"), "3");
  EXPECT_EQ(Expr("\"1\" & 2"), "12");
  EXPECT_EQ(Expr("\"a\" + \"b\""), "ab");
  EXPECT_EQ(Expr("1 = 1 And Not (2 < 1)"), "True");
  EXPECT_EQ(Expr("6 And 3"), "2");
  EXPECT_EQ(Expr("\"abc\" < \"abd\""), "True");
  EXPECT_EQ(Expr("\"A\" = \"a\""), "False");
  EXPECT_EQ(Expr("\"File12.doc\" Like \"F*##.do?\""), "True");
  EXPECT_EQ(Expr("\"x\" Like \"[!a-c]\""), "True");
  EXPECT_EQ(Expr("0.1 + 0.2"), "0.3");
  EXPECT_EQ(Expr("1E+20 * 10"), "1E+21");
  EXPECT_EQ(RunModule("Option Compare Text\nFunction Main()\nMain = (\"A\" = \"a\")\nEnd "
                      "Function\n")
                .value,
            "True");
}

TEST(MacroValueTest, ConversionsRoundAndOverflow) {
  EXPECT_EQ(Expr("CInt(2.5) & CInt(3.5) & CLng(\"12\")"), "2412");
  EXPECT_EQ(Expr("CDbl(\"1.5e1\")"), "15");
  EXPECT_EQ(Expr("CStr(True) & CStr(1.25)"), "True1.25");
  EXPECT_NE(FailureOf("Function Main()\nMain = CInt(40000)\nEnd Function\n").find("Overflow"),
            std::string::npos);
  EXPECT_NE(FailureOf("Function Main()\nDim i As Integer\ni = 32767\ni = i + 1\nEnd Function\n")
                .find("line 4"),
            std::string::npos);
  EXPECT_NE(FailureOf("Function Main()\nMain = \"x\" * 2\nEnd Function\n").find("Type mismatch"),
            std::string::npos);
  EXPECT_EQ(Eval("Dim n As Long\nn = \"42\"\nMain = TypeName(n) & n"), "Long42");
}

TEST(MacroControlTest, LoopsAndTheirExits) {
  EXPECT_EQ(Eval("Dim i, s\nFor i = 10 To 1 Step -3\ns = s & i & \" \"\nNext i\nMain = s"),
            "10 7 4 1 ");
  EXPECT_EQ(Eval("Dim i, s\nFor i = 1 To 0\ns = \"ran\"\nNext\nMain = \"[\" & s & \"]\""), "[]");
  EXPECT_EQ(Eval("Dim i\nDo While i < 5\ni = i + 2\nLoop\nMain = i"), "6");
  EXPECT_EQ(Eval("Dim i\nDo\ni = i + 1\nLoop Until i >= 3\nMain = i"), "3");
  EXPECT_EQ(Eval("Dim i\nDo Until i = 4\ni = i + 1\nLoop\nMain = i"), "4");
  EXPECT_EQ(Eval("Dim i\nWhile i < 3\ni = i + 1\nWend\nMain = i"), "3");
  EXPECT_EQ(Eval("Dim i, j, n\nFor i = 1 To 5\nFor j = 1 To 5\nIf j = 2 Then Exit For\nn = n + "
                 "1\nNext\nIf i = 3 Then Exit For\nNext\nMain = n & \",\" & i"),
            "3,3");
  EXPECT_EQ(Eval("Dim i\nDo\ni = i + 1\nIf i = 7 Then Exit Do\nLoop\nMain = i"), "7");
  EXPECT_EQ(Eval("Dim a(2) As String, x, s\na(0) = \"p\": a(1) = \"q\": a(2) = \"r\"\nFor Each x "
                 "In a\ns = s & x\nNext\nMain = s & UBound(a) & LBound(a)"),
            "pqr20");
}

TEST(MacroControlTest, ConditionsSelectAndWith) {
  const std::string grade =
      "Function Grade(n)\n"
      "  Select Case n\n"
      "    Case 1, 2: Grade = \"low\"\n"
      "    Case 3 To 5\n"
      "      Grade = \"mid\"\n"
      "    Case Is > 5: Grade = \"high\"\n"
      "    Case Else: Grade = \"none\"\n"
      "  End Select\n"
      "End Function\n"
      "Function Main()\n"
      "  Main = Grade(2) & Grade(4) & Grade(9) & Grade(0)\n"
      "End Function\n";
  EXPECT_EQ(RunModule(grade).value, "lowmidhighnone");
  EXPECT_EQ(Eval("Dim x: x = 5\nIf x < 3 Then\nMain = \"a\"\nElseIf x < 6 Then\nMain = "
                 "\"b\"\nElse\nMain = \"c\"\nEnd If"),
            "b");
  EXPECT_EQ(Eval("With Err\n.Number = 7\n.Description = \"seven\"\nMain = .Number & "
                 ".Description\nEnd With"),
            "7seven");
}

TEST(MacroProcedureTest, ArgumentsResultsAndModuleState) {
  const std::string source =
      "Private count_ As Long\n"
      "Sub Bump(ByRef a, ByVal b, Optional c As Long = 10)\n"
      "  a = a + 1: b = b + 1: count_ = count_ + c\n"
      "End Sub\n"
      "Function Fact(n As Long) As Long\n"
      "  If n <= 1 Then Fact = 1: Exit Function\n"
      "  Fact = n * Fact(n - 1)\n"
      "End Function\n"
      "Function Main()\n"
      "  Dim x, y: x = 1: y = 1\n"
      "  Bump x, y\n"
      "  Call Bump(x, y, 5)\n"
      "  Bump c:=1, a:=x, b:=y\n"
      "  Main = x & \",\" & y & \",\" & count_ & \",\" & Fact(6)\n"
      "End Function\n";
  auto runtime = std::make_shared<ModuleRuntime>(std::make_shared<Module>(ParseModule(source)));
  RunContext context;
  EXPECT_EQ(runtime->Run("Main", context).ToString(), "4,1,16,720");
  // Module-level variables live as long as the imported module.
  EXPECT_EQ(runtime->Run("Main", context).ToString(), "4,1,32,720");
  EXPECT_NE(FailureOf("Sub Main()\nMain2\nEnd Sub\n").find("Main2"), std::string::npos);
  EXPECT_NE(FailureOf("Sub Helper(a)\nEnd Sub\n", "Helper").find("argument a"), std::string::npos);
  EXPECT_NE(FailureOf("Private Sub Hidden()\nEnd Sub\n", "Hidden").find("does not exist"),
            std::string::npos);
}

TEST(MacroErrorTest, ResumeNextGoToZeroAndLines) {
  EXPECT_EQ(Eval("On Error Resume Next\nDim x\nx = 1 / 0\nMain = Err.Number & \"|\" & x & "
                 "\"|after\""),
            "11||after");
  const std::string failure = FailureOf(
      "Function Main()\n  On Error Resume Next\n  x = 1 / 0\n  On Error GoTo 0\n"
      "  x = 1 / 0\nEnd Function\n");
  EXPECT_NE(failure.find("line 5"), std::string::npos) << failure;
  EXPECT_NE(failure.find("Division by zero"), std::string::npos) << failure;
  // An error in a called procedure is caught by the caller's handler.
  EXPECT_EQ(RunModule("Sub Fails()\nErr.Raise 5, , \"boom\"\nEnd Sub\nFunction Main()\nOn Error "
                      "Resume Next\nFails\nMain = Err.Description\nEnd Function\n")
                .value,
            "boom");
  EXPECT_NE(FailureOf("Option Explicit\nSub Main()\n  y = 2\nEnd Sub\n")
                .find("Variable not "
                      "defined: y"),
            std::string::npos);
  EXPECT_NE(FailureOf("Function F(n)\nF = F(n + 1)\nEnd Function\nSub Main()\nF 1\nEnd Sub\n")
                .find("Out of stack space"),
            std::string::npos);
  EXPECT_NE(FailureOf("Sub Main()\nDim a(3)\na(4) = 1\nEnd Sub\n").find("Subscript out of range"),
            std::string::npos);
}

TEST(MacroErrorTest, AnEndlessLoopStopsAtTheDeadline) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(RunModule("Sub Main()\nOn Error Resume Next\nDo\nLoop\nEnd Sub\n", "Main",
                         std::chrono::milliseconds(200)),
               MacroTimeout);
  EXPECT_THROW(
      RunModule("Sub Main()\nWhile True\nWend\nEnd Sub\n", "Main", std::chrono::milliseconds(200)),
      MacroTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(MacroBuiltinTest, TextFunctions) {
  EXPECT_EQ(Expr("Len(\"caf\u00e9\") & Left(\"abcdef\", 2) & Right(\"abcdef\", 2) & "
                 "Mid(\"abcdef\", 2, 3) & Mid(\"abc\", 2)"),
            "4abefbcdbc");
  EXPECT_EQ(Expr("InStr(\"abcabc\", \"c\") & InStr(4, \"abcabc\", \"c\") & InStr(\"abc\", "
                 "\"z\") & InStr(1, \"ABC\", \"b\", vbTextCompare) & InStrRev(\"abcabc\", \"b\")"),
            "36025");
  EXPECT_EQ(Expr("Replace(\"a-b-c\", \"-\", \"+\") & Replace(\"aXbxc\", \"x\", \"\", 1, -1, 1) "
                 "& Replace(\"a-b-c\", \"-\", \"+\", 1, 1)"),
            "a+b+cabca+b-c");
  EXPECT_EQ(Expr("\"[\" & Trim(\"  x  \") & LTrim(\" y \") & RTrim(\" z \") & \"]\""), "[xy  z]");
  EXPECT_EQ(Expr("UCase(\"\u00e9t\u00e9\") & LCase(\"ABC\")"), "\u00c9T\u00c9abc");
  EXPECT_EQ(Expr("Asc(\"A\") & AscW(\"\u20ac\") & Chr(66) & ChrW(8364) & Len(vbCrLf)"),
            "658364B\u20ac2");
  EXPECT_EQ(Expr("Val(\" 12.5abc\") + Val(\"&H10\") + Val(\"x\")"), "28.5");
  EXPECT_EQ(Expr("IsNumeric(\"1e3\") & IsNumeric(\"abc\") & IsNumeric(7)"), "TrueFalseTrue");
  EXPECT_EQ(Expr("Join(Split(\"a,b,c\", \",\"), \"/\")"), "a/b/c");
  EXPECT_NE(FailureOf("Function Main()\nMain = Mid(\"abc\", 0)\nEnd Function\n")
                .find("Invalid procedure call"),
            std::string::npos);
}

TEST(MacroBuiltinTest, FormatNumbersAndDates) {
  EXPECT_EQ(FormatValue(Value::Double(1234.5), "#,##0.00"), "1,234.50");
  EXPECT_EQ(FormatValue(Value::Double(0.256), "0.0%"), "25.6%");
  EXPECT_EQ(FormatValue(Value::Long(7), "000"), "007");
  EXPECT_EQ(FormatValue(Value::Double(-2.5), "0"), "-3");
  EXPECT_EQ(FormatValue(Value::Double(0.5), "#.##"), ".5");
  EXPECT_EQ(FormatValue(Value::Double(-5), "0;(0)"), "(5)");
  EXPECT_EQ(FormatValue(Value::Double(3.14159), "Fixed"), "3.14");
  EXPECT_EQ(FormatValue(Value::String("12"), "0.0"), "12.0");
  // 2024-03-01 14:05:09 as a date serial.
  const Value date = Value::Date(45352 + (14 * 3600 + 5 * 60 + 9) / 86400.0);
  EXPECT_EQ(FormatValue(date, "yyyy-mm-dd hh:nn:ss"), "2024-03-01 14:05:09");
  EXPECT_EQ(FormatValue(date, "dd/mm/yy h:mm AM/PM"), "01/03/24 2:05 PM");
  EXPECT_EQ(FormatValue(date, "dddd d mmmm"), "Friday 1 March");
  EXPECT_EQ(date.ToString(), "2024-03-01 14:05:09");
  EXPECT_EQ(Expr("Len(Format(Now, \"yyyy-mm-dd\")) & (Date <= Now)"), "10True");
}

TEST(MacroBuiltinTest, MessagesGoToTheLogAndNeverWait) {
  const Outcome out = RunModule(
      "Sub Main()\nDim r\nr = MsgBox(\"Hello\", vbYesNo, \"Title\")\nDebug.Print \"r=\"; r, "
      "\"next\"\nMsgBox \"plain\"\nEnd Sub\n");
  ASSERT_EQ(out.log.size(), 3u);
  EXPECT_EQ(out.log[0], "MsgBox (Title): Hello");
  EXPECT_EQ(out.log[1], "r=1\tnext");
  EXPECT_EQ(out.log[2], "MsgBox: plain");
}

}  // namespace
}  // namespace quillon::docengine::macro
