// The send-key thread: polling, time limit, answering a dialog that shows up
// late, and stop requests before the start and after the end.

#include "dialogwatch/send_key_thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "tests/support/fake_watch_clock.h"
#include "tests/support/in_memory_window_system.h"

namespace quillon::dialogwatch {
namespace {

using quillon::testing::FakeWatchClock;
using quillon::testing::InMemoryWindowSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SendKeyThreadTest : public ::testing::Test {
 protected:
  WindowHandle AddDialog(const std::string& program) {
    const WindowHandle dialog = windows_->AddTopLevel("WordPerfect 5.1", "dialog", program);
    windows_->AddChild(dialog, "button", "&Yes");
    windows_->AddChild(dialog, "button", "&No");
    return dialog;
  }
  std::shared_ptr<InMemoryWindowSystem> windows_ = std::make_shared<InMemoryWindowSystem>();
  std::shared_ptr<FakeWatchClock> clock_ = std::make_shared<FakeWatchClock>();
};

TEST_F(SendKeyThreadTest, PollsEvery50MsAndEndsSilentlyAtItsTimeLimit) {
  AddDialog("other-program");
  auto watcher = TThreadSendKey::Create(windows_, clock_);
  watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 200);
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  EXPECT_THAT(clock_->Sleeps(), ElementsAre(50u, 50u, 50u, 50u));
  EXPECT_EQ(windows_->TopLevelSearches(), 4);
  EXPECT_FALSE(watcher->Active());
  EXPECT_EQ(watcher->MacroResult(), "");
  EXPECT_THAT(windows_->Events(), IsEmpty());
}

TEST_F(SendKeyThreadTest, AnswersTheFirstMatchingWindowOnceWithTheMacro) {
  AddDialog("other-program");
  AddDialog("quillon-engine");
  auto watcher = TThreadSendKey::Create(windows_, clock_);
  watcher->StartWatch("QUILLON-ENGINE", "wordperfect", "", "", "button#2\nbutton(&Maybe)", 60000);
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  EXPECT_THAT(windows_->Events(), ElementsAre("click &No"));
  EXPECT_EQ(watcher->MacroResult(),
            "Can not process No.2 line macro:button(&Maybe), the window found is not right!");
  EXPECT_EQ(windows_->TopLevelSearches(), 1);
  EXPECT_TRUE(watcher->Active());
}

TEST_F(SendKeyThreadTest, ADialogThatShowsUpWhileTheDocumentOpensIsAnswered) {
  auto watcher = TThreadSendKey::Create(windows_);  // the real clock
  watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 60000);
  while (windows_->TopLevelSearches() < 2) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  AddDialog("quillon-engine");
  ASSERT_TRUE(windows_->WaitForEvents(1, 10000));
  EXPECT_THAT(windows_->Events(), ElementsAre("click &Yes"));
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  watcher->Stop();  // the engine's stop request after the end: harmless
  EXPECT_FALSE(watcher->Active());
}

TEST_F(SendKeyThreadTest, AStopEndsThePollingWithoutAnAnswer) {
  auto watcher = TThreadSendKey::Create(windows_);
  watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 60000);
  watcher->Stop();
  AddDialog("quillon-engine");
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  EXPECT_THAT(windows_->Events(), IsEmpty());
  EXPECT_FALSE(watcher->Active());
}

// Real time, but every sleep lasts a minute unless a wake-up cuts it short:
// a watch that ends within the test's limit ended because it was woken.
class MinuteSleepClock : public WatchClock {
 public:
  std::uint64_t TickCount() override { return 1000; }
  void Sleep(std::uint32_t) override { std::this_thread::sleep_for(std::chrono::minutes(1)); }
  bool SleepUnless(std::uint32_t, const std::function<bool()>& done) override {
    std::unique_lock lock(mutex_);
    ++sleeps_;
    return woken_.wait_for(lock, std::chrono::minutes(1), done);
  }
  void Wake() override {
    { std::lock_guard lock(mutex_); }
    woken_.notify_all();
  }
  int Sleeps() {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  int sleeps_ = 0;
};

TEST_F(SendKeyThreadTest, AStopCutsThePollIntervalShort) {
  auto clock = std::make_shared<MinuteSleepClock>();
  auto watcher = TThreadSendKey::Create(windows_, clock);
  watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 600000);
  while (clock->Sleeps() == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  watcher->Stop();
  ASSERT_TRUE(watcher->WaitUntilEnded(20000));
  EXPECT_EQ(windows_->TopLevelSearches(), 0);
  EXPECT_FALSE(watcher->Active());
}

TEST_F(SendKeyThreadTest, TheThreadKeepsTheWatcherAliveAfterTheEngineLetsGo) {
  std::weak_ptr<TThreadSendKey> left;
  {
    auto watcher = TThreadSendKey::Create(windows_);
    watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 60000);
    watcher->Stop();
    left = watcher;
  }
  // The engine no longer holds it; the thread frees it when its body ends.
  ASSERT_TRUE(EndAllSendKeyThreads(10000));
  AllowSendKeyThreads();
  EXPECT_TRUE(left.expired());
}

TEST_F(SendKeyThreadTest, TheApplicationsEndStopsEveryWatch) {
  std::vector<std::shared_ptr<TThreadSendKey>> watchers;
  for (int i = 0; i < 3; ++i) {
    watchers.push_back(TThreadSendKey::Create(windows_));
    watchers.back()->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 60000);
  }
  EXPECT_TRUE(EndAllSendKeyThreads(10000));
  AllowSendKeyThreads();
  for (const auto& watcher : watchers) {
    EXPECT_TRUE(watcher->WaitUntilEnded(0));
    EXPECT_FALSE(watcher->Active());
  }
}

TEST_F(SendKeyThreadTest, RefusesANegativeTimeLimitAndASecondStart) {
  auto watcher = TThreadSendKey::Create(windows_, clock_);
  EXPECT_TRUE(watcher->Active());
  EXPECT_TRUE(watcher->WaitUntilEnded(0));  // never started: nothing to wait for
  EXPECT_THROW(watcher->StartWatch("", "WordPerfect", "", "", "button#1", -1), std::out_of_range);
  watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 120);
  EXPECT_THROW(watcher->StartWatch("", "WordPerfect", "", "", "button#1", 100), std::logic_error);
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  // 120 ms are over after the third look.
  EXPECT_THAT(clock_->Sleeps(), ElementsAre(50u, 50u, 50u));
}

}  // namespace
}  // namespace quillon::dialogwatch
