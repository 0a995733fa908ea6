#pragma once
// The tick count and the sleep of the dialog watcher, replaceable so that
// tests can step through time instead of waiting for it.

#include <cstdint>
#include <functional>
#include <memory>

namespace quillon::dialogwatch {

class WatchClock {
 public:
  virtual ~WatchClock() = default;
  // Milliseconds since an arbitrary, fixed start; never goes back.
  virtual std::uint64_t TickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Sleeps as Sleep does, but ends early once `done` holds when Wake() is
  // called meanwhile; returns done(). This plain version sleeps it out.
  virtual bool SleepUnless(std::uint32_t milliseconds, const std::function<bool()>& done) {
    Sleep(milliseconds);
    return done();
  }
  // Makes every SleepUnless of this clock look at its condition again.
  virtual void Wake() {}
};

// The steady system clock and a real sleep that Wake() cuts short. Shared.
std::shared_ptr<WatchClock> SystemWatchClock();

}  // namespace quillon::dialogwatch
