// Connecting to, checking and releasing the word processor, with a fake in
// place of the automation service.

#include "engine/word_connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/recording_object.h"

namespace quillon::engine {
namespace {

using automation::AutomationError;
using automation::CallKind;
using automation::ObjectPtr;
using automation::Variant;
using quillon::testing::RecordingObject;
using ::testing::ElementsAre;

constexpr char kNoWord[] =
    "Can not load Microsoft Word, you must install Microsoft Word first, please try again!";

// The automation service as the tests script it: which identifiers answer,
// and whether they attach or create.
class FakeService {
 public:
  std::vector<std::string> tried;
  std::map<std::string, std::pair<ObjectPtr, bool>> answers;  // object, created

  ObjectPtr Get(const std::string& class_id, bool& created) {
    tried.push_back(class_id);
    auto it = answers.find(class_id);
    if (it == answers.end())
      throw AutomationError("Class not registered");
    created = it->second.second;
    return it->second.first;
  }
};

class WordConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWordConnection();
    SetAutomationObjectSource(
        [this](const std::string& id, bool& created) { return service_.Get(id, created); });
    app_ = std::make_shared<RecordingObject>("app");
    app_->Returns(CallKind::kGet, "Version", Variant("16.0"));
  }
  void TearDown() override {
    SetAutomationObjectSource(nullptr);
    ResetWordConnection();
  }

  FakeService service_;
  std::shared_ptr<RecordingObject> app_;
};

TEST_F(WordConnectionTest, TriesTheFiveIdentifiersInOrderAndFailsWithTheMessage) {
  std::string error = "old";
  EXPECT_FALSE(EnsureWord(error));
  EXPECT_EQ(error, kNoWord);
  EXPECT_THAT(service_.tried,
              ElementsAre("Word.Application", "Word.Application.8", "Word.Application.9",
                          "Word.Application.10", "Word.Basic"));
  // The first attempt fixes the first-connection flag even when it failed.
  EXPECT_FALSE(FirstConnectionPending());
  EXPECT_FALSE(CreatedAtFirstConnection());
  EXPECT_EQ(WordApplication(), nullptr);
}

TEST_F(WordConnectionTest, StopsAtTheFirstIdentifierThatAnswersAndHidesIt) {
  service_.answers["Word.Application.9"] = {app_, true};
  std::string error = "old";
  EXPECT_TRUE(ConnectWord(error));
  EXPECT_EQ(error, "");
  EXPECT_THAT(service_.tried,
              ElementsAre("Word.Application", "Word.Application.8", "Word.Application.9"));
  EXPECT_EQ(WordApplication().get(), app_.get());
  EXPECT_TRUE(CreatedByLastConnection());
  EXPECT_THAT(app_->log()->Lines(), ElementsAre("app put Visible(bool false)"));
  // ConnectWord alone leaves the first-connection bookkeeping to EnsureWord.
  EXPECT_TRUE(FirstConnectionPending());
}

TEST_F(WordConnectionTest, EnsureKeepsAnAnsweringApplicationAndLeavesTheErrorText) {
  service_.answers["Word.Application"] = {app_, false};
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  app_->log()->Clear();
  error = "earlier";
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_EQ(error, "earlier");
  EXPECT_THAT(app_->log()->Lines(), ElementsAre("app get Version"));
  EXPECT_EQ(service_.tried.size(), 1u);
}

TEST_F(WordConnectionTest, ReconnectsWhenVersionFailsAndKeepsTheFirstConnectionFlag) {
  service_.answers["Word.Application"] = {app_, true};
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  EXPECT_TRUE(CreatedAtFirstConnection());

  app_->Throws(CallKind::kGet, "Version", "The RPC server is unavailable.");
  auto second = std::make_shared<RecordingObject>("second");
  service_.answers["Word.Application"] = {second, false};
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_EQ(WordApplication().get(), second.get());
  EXPECT_FALSE(CreatedByLastConnection());
  EXPECT_TRUE(CreatedAtFirstConnection());
}

// Starting the server lets events run; a handler that wants the word
// processor meanwhile is refused instead of starting a second server, and the
// refusal does not settle the first-connection bookkeeping.
TEST_F(WordConnectionTest, AConnectionAskedForWhileOneIsBeingMadeIsRefused) {
  std::string nested_error;
  bool nested_result = true;
  int starts = 0;
  SetAutomationObjectSource([&](const std::string& id, bool& created) {
    ++starts;
    nested_result = EnsureWord(nested_error);
    created = true;
    service_.tried.push_back(id);
    return ObjectPtr(app_);
  });
  std::string error;
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_EQ(starts, 1);
  EXPECT_FALSE(nested_result);
  EXPECT_EQ(nested_error, "The word processor is still starting, please try again later");
  EXPECT_TRUE(CreatedAtFirstConnection());
  // Once connected, the next request is served again.
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_EQ(starts, 1);
}

TEST_F(WordConnectionTest, ReleaseQuitsAWordCreatedAtTheFirstConnection) {
  service_.answers["Word.Application"] = {app_, true};
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  app_->log()->Clear();
  app_->Throws(CallKind::kMethod, "Quit", "busy");  // ignored
  ReleaseWord();
  EXPECT_THAT(app_->log()->Lines(), ElementsAre("app method Quit"));
  EXPECT_EQ(WordApplication(), nullptr);
}

TEST_F(WordConnectionTest, ACreatedReconnectionLaterDoesNotMakeReleaseQuit) {
  // Attached first; the user's Word went away and a new one was started.
  service_.answers["Word.Application"] = {app_, false};
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  app_->Throws(CallKind::kGet, "Version", "gone");
  auto started = std::make_shared<RecordingObject>("started");
  service_.answers["Word.Application"] = {started, true};
  ASSERT_TRUE(EnsureWord(error));
  EXPECT_TRUE(CreatedByLastConnection());
  ReleaseWord();
  EXPECT_THAT(started->log()->Lines(),
              ElementsAre("started put Visible(bool false)", "started put Visible(bool true)"));
}

TEST_F(WordConnectionTest, VisibleFailuresAreIgnored) {
  app_->Throws(CallKind::kPut, "Visible", "no window");
  service_.answers["Word.Application"] = {app_, false};
  std::string error;
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_NO_THROW(ReleaseWord());
}

}  // namespace
}  // namespace quillon::engine
