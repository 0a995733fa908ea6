#pragma once
// A lock shared by every process of the user under one name: the Linux
// stand-in for a named mutex or named semaphore.
//
// The lock is flock(LOCK_EX) on "<RuntimeFolder()><name>.lock". The file is
// opened with O_CLOEXEC, so programs started while the lock is held do not
// inherit it, and it is never deleted: deleting a lock file while another
// process waits on its open descriptor would let two processes hold "the
// same" lock. The kernel drops the lock when the holder dies, however it
// dies, so an abandoned lock is simply acquired by the next waiter.
//
// Two NamedLock objects of one process with the same name exclude each other
// just as two processes do (each opens the file anew).
//
// Thread: one object is used by one thread at a time.

#include <string>

namespace quillon {

class NamedLock {
 public:
  explicit NamedLock(std::string name);
  ~NamedLock();  // releases when held
  NamedLock(NamedLock&& other) noexcept;
  NamedLock& operator=(NamedLock&& other) noexcept;
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // Waits without a time limit until the lock is ours. False only when the
  // lock file cannot be opened or locked; `error` then says why.
  bool Acquire(std::string* error = nullptr);

  // Takes the lock when it is free at once. False when another holder has
  // it (error left empty) or on failure (error set).
  bool TryAcquire(std::string* error = nullptr);

  // Gives the lock up; a no-op when not held.
  void Release();

  bool held() const { return fd_ >= 0; }
  const std::string& name() const { return name_; }
  // The lock file; empty when the runtime folder could not be made.
  std::string path() const;

 private:
  bool Lock(bool wait, std::string* error);

  std::string name_;
  int fd_ = -1;
};

}  // namespace quillon
