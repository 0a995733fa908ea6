#pragma once
// A clock that stands still until told otherwise, installed as the current
// clock for its lifetime, so that naming tests never wait for real time.

#include "jobs/file_name_pattern.h"

namespace quillon::testing {

class FakeClock : public Clock {
 public:
  explicit FakeClock(const LocalDateTime& now) : now_(now) { SetClock(this); }
  ~FakeClock() override { SetClock(nullptr); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  LocalDateTime Now() const override { return now_; }
  void Set(const LocalDateTime& now) { now_ = now; }

 private:
  LocalDateTime now_;
};

}  // namespace quillon::testing
