#include "fileio/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "fileio/unique_fd.h"

namespace quillon::fileio {
namespace {

// Longest part of the target's name that goes into the temporary name, so
// that "~" and the six random letters still fit NAME_MAX.
constexpr std::size_t kMaxNameInTemporary = 200;

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Fail(std::string& error, int error_number) {
  error = ErrorText(error_number);
  return false;
}

// The umask without changing it for other threads: the kernel tells it in
// /proc; only where that is missing is it read the old way, under a lock.
mode_t CurrentUmask() {
  UniqueFd status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
  if (status) {
    // The line comes early (after the name); the first block holds it.
    char buffer[4096];
    ssize_t n;
    do {
      n = ::read(status.get(), buffer, sizeof buffer - 1);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
      buffer[n] = '\0';
      const char* line = std::strstr(buffer, "\nUmask:");
      if (line != nullptr) {
        return static_cast<mode_t>(std::strtoul(line + 7, nullptr, 8));
      }
    }
  }
  static std::mutex mutex;
  std::lock_guard<std::mutex> lock(mutex);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

bool WriteAll(int fd, std::string_view bytes, std::string& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Fail(error, errno);
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Flushes a folder. File systems that cannot flush folders (EINVAL) keep
// their names another way; that is no failure.
bool SyncFolder(const std::string& folder, std::string& error) {
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) {
    return Fail(error, errno);
  }
  if (::fsync(fd.get()) != 0 && errno != EINVAL) {
    return Fail(error, errno);
  }
  return true;
}

// Writes `bytes` at the offset of `fd` (its end) and flushes them. When that
// fails the file is cut back to `old_size`, its bytes before the write; the
// error reported stays the one of the write.
bool WriteTailOrCutBack(int fd, off_t old_size, std::string_view bytes, std::string& error) {
  bool written = WriteAll(fd, bytes, error);
  if (written && ::fsync(fd) != 0 && errno != EINVAL) {
    written = Fail(error, errno);
  }
  if (!written && ::ftruncate(fd, old_size) == 0) {
    ::fsync(fd);
  }
  return written;
}

// Reads from `fd` to its end into `content` (empty after a failure).
bool ReadToEnd(int fd, std::string& content, std::string& error) {
  content.clear();
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    content.reserve(static_cast<std::size_t>(info.st_size));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) {
      return true;
    }
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      const int saved = errno;
      content.clear();
      return Fail(error, saved);
    }
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

std::string ErrorText(int error_number) {
  return std::strerror(error_number);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool FinalLinkTarget(const std::string& path, std::string& target, std::string& error) {
  target = path;
  for (int depth = 0; depth <= 40; ++depth) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return true;
    }
    std::string points_to(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), points_to.data(), points_to.size());
    if (n < 0) {
      return Fail(error, errno);
    }
    points_to.resize(static_cast<std::size_t>(n));
    target = points_to.front() == '/' ? points_to : FolderOf(target) + "/" + points_to;
  }
  return Fail(error, ELOOP);
}

bool WriteFileWhole(const std::string& path, std::string_view bytes, std::string& error,
                    mode_t new_file_mode) {
  error.clear();
  std::string target;
  if (!FinalLinkTarget(path, target, error)) {
    return false;
  }
  const std::string folder = FolderOf(target);
  std::string temporary = folder + "/~" + NameOf(target).substr(0, kMaxNameInTemporary) + ".XXXXXX";
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) {
    return Fail(error, errno);
  }
  struct Remover {
    const std::string& path;
    bool armed = true;
    ~Remover() {
      if (armed) {
        ::unlink(path.c_str());
      }
    }
  } remover{temporary};

  // mkstemp makes the file 0600 and ours. A file replaced in place keeps its
  // mode, and its owner where we may give it (root, or our own group).
  struct stat existing {};
  mode_t mode = 0;
  const bool replacing = ::stat(target.c_str(), &existing) == 0;
  if (replacing) {
    if (S_ISDIR(existing.st_mode)) {
      return Fail(error, EISDIR);
    }
    mode = existing.st_mode & 07777;
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      if (::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0) {
        ::fchown(fd.get(), static_cast<uid_t>(-1), existing.st_gid);
      }
    }
  } else {
    mode = new_file_mode & ~CurrentUmask();
  }
  if (::fchmod(fd.get(), mode) != 0) {
    return Fail(error, errno);
  }
  if (!WriteAll(fd.get(), bytes, error)) {
    return false;
  }
  // A file that replaces another is on disk before its name moves over, so
  // that a crash leaves the old bytes or the new ones, never an empty file.
  // A new file has nothing to lose: it goes to disk in the system's own time,
  // and whoever must know it is there (before a source is deleted) asks for
  // SyncFileAndFolder.
  if (replacing && ::fsync(fd.get()) != 0) {
    return Fail(error, errno);
  }
  if (const int closed = fd.Close(); closed != 0) {
    return Fail(error, closed);
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    return Fail(error, errno);
  }
  remover.armed = false;
  return !replacing || SyncFolder(folder, error);
}

bool ExtendFileOrWriteWhole(const std::string& path, std::string_view bytes, std::string& error) {
  error.clear();
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) > bytes.size()) {
    fd.Reset();
    return WriteFileWhole(path, bytes, error);
  }
  // What the file holds must be where `bytes` begins.
  const std::size_t old_size = static_cast<std::size_t>(info.st_size);
  std::string held;
  if (!ReadToEnd(fd.get(), held, error) || held.size() != old_size ||
      bytes.compare(0, old_size, held) != 0) {
    fd.Reset();
    return WriteFileWhole(path, bytes, error);
  }
  if (old_size == bytes.size()) {
    return true;
  }
  // Reading left the offset at the end, where the rest goes.
  if (!WriteTailOrCutBack(fd.get(), static_cast<off_t>(old_size), bytes.substr(old_size), error)) {
    return false;
  }
  const int close_error = fd.Close();
  return close_error == 0 || Fail(error, close_error);
}

namespace {

FileStamp StampFrom(const struct stat& info) {
  FileStamp stamp;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modified_seconds = info.st_mtim.tv_sec;
  stamp.modified_nanoseconds = info.st_mtim.tv_nsec;
  return stamp;
}

}  // namespace

bool StampOf(const std::string& path, FileStamp& stamp) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  stamp = StampFrom(info);
  return true;
}

AppendResult AppendToUnchangedFile(const std::string& path, const FileStamp& expected,
                                   std::string_view bytes, FileStamp& after, std::string& error) {
  error.clear();
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat info {};
  if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      StampFrom(info) != expected) {
    return AppendResult::kChanged;
  }
  if (bytes.empty()) {
    after = expected;
    return AppendResult::kAppended;
  }
  if (!WriteTailOrCutBack(fd.get(), expected.size, bytes, error)) {
    return AppendResult::kFailed;
  }
  // Without a stamp the next append finds the file changed and it is written anew.
  after = ::fstat(fd.get(), &info) == 0 ? StampFrom(info) : FileStamp{};
  const int close_error = fd.Close();
  if (close_error != 0) {
    Fail(error, close_error);
    return AppendResult::kFailed;
  }
  return AppendResult::kAppended;
}

bool ReadWholeFile(const std::string& path, std::string& content, std::string& error) {
  content.clear();
  error.clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    return Fail(error, errno);
  }
  return ReadToEnd(fd.get(), content, error);
}

bool SyncFileAndFolder(const std::string& path, std::string& error) {
  error.clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) {
    return Fail(error, errno);
  }
  if (::fsync(fd.get()) != 0 && errno != EINVAL) {
    return Fail(error, errno);
  }
  return SyncFolder(FolderOf(path), error);
}

bool MakeFolders(const std::string& folder, std::string& error) {
  error.clear();
  if (folder.empty()) {
    return Fail(error, ENOENT);
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? true : Fail(error, ENOTDIR);
  }
  // Each missing folder from the top down; one made meanwhile by another
  // process is as good as our own.
  for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
    const std::string part = folder.substr(0, at);
    if (!part.empty() && ::stat(part.c_str(), &info) != 0 && ::mkdir(part.c_str(), 0777) != 0 &&
        errno != EEXIST) {
      return Fail(error, errno);
    }
    if (at == std::string::npos) {
      break;
    }
  }
  if (::stat(folder.c_str(), &info) != 0) {
    return Fail(error, errno);
  }
  return S_ISDIR(info.st_mode) ? true : Fail(error, ENOTDIR);
}

}  // namespace quillon::fileio
