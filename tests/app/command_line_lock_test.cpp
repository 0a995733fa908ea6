// Real quillon processes: command-line runs take turns on the lock, a killed
// holder frees it, and the start modes that never convert leave it alone.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
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
  // Starts quillon with `args`; `hold_ms` >= 0 sets the test hold. The runs
  // here convert nothing that matters: only their turns on the lock and that
  // they end normally are looked at, whatever their exit code.
  Quillon(std::vector<std::string> args, int hold_ms) {
    if (hold_ms >= 0) {
      setenv("QUILLON_TEST_HOLD_MS", std::to_string(hold_ms).c_str(), 1);
    } else {
      unsetenv("QUILLON_TEST_HOLD_MS");
    }
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
    unsetenv("QUILLON_TEST_HOLD_MS");
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

  // Waits for a line of standard output that begins with `prefix`.
  bool WaitForLine(const std::string& prefix, std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (output_.find(prefix) == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        return false;
      }
      struct pollfd p {
        out_, POLLIN, 0
      };
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || !ReadSome()) {
        return false;
      }
    }
    return true;
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

  // The CLOCK_MONOTONIC value printed after `word`, or -1.
  long long Stamp(const std::string& word) const {
    std::istringstream in(output_);
    std::string key;
    long long value;
    while (in >> key >> value) {
      if (key == word) {
        return value;
      }
    }
    return -1;
  }
  const std::string& output() const { return output_; }

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
};

TEST_F(CommandLineLockTest, RunsStartedTogetherTakeTurns) {
  Quillon first({"/s", source_}, 700);
  Quillon second({"/s", source_}, 700);
  ASSERT_GE(first.Wait(kEnds).value_or(-2), 0);
  ASSERT_GE(second.Wait(kEnds).value_or(-2), 0);
  long long a_start = first.Stamp("hold-start"), a_end = first.Stamp("hold-end");
  long long b_start = second.Stamp("hold-start"), b_end = second.Stamp("hold-end");
  ASSERT_TRUE(a_start > 0 && a_end > 0 && b_start > 0 && b_end > 0)
      << first.output() << second.output();
  EXPECT_TRUE(a_end <= b_start || b_end <= a_start)
      << "the runs overlapped: " << first.output() << second.output();
}

TEST_F(CommandLineLockTest, KilledHolderDoesNotBlockTheNextRun) {
  Quillon holder({"/s", source_}, 60000);
  ASSERT_TRUE(holder.WaitForLine("hold-start", kEnds)) << holder.output();
  holder.Kill();
  EXPECT_EQ(holder.Wait(kEnds), -1);  // ended by the signal

  Quillon next({"/s", source_}, 0);
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
  Quillon tray({"/min"}, -1);
  EXPECT_TRUE(tray.WaitUntilSigtermIsCaught(kEnds)) << "a tray start does not touch the lock";
  tray.Terminate();
  EXPECT_EQ(tray.Wait(kEnds), 0);

  // Upper case: a command-line run (which reports an unknown option and so
  // converts nothing, here nor anywhere).
  Quillon upper({"/MIN", source_}, -1);
  EXPECT_EQ(upper.Wait(std::chrono::milliseconds(700)), std::nullopt)
      << "a command-line run went ahead while the lock was held";
  held.Release();
  EXPECT_GE(upper.Wait(kEnds).value_or(-2), 0);
}

TEST_F(CommandLineLockTest, AutomationStartRunsUntilTerminatedThenShutsDown) {
  NamedLock held(kCommandLineLockName);
  ASSERT_TRUE(held.Acquire());  // must not hold it back
  Quillon automation({"-Embedding", "/s", source_}, -1);
  EXPECT_EQ(automation.Wait(std::chrono::milliseconds(500)), std::nullopt);
  automation.Terminate();
  EXPECT_EQ(automation.Wait(kEnds), 0);
  // Its shut-down wrote the day log.
  EXPECT_FALSE(std::filesystem::is_empty(std::filesystem::path(home_.path())));
}

}  // namespace
}  // namespace quillon
