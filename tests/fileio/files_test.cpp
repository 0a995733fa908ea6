// The file layer against the real file system: whole-or-nothing replacement
// (links, modes, owners, failures that leave the old file), folders, owned
// descriptors and the wait for a file another process writes.

#include "fileio/files.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "fileio/in_use.h"
#include "fileio/unique_fd.h"
#include "tests/support/temp_dir.h"

namespace quillon::fileio {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using namespace std::chrono_literals;

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : previous_(::umask(mask)) {}
  ~UmaskScope() { ::umask(previous_); }

 private:
  mode_t previous_;
};

// A 64 KiB tmpfs for the full file system, mounted while the object lives;
// where that cannot be (not root, or the machine refuses), skip_reason()
// tells why.
class SmallTmpfs {
 public:
  explicit SmallTmpfs(std::string mount_point) : path_(std::move(mount_point)) {
    if (::geteuid() != 0) {
      skip_reason_ = "mounting a small tmpfs needs root; the full file system is not tried";
      return;
    }
    fs::create_directory(path_);
    if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=64k") != 0) {
      skip_reason_ = "this machine refuses a tmpfs mount (" + ErrorText(errno) + ")";
      return;
    }
    mounted_ = true;
  }
  ~SmallTmpfs() {
    if (mounted_) {
      ::umount2(path_.c_str(), MNT_DETACH);
    }
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  const std::string& path() const { return path_; }
  const std::string& skip_reason() const { return skip_reason_; }

 private:
  std::string path_;
  std::string skip_reason_;
  bool mounted_ = false;
};

TEST(WriteFileWhole, ReplacesThroughLinksKeepingModeAndLeavesNothingBeside) {
  TempDir dir;
  UmaskScope umask(027);
  std::string error;

  // A new file: the umask applies, as for any file the user makes.
  ASSERT_TRUE(WriteFileWhole(dir.File("new.txt"), "fresh", error)) << error;
  EXPECT_EQ(ReadFile(dir.File("new.txt")), "fresh");
  EXPECT_EQ(ModeOf(dir.File("new.txt")), 0640u);
  {
    // The umask of the moment counts, not one remembered from before.
    UmaskScope tighter(077);
    ASSERT_TRUE(WriteFileWhole(dir.File("private.txt"), "mine", error)) << error;
    EXPECT_EQ(ModeOf(dir.File("private.txt")), 0600u);
  }

  // An existing file keeps its own bits, even ones wider than the umask.
  WriteFile(dir.File("shared.txt"), "a much longer old content");
  ::chmod(dir.File("shared.txt").c_str(), 0664);
  ASSERT_TRUE(WriteFileWhole(dir.File("shared.txt"), "short", error)) << error;
  EXPECT_EQ(ReadFile(dir.File("shared.txt")), "short");
  EXPECT_EQ(ModeOf(dir.File("shared.txt")), 0664u);

  // A chain of links, one relative and one absolute: the file at its end is
  // replaced and both links stay links.
  WriteFile(dir.File("real/doc.txt"), "old");
  ::chmod(dir.File("real/doc.txt").c_str(), 0600);
  fs::create_symlink("real/doc.txt", dir.File("first"));
  fs::create_symlink(dir.File("first"), dir.File("second"));
  ASSERT_TRUE(WriteFileWhole(dir.File("second"), "through links", error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir.File("first")));
  EXPECT_TRUE(fs::is_symlink(dir.File("second")));
  EXPECT_EQ(ReadFile(dir.File("real/doc.txt")), "through links");
  EXPECT_EQ(ModeOf(dir.File("real/doc.txt")), 0600u);

  // A name as long as the file system allows still gets its temporary file.
  const std::string longest(255, 'n');
  ASSERT_TRUE(WriteFileWhole(dir.File(longest), "long", error)) << error;
  EXPECT_EQ(ReadFile(dir.File(longest)), "long");

  EXPECT_EQ(NamesIn(dir.path()),
            (std::vector<std::string>{"first", "new.txt", longest, "private.txt", "real", "second",
                                      "shared.txt"}));
  EXPECT_EQ(NamesIn(dir.File("real")), (std::vector<std::string>{"doc.txt"}));

  // A loop of links is no file at all.
  fs::create_symlink("loop-b", dir.File("loop-a"));
  fs::create_symlink("loop-a", dir.File("loop-b"));
  EXPECT_FALSE(WriteFileWhole(dir.File("loop-a"), "x", error));
  EXPECT_EQ(error, ErrorText(ELOOP));
}

TEST(WriteFileWhole, AFileReplacedByRootKeepsItsOwner) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "only root may give a file to another user";
  }
  TempDir dir;
  WriteFile(dir.File("theirs.txt"), "old");
  ASSERT_EQ(::chown(dir.File("theirs.txt").c_str(), 65534, 65534), 0);
  std::string error;
  ASSERT_TRUE(WriteFileWhole(dir.File("theirs.txt"), "new", error)) << error;
  struct stat info {};
  ASSERT_EQ(::stat(dir.File("theirs.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
  EXPECT_EQ(info.st_gid, 65534u);
}

TEST(WriteFileWhole, AFailureLeavesTheOldFileAndNoTemporaryOne) {
  TempDir dir;
  std::string error;

  // No folder to write in.
  EXPECT_FALSE(WriteFileWhole(dir.File("missing/out.txt"), "x", error));
  EXPECT_EQ(error, ErrorText(ENOENT));

  // A folder stands under the name.
  fs::create_directory(dir.File("taken"));
  EXPECT_FALSE(WriteFileWhole(dir.File("taken"), "x", error));
  EXPECT_EQ(error, ErrorText(EISDIR));
  EXPECT_TRUE(fs::is_directory(dir.File("taken")));
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"taken"}));

  // A folder the user may not write in (root may write anywhere).
  if (::geteuid() != 0) {
    WriteFile(dir.File("locked/out.txt"), "old");
    ::chmod(dir.File("locked").c_str(), 0555);
    EXPECT_FALSE(WriteFileWhole(dir.File("locked/out.txt"), "new", error));
    EXPECT_EQ(error, ErrorText(EACCES));
    EXPECT_EQ(ReadFile(dir.File("locked/out.txt")), "old");
    ::chmod(dir.File("locked").c_str(), 0755);
  }
}

TEST(WriteFileWhole, AFullFileSystemKeepsTheOldFile) {
  TempDir dir;
  const SmallTmpfs small(dir.File("small"));
  if (!small.skip_reason().empty()) {
    GTEST_SKIP() << small.skip_reason();
  }
  const std::string& mount_point = small.path();

  const std::string path = mount_point + "/out.txt";
  std::string error;
  ASSERT_TRUE(WriteFileWhole(path, "the old text", error)) << error;
  EXPECT_FALSE(WriteFileWhole(path, std::string(256 * 1024, 'x'), error));
  EXPECT_EQ(error, ErrorText(ENOSPC));
  EXPECT_EQ(ReadFile(path), "the old text");
  EXPECT_EQ(NamesIn(mount_point), (std::vector<std::string>{"out.txt"}));
}

ino_t InodeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_ino;
}

TEST(ExtendFileOrWriteWhole, GrowsAFileInPlaceAndReplacesOneThatHoldsOtherBytes) {
  TempDir dir;
  const std::string path = dir.File("07.log");
  std::string error;
  ASSERT_TRUE(ExtendFileOrWriteWhole(path, "one\r\n", error)) << error;
  EXPECT_EQ(ReadFile(path), "one\r\n");
  const ino_t first = InodeOf(path);

  ASSERT_TRUE(ExtendFileOrWriteWhole(path, "one\r\ntwo\r\n", error)) << error;
  EXPECT_EQ(ReadFile(path), "one\r\ntwo\r\n");
  EXPECT_EQ(InodeOf(path), first);

  // The same bytes again: not written at all (the old time stays).
  const struct timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old_times, 0), 0);
  ASSERT_TRUE(ExtendFileOrWriteWhole(path, "one\r\ntwo\r\n", error)) << error;
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);

  // Other bytes at the beginning, or a longer file: replaced whole.
  ASSERT_TRUE(ExtendFileOrWriteWhole(path, "One\r\ntwo\r\nthree\r\n", error)) << error;
  EXPECT_EQ(ReadFile(path), "One\r\ntwo\r\nthree\r\n");
  EXPECT_NE(InodeOf(path), first);
  ASSERT_TRUE(ExtendFileOrWriteWhole(path, "One\r\n", error)) << error;
  EXPECT_EQ(ReadFile(path), "One\r\n");
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"07.log"}));

  // A folder in the way is an error with the system's text.
  fs::create_directory(dir.File("sub"));
  EXPECT_FALSE(ExtendFileOrWriteWhole(dir.File("sub"), "x", error));
  EXPECT_EQ(error, ErrorText(EISDIR));
}

TEST(ExtendFileOrWriteWhole, AnAppendThatDoesNotFitIsCutBack) {
  TempDir dir;
  const SmallTmpfs small(dir.File("small"));
  if (!small.skip_reason().empty()) {
    GTEST_SKIP() << small.skip_reason();
  }
  const std::string& mount_point = small.path();

  const std::string path = mount_point + "/07.log";
  std::string error;
  ASSERT_TRUE(ExtendFileOrWriteWhole(path, "the old lines\r\n", error)) << error;
  EXPECT_FALSE(
      ExtendFileOrWriteWhole(path, "the old lines\r\n" + std::string(256 * 1024, 'x'), error));
  EXPECT_EQ(error, ErrorText(ENOSPC));
  EXPECT_EQ(ReadFile(path), "the old lines\r\n");
  EXPECT_EQ(NamesIn(mount_point), (std::vector<std::string>{"07.log"}));
}

TEST(AppendToUnchangedFile, AppendsOnlyWhileTheFileIsAsTheWriterLeftIt) {
  TempDir dir;
  const std::string path = dir.File("07.log");
  std::string error;
  ASSERT_TRUE(WriteFileWhole(path, "one\r\n", error)) << error;
  FileStamp stamp;
  ASSERT_TRUE(StampOf(path, stamp));
  EXPECT_EQ(stamp.size, 5);

  FileStamp after;
  ASSERT_EQ(AppendToUnchangedFile(path, stamp, "two\r\n", after, error), AppendResult::kAppended)
      << error;
  EXPECT_EQ(ReadFile(path), "one\r\ntwo\r\n");
  FileStamp now;
  ASSERT_TRUE(StampOf(path, now));
  EXPECT_TRUE(after == now);
  stamp = after;

  // Someone else wrote to it (the same size, a later time), replaced it or
  // removed it: it is left alone and the caller writes it anew.
  const struct timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
  WriteFile(path, "ONE\r\nTWO\r\n");
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
  EXPECT_EQ(AppendToUnchangedFile(path, stamp, "three\r\n", after, error), AppendResult::kChanged);
  EXPECT_EQ(ReadFile(path), "ONE\r\nTWO\r\n");

  ASSERT_TRUE(StampOf(path, stamp));
  WriteFile(dir.File("other"), "ONE\r\nTWO\r\n");
  ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("other").c_str(), later, 0), 0);
  fs::rename(dir.File("other"), path);
  EXPECT_EQ(AppendToUnchangedFile(path, stamp, "three\r\n", after, error), AppendResult::kChanged);
  EXPECT_EQ(ReadFile(path), "ONE\r\nTWO\r\n");

  fs::remove(path);
  EXPECT_EQ(AppendToUnchangedFile(path, stamp, "three\r\n", after, error), AppendResult::kChanged);
  EXPECT_FALSE(testing::FileExists(path));
  EXPECT_FALSE(StampOf(path, stamp));
}

TEST(AppendToUnchangedFile, AnAppendThatDoesNotFitIsCutBack) {
  TempDir dir;
  const SmallTmpfs small(dir.File("small"));
  if (!small.skip_reason().empty()) {
    GTEST_SKIP() << small.skip_reason();
  }
  const std::string path = small.path() + "/07.log";
  std::string error;
  ASSERT_TRUE(WriteFileWhole(path, "the old lines\r\n", error)) << error;
  FileStamp stamp, after;
  ASSERT_TRUE(StampOf(path, stamp));
  EXPECT_EQ(AppendToUnchangedFile(path, stamp, std::string(256 * 1024, 'x'), after, error),
            AppendResult::kFailed);
  EXPECT_EQ(error, ErrorText(ENOSPC));
  EXPECT_EQ(ReadFile(path), "the old lines\r\n");
}

TEST(FileLayer, ReadSyncAndMakeFoldersReportTheSystemsReason) {
  TempDir dir;
  std::string error;
  std::string content;
  EXPECT_FALSE(ReadWholeFile(dir.File("none"), content, error));
  EXPECT_EQ(error, ErrorText(ENOENT));
  WriteFile(dir.File("some"), std::string(100000, 's'));
  ASSERT_TRUE(ReadWholeFile(dir.File("some"), content, error)) << error;
  EXPECT_EQ(content.size(), 100000u);

  EXPECT_TRUE(SyncFileAndFolder(dir.File("some"), error)) << error;
  EXPECT_FALSE(SyncFileAndFolder(dir.File("none"), error));
  EXPECT_EQ(error, ErrorText(ENOENT));

  ASSERT_TRUE(MakeFolders(dir.File("a/b/c/"), error)) << error;
  EXPECT_TRUE(fs::is_directory(dir.File("a/b/c")));
  EXPECT_TRUE(MakeFolders(dir.File("a/b"), error)) << "an existing folder is fine";
  EXPECT_FALSE(MakeFolders(dir.File("some/below"), error));
  EXPECT_EQ(error, ErrorText(ENOTDIR));
  EXPECT_FALSE(MakeFolders(dir.File("some"), error));
  EXPECT_EQ(error, ErrorText(ENOTDIR));

  EXPECT_EQ(FolderOf("/a/b.txt"), "/a");
  EXPECT_EQ(FolderOf("/b.txt"), "/");
  EXPECT_EQ(FolderOf("b.txt"), ".");
}

TEST(UniqueFd, ClosesExactlyOnceWhereverItIsMoved) {
  const int raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  {
    UniqueFd first(raw);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.valid());
    UniqueFd third;
    third = std::move(second);
    EXPECT_EQ(third.get(), raw);
    EXPECT_NE(::fcntl(raw, F_GETFD), -1) << "closed too early";
  }
  EXPECT_EQ(::fcntl(raw, F_GETFD), -1) << "left open";

  UniqueFd released(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int kept = released.Release();
  released.Reset();
  EXPECT_NE(::fcntl(kept, F_GETFD), -1) << "a released descriptor was closed";
  ::close(kept);
}

// A child process that holds `path` open for writing for `hold`, then ends.
pid_t HoldOpenForWriting(const std::string& path, std::chrono::milliseconds hold) {
  int ready[2];
  if (::pipe(ready) != 0) {
    return -1;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    [[maybe_unused]] ssize_t w = ::write(ready[1], fd >= 0 ? "y" : "n", 1);
    ::usleep(static_cast<useconds_t>(hold.count() * 1000));
    ::_exit(0);
  }
  ::close(ready[1]);
  char state = 0;
  const bool opened = ::read(ready[0], &state, 1) == 1 && state == 'y';
  ::close(ready[0]);
  return opened ? pid : -1;
}

TEST(WaitWhileInUse, WaitsForTheWriterAndNoLongerThanAsked) {
  TempDir dir;
  const std::string path = dir.File("busy.doc");
  WriteFile(path, "content");
  if (ProbeFileLease(path) == LeaseProbe::kUnsupported) {
    GTEST_SKIP() << "this file system refuses leases";
  }
  InUseWait wait;
  wait.poll = 10ms;

  pid_t writer = HoldOpenForWriting(path, 300ms);
  ASSERT_GT(writer, 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitWhileInUse(path, wait), WaitOutcome::kFree);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  ::waitpid(writer, nullptr, 0);

  writer = HoldOpenForWriting(path, 3000ms);
  ASSERT_GT(writer, 0);
  wait.limit = 100ms;
  EXPECT_EQ(WaitWhileInUse(path, wait), WaitOutcome::kTimedOut);
  int looks = 0;
  wait.limit = 10s;
  wait.between = [&] { return ++looks < 3; };
  EXPECT_EQ(WaitWhileInUse(path, wait), WaitOutcome::kGaveUp);
  EXPECT_EQ(looks, 3);
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_EQ(WaitWhileInUse(path, wait), WaitOutcome::kFree);
}

}  // namespace
}  // namespace quillon::fileio
