#pragma once
// File masks and exclude-word lists.
//
// Mask rules: "*" stands for any run of characters (none included), "?" for
// exactly one character, and "[...]" for one character of a set: single
// characters and ranges "a-z", negated by "!" right after the "[". Every
// other character stands for itself. Characters are Unicode characters of the
// UTF-8 text (a byte that is no valid UTF-8 counts as one character of its
// own), compared ignoring letter case.
//
// Thread: any thread; a FileMask is immutable once built.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A malformed set: an unclosed "[", an empty set, a range without its end.
// what() is the translated "'%s' is an invalid mask at (%d)" with the mask
// and the 1-based character position where it goes wrong (one past the end
// for an unclosed set).
class MaskError : public std::runtime_error {
 public:
  MaskError(const std::string& mask, int position);
  int position() const { return position_; }

 private:
  int position_;
};

class FileMask {
 public:
  // Throws MaskError when the mask is malformed.
  explicit FileMask(std::string_view mask);

  // A mask as a folder listing reads it: only "*" and "?" are wildcards,
  // "[" and "]" are ordinary characters, and a mask without any wildcard
  // names exactly one file, letter case included. Never throws.
  static FileMask ForListing(std::string_view mask);

  bool Matches(std::string_view name) const;

  struct Range {
    char32_t first;
    char32_t last;
  };
  struct Token {
    enum Kind { kLiteral, kAnyOne, kAnyRun, kSet } kind;
    char32_t literal = 0;
    bool negated = false;
    std::vector<Range> ranges;
  };

 private:
  FileMask() = default;

  std::vector<Token> tokens_;
  // Set for a listing mask without wildcards: the one name it stands for.
  std::optional<std::string> exact_name_;
};

// True when `name` matches any entry of the pattern list. Entries are
// separated by ";" or line breaks, are not trimmed, and empty ones are
// skipped. An entry that does not begin with "*" gets one in front, and one
// at its end unless it already ends with "*", so a plain word matches
// anywhere in the name. Letter case is ignored. An empty list matches
// nothing. Throws MaskError for a malformed entry (the message shows the
// entry as completed and lower-cased).
bool MatchesAnyPattern(std::string_view name, std::string_view patterns);

}  // namespace quillon
