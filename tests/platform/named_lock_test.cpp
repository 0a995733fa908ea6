#include "platform/named_lock.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace quillon {
namespace {

using testing::RuntimeFolderScope;
using testing::TempDir;

// Every test gets its own runtime folder, so that nothing here meets the
// locks of programs (or other tests) running at the same time.
class NamedLockTest : public ::testing::Test {
 protected:
  RuntimeFolderScope runtime_;
};

TEST_F(NamedLockTest, HoldersExcludeEachOtherUntilReleased) {
  NamedLock first("Quillon");
  NamedLock second("Quillon");
  NamedLock other("Quillon-FolderWatch");
  EXPECT_EQ(first.path(), runtime_.path() + "/quillon/Quillon.lock");

  ASSERT_TRUE(first.TryAcquire());
  std::string error = "x";
  EXPECT_FALSE(second.TryAcquire(&error));
  EXPECT_EQ(error, "") << "busy is no failure";
  EXPECT_TRUE(other.TryAcquire()) << "another name is another lock";

  first.Release();
  EXPECT_TRUE(second.TryAcquire());
  EXPECT_TRUE(std::filesystem::exists(second.path())) << "the lock file stays";

  // Moving keeps the hold; destruction gives it up.
  {
    NamedLock moved(std::move(second));
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(first.TryAcquire());
  }
  EXPECT_TRUE(first.TryAcquire());
}

TEST_F(NamedLockTest, AcquireWaitsForTheHolder) {
  NamedLock holder("Quillon");
  ASSERT_TRUE(holder.Acquire());
  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    NamedLock lock("Quillon");
    if (lock.Acquire()) {
      acquired = true;
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(acquired);
  holder.Release();
  waiter.join();
  EXPECT_TRUE(acquired);
}

// A program started by the holder (the engine server outlives a run) must
// not keep the lock once the holder has gone.
TEST_F(NamedLockTest, ChildProgramsDoNotInheritTheLock) {
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    NamedLock lock("Quillon");
    pid_t sleeper = 0;
    const char* argv[] = {"sleep", "30", nullptr};
    if (!lock.Acquire() ||
        posix_spawnp(&sleeper, "sleep", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      _exit(1);
    }
    [[maybe_unused]] ssize_t w = ::write(report[1], &sleeper, sizeof(sleeper));
    _exit(0);  // dies holding the lock, without releasing it
  }
  ::close(report[1]);
  pid_t sleeper = 0;
  ASSERT_EQ(::read(report[0], &sleeper, sizeof(sleeper)), static_cast<ssize_t>(sizeof(sleeper)));
  ::close(report[0]);
  ::waitpid(holder, nullptr, 0);

  NamedLock next("Quillon");
  EXPECT_TRUE(next.TryAcquire()) << "the holder's child kept the lock";
  ::kill(sleeper, SIGKILL);
}

TEST_F(NamedLockTest, RefusesARuntimeFolderThatIsNotOurs) {
  TempDir elsewhere;
  std::filesystem::create_directory_symlink(elsewhere.path(), runtime_.path() + "/quillon");
  NamedLock lock("Quillon");
  std::string error;
  EXPECT_FALSE(lock.Acquire(&error));
  EXPECT_NE(error, "");
  EXPECT_FALSE(std::filesystem::exists(elsewhere.path() + "/Quillon.lock"));
}

TEST(RuntimeFolder, FallsBackToAPrivateFolderInTmp) {
  unsetenv("XDG_RUNTIME_DIR");
  std::string folder = RuntimeFolder();
  EXPECT_EQ(folder, "/tmp/quillon-" + std::to_string(::getuid()) + "/");
  auto status = std::filesystem::status(folder);
  EXPECT_EQ(status.permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace quillon
