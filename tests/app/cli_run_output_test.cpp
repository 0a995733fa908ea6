// What the real program tells the person or script that started it: the
// answers to --help and --version, the error lines and the summary on
// standard error, the progress line on a terminal only, the run report,
// and a run stopped by SIGINT.

#include <signal.h>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> LinesBeginningWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : LinesOf(text)) {
    if (line.rfind(prefix, 0) == 0) {
      found.push_back(line);
    }
  }
  return found;
}

// Each line of a JSON Lines file as an object; a line that is no JSON
// object fails the test.
std::vector<QJsonObject> ReportObjects(const std::string& path) {
  std::vector<QJsonObject> objects;
  for (const std::string& line : LinesOf(ReadFile(path))) {
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_TRUE(error.error == QJsonParseError::NoError && document.isObject())
        << "not a JSON object: " << line;
    objects.push_back(document.object());
  }
  return objects;
}

std::string Str(const QJsonObject& object, const char* key) {
  return object.value(QLatin1String(key)).toString().toStdString();
}

const std::regex kSummary(R"(\d+ files converted, \d+ files failed, \d+\.\d seconds)");

class CliRunOutputTest : public CliRunTest {
 protected:
  // A small rich-text document whose text is `word`.
  void MakeRtf(const std::string& relative, const std::string& word) const {
    WriteFile(h_.Work(relative), "{\\rtf1\\ansi\\deff0 " + word + "\\par}");
  }
};

TEST_F(CliRunOutputTest, HelpAndVersionAnswerOnStandardOutputAndDoNothingElse) {
  MakeRtf("in/a.rtf", "Alpha");
  for (const char* option : {"--help", "-h"}) {
    // Wherever it stands, the question is answered and nothing converted.
    CliResult run = h_.Run({"/s", option, h_.Work("in/*.rtf")});
    EXPECT_EQ(run.exit_code, 0) << option << run.err;
    EXPECT_EQ(run.err, "") << option;
    EXPECT_EQ(run.out.rfind("Usage: quillon [OPTION]... SOURCE\n", 0), 0u) << run.out;
    for (const char* line : {"  /f:CODE ", "  /dfn:PATTERN ", "  /pluginsave ", "  /? ",
                             "  --report=FILE ", "  -h, --help ", "  --version ", "  7    "}) {
      EXPECT_NE(run.out.find(line), std::string::npos) << line << " missing in\n" << run.out;
    }
    // Where the settings and the logs of this machine are.
    EXPECT_NE(run.out.find("Settings: " + h_.Home("set.ini") + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Logs: " + h_.Home("DD.log")), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Exit status: the number of errors"), std::string::npos);
  }
  CliResult run = h_.Run({"--version"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, "Quillon 4.0 Build210604\n");
  EXPECT_EQ(run.err, "");

  EXPECT_FALSE(FileExists(h_.Work("in/a.txt")));
  // Not even a settings file or a day log was written.
  EXPECT_EQ(CliHarness::FilesBelow(h_.Home()), std::vector<std::string>{});
}

TEST_F(CliRunOutputTest, FailedFilesAreErrorLinesThenASummaryAndTheReportHasEveryFile) {
  MakeRtf("in/a.rtf", "Alpha");
  MakeRtf("in/b.rtf", "Beta");
  MakeRtf("in/c.rtf", "Gamma");
  h_.MakeBrokenFiles("in");
  std::string report = h_.Work("run.jsonl");
  CliResult run = h_.Run({"--report=" + report, "/d:out", h_.Work("in/*.*")});
  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_EQ(run.out, "");

  std::vector<std::string> lines = LinesOf(run.err);
  std::vector<std::string> errors = LinesBeginningWith(run.err, "Error, Can not convert ");
  ASSERT_EQ(errors.size(), 2u) << run.err;
  EXPECT_EQ(errors[0].rfind("Error, Can not convert " + h_.Work("in/broken.docx") + "! ", 0), 0u);
  EXPECT_EQ(errors[1].rfind("Error, Can not convert " + h_.Work("in/damaged.doc") + "! ", 0), 0u);
  // The same lines as the error log, and nothing but them and the summary.
  EXPECT_EQ(CliHarness::Lines(h_.Home("error.log")), errors);
  ASSERT_EQ(lines.size(), 3u) << run.err;
  EXPECT_TRUE(std::regex_match(lines.back(), kSummary)) << lines.back();
  EXPECT_EQ(lines.back().rfind("3 files converted, 2 files failed, ", 0), 0u) << lines.back();
  // Not a terminal: no progress line, so no carriage return anywhere.
  EXPECT_EQ(run.err.find('\r'), std::string::npos);

  std::vector<QJsonObject> objects = ReportObjects(report);
  ASSERT_EQ(objects.size(), 6u) << ReadFile(report);
  std::vector<std::string> names = {"a.rtf", "b.rtf", "broken.docx", "c.rtf", "damaged.doc"};
  for (size_t i = 0; i < names.size(); ++i) {
    const QJsonObject& file = objects[i];
    std::string source = h_.Work("in/" + names[i]);
    bool good = names[i].find(".rtf") != std::string::npos;
    EXPECT_EQ(Str(file, "source"), source);
    EXPECT_EQ(file.value("ok").toBool(), good) << source;
    EXPECT_EQ(file.value("input_bytes").toInteger(), static_cast<qint64>(ReadFile(source).size()));
    EXPECT_GE(file.value("milliseconds").toInteger(), 0);
    std::string destination = Str(file, "destination");
    if (good) {
      EXPECT_EQ(Str(file, "error"), "");
      EXPECT_EQ(file.value("output_bytes").toInteger(),
                static_cast<qint64>(ReadFile(destination).size()));
      EXPECT_GT(file.value("output_bytes").toInteger(), 0);
    } else {
      EXPECT_EQ("Error, Can not convert " + source + "! Error Reason is " + Str(file, "error"),
                errors[names[i] == "broken.docx" ? 0 : 1]);
      EXPECT_EQ(file.value("output_bytes").toInteger(), 0);
      EXPECT_FALSE(FileExists(destination));
    }
  }
  EXPECT_EQ(Str(objects[0], "destination"), h_.Work("out/a.txt"));
  const QJsonObject& summary = objects.back();
  EXPECT_TRUE(summary.value("summary").toBool());
  EXPECT_EQ(summary.value("files").toInt(), 5);
  EXPECT_EQ(summary.value("converted").toInt(), 3);
  EXPECT_EQ(summary.value("failed").toInt(), 2);
  EXPECT_EQ(summary.value("error_count").toInt(), 2);
  EXPECT_EQ(summary.value("errors").toArray().size(), 2);
  EXPECT_FALSE(summary.value("interrupted").toBool());
  EXPECT_GE(summary.value("seconds").toDouble(), 0.0);
}

TEST_F(CliRunOutputTest, AReportThatCannotBeWrittenIsOneMoreErrorAndLeavesNothing) {
  MakeRtf("in/a.rtf", "Alpha");
  std::filesystem::create_directories(h_.Work("taken.jsonl"));
  for (const std::string& report : {h_.Work("missing/run.jsonl"), h_.Work("taken.jsonl")}) {
    CliResult run = h_.Run({"--report=" + report, h_.Work("in/a.rtf")});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    std::vector<std::string> errors = LinesBeginningWith(run.err, "Error, ");
    ASSERT_EQ(errors.size(), 1u) << run.err;
    EXPECT_EQ(
        errors[0].rfind("Error, Can not write the report " + report + ", error reason is ", 0), 0u)
        << errors[0];
    EXPECT_TRUE(std::regex_match(LinesOf(run.err).back(), kSummary)) << run.err;
  }
  // The file itself converted; no report and no half of one was left.
  EXPECT_TRUE(FileExists(h_.Work("in/a.txt")));
  EXPECT_EQ(CliHarness::FilesBelow(h_.Work()), (std::vector<std::string>{"in/a.rtf", "in/a.txt"}));
}

TEST_F(CliRunOutputTest, TheProgressLineIsDrawnOnATerminalOnlyAndWipedAtTheEnd) {
  for (int i = 0; i < 12; ++i) {
    MakeRtf("in/file" + std::to_string(10 + i) + ".rtf", "Text");
  }
  h_.MakeBrokenFiles("in");
  CliResult run = h_.RunOnTerminal({"/d:out", h_.Work("in/*.*")}, 60);
  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_EQ(run.out, "");
  // The terminal turns each line end into CR LF; carriage returns of their
  // own are the redrawing.
  std::string shown = std::regex_replace(run.err, std::regex("\r\n"), "\n");
  EXPECT_NE(shown.find("\r0 files done, "), std::string::npos) << shown;
  EXPECT_NE(shown.find("\r14 files done, "), std::string::npos) << shown;
  // Every line drawn fits into 59 columns; long names lose their beginning.
  std::regex drawn("\r(\\d+ files done, [^\r\n]*)");
  int drawings = 0;
  for (auto it = std::sregex_iterator(shown.begin(), shown.end(), drawn);
       it != std::sregex_iterator(); ++it) {
    std::string line = (*it)[1].str();
    ++drawings;
    EXPECT_LE(line.size(), 59u) << line;
    EXPECT_NE(line.find("..."), std::string::npos) << line;
  }
  EXPECT_GE(drawings, 28);  // at least at each file's start and end
  // The error lines and the summary each stand on a wiped line of their own.
  std::vector<std::string> lines = LinesOf(shown);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(std::regex_search(
      lines.back(), std::regex("\r +\r12 files converted, 2 files failed, \\d+\\.\\d seconds$")))
      << "the summary does not follow the blanked-out progress line: " << lines.back();
  EXPECT_EQ(LinesBeginningWith(std::regex_replace(shown, std::regex("[^\n]*\r"), ""),
                               "Error, Can not convert ")
                .size(),
            2u)
      << shown;
}

TEST_F(CliRunOutputTest, SigintStopsTheRunBeforeItsNextFileAndCountsAsAnError) {
  constexpr int kFiles = 200;
  for (int i = 0; i < kFiles; ++i) {
    MakeRtf("in/f" + std::to_string(1000 + i) + ".rtf", "The same text in every file");
  }
  std::string report = h_.Work("run.jsonl");
  pid_t pid = h_.Start({"/d:out", "--report=" + report, h_.Work("in/*.rtf")});
  ASSERT_GT(pid, 0);
  // After the tenth text file, Ctrl-C: the signal goes to the whole job.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (CliHarness::FilesBelow(h_.Work("out")).size() < 10 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(::kill(-pid, SIGINT), 0);
  CliResult run = h_.Wait(pid);

  std::vector<std::string> files = CliHarness::FilesBelow(h_.Work("out"));
  EXPECT_GE(files.size(), 10u);
  EXPECT_LT(files.size(), static_cast<size_t>(kFiles)) << "the run did not stop";
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(LinesBeginningWith(run.err, "Error, "),
            (std::vector<std::string>{"Error, the run was interrupted by SIGINT"}))
      << run.err;
  EXPECT_EQ(CliHarness::Lines(h_.Home("error.log")),
            (std::vector<std::string>{"Error, the run was interrupted by SIGINT"}));
  // Every text file there is whole (and nothing else is there: no file
  // half written under another name).
  std::string whole = ReadFile(h_.Work("out/f1000.txt"));
  EXPECT_NE(whole.find("The same text in every file"), std::string::npos) << whole;
  for (const std::string& file : files) {
    EXPECT_EQ(file.substr(file.size() - 4), ".txt") << file;
    EXPECT_EQ(ReadFile(h_.Work("out/" + file)), whole) << file;
  }
  // The report was written, with exactly the files that were converted.
  std::vector<QJsonObject> objects = ReportObjects(report);
  ASSERT_EQ(objects.size(), files.size() + 1) << ReadFile(report);
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_TRUE(objects[i].value("ok").toBool());
    EXPECT_EQ(Str(objects[i], "destination"), h_.Work("out/" + files[i]));
  }
  EXPECT_TRUE(objects.back().value("interrupted").toBool());
  EXPECT_EQ(objects.back().value("converted").toInt(), static_cast<int>(files.size()));
  EXPECT_EQ(objects.back().value("error_count").toInt(), 1);
}

}  // namespace
}  // namespace quillon::testing
