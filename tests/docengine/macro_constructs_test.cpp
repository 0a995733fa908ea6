// The language's constructs one group at a time: operators and conversions
// with their errors, every control structure with its Exit and nesting,
// Select Case, With, error handling and argument passing.

#include <gtest/gtest.h>

#include <string>

#include "tests/docengine/macro_fixture.h"

namespace quillon::docengine::macro {
namespace {

using fixture::Eval;
using fixture::Expr;
using fixture::ExprFailure;
using fixture::FailureOf;
using fixture::RunModule;
using fixture::SyntaxLine;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(MacroOperatorTest, ArithmeticPrecedenceAndTypes) {
  EXPECT_EQ(Expr("2 ^ 3 ^ 2"), "64");  // left to right
  EXPECT_EQ(Expr("2 ^ -1"), "0.5");
  EXPECT_EQ(Expr("-3 ^ 2 + 10 Mod 4 * 2"), "-7");          // Mod below *, both below ^
  EXPECT_EQ(Expr("1 + 2 & 3 + 4"), "37");                  // & below +
  EXPECT_EQ(Expr("7.5 \\ 2 & \",\" & 7.5 Mod 2"), "4,0");  // operands rounded first
  EXPECT_EQ(Expr("-7 \\ 2 & \",\" & -7 Mod 3 & \",\" & 7 Mod -3"), "-3,-1,1");
  EXPECT_EQ(Expr("TypeName(1 + 1) & TypeName(40000 + 1) & TypeName(1 / 1) & TypeName(2 ^ 2)"),
            "IntegerLongDoubleDouble");
  EXPECT_EQ(Expr("TypeName(1 + 1.5) & TypeName(\"1\" + 1) & TypeName(True + 1)"),
            "DoubleDoubleInteger");
  EXPECT_EQ(Expr("\"3\" * \"4\" & \"|\" & \"1\" + \"2\" & \"|\" & True + 1"), "12|12|0");
  EXPECT_EQ(Expr("&HFF + &H10 & \"|\" & &O17"), "271|15");
  EXPECT_EQ(Eval("Dim e\nMain = e + 5 & \"|\" & e & \"x\" & \"|\" & (e = 0) & (e = \"\")"),
            "5|x|TrueTrue");
}

TEST(MacroOperatorTest, ArithmeticErrors) {
  EXPECT_TRUE(Has(ExprFailure("1 \\ 0"), "Division by zero"));
  EXPECT_TRUE(Has(ExprFailure("5 Mod 0"), "Division by zero"));
  EXPECT_TRUE(Has(ExprFailure("5 Mod 0.4"), "Division by zero"));  // 0.4 rounds to 0
  EXPECT_TRUE(Has(ExprFailure("1.5 / 0"), "Division by zero"));
  EXPECT_TRUE(Has(ExprFailure("2147483647 + 1"), "Overflow"));
  EXPECT_TRUE(Has(ExprFailure("10 ^ 400"), "Overflow"));
  EXPECT_TRUE(Has(ExprFailure("\"abc\" + 1"), "Type mismatch"));
  EXPECT_TRUE(Has(ExprFailure("-\"x\""), "Type mismatch"));
  EXPECT_TRUE(Has(ExprFailure("\"1\" < 2 And \"x\" > 1"), "Type mismatch"));
  EXPECT_TRUE(Has(ExprFailure("Nothing Is 1"), "Type mismatch"));
  // Each names the line it happened on.
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nDim a\n\na = 1 \\ 0\nEnd Sub\n"), "line 4"));
}

TEST(MacroOperatorTest, ComparisonsAndLogic) {
  EXPECT_EQ(Expr("(1 < \"2\") & (\"10\" < \"9\") & (10 < 9) & (1 <> 1.0) & (2 >= 2)"),
            "TrueTrueFalseFalseTrue");
  EXPECT_EQ(Expr("(\"abc\" = \"ABC\") & (\"a\" < \"B\") & (\"\" < \"a\")"), "FalseFalseTrue");
  EXPECT_EQ(Expr("(True Xor False) & (True Eqv False) & (False Imp False) & (Not 0)"),
            "TrueFalseTrue-1");
  EXPECT_EQ(Expr("(12 Or 3) & \"|\" & (12 Xor 10) & \"|\" & (True And 1) & \"|\" & Not True"),
            "15|6|1|False");
  EXPECT_EQ(Expr("(Nothing Is Nothing) & (\"x\" Like \"X\") & (\"a1\" Like \"[a-c]#\")"),
            "TrueFalseTrue");
  EXPECT_EQ(Expr("(\"ab\" Like \"a*b*\") & (\"a\" Like \"a?\") & (\"*\" Like \"[*]\")"),
            "TrueFalseTrue");
  EXPECT_EQ(RunModule("Option Compare Text\nFunction Main()\nMain = (\"Ab\" Like \"aB\") & "
                      "(\"b\" > \"A\") & StrComp(\"x\", \"X\")\nEnd Function\n")
                .value,
            "TrueTrue0");
}

TEST(MacroConversionTest, WholeNumbersRoundHalfToEven) {
  EXPECT_EQ(Expr("CInt(0.5) & CInt(1.5) & CInt(2.5) & CInt(-0.5) & CInt(-1.5) & CInt(2.51)"),
            "0220-23");
  EXPECT_EQ(Expr("CLng(2.5) & \"|\" & CLng(-2.5) & \"|\" & CLng(3.5) & \"|\" & CLng(\" 1e3 \")"),
            "2|-2|4|1000");
  EXPECT_EQ(Expr("CInt(-32768.5) & \"|\" & CInt(32767.4) & \"|\" & CLng(-2147483648.5)"),
            "-32768|32767|-2147483648");
  EXPECT_EQ(Expr("CInt(True) & CInt(\"&H10\") & CInt(\"  7 \")"), "-1167");
  for (const char* overflow : {"CInt(32767.5)", "CInt(-32769)", "CInt(\"40000\")",
                               "CLng(2147483647.5)", "CLng(-3E+9)", "CLng(1E+300)"}) {
    EXPECT_TRUE(Has(ExprFailure(overflow), "Overflow")) << overflow;
  }
  for (const char* mismatch : {"CInt(\"x\")", "CLng(\"\")", "CDbl(\"1.2.3\")", "CInt(\"1 2\")"}) {
    EXPECT_TRUE(Has(ExprFailure(mismatch), "Type mismatch")) << mismatch;
  }
  // A declared type converts on assignment and keeps its range.
  EXPECT_EQ(
      Eval("Dim i As Integer, l As Long, d As Double, s As String\ni = 2.5: l = \"7\": d = "
           "\"0.25\": s = 12\nMain = i & TypeName(i) & l & TypeName(l) & d & s & TypeName(s)"),
      "2Integer7Long0.2512String");
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nDim i As Integer\ni = 40000\nEnd Sub\n"), "Overflow"));
  EXPECT_TRUE(
      Has(FailureOf("Sub Main()\nDim n As Long\nn = \"many\"\nEnd Sub\n"), "Type mismatch"));
}

TEST(MacroConversionTest, TextsBooleansAndDoubles) {
  EXPECT_EQ(Expr("CStr(0.1) & \"|\" & CStr(-1.5E-7) & \"|\" & CStr(1E+15) & \"|\" & CStr(1E+16)"),
            "0.1|-1.5E-07|1E+15|1E+16");
  EXPECT_EQ(Expr("CStr(1 / 3)"), "0.333333333333333");
  EXPECT_EQ(Expr("CBool(\"True\") & CBool(\"false\") & CBool(0) & CBool(-2) & CBool(\"1\")"),
            "TrueFalseFalseTrueTrue");
  EXPECT_TRUE(Has(ExprFailure("CBool(\"yes\")"), "Type mismatch"));
  EXPECT_EQ(Expr("CDbl(\"-.5\") * 2 & \"|\" & CDbl(True) & \"|\" & CDbl(\"&HFF\")"), "-1|-1|255");
  EXPECT_EQ(Eval("Dim b As Boolean\nb = 5\nMain = b & CStr(b = True)"), "TrueTrue");
}

TEST(MacroControlTest, IfFormsAndNesting) {
  const std::string classify =
      "Function Kind(n)\n"
      "  If n < 0 Then\n"
      "    Kind = \"neg\"\n"
      "  ElseIf n = 0 Then\n"
      "    Kind = \"zero\"\n"
      "  ElseIf n < 10 Then\n"
      "    If n Mod 2 = 0 Then\n"
      "      Kind = \"even\"\n"
      "    Else\n"
      "      Kind = \"odd\"\n"
      "    End If\n"
      "  Else\n"
      "    Kind = \"big\"\n"
      "  End If\n"
      "End Function\n"
      "Function Main()\n"
      "  Main = Kind(-1) & Kind(0) & Kind(4) & Kind(7) & Kind(12)\n"
      "End Function\n";
  EXPECT_EQ(RunModule(classify).value, "negzeroevenoddbig");
  // One-line forms: no End If, the Else part belongs to the innermost If.
  EXPECT_EQ(Eval("Dim n: n = 3\nIf n > 2 Then n = n * 2\nMain = n"), "6");
  EXPECT_EQ(Eval("If False Then Main = 1 Else If True Then Main = 2 Else Main = 3"), "2");
  // A condition is evaluated once and may be any number.
  EXPECT_EQ(Eval("If 0.4 Then Main = \"yes\" Else Main = \"no\""), "yes");
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nIf \"maybe\" Then x = 1\nEnd Sub\n"), "Type mismatch"));
  EXPECT_EQ(SyntaxLine("Sub Main()\nIf 1 Then\nElse\nElse\nEnd If\nEnd Sub\n"), 4);
  EXPECT_EQ(SyntaxLine("Sub Main()\nEnd If\nEnd Sub\n"), 2);
}

TEST(MacroControlTest, ForLoopsStepsAndCounters) {
  EXPECT_EQ(Eval("Dim i, s\nFor i = 1 To 2 Step 0.5\ns = s & i & \" \"\nNext\nMain = s"),
            "1 1.5 2 ");
  // The bounds are read once; the counter ends one step past the end.
  EXPECT_EQ(Eval("Dim i, n, s\nn = 3\nFor i = 1 To n\nn = 10\ns = s & i\nNext\nMain = s & \"|\" & "
                 "i"),
            "123|4");
  EXPECT_EQ(Eval("Dim i\nFor i = 5 To 1\nNext\nMain = i"), "5");
  // Changing the counter inside the loop changes its course.
  EXPECT_EQ(Eval("Dim i, s\nFor i = 1 To 10\ns = s & i\ni = i + 3\nNext\nMain = s"), "159");
  EXPECT_EQ(Eval("Dim i, j, s\nFor i = 1 To 3\nFor j = i To 3\ns = s & j\nNext j\ns = s & \"/\"\n"
                 "Next i\nMain = s"),
            "123/23/3/");
  // Exit For leaves only the innermost loop.
  EXPECT_EQ(Eval("Dim i, j, s\nFor i = 1 To 3\nFor j = 1 To 3\nIf j > i Then Exit For\ns = s & "
                 "j\nNext\nNext\nMain = s"),
            "112123");
  EXPECT_EQ(Eval("Dim x, s\nFor Each x In Array(3, \"a\", True)\ns = s & x & \";\"\nNext x\nMain "
                 "= s"),
            "3;a;True;");
  EXPECT_EQ(Eval("Dim x, n\nFor Each x In Array(1, 2, 3, 4)\nIf x = 3 Then Exit For\nn = n + "
                 "x\nNext\nMain = n"),
            "3");
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nDim x\nFor Each x In 5\nNext\nEnd Sub\n"),
                  "For Each needs a collection or an array"));
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nDim i\nFor i = 1 To 3 Step \"x\"\nNext\nEnd Sub\n"),
                  "Type mismatch"));
  EXPECT_EQ(SyntaxLine("Sub Main()\nFor i = 1 To 2\nEnd Sub\n"), 3);
  EXPECT_EQ(SyntaxLine("Sub Main()\nNext\nEnd Sub\n"), 2);
}

TEST(MacroControlTest, DoAndWhileLoops) {
  EXPECT_EQ(Eval("Dim i\nDo While i > 0\ni = i + 1\nLoop\nMain = \"[\" & i & \"]\""), "[]");
  EXPECT_EQ(Eval("Dim i\nDo\ni = i + 1\nLoop While i < 0\nMain = i"), "1");  // body runs once
  EXPECT_EQ(Eval("Dim i, s\nDo Until i >= 3\ni = i + 1\ns = s & i\nLoop\nMain = s"), "123");
  EXPECT_EQ(Eval("Dim i, j, n\nDo While i < 3\ni = i + 1\nj = 0\nDo\nj = j + 1\nIf j = 2 Then "
                 "Exit Do\nn = n + 1\nLoop\nLoop\nMain = n & \",\" & i & \",\" & j"),
            "3,3,2");
  EXPECT_EQ(Eval("Dim i, j\nWhile i < 3\ni = i + 1\nj = 0\nWhile j < i\nj = j + 1\nWend\nWend\n"
                 "Main = i * 10 + j"),
            "33");
  // Exit Do inside a For inside a Do leaves the Do.
  EXPECT_EQ(Eval("Dim i, k\nDo\nk = k + 1\nFor i = 1 To 5\nIf i = 2 Then Exit Do\nNext\nLoop\n"
                 "Main = k & i"),
            "12");
  EXPECT_EQ(SyntaxLine("Sub Main()\nDo While x\nWend\nEnd Sub\n"), 3);
  EXPECT_EQ(SyntaxLine("Sub Main()\nDo While 1\nLoop Until 2\nEnd Sub\n"), 3);
  EXPECT_EQ(SyntaxLine("Sub Main()\nExit While\nEnd Sub\n"), 2);
}

TEST(MacroControlTest, ExitSubAndFunction) {
  const std::string source =
      "Private trail As String\n"
      "Sub Inner(n)\n"
      "  Dim i\n"
      "  For i = 1 To 10\n"
      "    Do\n"
      "      If i = n Then Exit Sub\n"
      "      trail = trail & i\n"
      "      Exit Do\n"
      "    Loop\n"
      "  Next\n"
      "  trail = trail & \"!\"\n"
      "End Sub\n"
      "Function Pick(n)\n"
      "  Pick = \"early\"\n"
      "  If n > 0 Then Exit Function\n"
      "  Pick = \"late\"\n"
      "End Function\n"
      "Function Main()\n"
      "  Inner 3\n"
      "  trail = trail & \"/\"\n"
      "  Main = trail & Pick(1) & Pick(0)\n"
      "End Function\n";
  EXPECT_EQ(RunModule(source).value, "12/earlylate");
  // A function that never assigns itself returns Empty.
  EXPECT_EQ(RunModule("Function F()\nEnd Function\nFunction Main()\nMain = IsEmpty(F()) & "
                      "TypeName(F)\nEnd Function\n")
                .value,
            "TrueEmpty");
  EXPECT_EQ(SyntaxLine("Sub Main()\nExit Function\nEnd Sub\n"), 2);
}

TEST(MacroSelectTest, EveryCaseForm) {
  const std::string numbers =
      "Function Size(v)\n"
      "  Select Case v\n"
      "    Case 0: Size = \"zero\"\n"
      "    Case 1 To 9, 20: Size = \"small\"\n"
      "    Case Is < 0, Is > 100: Size = \"odd\"\n"
      "    Case Else\n"
      "      Size = \"other\"\n"
      "  End Select\n"
      "End Function\n"
      "Function Main()\n"
      "  Main = Size(0) & Size(1) & Size(9.5) & Size(20) & Size(-3) & Size(101) & Size(100)\n"
      "End Function\n";
  EXPECT_EQ(RunModule(numbers).value, "zerosmallothersmalloddoddother");
  const std::string texts =
      "Function Sort(v)\n"
      "  Select Case v\n"
      "    Case \"a\" To \"f\": Sort = \"early\"\n"
      "    Case \"x\", \"y\", Is >= \"z\": Sort = \"late\"\n"
      "    Case Else: Sort = \"other\"\n"
      "  End Select\n"
      "End Function\n"
      "Function Main()\n"
      "  Main = Sort(\"c\") & Sort(\"f\") & Sort(\"fa\") & Sort(\"y\") & Sort(\"zz\") & "
      "Sort(\"A\")\n"
      "End Function\n";
  EXPECT_EQ(RunModule(texts).value, "earlyearlyotherlatelateother");
  // Only the first matching case runs; the subject is evaluated once.
  EXPECT_EQ(RunModule("Private calls\nFunction Next1()\ncalls = calls + 1\nNext1 = 2\nEnd "
                      "Function\nFunction Main()\nSelect Case Next1()\nCase 1: Main = \"one\"\n"
                      "Case 2: Main = \"two\"\nCase 2: Main = \"again\"\nEnd Select\nMain = Main "
                      "& calls\nEnd Function\n")
                .value,
            "two1");
  // No match and no Case Else: nothing runs.
  EXPECT_EQ(Eval("Main = \"-\"\nSelect Case 5\nCase 1\nMain = \"1\"\nEnd Select"), "-");
  // Nested Select inside a loop, with Exit For from a case.
  EXPECT_EQ(Eval("Dim i, s\nFor i = 1 To 9\nSelect Case i Mod 3\nCase 0\nSelect Case i\nCase 6: "
                 "Exit For\nCase Else: s = s & \"z\"\nEnd Select\nCase Else: s = s & i\nEnd "
                 "Select\nNext\nMain = s"),
            "12z45");
  EXPECT_EQ(RunModule("Option Compare Text\nFunction Main()\nSelect Case \"ABC\"\nCase \"abc\": "
                      "Main = 1\nCase Else: Main = 2\nEnd Select\nEnd Function\n")
                .value,
            "1");
  EXPECT_EQ(SyntaxLine("Sub Main()\nSelect Case 1\nx = 2\nCase 1\nEnd Select\nEnd Sub\n"), 3);
  EXPECT_EQ(SyntaxLine("Sub Main()\nSelect Case 1\nCase 1\nEnd Sub\n"), 4);
}

TEST(MacroWithTest, BlocksNestAndReachTheirObject) {
  EXPECT_EQ(Eval("With Err\n.Number = 3\nWith Err\n.Description = \"in\"\nEnd With\nMain = "
                 ".Number & .Description\nEnd With"),
            "3in");
  // The object is taken once; the block's members read the same object.
  EXPECT_EQ(Eval("Err.Number = 9\nWith Err\nErr.Clear\nMain = .Number\nEnd With"), "0");
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nDim x\nx = .Count\nEnd Sub\n"), "outside a With"));
  EXPECT_TRUE(
      Has(FailureOf("Sub Main()\nWith 5\n.Count = 1\nEnd With\nEnd Sub\n"), "Object required"));
  EXPECT_EQ(SyntaxLine("Sub Main()\nWith Err\nEnd Sub\n"), 3);
}

TEST(MacroErrorTest, ResumeNextSkipsOnlyTheFailingStatement) {
  EXPECT_EQ(Eval("On Error Resume Next\nDim s\ns = \"a\"\ns = s & (1 / 0)\ns = s & \"b\"\nMain = s "
                 "& Err.Number"),
            "ab11");
  // A failing condition goes on with the statement after it: the Then part.
  EXPECT_EQ(
      Eval("On Error Resume Next\nDim s\nIf 1 / 0 Then\ns = \"then\"\nElse\ns = \"else\"\nEnd "
           "If\nMain = \"[\" & s & \"]\" & Err.Number"),
      "[then]11");
  // Err keeps the last error until cleared or another statement fails.
  EXPECT_EQ(
      Eval("On Error Resume Next\nDim a(1), r\na(5) = 1\nr = Err.Number & \"-\"\nErr.Clear\nr "
           "= r & Err.Number & \"-\"\nr = r & CInt(\"x\")\nMain = r & Err.Number & \"-\" & "
           "Err.Description"),
      "9-0-13-Type mismatch");
  EXPECT_EQ(Eval("On Error Resume Next\nErr.Raise 1001, \"src\", \"mine\"\nMain = Err.Number & "
                 "Err.Source & Err.Description"),
            "1001srcmine");
  // Err.Raise without On Error fails the run with the raised text.
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nErr.Raise 513, , \"custom failure\"\nEnd Sub\n"),
                  "custom failure"));
}

TEST(MacroErrorTest, HandlersBelongToTheirProcedure) {
  // A callee's Resume Next ends with the callee; the caller's GoTo 0 stands.
  const std::string source =
      "Sub Tolerant()\n"
      "  On Error Resume Next\n"
      "  Dim x: x = 1 / 0\n"
      "End Sub\n"
      "Sub Strict()\n"
      "  Dim y: y = 1 / 0\n"
      "End Sub\n"
      "Function Main()\n"
      "  Tolerant\n"
      "  Main = \"survived\"\n"
      "  Strict\n"
      "  Main = \"not here\"\n"
      "End Function\n";
  const std::string failure = FailureOf(source);
  EXPECT_TRUE(Has(failure, "Division by zero")) << failure;
  EXPECT_TRUE(Has(failure, "line 6")) << failure;
  // The caller's handler passes over the whole failing call.
  EXPECT_EQ(RunModule("Private s\nSub Strict()\ns = s & \"a\"\nDim y: y = 1 / 0\ns = s & "
                      "\"b\"\nEnd Sub\nFunction Main()\nOn Error Resume Next\nStrict\ns = s & "
                      "\"c\"\nMain = s\nEnd Function\n")
                .value,
            "ac");
  // GoTo 0 turns handling off again, and Err is cleared by it.
  EXPECT_EQ(Eval("On Error Resume Next\nDim x: x = 1 / 0\nOn Error GoTo 0\nMain = Err.Number"),
            "0");
  // A timeout is never passed over.
  EXPECT_THROW(fixture::RunModule("Sub Main()\nOn Error Resume Next\nDo: Loop\nEnd Sub\n", "Main",
                                  std::chrono::milliseconds(100)),
               MacroTimeout);
}

TEST(MacroProcedureTest, ByRefAndByValPassing) {
  const std::string source =
      "Sub Twice(ByRef n)\n  n = n * 2\nEnd Sub\n"
      "Sub Keep(ByVal n)\n  n = n * 2\nEnd Sub\n"
      "Sub Default(n)\n  n = n + 1\nEnd Sub\n"
      "Sub Fill(a())\n  a(1) = \"set\"\nEnd Sub\n"
      "Function Main()\n"
      "  Dim x, y, z, w, arr(2)\n"
      "  x = 5: y = 5: z = 5: w = 5\n"
      "  Twice x\n"
      "  Keep y\n"
      "  Default z\n"
      "  Twice (w)\n"  // parentheses make a value: no write-back
      "  Fill arr\n"
      "  Dim b(1): b(0) = 1\n"
      "  Twice b(0)\n"  // an array element passes by reference
      "  Main = x & \",\" & y & \",\" & z & \",\" & w & \",\" & arr(1) & \",\" & b(0)\n"
      "End Function\n";
  EXPECT_EQ(RunModule(source).value, "10,5,6,5,set,2");
  // Expressions and constants passed ByRef are copies.
  EXPECT_EQ(RunModule("Const K = 3\nSub Twice(ByRef n)\nn = n * 2\nEnd Sub\nFunction Main()\nDim "
                      "x: x = 1\nTwice x + 1\nTwice K\nMain = x & K\nEnd Function\n")
                .value,
            "13");
  // Optional arguments: missing ones take their default or stay Empty.
  EXPECT_EQ(RunModule("Function F(a, Optional b = \"d\", Optional c)\nF = a & b & "
                      "IsEmpty(c)\nEnd Function\nFunction Main()\nMain = F(1) & F(1, 2) & F(1, , "
                      "3) & F(c:=0, a:=9)\nEnd Function\n")
                .value,
            "1dTrue12True1dFalse9dFalse");
  EXPECT_TRUE(Has(FailureOf("Sub F(a)\nEnd Sub\nSub Main()\nF 1, 2\nEnd Sub\n"), "argument"));
  EXPECT_TRUE(Has(FailureOf("Sub F(a)\nEnd Sub\nSub Main()\nF b:=1\nEnd Sub\n"), "line 4"));
  // A typed ByRef argument converts what the callee stores.
  EXPECT_EQ(RunModule("Sub Put(ByRef s As String)\ns = 42\nEnd Sub\nFunction Main()\nDim t As "
                      "String\nPut t\nMain = TypeName(t) & t\nEnd Function\n")
                .value,
            "String42");
}

TEST(MacroDeclarationTest, ConstantsArraysAndScopes) {
  EXPECT_TRUE(Has(FailureOf("Const K = 1\nSub Main()\nK = 2\nEnd Sub\n"), "line 3"));
  EXPECT_EQ(Eval("Dim a()\nReDim a(2)\na(2) = \"x\"\nReDim Preserve a(4)\na(4) = \"y\"\nMain = "
                 "a(2) & a(4) & UBound(a)"),
            "xy4");
  EXPECT_EQ(Eval("Dim a()\nReDim a(2)\na(1) = 5\nReDim a(3)\nMain = \"[\" & a(1) & \"]\""), "[]");
  EXPECT_EQ(Eval("Dim m(1 To 2, 0 To 1)\nm(2, 1) = 7\nMain = m(2, 1) & LBound(m) & UBound(m, 2)"),
            "711");
  EXPECT_TRUE(
      Has(FailureOf("Sub Main()\nDim m(1 To 2)\nm(0) = 1\nEnd Sub\n"), "Subscript out of range"));
  // Arrays are copied on assignment.
  EXPECT_EQ(Eval("Dim a, b\na = Array(1, 2)\nb = a\nb(0) = 9\nMain = a(0) & b(0)"), "19");
  // Static keeps its value between calls; Dim does not.
  EXPECT_EQ(RunModule("Function Count()\nStatic n\nDim m\nn = n + 1: m = m + 1\nCount = n & m\nEnd "
                      "Function\nFunction Main()\nMain = Count() & Count() & Count()\nEnd "
                      "Function\n")
                .value,
            "112131");
  // A local hides a module variable of the same name.
  EXPECT_EQ(RunModule("Private v\nSub SetLocal()\nDim v\nv = 1\nEnd Sub\nFunction "
                      "Main()\nv = 5\nSetLocal\nMain = v\nEnd Function\n")
                .value,
            "5");
  EXPECT_TRUE(Has(FailureOf("Option Explicit\nSub Main()\nDim a\nb = a\nEnd Sub\n"),
                  "Variable not defined: b"));
  EXPECT_EQ(Eval("Dim o As Object\nMain = (o Is Nothing) & TypeName(o)"), "TrueNothing");
  EXPECT_TRUE(
      Has(FailureOf("Sub Main()\nDim o As Object\no.Count\nEnd Sub\n"), "Object variable not set"));
  EXPECT_TRUE(Has(FailureOf("Sub Main()\nDim o\nSet o = 5\nEnd Sub\n"), "Object required"));
}

}  // namespace
}  // namespace quillon::docengine::macro
