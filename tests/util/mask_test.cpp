#include "util/mask.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(FileMask, WildcardsSetsRangesAndNegation) {
  EXPECT_TRUE(FileMask("*").Matches(""));
  EXPECT_FALSE(FileMask("a*").Matches(""));
  EXPECT_TRUE(FileMask("*a*b").Matches("xaxxb"));
  EXPECT_FALSE(FileMask("*a*b").Matches("xaxxbc"));
  EXPECT_TRUE(FileMask("a**b").Matches("ab"));
  EXPECT_TRUE(FileMask("?.txt").Matches("1.txt"));
  EXPECT_FALSE(FileMask("?.txt").Matches("12.txt"));
  EXPECT_FALSE(FileMask("?.txt").Matches(".txt"));

  FileMask set("[a-c_]?.txt");
  EXPECT_TRUE(set.Matches("b1.txt"));
  EXPECT_TRUE(set.Matches("_1.txt"));
  EXPECT_FALSE(set.Matches("d1.txt"));
  FileMask negated("[!a-c]*");
  EXPECT_TRUE(negated.Matches("delta"));
  EXPECT_FALSE(negated.Matches("alpha"));
  EXPECT_FALSE(negated.Matches(""));
  // Inside a set "*" and "?" are plain characters.
  EXPECT_TRUE(FileMask("x[*?]").Matches("x*"));
  EXPECT_FALSE(FileMask("x[*?]").Matches("xa"));
}

TEST(FileMask, IgnoresCaseAndCountsCharactersNotBytes) {
  EXPECT_TRUE(FileMask("*.DOC").Matches("report.doc"));
  EXPECT_TRUE(FileMask("[A-C]*").Matches("beta"));
  EXPECT_TRUE(FileMask("?.txt").Matches("\xC3\xA9.txt"));  // é is one character
  EXPECT_TRUE(FileMask("\xC3\x89*")
                  .Matches("\xC3\xA9"
                           "cole"));             // É matches é
  EXPECT_TRUE(FileMask("?x").Matches("\xFFx"));  // a stray byte is one character
}

TEST(FileMask, MalformedSetsRaiseTheMaskError) {
  struct Case {
    const char* mask;
    const char* message;
  } cases[] = {
      {"a[bc", "'a[bc' is an invalid mask at (5)"}, {"[]", "'[]' is an invalid mask at (2)"},
      {"[!]x", "'[!]x' is an invalid mask at (3)"}, {"[a-]", "'[a-]' is an invalid mask at (4)"},
      {"[a-", "'[a-' is an invalid mask at (4)"},
  };
  for (const Case& c : cases) {
    try {
      FileMask mask(c.mask);
      ADD_FAILURE() << "no error for " << c.mask;
    } catch (const MaskError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(FileMask, ListingMasksTakeBracketsLiterallyAndNameOneFileExactly) {
  // Only "*" and "?" are wildcards; a malformed set is no error here.
  EXPECT_TRUE(FileMask::ForListing("*[a]*").Matches("x[A]y.rtf"));
  EXPECT_FALSE(FileMask::ForListing("*[a]*").Matches("xay.rtf"));
  EXPECT_TRUE(FileMask::ForListing("report [final?.rtf").Matches("report [final].rtf"));
  EXPECT_TRUE(FileMask::ForListing("*.RTF").Matches("r.rtf"));
  // Without a wildcard: that one name, letter case and blanks included.
  EXPECT_TRUE(FileMask::ForListing("[a].rtf").Matches("[a].rtf"));
  EXPECT_FALSE(FileMask::ForListing("[a].rtf").Matches("a.rtf"));
  EXPECT_FALSE(FileMask::ForListing("r.rtf").Matches("R.rtf"));
  EXPECT_FALSE(FileMask::ForListing("t.rtf ").Matches("t.rtf"));
}

TEST(MatchesAnyPattern, PlainWordsMatchAnywhereIgnoringCase) {
  EXPECT_TRUE(MatchesAnyPattern("My Report.DOC", "report"));
  EXPECT_TRUE(MatchesAnyPattern("backup.doc", "tmp;BACK"));
  EXPECT_TRUE(MatchesAnyPattern("a.docx", "*.doc"));  // a "*" is added at the end
  EXPECT_FALSE(MatchesAnyPattern("report.doc", "draft"));
  EXPECT_TRUE(MatchesAnyPattern("old copy.doc", "x\r\ncopy"));
}

TEST(MatchesAnyPattern, EmptyEntriesMatchNothingAndBlanksCount) {
  EXPECT_FALSE(MatchesAnyPattern("anything", ""));
  EXPECT_FALSE(MatchesAnyPattern("anything", ";;\n;"));
  // A blank after ";" belongs to the next entry.
  EXPECT_TRUE(MatchesAnyPattern("my file.doc", "x; file"));
  EXPECT_FALSE(MatchesAnyPattern("myfile.doc", "x; file"));
}

TEST(MatchesAnyPattern, MalformedEntryRaisesWithTheCompletedEntry) {
  try {
    MatchesAnyPattern("name", "doc;[ABC");
    ADD_FAILURE() << "no error";
  } catch (const MaskError& e) {
    EXPECT_STREQ(e.what(), "'*[abc*' is an invalid mask at (7)");
  }
}

}  // namespace
}  // namespace quillon
