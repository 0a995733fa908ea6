// The watch around the engine's open call, with the recording automation
// object standing in for the word processor and the in-memory window system
// for the desktop: the watch runs while the open call waits on a dialog, and
// is over once the call has returned, whether it worked or failed.

#include "dialogwatch/engine_dialog_watch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "automation/variant.h"
#include "engine/word_calls.h"
#include "tests/support/in_memory_window_system.h"
#include "tests/support/recording_object.h"

namespace quillon::dialogwatch {
namespace {

using automation::AutomationError;
using automation::CallKind;
using quillon::testing::InMemoryWindowSystem;
using quillon::testing::RecordingObject;
using ::testing::ElementsAre;

// "Documents" whose "Open" raises the word processor's conversion dialog and
// waits until someone answers it, as the word processor does.
class DialogRaisingDocuments : public RecordingObject {
 public:
  DialogRaisingDocuments(std::shared_ptr<quillon::testing::CallLog> log,
                         std::shared_ptr<InMemoryWindowSystem> windows)
      : RecordingObject("app.Documents", std::move(log)), windows_(std::move(windows)) {}

  bool answered = false;
  int searches_when_opening = -1;

  automation::Variant Invoke(CallKind kind, std::string_view name,
                             const automation::Args& args) override {
    if (kind == CallKind::kMethod && name == "Open") {
      // The watch is already looking before the document is opened.
      const int searches_before = windows_->TopLevelSearches();
      for (int i = 0; i < 400 && windows_->TopLevelSearches() == searches_before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      searches_when_opening = windows_->TopLevelSearches() - searches_before;
      const std::size_t events_before = windows_->Events().size();
      const auto dialog =
          windows_->AddTopLevel("Convert File from WordPerfect", "dialog", "quillon-engine");
      windows_->AddChild(dialog, "button", "OK");
      windows_->AddChild(dialog, "button", "Cancel");
      answered = windows_->WaitForEvents(events_before + 1, 10000);
      windows_->Remove(dialog);
    }
    return RecordingObject::Invoke(kind, name, args);
  }

 private:
  std::shared_ptr<InMemoryWindowSystem> windows_;
};

class EngineDialogWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_->Returns(CallKind::kGet, "Documents", automation::Variant(documents_));
    documents_->Child("Open", CallKind::kMethod);
  }
  // Searches made after the open call returned, over a few polling intervals.
  int SearchesAfterwards() {
    const int before = windows_->TopLevelSearches();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return windows_->TopLevelSearches() - before;
  }

  std::shared_ptr<InMemoryWindowSystem> windows_ = std::make_shared<InMemoryWindowSystem>();
  std::shared_ptr<RecordingObject> app_ = std::make_shared<RecordingObject>("app");
  std::shared_ptr<DialogRaisingDocuments> documents_ =
      std::make_shared<DialogRaisingDocuments>(app_->log(), windows_);
  EngineDialogWatch watch_{[this] { return windows_; }};
};

TEST_F(EngineDialogWatchTest, TheOpenCallsDialogIsAnsweredAndTheWatchEndsWithTheCall) {
  engine::OpenDocument(*app_, "/in/letter.wpd", true, "", false);
  EXPECT_GT(documents_->searches_when_opening, 0);
  EXPECT_TRUE(documents_->answered);
  EXPECT_THAT(windows_->Events(), ElementsAre("click OK"));
  EXPECT_EQ(SearchesAfterwards(), 0);
}

TEST_F(EngineDialogWatchTest, AFailedOpenStopsTheWatchToo) {
  documents_->Throws(CallKind::kMethod, "Open", "The file is corrupt.");
  EXPECT_THROW(engine::OpenDocument(*app_, "/in/broken.wpd", true, "", false), AutomationError);
  EXPECT_TRUE(documents_->answered);
  EXPECT_EQ(SearchesAfterwards(), 0);
}

TEST_F(EngineDialogWatchTest, OneWatchPerDocumentAndNoneOnceTheWatchIsGone) {
  engine::OpenDocument(*app_, "/in/a.wpd", true, "", false);
  engine::OpenDocument(*app_, "/in/b.wpd", true, "", false);
  EXPECT_THAT(windows_->Events(), ElementsAre("click OK", "click OK"));
  {
    EngineDialogWatch replaced{[this] { return windows_; }};
  }
  // The hooks are gone with the watch: the open runs unwatched.
  auto plain = app_->Child("Plain");
  plain->Child("Open", CallKind::kMethod);
  app_->Returns(CallKind::kGet, "Documents", automation::Variant(plain));
  const int before = windows_->TopLevelSearches();
  engine::OpenDocument(*app_, "/in/c.wpd", true, "", false);
  EXPECT_EQ(windows_->TopLevelSearches(), before);
}

}  // namespace
}  // namespace quillon::dialogwatch
