// The watch list model and "watcher.ini" in its three layouts.

#include "watch/watch_list.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

std::vector<WatchRecord> Load(const std::string& content) {
  TempDir dir;
  WriteFile(dir.File("watcher.ini"), content);
  WatchListModel list;
  LoadWatchList(dir.File("watcher.ini"), list);
  std::vector<WatchRecord> records;
  for (int row = 0; row < list.size(); ++row) {
    const WatchEntry& e = list.entry(row);
    EXPECT_EQ(e.state, WatchState::kIdle);
    EXPECT_EQ(e.StatusText(), "idle");
    records.push_back(
        {e.checked, e.source_path, e.convert_to, e.file_filter, e.SubFolderText(), e.dest_format});
  }
  return records;
}

TEST(WatchListFile, CurrentLayoutRoundTripsEveryField) {
  TempDir dir;
  WatchListModel list;
  list.AddWatchRow(true, "/data/in", "Same File Path", "*.doc", "draft", "No",
                   "2=Text only(*.txt)");
  list.AddWatchRow(false, "/data/in two ", "[With Same File Tree]/out[Specified File]x-*",
                   "*.doc;*.rtf", "", "Yes", "7=Unicode text(*.txt)");
  list.AddWatchRow(true, "/data/é", "/out", "*.*", "old;tmp", "Yes", "");
  ASSERT_TRUE(SaveWatchList(dir.File("watcher.ini"), list));

  EXPECT_EQ(ReadFile(dir.File("watcher.ini")),
            CrLf({"record count2=3", "1", "/data/in", "Same File Path", "<-draft->*.doc", "No",
                  "2=Text only(*.txt)", "0", "/data/in two ",
                  "[With Same File Tree]/out[Specified File]x-*", "*.doc;*.rtf", "Yes",
                  "7=Unicode text(*.txt)", "1", "/data/é", "/out", "<-old;tmp->*.*", "Yes", ""}));

  WatchListModel again;
  LoadWatchList(dir.File("watcher.ini"), again);
  ASSERT_EQ(again.size(), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(again.entry(row).checked, list.entry(row).checked) << row;
    EXPECT_EQ(again.entry(row).source_path, list.entry(row).source_path) << row;
    EXPECT_EQ(again.entry(row).convert_to, list.entry(row).convert_to) << row;
    EXPECT_EQ(again.entry(row).file_filter, list.entry(row).file_filter) << row;
    EXPECT_EQ(again.entry(row).sub_folder, list.entry(row).sub_folder) << row;
    EXPECT_EQ(again.entry(row).dest_format, list.entry(row).dest_format) << row;
    EXPECT_EQ(again.entry(row).state, WatchState::kIdle);
  }
  EXPECT_EQ(again.entry(2).Masks(), "*.*");
  EXPECT_EQ(again.entry(2).ExcludeWords(), "old;tmp");

  // Saved again unchanged (as every end of the program does), the file is
  // left as it is; a change replaces it.
  struct stat before {};
  ASSERT_EQ(::stat(dir.File("watcher.ini").c_str(), &before), 0);
  ASSERT_TRUE(SaveWatchList(dir.File("watcher.ini"), again));
  struct stat after {};
  ASSERT_EQ(::stat(dir.File("watcher.ini").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  again.AddWatchRow(true, "/data/more", "/out", "*.rtf", "", "No", "");
  ASSERT_TRUE(SaveWatchList(dir.File("watcher.ini"), again));
  EXPECT_NE(ReadFile(dir.File("watcher.ini")).find("record count2=4\r\n"), std::string::npos);
}

TEST(WatchListFile, WrittenInTheAnsiCodePage) {
  TempDir dir;
  const char* previous = std::getenv("QUILLON_ANSI_CODEPAGE");
  std::string saved = previous != nullptr ? previous : "";
  ::setenv("QUILLON_ANSI_CODEPAGE", "1252", 1);
  WatchListModel list;
  list.AddWatchRow(true, "/données", "Same File Path", "*.doc", "", "No", "2=Text only(*.txt)");
  ASSERT_TRUE(SaveWatchList(dir.File("watcher.ini"), list));
  std::string bytes = ReadFile(dir.File("watcher.ini"));
  WatchListModel again;
  LoadWatchList(dir.File("watcher.ini"), again);
  if (previous != nullptr) {
    ::setenv("QUILLON_ANSI_CODEPAGE", saved.c_str(), 1);
  } else {
    ::unsetenv("QUILLON_ANSI_CODEPAGE");
  }
  EXPECT_NE(bytes.find("/donn\xE9"
                       "es\r\n"),
            std::string::npos);
  ASSERT_EQ(again.size(), 1);
  EXPECT_EQ(again.entry(0).source_path, "/données");
}

TEST(WatchListFile, HeaderInAnyLetterCase) {
  auto records = Load(CrLf({"Record Count2=2", "1", "/a", "Same File Path", "*.doc", "Yes",
                            "2=Text only(*.txt)", "0", "/b", "/out", "<-x->*.rtf", "No", "3=x"}));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].checked);
  EXPECT_EQ(records[0].sub_folder, "Yes");
  EXPECT_FALSE(records[1].checked);
  EXPECT_EQ(records[1].file_filter, "<-x->*.rtf");
  EXPECT_EQ(records[1].dest_format, "3=x");
}

TEST(WatchListFile, FiveLineLayoutHasNoFormat) {
  std::vector<std::string> lines{"record count=3"};
  for (int k = 0; k < 3; ++k) {
    lines.insert(lines.end(), {"1", "/in" + std::to_string(k), "/out", "*.doc", "Yes"});
  }
  auto records = Load(CrLf(lines));
  ASSERT_EQ(records.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(records[k].source_path, "/in" + std::to_string(k));
    EXPECT_EQ(records[k].convert_to, "/out");
    EXPECT_EQ(records[k].file_filter, "*.doc");
    EXPECT_EQ(records[k].sub_folder, "Yes");
    EXPECT_EQ(records[k].dest_format, "");
  }
}

TEST(WatchListFile, HeaderlessFourLineLayout) {
  std::vector<std::string> lines;
  for (int k = 0; k < 3; ++k) {
    lines.insert(lines.end(),
                 {k == 1 ? "0" : "1", "/in" + std::to_string(k), "Same File Path", "<-tmp->*.rtf"});
  }
  auto records = Load(CrLf(lines));
  ASSERT_EQ(records.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(records[k].checked, k != 1);
    EXPECT_EQ(records[k].source_path, "/in" + std::to_string(k));
    EXPECT_EQ(records[k].convert_to, "Same File Path");
    EXPECT_EQ(records[k].file_filter, "<-tmp->*.rtf");
    EXPECT_EQ(records[k].sub_folder, "No");
    EXPECT_EQ(records[k].dest_format, "");
  }
}

TEST(WatchListFile, DamageKeepsWhatWasReadBefore) {
  std::vector<std::string> two_entries{"record count2=3"};
  for (int k = 0; k < 2; ++k) {
    two_entries.insert(two_entries.end(), {"1", "/in" + std::to_string(k), "/out", "*.doc", "No",
                                           "2=Text only(*.txt)"});
  }
  two_entries.insert(two_entries.end(), {"1", "/in2", "/out"});  // cut off mid-entry
  auto records = Load(CrLf(two_entries));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].source_path, "/in0");
  EXPECT_EQ(records[1].source_path, "/in1");
  EXPECT_EQ(records[1].dest_format, "2=Text only(*.txt)");

  // A count that is no number, a zero count, an empty and a missing file.
  EXPECT_TRUE(Load(CrLf({"record count2=x", "1", "/a", "/o", "*", "No", "2"})).empty());
  EXPECT_TRUE(Load(CrLf({"record count2=0", "1", "/a", "/o", "*", "No", "2"})).empty());
  EXPECT_TRUE(Load("").empty());
  WatchListModel list;
  LoadWatchList("/nonexistent/watcher.ini", list);
  EXPECT_EQ(list.size(), 0);
  // A count far beyond the lines there are gives what the lines hold.
  EXPECT_EQ(Load(CrLf({"record count2=99999999", "1", "/a", "/o", "*", "No", "2"})).size(), 1u);
  EXPECT_TRUE(Load(CrLf({"record count=99999999", "1", "/a", "/o", "*", "No"})).empty());
}

TEST(WatchListFile, LineEndsWithoutCarriageReturnStillRead) {
  auto records = Load("record count2=1\n1\n/a\n/out\n*.doc\nNo\n2=Text only(*.txt)\n");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].dest_format, "2=Text only(*.txt)");
}

TEST(WatchFileFilter, MasksAndExcludeWords) {
  WatchEntry entry;
  entry.file_filter = "*.rtf";
  EXPECT_EQ(entry.Masks(), "*.rtf");
  EXPECT_EQ(entry.ExcludeWords(), "");
  entry.file_filter = "<-old;tmp->*.doc;*.rtf";
  EXPECT_EQ(entry.Masks(), "*.doc;*.rtf");
  EXPECT_EQ(entry.ExcludeWords(), "old;tmp");
  entry.file_filter = "<-old*.doc";  // no end marker: no exclude words
  EXPECT_EQ(entry.ExcludeWords(), "");
  EXPECT_EQ(entry.Masks(), "<-old*.doc");
  EXPECT_EQ(ComposeFileFilter("*.doc", ""), "*.doc");
  EXPECT_EQ(ComposeFileFilter("*.doc", "a;b"), "<-a;b->*.doc");
  // Masks that hold the marker keep it, in the filter and through the file.
  entry.file_filter = ComposeFileFilter("a->b*.doc;*.rtf", "");
  EXPECT_EQ(entry.Masks(), "a->b*.doc;*.rtf");
  EXPECT_EQ(entry.ExcludeWords(), "");
  entry.file_filter = "<->draft->*.doc";  // words that begin with ">"
  EXPECT_EQ(entry.ExcludeWords(), ">draft");
  EXPECT_EQ(entry.Masks(), "*.doc");
  TempDir dir;
  const std::string path = dir.path() + "/watcher.ini";
  WatchListModel list;
  list.AddWatchRow(true, "/in", "/out", "a->b*.doc;*.rtf", "", "No", "2");
  ASSERT_TRUE(SaveWatchList(path, list));
  WatchListModel again;
  LoadWatchList(path, again);
  ASSERT_EQ(again.rowCount(), 1);
  EXPECT_EQ(again.entry(0).Masks(), "a->b*.doc;*.rtf");
}

TEST(WatchListModelTest, RowsKeepTheirIdsAndDeleteRemovesExactlyTheGivenRows) {
  TempDir dir;
  WatchListModel list;
  for (int k = 0; k < 5; ++k) {
    list.AddWatchRow(true, dir.path(), "/out", "*.doc", "", "No", "2");
  }
  std::uint64_t id1 = list.entry(1).id;
  std::uint64_t id3 = list.entry(3).id;
  std::uint64_t id4 = list.entry(4).id;
  auto watcher = std::make_unique<TFileSystemWatcher>();
  QObject::connect(watcher.get(), &QObject::destroyed, [&id3] { id3 = 0; });
  list.AttachWatcher(3, std::move(watcher));
  EXPECT_EQ(list.entry(3).state, WatchState::kWatching);

  list.DeleteRows({3, 1});
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(id3, 0u) << "the running row's watcher is destroyed with it";
  EXPECT_EQ(list.RowOfId(id1), -1);
  EXPECT_EQ(list.RowOfId(id4), 2);
  for (int row = 0; row < 3; ++row) {
    EXPECT_NE(list.entry(row).id, id1);
  }
  // Ids are not reused by later rows.
  int added = list.AddWatchRow(true, "/x", "/out", "*.doc", "", "No", "2");
  EXPECT_NE(list.entry(added).id, id1);
}

TEST(WatchListModelTest, TableShowsTheColumnsAndTakesCheckClicks) {
  WatchListModel list;
  list.AddWatchRow(true, "/in", "Same File Path", "*.doc", "draft", "Yes", "2=Text only(*.txt)");
  ASSERT_EQ(list.rowCount(), 1);
  ASSERT_EQ(list.columnCount(), 6);
  auto cell = [&list](int column) { return list.data(list.index(0, column)).toString(); };
  EXPECT_EQ(cell(kWatchColumnSourcePath), "/in");
  EXPECT_EQ(cell(kWatchColumnConvertTo), "Same File Path");
  EXPECT_EQ(cell(kWatchColumnFileFilter), "<-draft->*.doc");
  EXPECT_EQ(cell(kWatchColumnSubFolder), "Yes");
  EXPECT_EQ(cell(kWatchColumnDestFormat), "2=Text only(*.txt)");
  EXPECT_EQ(cell(kWatchColumnStatus), "idle");
  EXPECT_EQ(list.headerData(kWatchColumnStatus, Qt::Horizontal).toString(), "Status");

  QModelIndex box = list.index(0, kWatchColumnSourcePath);
  EXPECT_TRUE(list.flags(box) & Qt::ItemIsUserCheckable);
  EXPECT_TRUE(list.setData(box, Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_FALSE(list.entry(0).checked);
  EXPECT_EQ(list.data(box, Qt::CheckStateRole).toInt(), Qt::Unchecked);

  list.SetState(0, WatchState::kConverting, "/in/a.doc");
  EXPECT_EQ(cell(kWatchColumnStatus), "converting /in/a.doc");

  // An edit makes the row idle and keeps a sub-folder text other than "Yes"
  // as "No".
  list.UpdateWatchRow(0, true, "/in2", "/out", "*.rtf", "", "maybe", "3=x");
  EXPECT_EQ(cell(kWatchColumnStatus), "idle");
  EXPECT_EQ(cell(kWatchColumnSubFolder), "No");
  EXPECT_EQ(cell(kWatchColumnFileFilter), "*.rtf");
}

}  // namespace
}  // namespace quillon
