#pragma once
// The tick count and the sleep of the dialog watcher, replaceable so that
// tests can step through time instead of waiting for it.

#include <cstdint>
#include <memory>

namespace quillon::dialogwatch {

class WatchClock {
 public:
  virtual ~WatchClock() = default;
  // Milliseconds since an arbitrary, fixed start; never goes back.
  virtual std::uint64_t TickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The steady system clock and a real sleep. Shared and stateless.
std::shared_ptr<WatchClock> SystemWatchClock();

}  // namespace quillon::dialogwatch
