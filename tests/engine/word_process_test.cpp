// Connecting to and releasing the word processor with real server processes:
// attach versus create, a server killed or crashed between and during calls,
// and one that stops answering.

#include <signal.h>

#include <chrono>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "automation/client.h"
#include "engine/word_calls.h"
#include "engine/word_connection.h"
#include "tests/support/test_automation_server_control.h"

namespace quillon::engine {
namespace {

using automation::AutomationError;
using automation::Variant;
using quillon::testing::KillProcessGroup;
using quillon::testing::ProcessGone;
using quillon::testing::RuntimeFolderScope;
using quillon::testing::StartServerByHand;
using quillon::testing::TestServerScope;
using quillon::testing::WaitProcessGone;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

class WordProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetWordConnection(); }
  void TearDown() override {
    if (auto app = WordApplication()) {
      try {
        app->Call("Quit");
      } catch (const AutomationError&) {
      }
    }
    ResetWordConnection();
    for (pid_t pid : pids_)
      KillProcessGroup(pid);
  }

  pid_t WordPid() {
    const pid_t pid = WordApplication()->Get("ProcessId").AsInt();
    pids_.push_back(pid);
    return pid;
  }

  RuntimeFolderScope runtime_;
  TestServerScope server_{{std::begin(kWordClassIdentifiers), std::end(kWordClassIdentifiers)}};
  std::vector<pid_t> pids_;
};

TEST_F(WordProcessTest, WithNoWordRunningTheFirstConnectionStartsOneAndReleaseQuitsIt) {
  std::string error;
  ASSERT_TRUE(EnsureWord(error)) << error;
  EXPECT_EQ(error, "");
  EXPECT_TRUE(CreatedByLastConnection());
  EXPECT_TRUE(CreatedAtFirstConnection());
  EXPECT_FALSE(FirstConnectionPending());
  const pid_t pid = WordPid();
  EXPECT_EQ(WordApplication()->Get("ClassId").AsText(), "Word.Application");
  EXPECT_EQ(WordApplication()->Get("Visible"), Variant(false));
  EXPECT_EQ(WordMajorVersion(WordVersion(*WordApplication())), 16);

  ReleaseWord();
  EXPECT_EQ(WordApplication(), nullptr);
  EXPECT_TRUE(WaitProcessGone(pid));
}

TEST_F(WordProcessTest, ARunningWordIsAttachedHiddenAndGivenBackVisible) {
  const pid_t user_word = StartServerByHand("Word.Application");
  ASSERT_GT(user_word, 0);
  pids_.push_back(user_word);

  std::string error;
  ASSERT_TRUE(EnsureWord(error)) << error;
  EXPECT_FALSE(CreatedByLastConnection());
  EXPECT_FALSE(CreatedAtFirstConnection());
  EXPECT_EQ(WordPid(), user_word);
  EXPECT_EQ(WordApplication()->Get("Visible"), Variant(false));

  ReleaseWord();
  ASSERT_NE(WordApplication(), nullptr);
  EXPECT_EQ(WordApplication()->Get("Visible"), Variant(true));
  EXPECT_FALSE(ProcessGone(user_word));
}

TEST_F(WordProcessTest, AWordKilledBetweenTwoConversionsIsReplacedWithoutAnError) {
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  const pid_t first = WordPid();
  kill(first, SIGKILL);
  ASSERT_TRUE(WaitProcessGone(first));

  error.clear();
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_EQ(error, "");
  const pid_t second = WordPid();
  EXPECT_NE(second, first);
  EXPECT_TRUE(CreatedByLastConnection());
  EXPECT_TRUE(CreatedAtFirstConnection());
  ReleaseWord();
  EXPECT_TRUE(WaitProcessGone(second));
}

TEST_F(WordProcessTest, AWordThatStopsAnsweringIsEndedAtTheLimitAndReplaced) {
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  const pid_t hung = WordPid();
  automation::SetCallTimeout(*WordApplication(), 300ms);
  std::string message;
  try {
    WordApplication()->Call("Hang");
  } catch (const AutomationError& e) {
    message = e.what();
  }
  EXPECT_THAT(message, HasSubstr("within 300 milliseconds"));
  EXPECT_TRUE(WaitProcessGone(hung));

  EXPECT_TRUE(EnsureWord(error));
  EXPECT_NE(WordPid(), hung);
  EXPECT_EQ(WordVersion(*WordApplication()), "16.0");
}

TEST_F(WordProcessTest, AWordCrashingDuringACallFailsThatCallOnly) {
  std::string error;
  ASSERT_TRUE(EnsureWord(error));
  const pid_t crashed = WordPid();
  try {
    WordApplication()->Call("Crash");
    ADD_FAILURE() << "the call should fail";
  } catch (const AutomationError& e) {
    EXPECT_THAT(e.what(), HasSubstr("ended"));
  }
  EXPECT_TRUE(EnsureWord(error));
  EXPECT_NE(WordPid(), crashed);
}

TEST_F(WordProcessTest, LaterIdentifiersAreTriedWhenTheFirstCannotBeStarted) {
  automation::RegisterServer("Word.Application", runtime_.path() + "/missing");
  automation::RegisterServer("Word.Application.8", "");
  std::string error;
  ASSERT_TRUE(EnsureWord(error)) << error;
  EXPECT_EQ(WordApplication()->Get("ClassId").AsText(), "Word.Application.9");
  WordPid();
}

TEST_F(WordProcessTest, NoUsableWordGivesTheInstallMessage) {
  for (const char* id : kWordClassIdentifiers) {
    automation::RegisterServer(id, runtime_.path() + "/missing");
  }
  std::string error;
  EXPECT_FALSE(EnsureWord(error));
  EXPECT_EQ(
      error,
      "Can not load Microsoft Word, you must install Microsoft Word first, please try again!");
  EXPECT_FALSE(FirstConnectionPending());
  EXPECT_NO_THROW(ReleaseWord());
}

}  // namespace
}  // namespace quillon::engine
