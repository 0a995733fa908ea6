#include "platform/file_in_use.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

namespace quillon {
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
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
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
  LeaseProbe result;
  if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    result = LeaseProbe::kFree;
  } else if (errno == EAGAIN) {
    result = LeaseProbe::kInUse;
  } else {
    result = LeaseProbe::kUnsupported;
  }
  ::close(fd);
  return result;
}

}  // namespace quillon
