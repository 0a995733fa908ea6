// Command-line runs of the real program: formats, destinations, the errors
// that end a run early, failing files and the exit code, deleting sources,
// and the settings file that a run reads and writes.

#include <gtest/gtest.h>

#include <QDate>
#include <algorithm>
#include <map>

#include "tests/app/cli_harness.h"
#include "tests/app/default_settings.h"

namespace quillon::testing {
namespace {

class CliOptionsTest : public CliRunTest {
 protected:
  std::string DayLog() const {
    std::vector<std::string> logs = h_.DayLogs();
    return logs.empty() ? std::string() : ReadFile(logs.front());
  }
};

TEST_F(CliOptionsTest, EveryFormatCodeGivesItsOwnText) {
  // A Chinese text with an English line, stored in a far-eastern code page.
  h_.CopyCorpus("rtf/kstriprtf__mean.rtf", "in/mean.rtf");
  std::map<std::string, std::string> results;
  for (const char* code : {"2", "3", "4", "5", "7", "-3"}) {
    CliResult run = h_.Run(
        {std::string("/f:") + code, "/d:" + std::string("out") + code, h_.Work("in/mean.rtf")});
    ASSERT_EQ(run.exit_code, 0) << code << ": " << run.err;
    results[code] = ReadFile(h_.Work(std::string("out") + code + "/mean.txt"));
    ASSERT_FALSE(results[code].empty()) << code;
  }
  auto line_count = [](const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
  };
  // Text only, under a UTF-8 locale: UTF-8 without a byte-order mark.
  EXPECT_EQ(results["2"].rfind("\xE8\xA9\xA9\xE6\x9B\xB0", 0), 0u);  // 詩曰
  EXPECT_NE(results["2"].find("Doctrine of the Mean"), std::string::npos);
  // With line breaks: the same text in more, shorter lines.
  EXPECT_EQ(results["3"].rfind("\xE8\xA9\xA9", 0), 0u);
  EXPECT_GT(line_count(results["3"]), line_count(results["2"]));
  // MS-DOS text: the DOS code page has no Chinese characters.
  EXPECT_EQ(results["4"].rfind("??", 0), 0u);
  EXPECT_NE(results["4"].find("Doctrine of the Mean"), std::string::npos);
  EXPECT_GT(line_count(results["5"]), line_count(results["4"]));
  // Unicode text: UTF-16 with its byte-order mark.
  EXPECT_EQ(results["7"].rfind("\xFF\xFE\x69\x8A", 0), 0u);
  // The source's own character set: 詩 in the Japanese code page.
  EXPECT_EQ(results["-3"].rfind("\x8E\x8D", 0), 0u);

  // Option names ignore case.
  CliResult run = h_.Run({"/F:7", "/D:upper", h_.Work("in/mean.rtf")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ReadFile(h_.Work("upper/mean.txt")), results["7"]);
}

TEST_F(CliOptionsTest, AnUnknownFormatOrADelimiterThatIsNoNumberEndsTheRunAtOnce) {
  h_.CopyCorpus("rtf/jstriprtf__hello.rtf", "in/hello.rtf");
  CliResult run = h_.Run({"/f:8", "/d:out", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(CliHarness::Lines(h_.Home("error.log")),
            (std::vector<std::string>{"Error, File Format 8 do not exist!",
                                      "Error, Can not get Destination File Format!"}));
  EXPECT_FALSE(FileExists(h_.Work("out")));

  run = h_.Run({"/t:x", "/d:out", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(
      CliHarness::Lines(h_.Home("error.log")),
      (std::vector<std::string>{"Error, Source Text File Delimited Format must be integer!"}));
  EXPECT_FALSE(FileExists(h_.Work("out")));
  EXPECT_NE(DayLog().find("   Error, Source Text File Delimited Format must be integer!\r\n"),
            std::string::npos);

  // A number out of range is no mistake: no delimiter.
  run = h_.Run({"/t:9", "/d:out", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(FileExists(h_.Work("out/hello.txt")));
}

TEST_F(CliOptionsTest, DestinationFolderWithAFileNamePattern) {
  h_.CopyCorpus("rtf/jstriprtf__hello.rtf", "in/a.rtf");
  h_.CopyCorpus("doc/unstr__simple.doc", "in/sub/b.doc");
  auto stamp = [] { return QDate::currentDate().toString("yyyyMMdd").toStdString(); };
  std::string before = stamp();
  CliResult run =
      h_.Run({"/s", "/d:" + h_.Work("out"), "/dfn:*_yyyymmdd", h_.Work("in/*.rtf;*.doc")});
  std::string after = stamp();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> files = CliHarness::FilesBelow(h_.Work("out"));
  EXPECT_TRUE(files ==
                  (std::vector<std::string>{"a_" + before + ".txt", "sub/b_" + before + ".txt"}) ||
              files == (std::vector<std::string>{"a_" + after + ".txt", "sub/b_" + after + ".txt"}))
      << ::testing::PrintToString(files);

  // "\" in a pattern makes sub-folders; quoted text is copied as it stands.
  run = h_.Run({"/d:out2", "/dfn:\"dir1\"\\yyyy\\'copy of' *", h_.Work("in/a.rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::string year = std::to_string(QDate::currentDate().year());
  EXPECT_TRUE(FileExists(h_.Work("out2/dir1/" + year + "/copy of a.txt")))
      << ::testing::PrintToString(CliHarness::FilesBelow(h_.Work("out2")));
}

TEST_F(CliOptionsTest, EveryFailingFileCountsInTheExitCodeAndInErrorLog) {
  h_.CopyCorpus("rtf/jstriprtf__hello.rtf", "in/hello.rtf");
  h_.MakeBrokenFiles("in");
  CliResult run = h_.Run({h_.Work("in/*.*")});
  EXPECT_EQ(run.exit_code, 2) << run.err;
  std::vector<std::string> errors = CliHarness::Lines(h_.Home("error.log"));
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].rfind(
                "Error, Can not convert " + h_.Work("in/broken.docx") + "! Error Reason is ", 0),
            0u)
      << errors[0];
  EXPECT_EQ(errors[1].rfind(
                "Error, Can not convert " + h_.Work("in/damaged.doc") + "! Error Reason is ", 0),
            0u)
      << errors[1];
  EXPECT_TRUE(FileExists(h_.Work("in/hello.txt")));
  // The day log has the success line and both errors, each after its time.
  std::string day_log = DayLog();
  EXPECT_NE(day_log.find("        successfully convert " + h_.Work("in/hello.rtf") + " to " +
                         h_.Work("in/hello.txt") + "\r\n"),
            std::string::npos)
      << day_log;
  EXPECT_NE(day_log.find("   " + errors[0] + "\r\n"), std::string::npos);
  EXPECT_NE(day_log.find("   " + errors[1] + "\r\n"), std::string::npos);
}

TEST_F(CliOptionsTest, SourcesAreDeletedOnlyAfterASuccessfulConversion) {
  WriteFile(h_.Home("set.ini"), "[Tarvell\\Quillon]\nDelete Source File After Conversion=1\n");
  h_.CopyCorpus("doc/unstr__simple.doc", "in/good.doc");
  h_.MakeBrokenFiles("in");
  CliResult run = h_.Run({"/d:out", h_.Work("in/*.doc;*.docx")});
  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_FALSE(FileExists(h_.Work("in/good.doc")));
  EXPECT_NE(ReadFile(h_.Work("out/good.txt")).find("favorite things"), std::string::npos);
  EXPECT_TRUE(FileExists(h_.Work("in/broken.docx")));
  EXPECT_TRUE(FileExists(h_.Work("in/damaged.doc")));
  // The keys missing from the hand-written file were added with defaults.
  EXPECT_NE(ReadFile(h_.Home("set.ini")).find("Create Log File=1\r\n"), std::string::npos);
}

TEST_F(CliOptionsTest, FirstStartWritesTheSettingsAndTheSavedFormatIsTheDefault) {
  h_.CopyCorpus("rtf/jstriprtf__hello.rtf", "in/hello.rtf");
  CliResult run = h_.Run({"/d:first", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ReadFile(h_.Home("set.ini")), kDefaultSettings);
  EXPECT_EQ(ReadFile(h_.Work("first/hello.txt")).rfind("Hello", 0), 0u);

  // "/f:" chooses for this run only.
  run = h_.Run({"/f:7", "/d:once", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ReadFile(h_.Home("set.ini")), kDefaultSettings);

  // The format chosen in the window is saved and is the default of the next
  // start.
  std::string chosen = kDefaultSettings;
  chosen.replace(chosen.find("Format=2"), 8, "Format=7");
  WriteFile(h_.Home("set.ini"), chosen);
  run = h_.Run({"/d:saved", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ReadFile(h_.Work("saved/hello.txt")).rfind("\xFF\xFEH\0e\0", 0), 0u);
  EXPECT_EQ(ReadFile(h_.Home("set.ini")), chosen);

  // With the log files switched off, nothing is logged to files.
  std::string no_logs = chosen;
  no_logs.replace(no_logs.find("Create Log File=1"), 17, "Create Log File=0");
  WriteFile(h_.Home("set.ini"), no_logs);
  std::filesystem::remove_all(h_.Home("error.log"));
  run = h_.Run({"/f:9", h_.Work("in/hello.rtf")});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_FALSE(FileExists(h_.Home("error.log")));
}

TEST_F(CliOptionsTest, TheSamplesBesideTheProgramConvert) {
  // The arguments of `quillon.sh run`.
  std::string samples = CliHarness::BinDir() + "/samples";
  if (!FileExists(samples)) {
    GTEST_SKIP() << samples << " is missing";
  }
  CliResult run =
      h_.Run({"/d:" + h_.Work("samples-out"), "/s", samples + "/*.doc;*.docx;*.rtf;*.htm;*.html"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(CliHarness::FilesBelow(h_.Work("samples-out")),
            (std::vector<std::string>{"archive/recipe.txt", "letter.txt", "memo.txt", "notes.txt",
                                      "report.txt"}));
  EXPECT_NE(ReadFile(h_.Work("samples-out/memo.txt")).find("Memo: moving day"), std::string::npos);
  EXPECT_NE(ReadFile(h_.Work("samples-out/report.txt")).find("Library report"), std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
