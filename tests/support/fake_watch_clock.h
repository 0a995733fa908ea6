#pragma once
// A watcher clock whose sleeps advance its tick count at once, so that the
// send-key thread's polling and time limit run through in no real time.

#include <atomic>
#include <mutex>
#include <vector>

#include "dialogwatch/watch_clock.h"

namespace quillon::testing {

class FakeWatchClock : public dialogwatch::WatchClock {
 public:
  std::uint64_t TickCount() override { return now_; }
  void Sleep(std::uint32_t milliseconds) override {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(milliseconds);
    now_ += milliseconds;
  }
  std::vector<std::uint32_t> Sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  std::atomic<std::uint64_t> now_{1000};
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> sleeps_;
};

}  // namespace quillon::testing
