#include "util/mask.h"

#include <algorithm>

#include "platform/shell_type.h"
#include "util/translate.h"

namespace quillon {
namespace {

// A byte that is no valid UTF-8 becomes a value above the Unicode range, so
// that it still counts as one character and round-trips unchanged.
constexpr char32_t kRawByteBase = 0x110000;

std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t value = 0;
    if (lead < 0x80) {
      length = 1;
      value = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      value = lead & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
      } else {
        value = (value << 6) | (next & 0x3F);
      }
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (valid && ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) ||
                  (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)) {
      valid = false;
    }
    if (!valid) {
      out += kRawByteBase + lead;
      ++i;
      continue;
    }
    out += value;
    i += length;
  }
  return out;
}

std::string Encode(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c >= kRawByteBase) {
      out += static_cast<char>(c - kRawByteBase);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u32string Folded(std::string_view text) {
  std::u32string out = Decode(text);
  for (char32_t& c : out) {
    c = FoldCase(c);
  }
  return out;
}

bool TokenMatches(const FileMask::Token& token, char32_t c) {
  switch (token.kind) {
    case FileMask::Token::kLiteral:
      return token.literal == c;
    case FileMask::Token::kAnyOne:
      return true;
    case FileMask::Token::kSet: {
      bool inside =
          std::any_of(token.ranges.begin(), token.ranges.end(),
                      [c](const FileMask::Range& r) { return c >= r.first && c <= r.last; });
      return inside != token.negated;
    }
    case FileMask::Token::kAnyRun:
      break;
  }
  return false;
}

}  // namespace

MaskError::MaskError(const std::string& mask, int position)
    : std::runtime_error(
          TrFormat("'%s' is an invalid mask at (%d)", {mask, static_cast<std::int64_t>(position)})),
      position_(position) {}

FileMask::FileMask(std::string_view mask) {
  std::u32string chars = Folded(mask);
  size_t i = 0;
  auto fail = [&](size_t index) {
    throw MaskError(std::string(mask), static_cast<int>(index) + 1);
  };
  while (i < chars.size()) {
    char32_t c = chars[i];
    Token token{};
    if (c == U'*') {
      token.kind = Token::kAnyRun;
      // Runs of "*" mean the same as one.
      if (!tokens_.empty() && tokens_.back().kind == Token::kAnyRun) {
        ++i;
        continue;
      }
      ++i;
    } else if (c == U'?') {
      token.kind = Token::kAnyOne;
      ++i;
    } else if (c == U'[') {
      token.kind = Token::kSet;
      ++i;
      if (i < chars.size() && chars[i] == U'!') {
        token.negated = true;
        ++i;
      }
      while (true) {
        if (i >= chars.size()) {
          fail(i);
        }
        char32_t first = chars[i];
        if (first == U']') {
          if (token.ranges.empty()) {
            fail(i);
          }
          ++i;
          break;
        }
        if (i + 1 < chars.size() && chars[i + 1] == U'-') {
          if (i + 2 >= chars.size()) {
            fail(i + 2);
          }
          char32_t last = chars[i + 2];
          if (last == U']') {
            fail(i + 2);
          }
          token.ranges.push_back({std::min(first, last), std::max(first, last)});
          i += 3;
        } else {
          token.ranges.push_back({first, first});
          ++i;
        }
      }
    } else {
      token.kind = Token::kLiteral;
      token.literal = c;
      ++i;
    }
    tokens_.push_back(std::move(token));
  }
}

FileMask FileMask::ForListing(std::string_view mask) {
  FileMask listing;
  if (mask.find_first_of("*?") == std::string_view::npos) {
    listing.exact_name_ = std::string(mask);
    return listing;
  }
  for (char32_t c : Folded(mask)) {
    Token token{};
    if (c == U'*') {
      if (!listing.tokens_.empty() && listing.tokens_.back().kind == Token::kAnyRun) {
        continue;
      }
      token.kind = Token::kAnyRun;
    } else if (c == U'?') {
      token.kind = Token::kAnyOne;
    } else {
      token.kind = Token::kLiteral;
      token.literal = c;
    }
    listing.tokens_.push_back(std::move(token));
  }
  return listing;
}

bool FileMask::Matches(std::string_view name) const {
  if (exact_name_) {
    return name == *exact_name_;
  }
  std::u32string chars = Folded(name);
  // Classic wildcard walk: remember the last "*" and, on a mismatch, let it
  // swallow one more character. Every other token takes exactly one
  // character, so this never needs deeper backtracking.
  size_t t = 0;
  size_t n = 0;
  size_t star = std::u32string::npos;
  size_t star_n = 0;
  while (n < chars.size()) {
    if (t < tokens_.size() && tokens_[t].kind == Token::kAnyRun) {
      star = t++;
      star_n = n;
    } else if (t < tokens_.size() && TokenMatches(tokens_[t], chars[n])) {
      ++t;
      ++n;
    } else if (star != std::u32string::npos) {
      t = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (t < tokens_.size() && tokens_[t].kind == Token::kAnyRun) {
    ++t;
  }
  return t == tokens_.size();
}

bool MatchesAnyPattern(std::string_view name, std::string_view patterns) {
  std::u32string list = Folded(patterns);
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find_first_of(U";\r\n", begin);
    if (end == std::u32string::npos) {
      end = list.size();
    }
    std::u32string entry = list.substr(begin, end - begin);
    begin = end + 1;
    if (entry.empty()) {
      continue;
    }
    if (entry.front() != U'*') {
      entry.insert(entry.begin(), U'*');
    }
    if (entry.back() != U'*') {
      entry += U'*';
    }
    if (FileMask(Encode(entry)).Matches(name)) {
      return true;
    }
  }
  return false;
}

}  // namespace quillon
