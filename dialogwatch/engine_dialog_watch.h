#pragma once
// The dialog watch around the engine's open call: while it lives, every
// document the engine opens is watched by a new send-key thread on a window
// system of its own, stopped as soon as the open call returns.
//
// Ownership: one object for the whole program, on the main thread (the
// engine's open call runs there). Its end removes the watch from the engine,
// asks running send-key threads to end and waits for them a short while.

#include <functional>
#include <memory>

#include "dialogwatch/send_key_thread.h"
#include "dialogwatch/watch_clock.h"
#include "dialogwatch/window_system.h"

namespace quillon::dialogwatch {

using WindowSystemFactory = std::function<std::shared_ptr<WindowSystem>()>;

class EngineDialogWatch {
 public:
  // windows: makes the window system of each watch (the accessibility bus
  // when not given).
  explicit EngineDialogWatch(WindowSystemFactory windows = nullptr,
                             std::shared_ptr<WatchClock> clock = SystemWatchClock());
  ~EngineDialogWatch();
  EngineDialogWatch(const EngineDialogWatch&) = delete;
  EngineDialogWatch& operator=(const EngineDialogWatch&) = delete;

 private:
  WindowSystemFactory windows_;
  std::shared_ptr<WatchClock> clock_;
  std::shared_ptr<TThreadSendKey> current_;
};

}  // namespace quillon::dialogwatch
