#include "engine/process_runner.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "tests/support/temp_dir.h"

namespace quillon::engine {
namespace {

using quillon::testing::ReadFile;
using quillon::testing::TempDir;
using quillon::testing::WriteFile;
using namespace std::chrono_literals;

std::string MakeScript(const TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir.File(name);
  WriteFile(path, "#!/bin/sh\n" + body);
  ::chmod(path.c_str(), 0755);
  return path;
}

int OpenDescriptorCount() {
  int count = 0;
  DIR* fds = ::opendir("/proc/self/fd");
  while (const dirent* entry = ::readdir(fds)) {
    count += entry->d_name[0] != '.';
  }
  ::closedir(fds);
  return count;
}

// Nothing of ours is left to reap.
bool NoChildLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(SplitCommandLine, QuotesGroupAndAreRemoved) {
  EXPECT_EQ(SplitCommandLine("prog a  b"), (std::vector<std::string>{"prog", "a", "b"}));
  EXPECT_EQ(SplitCommandLine("\"/my dir/prog\" \"a b\" \"\" c\"d e\""),
            (std::vector<std::string>{"/my dir/prog", "a b", "", "cd e"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(NormaliseLineBreaks, EveryBreakBecomesCrLf) {
  EXPECT_EQ(NormaliseLineBreaks("a\nb\r\nc\rd\n"), "a\r\nb\r\nc\rd\r\n");
  EXPECT_EQ(NormaliseLineBreaks("\r\n\r\n"), "\r\n\r\n");
  EXPECT_EQ(NormaliseLineBreaks(""), "");
}

TEST(RunAndCapture, InterleavesBothStreamsInWriteOrder) {
  TempDir dir;
  const std::string script = MakeScript(dir, "talk",
                                        "printf 'out one\\n'\n"
                                        "printf 'err one\\r\\n' >&2\n"
                                        "printf 'out two\\n'\n"
                                        "printf 'err two' >&2\n");
  const int descriptors = OpenDescriptorCount();
  EXPECT_EQ(RunAndCapture(script), "out one\r\nerr one\r\nout two\r\nerr two");
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  EXPECT_TRUE(NoChildLeft());
}

TEST(RunAndCapture, QuotedArgumentsAndLargeOutput) {
  TempDir dir;
  const std::string script =
      MakeScript(dir, "args", "printf '%s|' \"$@\"\nhead -c 300000 /dev/zero | tr '\\0' x\n");
  const std::string output = RunAndCapture("\"" + script + "\" \"a b\" c");
  ASSERT_EQ(output.size(), 6 + 300000u);
  EXPECT_EQ(output.substr(0, 6), "a b|c|");
  EXPECT_EQ(output.find_first_not_of('x', 6), std::string::npos);
}

TEST(RunAndCapture, CanNotRunText) {
  TempDir dir;
  EXPECT_EQ(RunAndCapture("\"" + dir.File("no such program") + "\" x"),
            "can not run \"\"" + dir.File("no such program") + "\" x\", No such file or directory");
  WriteFile(dir.File("plain"), "not a program");
  EXPECT_EQ(RunAndCapture(dir.File("plain")),
            "can not run \"" + dir.File("plain") + "\", Permission denied");
  EXPECT_TRUE(NoChildLeft());
}

TEST(RunAndCapture, StopsAtProgramEndAndEndsWhatItLeftRunning) {
  TempDir dir;
  const std::string pid_file = dir.File("helper.pid");
  const std::string script = MakeScript(dir, "leave",
                                        "echo started\n"
                                        "( sleep 1; echo late ) &\n"
                                        "echo $! > '" +
                                            pid_file + "'\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunAndCapture(script), "started\r\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
  const pid_t helper = std::stoi(ReadFile(pid_file));
  // The helper was killed: gone, or a zombie waiting for whoever reaps
  // orphans (which may take its time).
  bool gone = false;
  for (int i = 0; i < 50 && !gone; ++i) {
    const std::string stat = ReadFile("/proc/" + std::to_string(helper) + "/stat");
    const std::size_t end_of_name = stat.rfind(')');
    gone = stat.empty() || (end_of_name != std::string::npos && stat.size() > end_of_name + 2 &&
                            stat[end_of_name + 2] == 'Z');
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(gone);
}

TEST(RunAndCapture, TimeLimitEndsTheProgram) {
  TempDir dir;
  const std::string script = MakeScript(dir, "hang", "echo waiting\nexec sleep 30\n");
  const auto start = std::chrono::steady_clock::now();
  const std::string output = RunAndCapture(script, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(output.rfind("waiting\r\n", 0), 0u) << output;
  EXPECT_NE(output.find("error"), std::string::npos) << output;
  EXPECT_NE(output.find(script), std::string::npos) << output;
  EXPECT_TRUE(NoChildLeft());
}

}  // namespace
}  // namespace quillon::engine
