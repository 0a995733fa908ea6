#include "jobs/destination_formats.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_prompter.h"

namespace quillon {
namespace {

TEST(DestinationFormatTable, HoldsTheSixTextFormatsInOrder) {
  DestinationFormatTable table;
  table.Fill();
  table.Fill();  // filling again starts from empty
  ASSERT_EQ(table.Size(), 6);
  const char* codes[] = {"2", "3", "4", "5", "7", "-3"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table.Code(i), codes[i]);
    EXPECT_EQ(table.Extension(i), ".txt");
  }
  EXPECT_EQ(table.ListText(),
            "2=Text only(*.txt)\n"
            "3=Text only with Line Breaks(*.txt)\n"
            "4=Ms-Dos Text(*.txt)\n"
            "5=Ms-Dos Text with line breaks(*.txt)\n"
            "7=Unicode Text(*.txt)\n"
            "-3=Save Text With Source Character Set(*.txt)");
  EXPECT_EQ(table.IndexOfCode("-3"), 5);
  EXPECT_EQ(table.IndexOfCode("3"), 1);
  EXPECT_EQ(table.IndexOfCode("-"), -1);
  EXPECT_EQ(table.IndexOfCode(""), -1);
  EXPECT_EQ(table.IndexOfListText("7=Unicode Text(*.txt)"), 4);
  EXPECT_EQ(table.IndexOfListText("7"), -1);
}

TEST(DestinationFormatTable, IndexOutsideTheTableSaysSoAndGivesNoExtension) {
  testing::ScriptedPrompter prompter;
  DestinationFormatTable table;
  table.Fill();
  EXPECT_EQ(table.Extension(6), "");
  EXPECT_EQ(table.Extension(-1), "");
  EXPECT_EQ(table.Code(6), "");
  ASSERT_EQ(prompter.texts().size(), 2u);
  EXPECT_EQ(prompter.texts()[0], "Destination file format 6 does not exist!");
  EXPECT_EQ(prompter.texts()[1], "Destination file format -1 does not exist!");

  table.Clear();
  EXPECT_EQ(table.Extension(0), "");
  EXPECT_EQ(prompter.texts().back(), "Destination file format 0 does not exist!");
}

}  // namespace
}  // namespace quillon
