#pragma once
// The send-key thread: while the word processor opens a document, it looks
// every 50 ms for a given top-level window and, when one shows up, answers it
// once with a macro (see macro_runner.h).
//
// Ownership: made by Create() and held by shared pointers. Once started, the
// thread holds the object itself until its body has ended, so the engine's
// stop request stays harmless whether it comes before or after that; the
// engine does not wait for the thread.
// Thread: StartWatch, Stop and the readers may be called from any thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "dialogwatch/macro_runner.h"
#include "dialogwatch/watch_clock.h"
#include "dialogwatch/window_system.h"

namespace quillon::dialogwatch {

class TThreadSendKey : public std::enable_shared_from_this<TThreadSendKey> {
 public:
  // Polling interval of the search.
  static constexpr std::uint32_t kPollIntervalMs = 50;
  // Time limit until StartWatch sets one.
  static constexpr std::uint32_t kDefaultTimeLimitMs = 2000;

  // A watcher not started yet: time limit 2000 ms, active, no criteria.
  static std::shared_ptr<TThreadSendKey> Create(
      std::shared_ptr<WindowSystem> windows,
      std::shared_ptr<WatchClock> clock = SystemWatchClock());
  ~TThreadSendKey();
  TThreadSendKey(const TThreadSendKey&) = delete;
  TThreadSendKey& operator=(const TThreadSendKey&) = delete;

  // Stores the criteria, the macro and the time limit and starts the thread.
  // Throws std::out_of_range for a negative time limit and std::logic_error
  // when called a second time: a watcher is never reused.
  void StartWatch(const std::string& window_program, const std::string& window_title,
                  const std::string& owner_program, const std::string& owner_title,
                  const std::string& macro, std::int64_t time_limit_ms);

  // The engine's stop request: clears active and asks the thread to end.
  // Returns at once; harmless before the start and after the end.
  void Stop();

  // True until the watch is stopped or ends without having found a window.
  bool Active() const { return active_; }

  // The error text of the macro run ("" when it ran through or never ran).
  std::string MacroResult() const;

  // Waits up to timeout_ms for the thread body to end (true when it has, or
  // when the watch was never started). For tests and the shut-down.
  bool WaitUntilEnded(std::uint32_t timeout_ms) const;

  // Clears error_text, sets the macro runner's Commands from macro_text and
  // runs them on target.
  void RunMacro(WindowHandle target, const std::string& macro_text, std::string& error_text);

 private:
  TThreadSendKey(std::shared_ptr<WindowSystem> windows, std::shared_ptr<WatchClock> clock);
  // The thread body.
  void Execute();
  bool ShouldEnd(std::uint64_t start) const;

  std::shared_ptr<WindowSystem> windows_;
  std::shared_ptr<WatchClock> clock_;

  // Written by StartWatch before the thread starts, read only by it after.
  std::string owner_title_;
  std::string window_title_;
  std::string owner_program_;
  std::string window_program_;
  std::string macro_;
  std::uint32_t time_limit_ms_ = kDefaultTimeLimitMs;

  TMUMacro macro_runner_;
  std::atomic<bool> active_{true};
  std::atomic<bool> terminated_{false};

  mutable std::mutex mutex_;
  mutable std::condition_variable ended_signal_;
  bool started_ = false;
  bool ended_ = false;
  std::string macro_result_;
};

// Asks every running send-key thread to end, as the application does when it
// terminates, and waits up to timeout_ms for them; true when none is left.
// Watches started afterwards end at their first look.
bool EndAllSendKeyThreads(std::uint32_t timeout_ms);

// Undoes EndAllSendKeyThreads, for a later start in the same process (tests).
void AllowSendKeyThreads();

}  // namespace quillon::dialogwatch
