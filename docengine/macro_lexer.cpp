#include "docengine/macro_lexer.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace quillon::docengine::macro {
namespace {

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsTypeSuffix(char c) {
  return c == '$' || c == '%' || c == '&' || c == '!' || c == '#' || c == '@';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = static_cast<char>(y - 'A' + 'a');
    if (x != y)
      return false;
  }
  return true;
}

class Lexer {
 public:
  explicit Lexer(std::string_view source) : s_(source) {}

  std::vector<Token> Run() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\0') {
        ++pos_;
        space_ = true;
        continue;
      }
      if (c == '\r' || c == '\n') {
        LineEnd();
        continue;
      }
      if (c == '\'') {
        SkipComment();
        continue;
      }
      if (c == '_' && (pos_ + 1 >= s_.size() || !IsNameChar(s_[pos_ + 1])) && space_) {
        // A line continuation: the rest of the line must be blank.
        std::size_t p = pos_ + 1;
        while (p < s_.size() && (s_[p] == ' ' || s_[p] == '\t'))
          ++p;
        if (p >= s_.size() || s_[p] == '\r' || s_[p] == '\n') {
          pos_ = p;
          if (pos_ < s_.size() && s_[pos_] == '\r')
            ++pos_;
          if (pos_ < s_.size() && s_[pos_] == '\n')
            ++pos_;
          ++line_;
          space_ = true;
          continue;
        }
        throw SyntaxError(line_, "a line continuation \" _\" must end its line");
      }
      if (IsNameStart(c)) {
        Word();
        continue;
      }
      if (IsDigit(c) ||
          (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]) && !AfterValue())) {
        Number();
        continue;
      }
      if (c == '&' && pos_ + 1 < s_.size() &&
          (s_[pos_ + 1] == 'H' || s_[pos_ + 1] == 'h' || s_[pos_ + 1] == 'O' ||
           s_[pos_ + 1] == 'o') &&
          pos_ + 2 < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_ + 2]))) {
        RadixNumber();
        continue;
      }
      if (c == '"') {
        String();
        continue;
      }
      if (c == '#')
        throw SyntaxError(line_, "date literals (#...#) are not supported");
      Operator();
    }
    const int last_line = line_;
    LineEnd();
    Token end;
    end.kind = Token::Kind::kEnd;
    end.line = last_line;
    tokens_.push_back(end);
    return std::move(tokens_);
  }

 private:
  // True when the previous token ends a value, so "." is member access.
  bool AfterValue() const {
    if (tokens_.empty() || space_)
      return false;
    const Token& t = tokens_.back();
    return t.kind == Token::Kind::kWord || (t.kind == Token::Kind::kOperator && t.text == ")");
  }

  void Push(Token t) {
    t.line = line_;
    t.space_before = space_;
    space_ = false;
    tokens_.push_back(std::move(t));
  }

  void LineEnd() {
    if (pos_ < s_.size()) {
      if (s_[pos_] == '\r')
        ++pos_;
      if (pos_ < s_.size() && s_[pos_] == '\n')
        ++pos_;
    }
    if (!tokens_.empty() && tokens_.back().kind != Token::Kind::kEndOfStatement) {
      Token t;
      t.kind = Token::Kind::kEndOfStatement;
      Push(std::move(t));
    } else if (!tokens_.empty()) {
      tokens_.back().text.clear();  // a ":" at a line's end ends the line
    }
    ++line_;
    space_ = true;
  }

  void SkipComment() {
    // A comment runs to the line's end; a continuation does not extend it
    // in this dialect's files as they are written, so stop at the end.
    while (pos_ < s_.size() && s_[pos_] != '\r' && s_[pos_] != '\n')
      ++pos_;
  }

  bool AtStatementStart() const {
    return tokens_.empty() || tokens_.back().kind == Token::Kind::kEndOfStatement;
  }

  void Word() {
    const std::size_t start = pos_;
    while (pos_ < s_.size() && IsNameChar(s_[pos_]))
      ++pos_;
    std::string_view word = s_.substr(start, pos_ - start);
    if (EqualsNoCase(word, "Rem") && AtStatementStart()) {
      SkipComment();
      return;
    }
    // A type suffix touching the name belongs to it ("Left$", "n&"); "a&b"
    // and "a&\"x\"" stay concatenations.
    if (pos_ < s_.size() && IsTypeSuffix(s_[pos_])) {
      const char next = pos_ + 1 < s_.size() ? s_[pos_ + 1] : '\n';
      if (s_[pos_] == '$' || (!IsNameChar(next) && next != '"'))
        ++pos_;
    }
    Token t;
    t.kind = Token::Kind::kWord;
    t.text = std::string(word);
    Push(std::move(t));
  }

  void Number() {
    const std::size_t start = pos_;
    bool integral = true;
    while (pos_ < s_.size() && IsDigit(s_[pos_]))
      ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '.') {
      integral = false;
      ++pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_]))
        ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      std::size_t p = pos_ + 1;
      if (p < s_.size() && (s_[p] == '+' || s_[p] == '-'))
        ++p;
      if (p < s_.size() && IsDigit(s_[p])) {
        integral = false;
        pos_ = p;
        while (pos_ < s_.size() && IsDigit(s_[pos_]))
          ++pos_;
      }
    }
    Token t;
    t.kind = Token::Kind::kNumber;
    t.number = std::strtod(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr);
    if (pos_ < s_.size() && IsTypeSuffix(s_[pos_])) {
      if (s_[pos_] == '!' || s_[pos_] == '#' || s_[pos_] == '@')
        integral = false;
      ++pos_;
    }
    t.integral = integral;
    Push(std::move(t));
  }

  void RadixNumber() {
    const bool hex = s_[pos_ + 1] == 'H' || s_[pos_ + 1] == 'h';
    pos_ += 2;
    const std::size_t start = pos_;
    while (pos_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[pos_])))
      ++pos_;
    const std::string digits(s_.substr(start, pos_ - start));
    if (digits.size() > 8)
      throw SyntaxError(line_, "the number &H" + digits + " is too large");
    unsigned long value = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 8);
    bool long_suffix = false;
    if (pos_ < s_.size() && (s_[pos_] == '&' || s_[pos_] == '%')) {
      long_suffix = s_[pos_] == '&';
      ++pos_;
    }
    Token t;
    t.kind = Token::Kind::kNumber;
    t.integral = true;
    // Four hex digits or fewer are an Integer: &HFFFF is -1.
    if (!long_suffix && value <= 0xFFFF && digits.size() <= 4) {
      t.number = static_cast<double>(static_cast<std::int16_t>(value));
    } else {
      t.number = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
    }
    Push(std::move(t));
  }

  void String() {
    ++pos_;
    std::string text;
    while (true) {
      if (pos_ >= s_.size() || s_[pos_] == '\r' || s_[pos_] == '\n')
        throw SyntaxError(line_, "a text has no closing quote");
      if (s_[pos_] == '"') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '"') {
          text.push_back('"');
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      text.push_back(s_[pos_++]);
    }
    Token t;
    t.kind = Token::Kind::kString;
    t.text = std::move(text);
    Push(std::move(t));
  }

  void Operator() {
    static constexpr std::string_view kTwo[] = {"<=", ">=", "<>", ":="};
    for (std::string_view two : kTwo) {
      if (s_.substr(pos_, 2) == two) {
        // "=<" and "=>" are older spellings; only these four are read.
        Token t;
        t.kind = Token::Kind::kOperator;
        t.text = std::string(two);
        pos_ += 2;
        Push(std::move(t));
        return;
      }
    }
    const char c = s_[pos_];
    if (c == ':') {
      ++pos_;
      if (!tokens_.empty() && tokens_.back().kind != Token::Kind::kEndOfStatement) {
        Token t;
        t.kind = Token::Kind::kEndOfStatement;
        t.text = ":";
        Push(std::move(t));
      }
      return;
    }
    static constexpr std::string_view kOne = "+-*/\\^&=<>(),.;";
    if (kOne.find(c) == std::string_view::npos) {
      throw SyntaxError(line_, std::string("the character \"") + c + "\" is not expected here");
    }
    Token t;
    t.kind = Token::Kind::kOperator;
    t.text = std::string(1, c);
    ++pos_;
    Push(std::move(t));
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool space_ = true;
  std::vector<Token> tokens_;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view source) {
  // A byte-order mark is not part of the module.
  if (source.substr(0, 3) == "\xEF\xBB\xBF")
    source.remove_prefix(3);
  return Lexer(source).Run();
}

}  // namespace quillon::docengine::macro
