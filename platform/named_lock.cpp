#include "platform/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/folders.h"

namespace quillon {

NamedLock::NamedLock(std::string name) : name_(std::move(name)) {}

NamedLock::~NamedLock() {
  Release();
}

NamedLock::NamedLock(NamedLock&& other) noexcept
    : name_(std::move(other.name_)), fd_(std::exchange(other.fd_, -1)) {}

NamedLock& NamedLock::operator=(NamedLock&& other) noexcept {
  if (this != &other) {
    Release();
    name_ = std::move(other.name_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

std::string NamedLock::path() const {
  std::string folder = RuntimeFolder();
  return folder.empty() ? std::string() : folder + name_ + ".lock";
}

bool NamedLock::Acquire(std::string* error) {
  return Lock(true, error);
}

bool NamedLock::TryAcquire(std::string* error) {
  return Lock(false, error);
}

bool NamedLock::Lock(bool wait, std::string* error) {
  if (error != nullptr) {
    error->clear();
  }
  if (held()) {
    return true;
  }
  std::string folder_error;
  std::string folder = RuntimeFolder(&folder_error);
  if (folder.empty()) {
    if (error != nullptr) {
      *error = folder_error;
    }
    return false;
  }
  std::string file = folder + name_ + ".lock";
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error != nullptr) {
      *error = file + ": " + std::strerror(errno);
    }
    return false;
  }
  int operation = wait ? LOCK_EX : (LOCK_EX | LOCK_NB);
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    int saved = errno;
    ::close(fd);
    if (error != nullptr && !(saved == EWOULDBLOCK && !wait)) {
      *error = file + ": " + std::strerror(saved);
    }
    return false;
  }
  fd_ = fd;
  return true;
}

void NamedLock::Release() {
  if (fd_ < 0) {
    return;
  }
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace quillon
