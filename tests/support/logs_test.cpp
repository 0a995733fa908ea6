#include "support/logs.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>

#include <QDateTime>

#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

QDateTime At(int year, int month, int day, int hour = 14, int minute = 5, int second = 9) {
  return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

void SetModified(const std::string& path, const QDateTime& when) {
  struct utimbuf times;
  times.actime = when.toSecsSinceEpoch();
  times.modtime = when.toSecsSinceEpoch();
  ASSERT_EQ(utime(path.c_str(), &times), 0);
}

TEST(LogsTest, DayLogOfAnEarlierMonthIsDeletedAndOfThisMonthContinued) {
  TempDir dir;
  QDateTime now = At(2026, 3, 7);
  Logs logs(dir.path(), [&] { return now; });
  EXPECT_EQ(logs.DailyLogFileName(), dir.path() + "/07.log");

  // Last written on 7 February: a left-over of last month.
  WriteFile(dir.File("07.log"), "old line\r\n");
  SetModified(dir.File("07.log"), At(2026, 2, 7));
  logs.LoadDailyLog();
  EXPECT_TRUE(logs.daily_log_lines().empty());
  EXPECT_FALSE(testing::FileExists(dir.File("07.log")));

  // Written earlier today: continued.
  WriteFile(dir.File("07.log"), "first\r\nsecond\r\n");
  SetModified(dir.File("07.log"), At(2026, 3, 7, 9, 0, 0));
  logs.LoadDailyLog();
  EXPECT_EQ(logs.daily_log_lines(), (std::vector<std::string>{"first", "second"}));
  logs.AddLogLine("third");
  ASSERT_TRUE(logs.WriteLogFiles());
  EXPECT_EQ(ReadFile(dir.File("07.log")), "first\r\nsecond\r\nthird\r\n");

  // Only the month counts: March of last year is still "this month".
  WriteFile(dir.File("07.log"), "a year ago\r\n");
  SetModified(dir.File("07.log"), At(2025, 3, 7));
  logs.LoadDailyLog();
  EXPECT_EQ(logs.daily_log_lines(), (std::vector<std::string>{"a year ago"}));
}

TEST(LogsTest, ReportErrorLogsWithTimeAndWritesBothFiles) {
  TempDir dir;
  Logs logs(dir.path() + "/", [] { return At(2026, 3, 7, 14, 5, 9); });
  logs.ReportError("Error, Can not convert a.doc! Error Reason is bad");
  logs.ReportError("Error, second");

  EXPECT_EQ(logs.batch_errors(),
            (std::vector<std::string>{"Error, Can not convert a.doc! Error Reason is bad",
                                      "Error, second"}));
  ASSERT_EQ(logs.view_lines(LogView::kManual).size(), 2u);
  EXPECT_EQ(logs.view_lines(LogView::kManual)[0],
            "14:05:09   Error, Can not convert a.doc! Error Reason is bad");
  EXPECT_EQ(ReadFile(dir.File("error.log")),
            "Error, Can not convert a.doc! Error Reason is bad\r\nError, second\r\n");
  EXPECT_EQ(ReadFile(dir.File("07.log")),
            "14:05:09   Error, Can not convert a.doc! Error Reason is bad\r\n"
            "14:05:09   Error, second\r\n");

  // error.log keeps the errors of the last write that had any.
  logs.ClearBatchErrors();
  logs.AddLogLine("ok");
  logs.WriteLogFiles();
  EXPECT_EQ(ReadFile(dir.File("error.log")),
            "Error, Can not convert a.doc! Error Reason is bad\r\nError, second\r\n");
}

TEST(LogsTest, EachErrorAddsItsLinesAndAFileChangedMeanwhileIsWrittenWhole) {
  TempDir dir;
  Logs logs(dir.path(), [] { return At(2026, 3, 7, 14, 5, 9); });
  logs.AddLogLine("14:05:09   Converted a.doc");
  logs.ReportError("Error, first");
  logs.ReportError("Error, second");
  EXPECT_EQ(ReadFile(dir.File("error.log")), "Error, first\r\nError, second\r\n");

  // The files were replaced behind the program's back, or one removed: the
  // next write gives each its whole list, never the new lines alone.
  WriteFile(dir.File("error.log"), "something else\r\n");
  std::filesystem::remove(dir.File("07.log"));
  logs.ReportError("Error, third");
  EXPECT_EQ(ReadFile(dir.File("error.log")), "Error, first\r\nError, second\r\nError, third\r\n");
  EXPECT_EQ(ReadFile(dir.File("07.log")),
            "14:05:09   Converted a.doc\r\n14:05:09   Error, first\r\n"
            "14:05:09   Error, second\r\n14:05:09   Error, third\r\n");

  // A new run's errors replace the last run's in error.log.
  logs.ClearBatchErrors();
  logs.ReportError("Error, next run");
  logs.ReportError("Error, next run again");
  EXPECT_EQ(ReadFile(dir.File("error.log")), "Error, next run\r\nError, next run again\r\n");

  // The day log read anew at a start continues from what the file holds.
  WriteFile(dir.File("07.log"), "earlier\r\n");
  SetModified(dir.File("07.log"), At(2026, 3, 7, 9, 0, 0));
  logs.LoadDailyLog();
  logs.ReportError("Error, after the start");
  EXPECT_EQ(ReadFile(dir.File("07.log")), "earlier\r\n14:05:09   Error, after the start\r\n");
}

TEST(LogsTest, NoFilesWhenCreateLogFileIsOff) {
  TempDir dir;
  Logs logs(dir.path());
  logs.SetCreateLogFile(false);
  logs.ReportError("Error, failed");
  logs.WriteLogFiles();
  EXPECT_EQ(logs.batch_errors().size(), 1u);
  EXPECT_EQ(logs.view_lines(LogView::kManual).size(), 1u);
  EXPECT_FALSE(testing::FileExists(dir.File("error.log")));
  EXPECT_FALSE(testing::FileExists(logs.DailyLogFileName()));
}

TEST(LogsTest, LinesGoToTheVisibleViewAndClearingOneViewKeepsTheRest) {
  TempDir dir;
  Logs logs(dir.path());
  logs.AddLogLine("manual 1");
  logs.SetVisibleView(LogView::kWatch);
  logs.AddLogLine("watch 1");
  logs.SetVisibleView(LogView::kManual);
  logs.AddLogLine("manual 2");
  EXPECT_EQ(logs.view_lines(LogView::kManual), (std::vector<std::string>{"manual 1", "manual 2"}));
  EXPECT_EQ(logs.view_lines(LogView::kWatch), (std::vector<std::string>{"watch 1"}));

  logs.ClearView(LogView::kWatch);
  EXPECT_TRUE(logs.view_lines(LogView::kWatch).empty());
  EXPECT_EQ(logs.view_lines(LogView::kManual).size(), 2u);
  EXPECT_EQ(logs.daily_log_lines().size(), 3u);
}

TEST(LogsTest, AWriteFailureIsShownAndTheOtherFileStillWritten) {
  TempDir dir;
  testing::ScriptedPrompter prompter;
  Logs logs(dir.path(), [] { return At(2026, 3, 7); });
  // A folder where error.log should be makes that write fail.
  WriteFile(dir.File("error.log/blocker"), "");
  logs.ReportError("Error, x");
  ASSERT_FALSE(prompter.texts().empty());
  EXPECT_EQ(prompter.texts()[0], "Error, reason is Is a directory");
  EXPECT_NE(ReadFile(dir.File("07.log")).find("Error, x"), std::string::npos);
}

TEST(LogsTest, FilesAreInTheAnsiCodePageAndReadBackFromIt) {
  TempDir dir;
  ::setenv("QUILLON_ANSI_CODEPAGE", "1252", 1);
  Logs logs(dir.path());
  logs.AddLogLine("caf\xC3\xA9 \xE2\x82\xAC \xE6\xBC\xA2 end");  // café € 漢 end
  logs.WriteLogFiles();
  std::string bytes = ReadFile(logs.DailyLogFileName());
  logs.LoadDailyLog();
  ::unsetenv("QUILLON_ANSI_CODEPAGE");
  EXPECT_EQ(bytes, "caf\xE9 \x80 ? end\r\n");
  EXPECT_EQ(logs.daily_log_lines(), (std::vector<std::string>{"caf\xC3\xA9 \xE2\x82\xAC ? end"}));
}

// Code pages the C library's converter never knew by their Windows number
// were written as UTF-8 without a word.
TEST(LogsTest, EveryCodePageTheEngineKnowsAndAWordForOneNobodyKnows) {
  TempDir dir;
  testing::ScriptedPrompter prompter;
  Logs logs(dir.path());
  logs.AddLogLine("caf\xC3\xA9");                 // café
  ::setenv("QUILLON_ANSI_CODEPAGE", "10000", 1);  // Mac Roman: é is 0x8E
  logs.WriteLogFiles();
  const std::string mac = ReadFile(logs.DailyLogFileName());
  logs.LoadDailyLog();
  const std::vector<std::string> read_back = logs.daily_log_lines();
  ::setenv("QUILLON_ANSI_CODEPAGE", "4242", 1);
  logs.WriteLogFiles();
  ::unsetenv("QUILLON_ANSI_CODEPAGE");
  EXPECT_EQ(mac, "caf\x8E\r\n");
  EXPECT_EQ(read_back, (std::vector<std::string>{"caf\xC3\xA9"}));
  EXPECT_EQ(ReadFile(logs.DailyLogFileName()), "caf\xC3\xA9\r\n");
  ASSERT_EQ(prompter.texts().size(), 1u);
  EXPECT_NE(prompter.texts()[0].find("4242"), std::string::npos) << prompter.texts()[0];
  EXPECT_NE(prompter.texts()[0].find("UTF-8"), std::string::npos) << prompter.texts()[0];
}

}  // namespace
}  // namespace quillon
