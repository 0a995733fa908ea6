// The converter program as the engine starts it: its four arguments, its
// exit status, its one line of error output, and a page written whole or
// not at all.

#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/wordcnv/dbf_builder.h"

namespace quillon::wordcnv {
namespace {

using quillon::testing::DbfBuilder;
using quillon::testing::FileExists;
using quillon::testing::ReadFile;
using quillon::testing::TempDir;
using quillon::testing::WriteFile;

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ConverterProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(Program().c_str(), X_OK) != 0) {
      GTEST_SKIP() << Program() << " is not built";
    }
  }

  static std::string Program() { return std::string(QUILLON_BIN_DIR) + "/wordcnv.dll"; }

  ProgramRun Start(std::vector<std::string> args) {
    const std::string out_path = dir_.File("stdout");
    const std::string err_path = dir_.File("stderr");
    args.insert(args.begin(), Program());
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::dup2(err, 2);
      std::vector<char*> argv;
      for (std::string& a : args) {
        argv.push_back(a.data());
      }
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ProgramRun run;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
      run.status = WEXITSTATUS(status);
    }
    run.out = ReadFile(out_path);
    run.err = ReadFile(err_path);
    return run;
  }

  // The files of the scratch folder but the captured output.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(dir_.path().c_str());
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
      const std::string name = entry->d_name;
      if (name != "." && name != ".." && name != "stdout" && name != "stderr") {
        names.push_back(name);
      }
    }
    if (dir != nullptr) {
      ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Table() const {
    DbfBuilder table(0x03, 0x03, {{"CITY", 'C', 12}, {"PEOPLE", 'N', 8}});
    table.Record({"Z\xFCrich", "421878"}).Record({"Gen\xE8ve", "203856"});
    return table.Bytes();
  }

  TempDir dir_;
};

TEST_F(ConverterProgramTest, FourQuotedArgumentsGiveAPageAndSilence) {
  const std::string source = dir_.File("my \"cities\" 1.dbf");
  const std::string html = dir_.File("out put.htm");
  WriteFile(source, Table());
  WriteFile(html, "an older page");
  const ProgramRun run = Start({source, html, "LOTUS32.CNV", "html32.cnv"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  const std::string page = ReadFile(html);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("charset=utf-8"), std::string::npos);
  EXPECT_NE(page.find("<tr><td>Zürich</td><td>421878</td></tr>"), std::string::npos) << page;
  EXPECT_NE(page.find("<tr><td>Genève</td><td>203856</td></tr>"), std::string::npos) << page;
  EXPECT_EQ(Files(), (std::vector<std::string>{"my \"cities\" 1.dbf", "out put.htm"}));
}

TEST_F(ConverterProgramTest, FailuresSayWhyOnOneLineAndLeaveNoPage) {
  const std::string html = dir_.File("out.htm");
  WriteFile(html, "an older page");

  // A truncated table: the older page stays as it was, nothing half-written.
  const std::string damaged = dir_.File("cut\nname.dbf");
  WriteFile(damaged, Table().substr(0, 120));
  ProgramRun run = Start({damaged, html, "LOTUS32.CNV", "html32.cnv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "wordcnv.dll error: " + dir_.File("cut name.dbf") +
                         " is damaged: it ends inside record 2 of 2\n");
  EXPECT_EQ(ReadFile(html), "an older page");
  EXPECT_EQ(Files(), (std::vector<std::string>{"cut\nname.dbf", "out.htm"}));

  // A file that is no table or sheet at all.
  const std::string text = dir_.File("notes.wk1");
  WriteFile(text, "just some words, not a sheet\n");
  run = Start({text, html, "LOTUS32.CNV", "html32.cnv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "wordcnv.dll error: " + text +
                         " is neither a dBase table nor a sheet this converter reads\n");

  // A missing source.
  run = Start({dir_.File("gone.dbf"), html, "LOTUS32.CNV", "html32.cnv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "wordcnv.dll error: " + dir_.File("gone.dbf") +
                         " cannot be opened: No such file or directory\n");

  // A destination folder that does not exist.
  WriteFile(dir_.File("ok.dbf"), Table());
  run = Start({dir_.File("ok.dbf"), dir_.File("no/such/out.htm"), "LOTUS32.CNV", "html32.cnv"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("error"), std::string::npos);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;

  // Arguments the engine never gives.
  run = Start({dir_.File("ok.dbf")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("error"), std::string::npos);
  EXPECT_EQ(ReadFile(html), "an older page");
}

}  // namespace
}  // namespace quillon::wordcnv
