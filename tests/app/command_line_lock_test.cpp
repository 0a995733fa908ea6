// Real quillon processes: command-line runs take turns on the lock, a killed
// holder frees it, and the start modes that never convert leave it alone.
// A run holds the lock for as long as it converts, so a run with many files
// to convert is what holds it here.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "app/main_window_state.h"
#include "platform/named_lock.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace quillon {
namespace {

using testing::RuntimeFolderScope;
using testing::StateFolderScope;
using testing::TempDir;
using Clock = std::chrono::steady_clock;

class Quillon {
 public:
  // Starts quillon with `args`. Only their turns on the lock, what they
  // convert and that they end normally are looked at here.
  explicit Quillon(std::vector<std::string> args) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ADD_FAILURE() << "pipe";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::string program = std::string(QUILLON_BIN_DIR) + "/quillon";
    std::vector<char*> argv{program.data()};
    for (std::string& arg : args) {
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      ADD_FAILURE() << "cannot start " << program;
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Quillon() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) {
      ::close(out_);
    }
  }

  // The exit code (-1 when ended by a signal), or nothing when it has not
  // ended within `limit`.
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (true) {
      int status = 0;
      pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        ReadRest();
        if (!WIFEXITED(status)) {
          return -1;
        }
        return WEXITSTATUS(status);
      }
      if (Clock::now() >= deadline) {
        return std::nullopt;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // Waits until the program handles SIGTERM itself (its event loop is about
  // to run), as /proc shows.
  bool WaitUntilSigtermIsCaught(std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
      std::string line;
      while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0 &&
            (std::stoull(line.substr(7), nullptr, 16) & (1ULL << (SIGTERM - 1))) != 0) {
          return true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  void Kill() { ::kill(pid_, SIGKILL); }
  void Terminate() { ::kill(pid_, SIGTERM); }

 private:
  bool ReadSome() {
    char buffer[512];
    ssize_t n = ::read(out_, buffer, sizeof(buffer));
    if (n <= 0) {
      return false;
    }
    output_.append(buffer, static_cast<size_t>(n));
    return true;
  }
  void ReadRest() {
    while (ReadSome()) {
    }
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};

constexpr auto kEnds = std::chrono::milliseconds(15000);

class CommandLineLockTest : public ::testing::Test {
 protected:
  StateFolderScope home_;
  RuntimeFolderScope runtime_;
  // An empty folder to convert: with its trailing "/", its own *.doc files
  // (without it, the folder's name would be the mask in its parent folder,
  // and "/s" would walk everything beside it).
  TempDir source_folder_;
  std::string source_ = source_folder_.path() + "/";
  TempDir work_;

  // `count` small documents d1000.rtf, d1001.rtf, ... in a new folder below
  // the work folder; returns the folder with its trailing "/".
  std::string MakeDocuments(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
      testing::WriteFile(work_.File(folder + "/d" + std::to_string(1000 + i) + ".rtf"),
                         "{\\rtf1\\ansi Document " + std::to_string(i) + "\\par}");
    }
    return work_.File(folder) + "/";
  }
};

// The write times of the text files below `folder`, in nanoseconds.
std::vector<long long> WriteTimes(const std::string& folder) {
  std::vector<long long> times;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) == 0) {
      times.push_back(info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
    }
  }
  std::sort(times.begin(), times.end());
  return times;
}

TEST_F(CommandLineLockTest, RunsStartedTogetherTakeTurns) {
  // Both runs start while the lock is taken, so both wait; once it is free
  // one converts all its files, then the other one does.
  NamedLock held(kCommandLineLockName);
  ASSERT_TRUE(held.Acquire());
  std::string a = MakeDocuments("a", 25), b = MakeDocuments("b", 25);
  Quillon first({"/d:" + work_.File("out-a"), a + "*.rtf"});
  Quillon second({"/d:" + work_.File("out-b"), b + "*.rtf"});
  EXPECT_EQ(first.Wait(std::chrono::milliseconds(500)), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(work_.File("out-a")));
  EXPECT_FALSE(std::filesystem::exists(work_.File("out-b")));
  held.Release();
  EXPECT_EQ(first.Wait(kEnds), 0);
  EXPECT_EQ(second.Wait(kEnds), 0);

  std::vector<long long> times_a = WriteTimes(work_.File("out-a"));
  std::vector<long long> times_b = WriteTimes(work_.File("out-b"));
  ASSERT_EQ(times_a.size(), 25u);
  ASSERT_EQ(times_b.size(), 25u);
  EXPECT_TRUE(times_a.back() < times_b.front() || times_b.back() < times_a.front())
      << "the runs converted at the same time";
}

TEST_F(CommandLineLockTest, KilledHolderDoesNotBlockTheNextRun) {
  // Killed in the middle of converting, while it holds the lock.
  std::string many = MakeDocuments("many", 300);
  Quillon holder({"/d:" + work_.File("out"), many + "*.rtf"});
  auto deadline = Clock::now() + kEnds;
  while (!std::filesystem::exists(work_.File("out/d1000.txt")) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  holder.Kill();
  EXPECT_EQ(holder.Wait(kEnds), -1);  // ended by the signal
  ASSERT_TRUE(std::filesystem::exists(work_.File("out/d1000.txt")));

  Quillon next({"/s", source_});
  EXPECT_GE(next.Wait(kEnds).value_or(-2), 0) << "the lock of the killed run was not freed";
}

TEST_F(CommandLineLockTest, OnlyConversionParametersWaitForTheLock) {
  NamedLock held(kCommandLineLockName);
  ASSERT_TRUE(held.Acquire());

  // Without a display a tray start is the watch service: it runs until it
  // is stopped, and never waits for the lock on its way there.
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ::unsetenv("QT_QPA_PLATFORM");
  Quillon tray({"/min"});
  EXPECT_TRUE(tray.WaitUntilSigtermIsCaught(kEnds)) << "a tray start does not touch the lock";
  tray.Terminate();
  EXPECT_EQ(tray.Wait(kEnds), 0);

  // Upper case: a command-line run (which reports an unknown option and so
  // converts nothing, here nor anywhere).
  Quillon upper({"/MIN", source_});
  EXPECT_EQ(upper.Wait(std::chrono::milliseconds(700)), std::nullopt)
      << "a command-line run went ahead while the lock was held";
  held.Release();
  EXPECT_GE(upper.Wait(kEnds).value_or(-2), 0);
}

TEST_F(CommandLineLockTest, AutomationStartRunsUntilTerminatedThenShutsDown) {
  NamedLock held(kCommandLineLockName);
  ASSERT_TRUE(held.Acquire());  // must not hold it back
  Quillon automation({"-Embedding", "/s", source_});
  EXPECT_EQ(automation.Wait(std::chrono::milliseconds(500)), std::nullopt);
  automation.Terminate();
  EXPECT_EQ(automation.Wait(kEnds), 0);
  // Its shut-down wrote the day log.
  EXPECT_FALSE(std::filesystem::is_empty(std::filesystem::path(home_.path())));
}

}  // namespace
}  // namespace quillon
