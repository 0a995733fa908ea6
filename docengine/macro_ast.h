#pragma once
// The parsed form of a macro module: procedures made of statements made of
// expressions. Built by ParseModule, read by the interpreter; immutable once
// built. Names keep the spelling of the source; the interpreter compares
// them without regard to letter case.

#include <memory>
#include <string>
#include <vector>

namespace quillon::docengine::macro {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Argument {
  std::string name;  // a named argument ("Replace:=..."); empty when positional
  ExprPtr value;     // null for an omitted argument ("f(a, , c)")
};

enum class Op {
  kAdd,
  kSub,
  kMul,
  kDiv,
  kIntDiv,
  kMod,
  kPow,
  kConcat,
  kEq,
  kNe,
  kLt,
  kGt,
  kLe,
  kGe,
  kLike,
  kIs,
  kAnd,
  kOr,
  kXor,
  kEqv,
  kImp,
  kNeg,
  kNot,
};

struct Expr {
  enum class Kind {
    kNumber,   // number, integral
    kString,   // text
    kBoolean,  // number != 0
    kNothing,
    kEmpty,
    kNull,
    kName,    // name, optionally with args (a call or an index)
    kMember,  // object.name, optionally with args; object null: ".name" in With
    kIndex,   // object(args) where object is itself a call or index
    kUnary,   // op, lhs
    kBinary,  // op, lhs, rhs
  };
  Kind kind = Kind::kEmpty;
  int line = 0;
  double number = 0;
  bool integral = false;
  std::string text;  // kString: the text; kName / kMember: the name
  ExprPtr object;    // kMember / kIndex
  bool has_args = false;
  std::vector<Argument> args;
  Op op = Op::kAdd;
  ExprPtr lhs;
  ExprPtr rhs;
  // Written in parentheses of its own: a value, never a variable passed by
  // reference.
  bool parenthesized = false;
};

// "As ..." of a declaration.
enum class TypeName {
  kVariant,
  kString,
  kLong,
  kInteger,
  kByte,
  kDouble,
  kBoolean,
  kDate,
  kObject
};

struct Bound {
  ExprPtr lower;  // null: the module's option base
  ExprPtr upper;
};

struct VarDecl {
  std::string name;
  TypeName type = TypeName::kVariant;
  bool is_array = false;      // declared with parentheses
  std::vector<Bound> bounds;  // empty for a dynamic array "a()"
  int line = 0;
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Body = std::vector<StmtPtr>;

struct CaseTest {
  enum class Kind { kValue, kRange, kIs };
  Kind kind = Kind::kValue;
  ExprPtr value;    // kValue, kRange's lower, kIs' operand
  ExprPtr upper;    // kRange
  Op op = Op::kEq;  // kIs
};

struct CaseClause {
  std::vector<CaseTest> tests;
  Body body;
};

struct Stmt {
  enum class Kind {
    kDim,      // decls
    kConst,    // decls[0].name = value
    kReDim,    // decls, preserve
    kAssign,   // target = value; is_set
    kCall,     // call
    kIf,       // conditions[i] -> blocks[i]; else_block
    kFor,      // counter, from, to, step (may be null), body
    kForEach,  // counter, collection, body
    kDo,       // pre_test / post_test with until flags, body
    kWhile,    // condition, body
    kWith,     // object, body
    kSelect,   // subject, cases, else_block (has_else)
    kOnErrorResumeNext,
    kOnErrorGoto0,
    kExit,        // exit_what
    kDebugPrint,  // print_items
    kEnd,         // stops the macro
  };
  Kind kind = Kind::kCall;
  int line = 0;
  std::vector<VarDecl> decls;
  bool preserve = false;
  bool is_static = false;  // kDim of "Static": kept from call to call
  ExprPtr target;
  ExprPtr value;
  bool is_set = false;
  ExprPtr call;
  std::vector<ExprPtr> conditions;
  std::vector<Body> blocks;
  Body else_block;
  bool has_else = false;
  std::string counter;
  ExprPtr from;
  ExprPtr to;
  ExprPtr step;
  Body body;
  // kDo: a test before the body, after it, or none (an endless loop that
  // Exit Do leaves).
  ExprPtr pre_test;
  bool pre_until = false;
  ExprPtr post_test;
  bool post_until = false;
  ExprPtr subject;
  std::vector<CaseClause> cases;
  enum class ExitWhat { kSub, kFunction, kFor, kDo } exit_what = ExitWhat::kSub;
  std::vector<ExprPtr> print_items;
  std::vector<char> print_separators;  // ';' or ',' after each item, or 0
};

struct Param {
  std::string name;
  bool by_val = false;
  bool optional = false;
  bool is_array = false;
  TypeName type = TypeName::kVariant;
  ExprPtr default_value;
};

struct Procedure {
  std::string name;
  bool is_function = false;
  bool is_public = true;
  std::vector<Param> params;
  TypeName return_type = TypeName::kVariant;
  Body body;
  int line = 0;
};

struct Module {
  std::string name;  // from the "Attribute VB_Name" line; empty when none
  bool option_explicit = false;
  bool compare_text = false;
  int option_base = 0;
  std::vector<VarDecl> variables;  // module-level Dim / Private / Public
  std::vector<std::pair<std::string, ExprPtr>> constants;
  std::vector<Procedure> procedures;
};

}  // namespace quillon::docengine::macro
