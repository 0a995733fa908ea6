#include "dialogwatch/send_key_thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "dialogwatch/window_finder.h"

namespace quillon::dialogwatch {
namespace {

// The running send-key threads, so that the application's end can stop them
// and wait for them before the process tears down what they use.
struct RunningThreads {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  std::atomic<bool> application_terminating{false};
};

RunningThreads& Running() {
  static RunningThreads* running = new RunningThreads;  // outlives every thread
  return *running;
}

class SystemClock : public WatchClock {
 public:
  std::uint64_t TickCount() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
  void Sleep(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  bool SleepUnless(std::uint32_t milliseconds, const std::function<bool()>& done) override {
    std::unique_lock lock(mutex_);
    return woken_.wait_for(lock, std::chrono::milliseconds(milliseconds), done);
  }
  void Wake() override {
    // Taken once so that a sleeper between its look at `done` and its wait
    // does not miss this call.
    { std::lock_guard lock(mutex_); }
    woken_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
};

}  // namespace

std::shared_ptr<WatchClock> SystemWatchClock() {
  static const std::shared_ptr<WatchClock> clock = std::make_shared<SystemClock>();
  return clock;
}

std::shared_ptr<TThreadSendKey> TThreadSendKey::Create(std::shared_ptr<WindowSystem> windows,
                                                       std::shared_ptr<WatchClock> clock) {
  return std::shared_ptr<TThreadSendKey>(new TThreadSendKey(std::move(windows), std::move(clock)));
}

TThreadSendKey::TThreadSendKey(std::shared_ptr<WindowSystem> windows,
                               std::shared_ptr<WatchClock> clock)
    : windows_(std::move(windows)), clock_(std::move(clock)), macro_runner_(*windows_, clock_) {}

TThreadSendKey::~TThreadSendKey() = default;

void TThreadSendKey::StartWatch(const std::string& window_program, const std::string& window_title,
                                const std::string& owner_program, const std::string& owner_title,
                                const std::string& macro, std::int64_t time_limit_ms) {
  if (time_limit_ms < 0 || time_limit_ms > UINT32_MAX)
    throw std::out_of_range("time limit out of range");
  {
    std::lock_guard lock(mutex_);
    if (started_)
      throw std::logic_error("a send-key thread is started only once");
    started_ = true;
  }
  window_program_ = window_program;
  window_title_ = window_title;
  owner_program_ = owner_program;
  owner_title_ = owner_title;
  macro_ = macro;
  time_limit_ms_ = static_cast<std::uint32_t>(time_limit_ms);

  RunningThreads& running = Running();
  {
    std::lock_guard lock(running.mutex);
    ++running.count;
  }
  try {
    std::thread([self = shared_from_this()]() mutable {
      self->Execute();
      {
        std::lock_guard lock(self->mutex_);
        self->ended_ = true;
      }
      self->ended_signal_.notify_all();
      self.reset();  // the thread's hold ends before it leaves the running count
      RunningThreads& running = Running();
      std::lock_guard lock(running.mutex);
      --running.count;
      running.changed.notify_all();
    }).detach();
  } catch (...) {
    std::lock_guard lock(running.mutex);
    --running.count;
    running.changed.notify_all();
    throw;
  }
}

void TThreadSendKey::Stop() {
  active_ = false;
  terminated_ = true;
  // The thread stops at once, not after its current poll interval: the
  // application's end waits for it.
  clock_->Wake();
}

std::string TThreadSendKey::MacroResult() const {
  std::lock_guard lock(mutex_);
  return macro_result_;
}

bool TThreadSendKey::WaitUntilEnded(std::uint32_t timeout_ms) const {
  std::unique_lock lock(mutex_);
  return ended_signal_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                [this] { return !started_ || ended_; });
}

bool TThreadSendKey::ShouldEnd(std::uint64_t start) const {
  return !active_ || terminated_ || Running().application_terminating ||
         clock_->TickCount() - start >= time_limit_ms_;
}

void TThreadSendKey::Execute() {
  // A stop that came before the thread got going must not be undone here.
  if (!terminated_)
    active_ = true;
  const std::uint64_t start = clock_->TickCount();
  WindowHandle found = 0;
  const auto stopped = [this] {
    return !active_ || terminated_ || Running().application_terminating;
  };
  for (;;) {
    if (clock_->SleepUnless(kPollIntervalMs, stopped))
      break;
    found = FindTopWindow(*windows_, window_program_, window_title_, owner_program_, owner_title_);
    if (found != 0 || ShouldEnd(start))
      break;
  }
  if (active_ && found != 0) {
    std::string result;
    RunMacro(found, macro_, result);
    std::lock_guard lock(mutex_);
    macro_result_ = result;
  } else {
    active_ = false;
  }
}

void TThreadSendKey::RunMacro(WindowHandle target, const std::string& macro_text,
                              std::string& error_text) {
  error_text.clear();
  macro_runner_.SetCommandsText(macro_text);
  macro_runner_.Run(target, error_text);
}

bool EndAllSendKeyThreads(std::uint32_t timeout_ms) {
  RunningThreads& running = Running();
  running.application_terminating = true;
  SystemWatchClock()->Wake();
  std::unique_lock lock(running.mutex);
  return running.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                  [&] { return running.count == 0; });
}

void AllowSendKeyThreads() {
  Running().application_terminating = false;
}

}  // namespace quillon::dialogwatch
