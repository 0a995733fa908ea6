#include "fileio/in_use.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <mutex>
#include <thread>

#include "fileio/unique_fd.h"

namespace quillon::fileio {
namespace {

void IgnoreLeaseBreakSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      sigemptyset(&ignore.sa_mask);
      ::sigaction(SIGIO, &ignore, nullptr);
    }
  });
}

}  // namespace

LeaseProbe ProbeFileLease(const std::string& path) {
  IgnoreLeaseBreakSignal();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!fd) {
    switch (errno) {
      case ENOENT:
      case ENOTDIR:
        return LeaseProbe::kMissing;
      case EWOULDBLOCK:  // another process holds a write lease
        return LeaseProbe::kInUse;
      default:
        return LeaseProbe::kUnsupported;
    }
  }
  if (::fcntl(fd.get(), F_SETLEASE, F_RDLCK) == 0) {
    ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
    return LeaseProbe::kFree;
  }
  return errno == EAGAIN ? LeaseProbe::kInUse : LeaseProbe::kUnsupported;
}

bool IsFileInUse(const std::string& path) {
  switch (ProbeFileLease(path)) {
    case LeaseProbe::kMissing:
    case LeaseProbe::kFree:
      return false;
    case LeaseProbe::kInUse:
      return true;
    case LeaseProbe::kUnsupported:
      break;
  }
  // Without leases, a file that changed in the last moments is taken to be
  // still being written.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return false;
  }
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const double age = static_cast<double>(now.tv_sec - info.st_mtim.tv_sec) +
                     static_cast<double>(now.tv_nsec - info.st_mtim.tv_nsec) / 1e9;
  return age < 2.0;
}

WaitOutcome WaitWhileInUse(const std::string& path, const InUseWait& wait) {
  const std::function<bool(const std::string&)> in_use =
      wait.in_use ? wait.in_use : std::function<bool(const std::string&)>(IsFileInUse);
  const auto start = std::chrono::steady_clock::now();
  while (in_use(path)) {
    if (std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                              start) >= wait.limit) {
      return WaitOutcome::kTimedOut;
    }
    if (wait.between && !wait.between()) {
      return WaitOutcome::kGaveUp;
    }
    std::this_thread::sleep_for(wait.poll);
  }
  return WaitOutcome::kFree;
}

}  // namespace quillon::fileio
