#include "docengine/macro_parser.h"

#include <algorithm>

namespace quillon::docengine::macro {
namespace {

constexpr int kMaxNesting = 200;

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

// Words that cannot name a variable or procedure.
bool IsReserved(std::string_view w) {
  static constexpr std::string_view kReserved[] = {
      "and",      "as",       "byref",  "byval",  "call",   "case",    "const", "dim",
      "do",       "each",     "else",   "elseif", "end",    "eqv",     "exit",  "false",
      "for",      "function", "goto",   "if",     "imp",    "in",      "is",    "like",
      "loop",     "mod",      "new",    "next",   "not",    "nothing", "on",    "or",
      "preserve", "private",  "public", "redim",  "select", "set",     "step",  "sub",
      "then",     "to",       "true",   "until",  "wend",   "while",   "with",  "xor",
      "optional", "static",   "let"};
  for (std::string_view r : kReserved) {
    if (SameWord(w, r))
      return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

  Module Parse() {
    Module module;
    while (true) {
      SkipEndsOfStatement();
      if (Peek().kind == Token::Kind::kEnd)
        break;
      if (IsWord("Attribute")) {
        Next();
        if (IsWord("VB_Name") && Peek(1).text == "=" && Peek(2).kind == Token::Kind::kString)
          module.name = Peek(2).text;
        while (!AtEndOfStatement())
          Next();
        continue;
      }
      if (AcceptWord("Option")) {
        if (AcceptWord("Explicit")) {
          module.option_explicit = true;
        } else if (AcceptWord("Compare")) {
          if (AcceptWord("Text")) {
            module.compare_text = true;
          } else if (!AcceptWord("Binary") && !AcceptWord("Database")) {
            Fail("expected Text or Binary after Option Compare");
          }
        } else if (AcceptWord("Base")) {
          if (Peek().kind != Token::Kind::kNumber || (Peek().number != 0 && Peek().number != 1))
            Fail("expected 0 or 1 after Option Base");
          module.option_base = static_cast<int>(Next().number);
        } else if (AcceptWord("Private")) {
          ExpectWord("Module");
        } else {
          Fail("expected Explicit, Compare, Base or Private Module after Option");
        }
        ExpectEndOfStatement();
        continue;
      }
      bool is_public = true;
      bool modifier = false;
      if (AcceptWord("Public") || AcceptWord("Global") || AcceptWord("Friend")) {
        modifier = true;
      } else if (AcceptWord("Private")) {
        is_public = false;
        modifier = true;
      }
      AcceptWord("Static");
      if (IsWord("Sub") || IsWord("Function")) {
        module.procedures.push_back(ParseProcedure(is_public));
        continue;
      }
      if (AcceptWord("Const")) {
        for (auto& decl : ParseConstants())
          module.constants.push_back(std::move(decl));
        ExpectEndOfStatement();
        continue;
      }
      if (IsWord("Declare"))
        Fail("Declare statements are not supported");
      if (IsWord("Type") || IsWord("Enum"))
        Fail("user-defined types and enumerations are not supported");
      if (IsWord("Property"))
        Fail("Property procedures are not supported");
      if (AcceptWord("Dim") || modifier) {
        for (VarDecl& decl : ParseDeclarations(false))
          module.variables.push_back(std::move(decl));
        ExpectEndOfStatement();
        continue;
      }
      Fail("expected Sub, Function or a declaration");
    }
    return module;
  }

 private:
  const Token& Peek(std::size_t k = 0) const { return t_[std::min(p_ + k, t_.size() - 1)]; }
  const Token& Next() {
    const Token& t = Peek();
    if (p_ < t_.size() - 1)
      ++p_;
    return t;
  }
  bool IsWord(std::string_view w, std::size_t k = 0) const {
    return Peek(k).kind == Token::Kind::kWord && SameWord(Peek(k).text, w);
  }
  bool IsOp(std::string_view op, std::size_t k = 0) const {
    return Peek(k).kind == Token::Kind::kOperator && Peek(k).text == op;
  }
  bool AcceptWord(std::string_view w) {
    if (!IsWord(w))
      return false;
    Next();
    return true;
  }
  bool AcceptOp(std::string_view op) {
    if (!IsOp(op))
      return false;
    Next();
    return true;
  }
  void ExpectWord(std::string_view w) {
    if (!AcceptWord(w))
      Fail("expected " + std::string(w));
  }
  void ExpectOp(std::string_view op) {
    if (!AcceptOp(op))
      Fail("expected \"" + std::string(op) + "\"");
  }
  bool AtEndOfStatement() const {
    return Peek().kind == Token::Kind::kEndOfStatement || Peek().kind == Token::Kind::kEnd;
  }
  // The end of a statement's words: a line end, ":" or, inside a one-line
  // If, its Else.
  bool AtStatementStop() const { return AtEndOfStatement() || (inline_if_ > 0 && IsWord("Else")); }
  void ExpectEndOfStatement() {
    if (!AtEndOfStatement())
      Fail("expected the end of the statement");
    Next();
  }
  void SkipEndsOfStatement() {
    while (Peek().kind == Token::Kind::kEndOfStatement)
      Next();
  }
  std::string Describe(const Token& t) const {
    switch (t.kind) {
      case Token::Kind::kWord:
        return "\"" + t.text + "\"";
      case Token::Kind::kNumber:
        return "a number";
      case Token::Kind::kString:
        return "a text";
      case Token::Kind::kOperator:
        return "\"" + t.text + "\"";
      case Token::Kind::kEndOfStatement:
        return "the end of the line";
      case Token::Kind::kEnd:
        return "the end of the module";
    }
    return "?";
  }
  [[noreturn]] void Fail(const std::string& message) const {
    throw SyntaxError(Peek().line, message + ", found " + Describe(Peek()));
  }
  std::string ExpectName() {
    if (Peek().kind != Token::Kind::kWord || IsReserved(Peek().text))
      Fail("expected a name");
    return Next().text;
  }

  struct DepthGuard {
    explicit DepthGuard(Parser& p) : p_(p) {
      if (++p_.depth_ > kMaxNesting)
        p_.Fail("the statements or expressions nest too deeply");
    }
    ~DepthGuard() { --p_.depth_; }
    Parser& p_;
  };

  TypeName ParseType() {
    AcceptWord("New");
    if (Peek().kind != Token::Kind::kWord)
      Fail("expected a type name");
    std::string name = Next().text;
    while (AcceptOp(".")) {
      if (Peek().kind != Token::Kind::kWord)
        Fail("expected a type name");
      name = Next().text;
    }
    if (IsOp("*"))
      Fail("fixed-length texts are not supported");
    static const std::pair<std::string_view, TypeName> kTypes[] = {
        {"Variant", TypeName::kVariant}, {"String", TypeName::kString},
        {"Long", TypeName::kLong},       {"Integer", TypeName::kInteger},
        {"Byte", TypeName::kByte},       {"Double", TypeName::kDouble},
        {"Single", TypeName::kDouble},   {"Currency", TypeName::kDouble},
        {"Boolean", TypeName::kBoolean}, {"Date", TypeName::kDate},
        {"LongLong", TypeName::kDouble}, {"LongPtr", TypeName::kLong}};
    for (const auto& [word, type] : kTypes) {
      if (SameWord(name, word))
        return type;
    }
    return TypeName::kObject;  // Object, Range, Document, Word.Field ...
  }

  std::vector<Bound> ParseBounds() {
    std::vector<Bound> bounds;
    if (IsOp(")"))
      return bounds;
    do {
      Bound bound;
      ExprPtr first = ParseExpr();
      if (AcceptWord("To")) {
        bound.lower = std::move(first);
        bound.upper = ParseExpr();
      } else {
        bound.upper = std::move(first);
      }
      bounds.push_back(std::move(bound));
    } while (AcceptOp(","));
    return bounds;
  }

  std::vector<VarDecl> ParseDeclarations(bool redim) {
    std::vector<VarDecl> decls;
    do {
      VarDecl decl;
      decl.line = Peek().line;
      decl.name = ExpectName();
      if (AcceptOp("(")) {
        decl.is_array = true;
        decl.bounds = ParseBounds();
        ExpectOp(")");
      }
      if (redim && !decl.is_array)
        Fail("expected the new bounds after ReDim " + decl.name);
      if (AcceptWord("As"))
        decl.type = ParseType();
      decls.push_back(std::move(decl));
    } while (AcceptOp(","));
    return decls;
  }

  std::vector<std::pair<std::string, ExprPtr>> ParseConstants() {
    std::vector<std::pair<std::string, ExprPtr>> out;
    do {
      std::string name = ExpectName();
      if (AcceptWord("As"))
        ParseType();
      ExpectOp("=");
      out.emplace_back(std::move(name), ParseExpr());
    } while (AcceptOp(","));
    return out;
  }

  Procedure ParseProcedure(bool is_public) {
    Procedure proc;
    proc.is_public = is_public;
    proc.line = Peek().line;
    proc.is_function = IsWord("Function");
    Next();
    proc.name = ExpectName();
    if (AcceptOp("(")) {
      if (!IsOp(")")) {
        do {
          Param param;
          param.optional = AcceptWord("Optional");
          if (AcceptWord("ByVal")) {
            param.by_val = true;
          } else {
            AcceptWord("ByRef");
          }
          if (IsWord("ParamArray"))
            Fail("ParamArray parameters are not supported");
          param.name = ExpectName();
          if (AcceptOp("(")) {
            ExpectOp(")");
            param.is_array = true;
          }
          if (AcceptWord("As"))
            param.type = ParseType();
          if (AcceptOp("=")) {
            if (!param.optional)
              Fail("only an Optional parameter takes a default value");
            param.default_value = ParseExpr();
          }
          proc.params.push_back(std::move(param));
        } while (AcceptOp(","));
      }
      ExpectOp(")");
    }
    if (proc.is_function && AcceptWord("As")) {
      proc.return_type = ParseType();
      if (AcceptOp("(")) {
        ExpectOp(")");
        proc.return_type = TypeName::kVariant;
      }
    }
    ExpectEndOfStatement();
    in_function_ = proc.is_function;
    proc.body = ParseBody();
    const char* end_word = proc.is_function ? "Function" : "Sub";
    if (!(IsWord("End") && IsWord(end_word, 1)))
      Fail(std::string("expected End ") + end_word);
    Next();
    Next();
    ExpectEndOfStatement();
    return proc;
  }

  bool AtBlockEnd() const {
    if (Peek().kind == Token::Kind::kEnd)
      return true;
    for (std::string_view w : {"Else", "ElseIf", "Next", "Loop", "Wend", "Case"}) {
      if (IsWord(w))
        return true;
    }
    if (IsWord("End")) {
      for (std::string_view w : {"If", "Sub", "Function", "With", "Select", "Property"}) {
        if (IsWord(w, 1))
          return true;
      }
    }
    return false;
  }

  Body ParseBody() {
    DepthGuard guard(*this);
    Body body;
    while (true) {
      SkipEndsOfStatement();
      if (AtBlockEnd())
        return body;
      body.push_back(ParseStatement());
      ExpectEndOfStatement();
    }
  }

  StmtPtr NewStmt(Stmt::Kind kind, int line) {
    auto s = std::make_unique<Stmt>();
    s->kind = kind;
    s->line = line;
    return s;
  }

  StmtPtr ParseStatement() {
    DepthGuard guard(*this);
    const int line = Peek().line;
    if (Peek().kind == Token::Kind::kWord) {
      if (IsWord("Dim") || IsWord("Static")) {
        auto s = NewStmt(Stmt::Kind::kDim, line);
        s->is_static = IsWord("Static");
        Next();
        s->decls = ParseDeclarations(false);
        return s;
      }
      if (AcceptWord("Const")) {
        auto s = NewStmt(Stmt::Kind::kConst, line);
        auto constants = ParseConstants();
        // One statement per constant keeps the interpreter simple.
        auto first = std::move(constants.front());
        for (std::size_t i = 1; i < constants.size(); ++i) {
          VarDecl extra;
          extra.name = constants[i].first;
          s->decls.push_back(std::move(extra));
          s->conditions.push_back(std::move(constants[i].second));
        }
        VarDecl decl;
        decl.name = first.first;
        s->decls.insert(s->decls.begin(), std::move(decl));
        s->conditions.insert(s->conditions.begin(), std::move(first.second));
        return s;
      }
      if (AcceptWord("ReDim")) {
        auto s = NewStmt(Stmt::Kind::kReDim, line);
        s->preserve = AcceptWord("Preserve");
        s->decls = ParseDeclarations(true);
        return s;
      }
      if (IsWord("Set") || IsWord("Let")) {
        const bool is_set = IsWord("Set");
        Next();
        auto s = NewStmt(Stmt::Kind::kAssign, line);
        s->is_set = is_set;
        s->target = ParsePostfix(nullptr);
        ExpectOp("=");
        s->value = ParseExpr();
        return s;
      }
      if (AcceptWord("Call")) {
        auto s = NewStmt(Stmt::Kind::kCall, line);
        s->call = ParsePostfix(nullptr);
        if (s->call->kind == Expr::Kind::kName || s->call->kind == Expr::Kind::kMember)
          s->call->has_args = true;
        return s;
      }
      if (IsWord("If"))
        return ParseIf();
      if (IsWord("For"))
        return IsWord("Each", 1) ? ParseForEach() : ParseFor();
      if (IsWord("Do"))
        return ParseDo();
      if (AcceptWord("While")) {
        auto s = NewStmt(Stmt::Kind::kWhile, line);
        s->value = ParseExpr();
        ExpectEndOfStatement();
        s->body = ParseBody();
        ExpectWord("Wend");
        return s;
      }
      if (AcceptWord("With")) {
        auto s = NewStmt(Stmt::Kind::kWith, line);
        s->value = ParseExpr();
        ExpectEndOfStatement();
        s->body = ParseBody();
        if (!(IsWord("End") && IsWord("With", 1)))
          Fail("expected End With");
        Next();
        Next();
        return s;
      }
      if (IsWord("Select"))
        return ParseSelect();
      if (AcceptWord("On")) {
        ExpectWord("Error");
        if (AcceptWord("Resume")) {
          ExpectWord("Next");
          return NewStmt(Stmt::Kind::kOnErrorResumeNext, line);
        }
        ExpectWord("GoTo");
        if (Peek().kind == Token::Kind::kNumber && Peek().number == 0) {
          Next();
          return NewStmt(Stmt::Kind::kOnErrorGoto0, line);
        }
        Fail("only On Error Resume Next and On Error GoTo 0 are supported");
      }
      if (AcceptWord("Exit")) {
        auto s = NewStmt(Stmt::Kind::kExit, line);
        if (AcceptWord("Sub")) {
          s->exit_what = Stmt::ExitWhat::kSub;
          if (in_function_)
            Fail("Exit Sub is not allowed in a Function");
        } else if (AcceptWord("Function")) {
          s->exit_what = Stmt::ExitWhat::kFunction;
          if (!in_function_)
            Fail("Exit Function is not allowed in a Sub");
        } else if (AcceptWord("For")) {
          s->exit_what = Stmt::ExitWhat::kFor;
        } else if (AcceptWord("Do")) {
          s->exit_what = Stmt::ExitWhat::kDo;
        } else {
          Fail("expected Sub, Function, For or Do after Exit");
        }
        return s;
      }
      if (IsWord("Debug") && IsOp(".", 1) && IsWord("Print", 2)) {
        Next();
        Next();
        Next();
        return ParsePrint(line);
      }
      if (IsWord("End") &&
          (Peek(1).kind == Token::Kind::kEndOfStatement || Peek(1).kind == Token::Kind::kEnd ||
           (inline_if_ > 0 && IsWord("Else", 1)))) {
        Next();
        return NewStmt(Stmt::Kind::kEnd, line);
      }
      for (std::string_view w : {"GoTo", "GoSub", "Resume", "Return", "Open", "Close", "Print",
                                 "Input", "Line", "Stop", "Erase", "Error", "RaiseEvent"}) {
        if (IsWord(w) && !IsOp("=", 1) && !IsOp(".", 1))
          Fail("the statement " + std::string(w) + " is not supported");
      }
      if (IsWord("Public") || IsWord("Private") || IsWord("Global"))
        Fail("declarations with Public or Private belong at the module's top");
      if (IsWord("Sub") || IsWord("Function"))
        Fail("a procedure cannot start inside another one (is an End Sub missing?)");
      if (IsReserved(Peek().text))
        Fail("expected a statement");
    } else if (!IsOp(".")) {
      Fail("expected a statement");
    }
    return ParseAssignOrCall(line);
  }

  StmtPtr ParseAssignOrCall(int line) {
    std::size_t last_group = SIZE_MAX;
    ExprPtr target = ParsePostfix(&last_group);
    if (AcceptOp("=")) {
      auto s = NewStmt(Stmt::Kind::kAssign, line);
      s->target = std::move(target);
      s->value = ParseExpr();
      return s;
    }
    auto s = NewStmt(Stmt::Kind::kCall, line);
    if (target->kind != Expr::Kind::kName && target->kind != Expr::Kind::kMember)
      Fail("expected a procedure or method to call");
    if (!AtStatementStop()) {
      // "MsgBox (a) & b": the parenthesis opened the first argument, not
      // an argument list.
      if (last_group != SIZE_MAX) {
        p_ = last_group;
        target->args.clear();
      }
      target->args = ParseArguments(false);
      if (!AtStatementStop())
        Fail("expected \",\" or the end of the statement");
    } else if (last_group != SIZE_MAX && target->args.size() == 1 && target->args[0].value &&
               target->args[0].name.empty()) {
      // "Twice (w)" without Call: the parentheses make the one argument a
      // value, so the procedure cannot change w.
      target->args[0].value->parenthesized = true;
    }
    target->has_args = true;
    s->call = std::move(target);
    return s;
  }

  StmtPtr ParsePrint(int line) {
    auto s = NewStmt(Stmt::Kind::kDebugPrint, line);
    while (!AtStatementStop()) {
      if (IsOp(";") || IsOp(",")) {
        s->print_items.push_back(nullptr);
        s->print_separators.push_back(Next().text[0]);
        continue;
      }
      s->print_items.push_back(ParseExpr());
      if (IsOp(";") || IsOp(",")) {
        s->print_separators.push_back(Next().text[0]);
      } else {
        s->print_separators.push_back(0);
        if (!AtStatementStop())
          Fail("expected \";\", \",\" or the end of the statement");
      }
    }
    return s;
  }

  // Statements after "Then" or "Else" of a one-line If: up to the line's
  // end or (for the Then part) an Else.
  Body ParseInlineStatements() {
    Body body;
    while (true) {
      body.push_back(ParseStatement());
      if (Peek().kind == Token::Kind::kEndOfStatement && Peek().text == ":") {
        Next();
        if (IsWord("Else") || AtEndOfStatement())
          break;
        continue;
      }
      break;
    }
    return body;
  }

  StmtPtr ParseIf() {
    auto s = NewStmt(Stmt::Kind::kIf, Peek().line);
    ExpectWord("If");
    s->conditions.push_back(ParseExpr());
    ExpectWord("Then");
    if (!AtEndOfStatement()) {
      ++inline_if_;
      s->blocks.push_back(ParseInlineStatements());
      if (AcceptWord("Else")) {
        s->has_else = true;
        s->else_block = ParseInlineStatements();
      }
      --inline_if_;
      if (!AtEndOfStatement())
        Fail("expected the end of the one-line If");
      return s;
    }
    ExpectEndOfStatement();
    s->blocks.push_back(ParseBody());
    while (true) {
      if (AcceptWord("ElseIf")) {
        s->conditions.push_back(ParseExpr());
        ExpectWord("Then");
        ExpectEndOfStatement();
        s->blocks.push_back(ParseBody());
        continue;
      }
      if (AcceptWord("Else")) {
        s->has_else = true;
        if (Peek().kind == Token::Kind::kEndOfStatement)
          Next();
        s->else_block = ParseBody();
      }
      break;
    }
    if (!(IsWord("End") && IsWord("If", 1)))
      Fail("expected End If");
    Next();
    Next();
    return s;
  }

  void ParseNext(const std::string& counter) {
    ExpectWord("Next");
    if (Peek().kind == Token::Kind::kWord) {
      if (!SameWord(Peek().text, counter))
        Fail("Next names another counter than For " + counter);
      Next();
    }
  }

  StmtPtr ParseFor() {
    auto s = NewStmt(Stmt::Kind::kFor, Peek().line);
    ExpectWord("For");
    s->counter = ExpectName();
    ExpectOp("=");
    s->from = ParseExpr();
    ExpectWord("To");
    s->to = ParseExpr();
    if (AcceptWord("Step"))
      s->step = ParseExpr();
    ExpectEndOfStatement();
    s->body = ParseBody();
    ParseNext(s->counter);
    return s;
  }

  StmtPtr ParseForEach() {
    auto s = NewStmt(Stmt::Kind::kForEach, Peek().line);
    ExpectWord("For");
    ExpectWord("Each");
    s->counter = ExpectName();
    ExpectWord("In");
    s->value = ParseExpr();
    ExpectEndOfStatement();
    s->body = ParseBody();
    ParseNext(s->counter);
    return s;
  }

  StmtPtr ParseDo() {
    auto s = NewStmt(Stmt::Kind::kDo, Peek().line);
    ExpectWord("Do");
    if (IsWord("While") || IsWord("Until")) {
      s->pre_until = IsWord("Until");
      Next();
      s->pre_test = ParseExpr();
    }
    ExpectEndOfStatement();
    s->body = ParseBody();
    ExpectWord("Loop");
    if (IsWord("While") || IsWord("Until")) {
      if (s->pre_test)
        Fail("a Do loop tests either at Do or at Loop");
      s->post_until = IsWord("Until");
      Next();
      s->post_test = ParseExpr();
    }
    return s;
  }

  StmtPtr ParseSelect() {
    auto s = NewStmt(Stmt::Kind::kSelect, Peek().line);
    ExpectWord("Select");
    ExpectWord("Case");
    s->subject = ParseExpr();
    ExpectEndOfStatement();
    SkipEndsOfStatement();
    while (AcceptWord("Case")) {
      if (AcceptWord("Else")) {
        s->has_else = true;
        if (Peek().kind == Token::Kind::kEndOfStatement)
          Next();
        s->else_block = ParseBody();
        break;
      }
      CaseClause clause;
      do {
        CaseTest test;
        if (AcceptWord("Is")) {
          test.kind = CaseTest::Kind::kIs;
          test.op = ParseComparisonOperator();
          test.value = ParseConcat();
        } else {
          test.value = ParseExpr();
          if (AcceptWord("To")) {
            test.kind = CaseTest::Kind::kRange;
            test.upper = ParseExpr();
          }
        }
        clause.tests.push_back(std::move(test));
      } while (AcceptOp(","));
      if (Peek().kind == Token::Kind::kEndOfStatement)
        Next();
      clause.body = ParseBody();
      s->cases.push_back(std::move(clause));
    }
    if (!(IsWord("End") && IsWord("Select", 1)))
      Fail("expected Case or End Select");
    Next();
    Next();
    return s;
  }

  Op ParseComparisonOperator() {
    static const std::pair<std::string_view, Op> kOps[] = {{"=", Op::kEq},  {"<>", Op::kNe},
                                                           {"<", Op::kLt},  {">", Op::kGt},
                                                           {"<=", Op::kLe}, {">=", Op::kGe}};
    for (const auto& [text, op] : kOps) {
      if (AcceptOp(text))
        return op;
    }
    Fail("expected a comparison after Is");
  }

  // Arguments up to ")" (in_parens) or the end of the statement.
  std::vector<Argument> ParseArguments(bool in_parens) {
    std::vector<Argument> args;
    if (in_parens && IsOp(")"))
      return args;
    while (true) {
      Argument arg;
      if (IsOp(",") || (in_parens && IsOp(")")) || (!in_parens && AtStatementStop())) {
        // an omitted argument
      } else if (Peek().kind == Token::Kind::kWord && IsOp(":=", 1)) {
        arg.name = Next().text;
        Next();
        arg.value = ParseExpr();
      } else {
        AcceptWord("ByVal");
        arg.value = ParseExpr();
      }
      args.push_back(std::move(arg));
      if (!AcceptOp(","))
        break;
    }
    return args;
  }

  ExprPtr NewExpr(Expr::Kind kind, int line) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = line;
    return e;
  }

  // A name or ".name" followed by member accesses and argument lists.
  // last_group, when given, receives the token index of the "(" of an
  // argument list that ends the chain (SIZE_MAX when it ends otherwise).
  ExprPtr ParsePostfix(std::size_t* last_group) {
    DepthGuard guard(*this);
    const int line = Peek().line;
    ExprPtr e;
    if (AcceptOp(".")) {
      e = NewExpr(Expr::Kind::kMember, line);
      if (Peek().kind != Token::Kind::kWord)
        Fail("expected a member name after \".\"");
      e->text = Next().text;
    } else {
      e = NewExpr(Expr::Kind::kName, line);
      e->text = ExpectName();
    }
    if (last_group != nullptr)
      *last_group = SIZE_MAX;
    while (true) {
      if (IsOp("(")) {
        const std::size_t at = p_;
        Next();
        std::vector<Argument> args = ParseArguments(true);
        ExpectOp(")");
        if (e->has_args || e->kind == Expr::Kind::kIndex) {
          auto index = NewExpr(Expr::Kind::kIndex, line);
          index->object = std::move(e);
          index->has_args = true;
          index->args = std::move(args);
          e = std::move(index);
          if (last_group != nullptr)
            *last_group = SIZE_MAX;
        } else {
          e->has_args = true;
          e->args = std::move(args);
          if (last_group != nullptr)
            *last_group = at;
        }
        continue;
      }
      if (IsOp(".") && Peek(1).kind == Token::Kind::kWord) {
        Next();
        auto member = NewExpr(Expr::Kind::kMember, line);
        member->object = std::move(e);
        member->text = Next().text;
        e = std::move(member);
        if (last_group != nullptr)
          *last_group = SIZE_MAX;
        continue;
      }
      return e;
    }
  }

  ExprPtr Binary(Op op, ExprPtr lhs, ExprPtr rhs) {
    auto e = NewExpr(Expr::Kind::kBinary, lhs->line);
    e->op = op;
    e->lhs = std::move(lhs);
    e->rhs = std::move(rhs);
    return e;
  }

  ExprPtr Unary(Op op, ExprPtr operand, int line) {
    auto e = NewExpr(Expr::Kind::kUnary, line);
    e->op = op;
    e->lhs = std::move(operand);
    return e;
  }

  ExprPtr ParseExpr() {
    DepthGuard guard(*this);
    ExprPtr e = ParseEqv();
    while (AcceptWord("Imp"))
      e = Binary(Op::kImp, std::move(e), ParseEqv());
    return e;
  }
  ExprPtr ParseEqv() {
    ExprPtr e = ParseXor();
    while (AcceptWord("Eqv"))
      e = Binary(Op::kEqv, std::move(e), ParseXor());
    return e;
  }
  ExprPtr ParseXor() {
    ExprPtr e = ParseOr();
    while (AcceptWord("Xor"))
      e = Binary(Op::kXor, std::move(e), ParseOr());
    return e;
  }
  ExprPtr ParseOr() {
    ExprPtr e = ParseAnd();
    while (AcceptWord("Or"))
      e = Binary(Op::kOr, std::move(e), ParseAnd());
    return e;
  }
  ExprPtr ParseAnd() {
    ExprPtr e = ParseNot();
    while (AcceptWord("And"))
      e = Binary(Op::kAnd, std::move(e), ParseNot());
    return e;
  }
  ExprPtr ParseNot() {
    const int line = Peek().line;
    if (AcceptWord("Not")) {
      DepthGuard guard(*this);
      return Unary(Op::kNot, ParseNot(), line);
    }
    return ParseComparison();
  }
  ExprPtr ParseComparison() {
    ExprPtr e = ParseConcat();
    while (true) {
      Op op;
      if (AcceptOp("=")) {
        op = Op::kEq;
      } else if (AcceptOp("<>")) {
        op = Op::kNe;
      } else if (AcceptOp("<=")) {
        op = Op::kLe;
      } else if (AcceptOp(">=")) {
        op = Op::kGe;
      } else if (AcceptOp("<")) {
        op = Op::kLt;
      } else if (AcceptOp(">")) {
        op = Op::kGt;
      } else if (AcceptWord("Like")) {
        op = Op::kLike;
      } else if (AcceptWord("Is")) {
        op = Op::kIs;
      } else {
        return e;
      }
      e = Binary(op, std::move(e), ParseConcat());
    }
  }
  ExprPtr ParseConcat() {
    ExprPtr e = ParseAdditive();
    while (AcceptOp("&"))
      e = Binary(Op::kConcat, std::move(e), ParseAdditive());
    return e;
  }
  ExprPtr ParseAdditive() {
    ExprPtr e = ParseMod();
    while (true) {
      if (AcceptOp("+")) {
        e = Binary(Op::kAdd, std::move(e), ParseMod());
      } else if (AcceptOp("-")) {
        e = Binary(Op::kSub, std::move(e), ParseMod());
      } else {
        return e;
      }
    }
  }
  ExprPtr ParseMod() {
    ExprPtr e = ParseIntDiv();
    while (AcceptWord("Mod"))
      e = Binary(Op::kMod, std::move(e), ParseIntDiv());
    return e;
  }
  ExprPtr ParseIntDiv() {
    ExprPtr e = ParseMultiplicative();
    while (AcceptOp("\\"))
      e = Binary(Op::kIntDiv, std::move(e), ParseMultiplicative());
    return e;
  }
  ExprPtr ParseMultiplicative() {
    ExprPtr e = ParseNegation();
    while (true) {
      if (AcceptOp("*")) {
        e = Binary(Op::kMul, std::move(e), ParseNegation());
      } else if (AcceptOp("/")) {
        e = Binary(Op::kDiv, std::move(e), ParseNegation());
      } else {
        return e;
      }
    }
  }
  ExprPtr ParseNegation() {
    const int line = Peek().line;
    if (AcceptOp("-")) {
      DepthGuard guard(*this);
      return Unary(Op::kNeg, ParseNegation(), line);
    }
    if (AcceptOp("+")) {
      DepthGuard guard(*this);
      return ParseNegation();
    }
    return ParsePower();
  }
  ExprPtr ParsePower() {
    ExprPtr e = ParsePrimary();
    while (AcceptOp("^")) {
      const int line = Peek().line;
      DepthGuard guard(*this);
      ExprPtr rhs;
      if (AcceptOp("-")) {
        rhs = Unary(Op::kNeg, ParsePrimary(), line);
      } else {
        rhs = ParsePrimary();
      }
      e = Binary(Op::kPow, std::move(e), std::move(rhs));
    }
    return e;
  }

  ExprPtr ParsePrimary() {
    DepthGuard guard(*this);
    const Token& t = Peek();
    const int line = t.line;
    switch (t.kind) {
      case Token::Kind::kNumber: {
        auto e = NewExpr(Expr::Kind::kNumber, line);
        e->number = t.number;
        e->integral = t.integral;
        Next();
        return e;
      }
      case Token::Kind::kString: {
        auto e = NewExpr(Expr::Kind::kString, line);
        e->text = t.text;
        Next();
        return e;
      }
      case Token::Kind::kOperator:
        if (AcceptOp("(")) {
          ExprPtr e = ParseExpr();
          ExpectOp(")");
          e->parenthesized = true;
          return e;
        }
        if (IsOp("."))
          return ParsePostfix(nullptr);
        break;
      case Token::Kind::kWord: {
        if (IsWord("True") || IsWord("False")) {
          auto e = NewExpr(Expr::Kind::kBoolean, line);
          e->number = IsWord("True") ? 1 : 0;
          Next();
          return e;
        }
        // Not as an operand of a tighter operator ("a & Not b").
        if (AcceptWord("Not"))
          return Unary(Op::kNot, ParseNot(), line);
        if (AcceptWord("Nothing"))
          return NewExpr(Expr::Kind::kNothing, line);
        if (AcceptWord("Empty"))
          return NewExpr(Expr::Kind::kEmpty, line);
        if (AcceptWord("Null"))
          return NewExpr(Expr::Kind::kNull, line);
        if (IsWord("New"))
          Fail("New is not supported; the object model hands out every object");
        if (!IsReserved(t.text))
          return ParsePostfix(nullptr);
        break;
      }
      default:
        break;
    }
    Fail("expected an expression");
  }

  std::vector<Token> t_;
  std::size_t p_ = 0;
  int depth_ = 0;
  bool in_function_ = false;  // the procedure being parsed is a Function
  int inline_if_ = 0;
};

}  // namespace

Module ParseModule(std::string_view source) {
  return Parser(Tokenize(source)).Parse();
}

}  // namespace quillon::docengine::macro
