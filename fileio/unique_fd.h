#pragma once
// An owned file descriptor: closed when its owner ends, moved but never
// copied, so that no path forgets to close it and none closes it twice.
//
// Thread: one owner at a time.

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quillon::fileio {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives the descriptor up without closing it.
  int Release() { return std::exchange(fd_, -1); }

  // Closes the descriptor held (if any) and takes `fd`.
  void Reset(int fd = -1) {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = fd;
  }

  // Closes now and tells how that went: a write whose data the kernel could
  // not store may first show here. 0, or the errno value of the failure.
  int Close() {
    if (fd_ < 0) {
      return 0;
    }
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_ = -1;
};

}  // namespace quillon::fileio
