#pragma once
// Tokens of a macro module (a Visual Basic dialect). Comments (' and Rem),
// line continuations (" _" at a line's end) and type-declaration suffixes
// of names and numbers ("Mid$", "0&") are consumed here; every line end
// and ":" separates statements.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::docengine::macro {

struct Token {
  enum class Kind {
    kWord,            // a name or keyword; `text` as written
    kNumber,          // `number`; `integral` when written without point or exponent
    kString,          // `text` with "" turned into "
    kOperator,        // `text`: one of + - * / \ ^ & = < > <= >= <> ( ) , . ; :=
    kEndOfStatement,  // a line end (`text` empty) or ":" (`text` ":")
    kEnd,             // the end of the module
  };
  Kind kind = Kind::kEnd;
  std::string text;
  double number = 0;
  bool integral = false;
  int line = 1;  // 1-based line of the module file
  bool space_before = false;
};

// A malformed module: what is wrong and on which line.
class SyntaxError : public std::runtime_error {
 public:
  SyntaxError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// The tokens of a whole module, ending with kEnd. Throws SyntaxError.
std::vector<Token> Tokenize(std::string_view source);

}  // namespace quillon::docengine::macro
