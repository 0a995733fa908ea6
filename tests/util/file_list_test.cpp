#include "util/file_list.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ScriptedPrompter;
using testing::TempDir;
using testing::WriteFile;

TEST(AddFileRow, FileRowHasSizeAndTimeButNoFolderSetting) {
  TempDir dir;
  std::string path = dir.File("letter.doc");
  WriteFile(path, "12345");
  FileList list;
  ASSERT_TRUE(AddFileRow(list, true, path, true, "tmp", "*.doc", "Same File Path"));
  ASSERT_EQ(list.size(), 1u);
  const FileListRow& row = list.row(0);
  EXPECT_TRUE(row.checked);
  EXPECT_EQ(RowSource(row), path);
  EXPECT_EQ(RowDestination(row), "Same File Path");
  EXPECT_EQ(row.cells[kColumnSubFolder], "");
  EXPECT_EQ(row.cells[kColumnSize], "5");
  EXPECT_NE(row.cells[kColumnModifyTime], "");
  EXPECT_NE(row.cells[kColumnType], "");
  std::string mask = "left over";
  EXPECT_FALSE(RowFolderSetting(row, mask));
  EXPECT_EQ(mask, "");
  EXPECT_EQ(RowExcludeWords(row), "");
}

TEST(AddFileRow, FolderRowsReadBackTheirSetting) {
  TempDir dir;
  FileList list;
  ASSERT_TRUE(AddFileRow(list, false, dir.path(), true, "tmp", "*.doc", "/out"));
  const FileListRow& with_words = list.row(0);
  EXPECT_FALSE(with_words.checked);
  EXPECT_EQ(with_words.cells[kColumnSubFolder], "Convert(*.doc)<-tmp->");
  EXPECT_EQ(with_words.cells[kColumnSize], "");
  EXPECT_EQ(with_words.cells[kColumnModifyTime], "");
  std::string mask;
  EXPECT_TRUE(RowFolderSetting(with_words, mask));
  EXPECT_EQ(mask, "*.doc");
  EXPECT_EQ(RowExcludeWords(with_words), "tmp");

  // No exclude words: no arrows, and nothing read back.
  ASSERT_TRUE(AddFileRow(list, true, dir.path(), false, "", "*.rtf;*.htm", "/out"));
  EXPECT_EQ(list.row(1).cells[kColumnSubFolder], "No Convert(*.rtf;*.htm)");
  EXPECT_FALSE(RowFolderSetting(list.row(1), mask));
  EXPECT_EQ(mask, "*.rtf;*.htm");
  EXPECT_EQ(RowExcludeWords(list.row(1)), "");

  // Masks with parentheses and words with an arrow survive the round trip.
  ASSERT_TRUE(AddFileRow(list, true, dir.path(), true, "a->b", "*(1).doc", "/out"));
  EXPECT_TRUE(RowFolderSetting(list.row(2), mask));
  EXPECT_EQ(mask, "*(1).doc");
  EXPECT_EQ(RowExcludeWords(list.row(2)), "a->b");
  ASSERT_TRUE(AddFileRow(list, true, dir.path(), false, "", "(x)", "/out"));
  EXPECT_FALSE(RowFolderSetting(list.row(3), mask));
  EXPECT_EQ(mask, "(x)");
}

TEST(AddFileRow, MissingPathIsReportedAndTildeFilesSkippedSilently) {
  ScriptedPrompter prompter;
  TempDir dir;
  FileList list;
  std::string missing = dir.File("gone.doc");
  EXPECT_FALSE(AddFileRow(list, true, missing, false, "", "", "Same File Path"));
  ASSERT_EQ(prompter.shown().size(), 1u);
  EXPECT_EQ(prompter.shown()[0].text, "Error, \"" + missing + "\" is not exists!");
  EXPECT_EQ(prompter.shown()[0].caption, "Error");
  EXPECT_EQ(prompter.shown()[0].icon, PromptIcon::kError);

  WriteFile(dir.File("~$letter.doc"), "lock");
  EXPECT_FALSE(AddFileRow(list, true, dir.File("~$letter.doc"), false, "", "", "x"));
  EXPECT_EQ(list.size(), 0u);
  EXPECT_EQ(prompter.shown().size(), 1u);

  // Only files are skipped: a folder named "~old" is a row like any other.
  std::string folder = dir.File("~old");
  WriteFile(folder + "/a.doc", "x");
  EXPECT_TRUE(AddFileRow(list, true, folder, false, "", "*.doc", "x"));
}

TEST(AddFileRow, NewRowIsTheOnlySelectedAndFocusedOne) {
  TempDir dir;
  WriteFile(dir.File("a.doc"), "a");
  WriteFile(dir.File("b.doc"), "b");
  FileList list;
  int notifications = 0;
  list.SetObserver([&] { ++notifications; });
  ASSERT_TRUE(AddFileRow(list, true, dir.File("a.doc"), false, "", "", "x"));
  EXPECT_EQ(notifications, 1);  // one repaint per added row
  list.SetSelected(0, true);
  ASSERT_TRUE(AddFileRow(list, true, dir.File("b.doc"), false, "", "", "x"));
  EXPECT_EQ(list.SelectedRows(), std::vector<size_t>{1});
  EXPECT_EQ(list.focused(), 1);

  // Sorting keeps selection and focus with their rows.
  list.Sort([](const FileListRow& l, const FileListRow& r) { return RowSource(l) > RowSource(r); });
  EXPECT_EQ(RowSource(list.row(0)), dir.File("b.doc"));
  EXPECT_EQ(list.SelectedRows(), std::vector<size_t>{0});
  EXPECT_EQ(list.focused(), 0);
  list.Remove(0);
  EXPECT_EQ(list.focused(), -1);
  EXPECT_TRUE(list.SelectedRows().empty());
}

}  // namespace
}  // namespace quillon
