#include "util/text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(UrlEncode, KeepsUnreservedAndEncodesEveryOtherByte) {
  EXPECT_EQ(UrlEncode("abc !"), "abc%20%21");
  EXPECT_EQ(UrlEncode("AZaz09-._"), "AZaz09-._");
  EXPECT_EQ(UrlEncode("~*+/\n"), "%7E%2A%2B%2F%0A");
  // Each byte of a UTF-8 character on its own, upper-case hex.
  EXPECT_EQ(UrlEncode("\xC3\xA9"), "%C3%A9");
  EXPECT_EQ(UrlEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(TextBetween, StrictAndLooseWhenMarkersAreMissing) {
  const std::string text = "Convert(*.doc)<-tmp->";
  EXPECT_EQ(TextBetween(text, "<-", "->", true), "tmp");
  EXPECT_EQ(TextBetween(text, "(", ")", true), "*.doc");

  // No start marker.
  EXPECT_EQ(TextBetween("abc", "<-", "->", true), "");
  EXPECT_EQ(TextBetween("abc", "<-", "->", false), "abc");
  EXPECT_EQ(TextBetween("ab->c", "<-", "->", false), "ab");
  // Start found, end missing.
  EXPECT_EQ(TextBetween("x<-abc", "<-", "->", true), "");
  EXPECT_EQ(TextBetween("x<-abc", "<-", "->", false), "abc");
  // The end is searched only after the start; first occurrences win.
  EXPECT_EQ(TextBetween("->x<-a->b->", "<-", "->", true), "a");
  // Empty markers are never found.
  EXPECT_EQ(TextBetween("abc", "", "c", true), "");
  EXPECT_EQ(TextBetween("abc", "a", "", true), "");
  EXPECT_EQ(TextBetween("abc", "a", "", false), "bc");
  // Case matters.
  EXPECT_EQ(TextBetween("aXbYc", "x", "y", true), "");
}

}  // namespace
}  // namespace quillon
