// IsFileLocked and CopyFileWhenFree against real writer processes.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "util/files.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A child process that opens a file for writing, says so, and keeps it open
// until told to close it.
class Writer {
 public:
  explicit Writer(const std::string& path) {
    int ready[2];
    int go[2];
    if (::pipe(ready) != 0 || ::pipe(go) != 0) {
      ADD_FAILURE() << "pipe";
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      int fd = ::open(path.c_str(), O_WRONLY);
      char state = fd >= 0 ? 'y' : 'n';
      [[maybe_unused]] ssize_t w = ::write(ready[1], &state, 1);
      char byte;
      [[maybe_unused]] ssize_t r = ::read(go[0], &byte, 1);
      if (fd >= 0) {
        ::close(fd);
      }
      _exit(0);
    }
    ::close(ready[1]);
    ::close(go[0]);
    go_ = go[1];
    char state = 0;
    opened_ = ::read(ready[0], &state, 1) == 1 && state == 'y';
    ::close(ready[0]);
  }
  ~Writer() { Close(); }

  bool opened() const { return opened_; }

  // Lets the child close the file and end; waits for it.
  void Close() {
    if (pid_ <= 0) {
      return;
    }
    char byte = 1;
    [[maybe_unused]] ssize_t w = ::write(go_, &byte, 1);
    ::close(go_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  bool opened_ = false;
};

void SetAge(const std::string& path, int seconds) {
  struct timespec times[2];
  ::clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= seconds;
  times[1] = times[0];
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(IsFileLocked, TrueWhileAnotherProcessWritesFalseAfter) {
  TempDir dir;
  std::string path = dir.File("doc.rtf");
  WriteFile(path, "{\\rtf1 x}");
  SetAge(path, 60);
  EXPECT_FALSE(IsFileLocked(path));
  {
    Writer writer(path);
    ASSERT_TRUE(writer.opened());
    EXPECT_TRUE(IsFileLocked(path));
    writer.Close();
    EXPECT_FALSE(IsFileLocked(path));
  }
  EXPECT_FALSE(IsFileLocked(dir.File("missing.rtf")));
}

// Where leases are refused (here: a user who neither owns the file nor has
// CAP_LEASE), a file changed within the last 2 seconds counts as in use.
TEST(IsFileLocked, RecentlyChangedCountsAsInUseWithoutLeases) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to probe as another user; as the owner leases always work";
  }
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  std::string fresh = dir.File("fresh.doc");
  std::string old = dir.File("old.doc");
  WriteFile(fresh, "x");
  WriteFile(old, "x");
  ASSERT_EQ(::chmod(fresh.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(old.c_str(), 0644), 0);
  SetAge(old, 10);

  pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
      _exit(10);
    }
    int code = (IsFileLocked(fresh) ? 1 : 0) | (IsFileLocked(old) ? 2 : 0);
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 10) << "could not drop to another user";
  EXPECT_EQ(WEXITSTATUS(status), 1) << "fresh file in use, old file free";
}

TEST(CopyFileWhenFree, OverwritesAndFailsOnMissingSource) {
  TempDir dir;
  WriteFile(dir.File("src.doc"), "new content");
  WriteFile(dir.File("dst.doc"), "old content that is longer");
  SetAge(dir.File("src.doc"), 60);
  std::string error;
  EXPECT_TRUE(CopyFileWhenFree(dir.File("src.doc"), dir.File("dst.doc"), {}, &error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(ReadFile(dir.File("dst.doc")), "new content");

  EXPECT_FALSE(CopyFileWhenFree(dir.File("missing.doc"), dir.File("dst2.doc"), {}, &error));
  EXPECT_NE(error, "");
  EXPECT_FALSE(testing::FileExists(dir.File("dst2.doc")));
}

TEST(CopyFileWhenFree, WaitsForTheWriterThenCopies) {
  TempDir dir;
  std::string source = dir.File("src.doc");
  WriteFile(source, "written");
  SetAge(source, 60);
  Writer writer(source);
  ASSERT_TRUE(writer.opened());
  int polls = 0;
  // The closing check runs once per wait; the writer finishes on the second.
  auto closing = [&] {
    if (++polls == 2) {
      writer.Close();
    }
    return false;
  };
  EXPECT_TRUE(CopyFileWhenFree(source, dir.File("dst.doc"), closing, nullptr,
                               std::chrono::milliseconds(10)));
  EXPECT_EQ(polls, 2);
  EXPECT_EQ(ReadFile(dir.File("dst.doc")), "written");
}

TEST(CopyFileWhenFree, GivesUpWithoutCopyWhenTheProgramCloses) {
  TempDir dir;
  std::string source = dir.File("src.doc");
  WriteFile(source, "x");
  SetAge(source, 60);
  Writer writer(source);
  ASSERT_TRUE(writer.opened());
  std::string error;
  EXPECT_FALSE(CopyFileWhenFree(
      source, dir.File("dst.doc"), [] { return true; }, &error, std::chrono::milliseconds(10)));
  EXPECT_NE(error, "");
  EXPECT_FALSE(testing::FileExists(dir.File("dst.doc")));
}

}  // namespace
}  // namespace quillon
