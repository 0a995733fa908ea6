#include "engine/request_block.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillon::engine {
namespace {

TEST(RequestBlock, EmptyOptionsGiveOnlyTheDelimiterEntry) {
  ConversionOptions options;
  EXPECT_EQ(BuildRequestBlock(options, 0), "\r\ntextdelimit=0\r\n\r\n");
  options.text_delimited_index = -1;
  EXPECT_EQ(BuildRequestBlock(options, 3), "\r\ntextdelimit=-1\r\n\r\n");
}

TEST(RequestBlock, EveryOptionInItsOrder) {
  ConversionOptions options;
  options.open_password = " open pw ";
  options.workbook_protect_password = "book";
  options.worksheet_protect_password = "sheet";
  options.run_plugin_macro = true;
  options.plugin_save = true;
  options.text_delimited_index = 4;
  options.sheet_range_appointed = true;
  options.appointed_sheet = 2;
  options.page_range_from_to = true;
  options.page_from = 3;
  options.page_to = 9;
  EXPECT_EQ(BuildRequestBlock(options, 5),
            "\r\nopenpassword= open pw "
            "\r\nworkbookprotectpassword=book"
            "\r\nworksheetprotectpassword=sheet"
            "\r\nrunplugin"
            "\r\nrunpluginsave"
            "\r\ntextdelimit=4\r\n"
            "\r\nsheetrangedelimit=2"
            "\r\npagerangefromdelimit=3"
            "\r\npagerangetodelimit=9"
            "\r\n");
}

TEST(RequestBlock, PageBoundsOnlyWhenChosenAndPositive) {
  ConversionOptions options;
  options.page_from = 3;
  options.page_to = 4;
  EXPECT_EQ(BuildRequestBlock(options, 0).find("pagerange"), std::string::npos);
  options.page_range_from_to = true;
  options.page_from = 0;
  const std::string block = BuildRequestBlock(options, 0);
  EXPECT_EQ(block.find("pagerangefromdelimit"), std::string::npos);
  EXPECT_EQ(RequestValue(kPageRangeToKey, block), "4");
}

TEST(RequestBlock, ValuesReadBackAsTyped) {
  ConversionOptions options;
  options.open_password = "  spaced\tpass ";
  options.workbook_protect_password = "unprotect";
  options.text_delimited_index = 6;
  const std::string block = BuildRequestBlock(options, 0);
  EXPECT_EQ(RequestValue(kOpenPasswordKey, block), "  spaced\tpass ");
  EXPECT_EQ(RequestValue(kWorkbookProtectPasswordKey, block), "unprotect");
  EXPECT_EQ(RequestValue(kWorksheetProtectPasswordKey, block), "");
  EXPECT_EQ(RequestValue(kTextDelimitKey, block), "6");
  EXPECT_EQ(OpenPasswordOf(block), "  spaced\tpass ");
}

TEST(RequestBlock, LineBreaksInValuesNeverBecomeEntries) {
  ConversionOptions options;
  options.open_password = "pw\r\nrunpluginsave";
  options.workbook_protect_password = "\nbook\r";
  options.worksheet_protect_password = "a\r\ntextdelimit=6\r\n\r\npagerangefromdelimit=2";
  const std::string block = BuildRequestBlock(options, 0);
  EXPECT_FALSE(HasRequestFlag(kRunPluginFlag, block)) << block;
  EXPECT_FALSE(HasRequestFlag(kRunPluginSaveFlag, block));
  EXPECT_EQ(RequestValue(kOpenPasswordKey, block), "pwrunpluginsave");
  EXPECT_EQ(RequestValue(kWorkbookProtectPasswordKey, block), "book");
  EXPECT_EQ(RequestValue(kTextDelimitKey, block), "0");
  EXPECT_EQ(RequestValue(kPageRangeFromKey, block), "");
  // Still the block's own shape: every entry on its line, one empty line
  // after the delimiter entry, one at the end.
  EXPECT_EQ(block,
            "\r\nopenpassword=pwrunpluginsave"
            "\r\nworkbookprotectpassword=book"
            "\r\nworksheetprotectpassword=atextdelimit=6pagerangefromdelimit=2"
            "\r\ntextdelimit=0\r\n\r\n");
}

TEST(RequestValue, NeedsTheClosingLineBreak) {
  EXPECT_EQ(RequestValue(kTextDelimitKey, "\r\ntextdelimit=3\r\n\r\n"), "3");
  EXPECT_EQ(RequestValue(kTextDelimitKey, "\r\ntextdelimit=3"), "");
  EXPECT_EQ(RequestValue(kTextDelimitKey, ""), "");
  // The key must start an entry: a value that merely contains it is not it.
  EXPECT_EQ(RequestValue(kOpenPasswordKey, "\r\nxopenpassword=a\r\n"), "");
}

TEST(RequestValue, FirstOccurrenceWinsAndKeysAreCaseSensitive) {
  const std::string block = "\r\nopenpassword=first\r\nopenpassword=second\r\n";
  EXPECT_EQ(RequestValue(kOpenPasswordKey, block), "first");
  EXPECT_EQ(RequestValue(kOpenPasswordKey, "\r\nOpenPassword=x\r\n"), "");
}

TEST(HasRequestFlag, SubstringRuleWithOrWithoutLeadingLineBreak) {
  const std::string save_only = "\r\nrunpluginsave\r\ntextdelimit=0\r\n\r\n";
  EXPECT_TRUE(HasRequestFlag(kRunPluginSaveFlag, save_only));
  // "runplugin" is a prefix of "runpluginsave": the plug-in runs too.
  EXPECT_TRUE(HasRequestFlag(kRunPluginFlag, save_only));
  EXPECT_TRUE(HasRequestFlag("runplugin", save_only));
  const std::string plugin_only = "\r\nrunplugin\r\ntextdelimit=0\r\n\r\n";
  EXPECT_TRUE(HasRequestFlag(kRunPluginFlag, plugin_only));
  EXPECT_FALSE(HasRequestFlag(kRunPluginSaveFlag, plugin_only));
  // Not at the start of an entry: not the flag.
  EXPECT_FALSE(HasRequestFlag("runplugin", "\r\nopenpassword=runplugin\r\n"));
  EXPECT_FALSE(HasRequestFlag("", plugin_only));
}

TEST(RequestBlock, PlaceholderPasswordWhenNoneEntered) {
  const std::string block = BuildRequestBlock(ConversionOptions{}, 0);
  EXPECT_EQ(OpenPasswordOf(block), std::string(kPlaceholderOpenPassword));
  ASSERT_EQ(kPlaceholderOpenPassword.size(), 2u);
  for (const char c : kPlaceholderOpenPassword) {
    EXPECT_TRUE(c >= 'a' && c <= 'z');
  }
}

TEST(ParseIntegerOption, DecimalOnly) {
  EXPECT_EQ(ParseIntegerOption("-3"), -3);
  EXPECT_EQ(ParseIntegerOption("+7"), 7);
  EXPECT_EQ(ParseIntegerOption("2"), 2);
  for (const char* bad : {"", " 2", "2 ", "x", "2x", "+-1", "99999999999"}) {
    EXPECT_THROW(ParseIntegerOption(bad), std::invalid_argument) << bad;
  }
  try {
    ParseIntegerOption("abc");
    FAIL();
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "'abc' is not a valid integer value");
  }
}

}  // namespace
}  // namespace quillon::engine
