// The headless watch service: `quillon /min` without a display watches the
// folders of its watch list, converts what appears, and ends on SIGTERM
// through the normal shut-down.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/app/cli_harness.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using testing::CliHarness;
using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) {
      return false;
    }
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// The program with the arguments in a private world without a display;
// standard error goes to `err_path`.
pid_t StartProgram(const TempDir& root, const std::vector<std::string>& args,
                   const std::string& err_path) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int null = ::open("/dev/null", O_RDWR);
    if (err < 0 || null < 0 || ::chdir(root.path().c_str()) != 0) {
      ::_exit(126);
    }
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(err, 2);
    ::setenv("QUILLON_HOME", root.File("home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", root.File("run").c_str(), 1);
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::unsetenv("LANGUAGE");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    std::vector<std::string> strings = {CliHarness::Program()};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) {
      argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// The exit code, or -1 when the program did not end within `limit` (it is
// then killed).
int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  int status = 0;
  bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit);
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WatchService, TrayStartWithoutDisplayConvertsUntilSigterm) {
  std::string missing = CliHarness::Missing();
  if (!missing.empty()) {
    GTEST_SKIP() << missing;
  }
  TempDir root;
  ::mkdir(root.File("run").c_str(), 0700);
  ::mkdir(root.File("in").c_str(), 0755);
  ::mkdir(root.File("out").c_str(), 0755);
  WriteFile(root.File("in/present.rtf"),
            ReadFile(std::string(QUILLON_TEST_DATA_DIR) + "/engine/sample.rtf"));
  // The header as another hand may have written it; the shut-down saves the
  // list the way this program writes it.
  WriteFile(root.File("home/watcher.ini"), "Record Count2=1\r\n1\r\n" + root.File("in") + "\r\n" +
                                               root.File("out") +
                                               "\r\n*.rtf\r\nno\r\n2=TEXT ONLY(*.txt)\r\n");

  std::string err_path = root.File("stderr.txt");
  pid_t pid = StartProgram(root, {"/min"}, err_path);
  ASSERT_GT(pid, 0);
  bool watching = WaitFor(
      [&] { return ReadFile(err_path).find("Watching " + root.File("in")) != std::string::npos; },
      30s);
  if (!watching) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    FAIL() << "never started watching; standard error: " << ReadFile(err_path);
  }
  WriteFile(root.File("in/dropped.rtf"),
            ReadFile(std::string(QUILLON_TEST_DATA_DIR) + "/engine/sample.rtf"));
  bool converted = WaitFor([&] { return FileExists(root.File("out/dropped.txt")); }, 30s);
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  int exit_code = WaitForExit(pid, 30s);

  EXPECT_TRUE(converted) << ReadFile(err_path);
  EXPECT_EQ(exit_code, 0) << ReadFile(err_path);
  EXPECT_FALSE(FileExists(root.File("out/present.txt")));
  EXPECT_NE(ReadFile(root.File("out/dropped.txt")).find("The quick brown fox"), std::string::npos);
  EXPECT_EQ(ReadFile(root.File("home/watcher.ini")),
            "record count2=1\r\n1\r\n" + root.File("in") + "\r\n" + root.File("out") +
                "\r\n*.rtf\r\nNo\r\n2=TEXT ONLY(*.txt)\r\n");
  std::vector<std::string> logs;
  for (const std::string& name : CliHarness::FilesBelow(root.File("home"))) {
    if (name.size() == 6 && name.substr(2) == ".log") {
      logs.push_back(ReadFile(root.File("home/" + name)));
    }
  }
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find("successfully convert " + root.File("in/dropped.rtf")), std::string::npos);
}

}  // namespace
}  // namespace quillon
