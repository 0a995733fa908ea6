// The macro language on an in-memory dialog: which control each command
// reaches, what it sends, and the one error form that stops a macro.

#include "dialogwatch/macro_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/fake_watch_clock.h"
#include "tests/support/in_memory_window_system.h"

namespace quillon::dialogwatch {
namespace {

using quillon::testing::FakeWatchClock;
using quillon::testing::InMemoryWindowSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class MacroRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = windows_.AddTopLevel("WordPerfect conversion", "dialog", "quillon-engine");
    edit_ = windows_.AddChild(dialog_, "edit", "");
    windows_.AddChild(dialog_, "button", "&Yes");
    windows_.AddChild(dialog_, "button", "&No");
    windows_.AddChild(dialog_, "button", "Cancel");
  }
  std::string Run(const std::string& macro) {
    runner_.SetCommandsText(macro);
    std::string error = "not run";
    runner_.Run(dialog_, error);
    return error;
  }
  InMemoryWindowSystem windows_;
  std::shared_ptr<FakeWatchClock> clock_ = std::make_shared<FakeWatchClock>();
  TMUMacro runner_{windows_, clock_};
  WindowHandle dialog_ = 0, edit_ = 0;
};

TEST_F(MacroRunnerTest, ButtonsByIndexAndByWholeCaption) {
  EXPECT_EQ(Run("button#2"), "");
  EXPECT_EQ(Run("BUTTON(&no)"), "");
  EXPECT_EQ(Run("Button( Cancel)"),
            "Can not process No.1 line macro:Button( Cancel), the window "
            "found is not right!");
  EXPECT_EQ(Run("button(No)"),
            "Can not process No.1 line macro:button(No), the window found is not right!");
  EXPECT_THAT(windows_.Events(), ElementsAre("click &No", "click &No"));
}

TEST_F(MacroRunnerTest, EditTypesEverythingAfterTheFirstEqualsSign) {
  EXPECT_EQ(Run("edit#1=abc=d"), "");
  EXPECT_EQ(windows_.WindowText(edit_), "abc=d");
  EXPECT_THAT(windows_.Events(), ElementsAre("type a", "type b", "type c", "type =", "type d"));
}

TEST_F(MacroRunnerTest, EditSendsCharactersNotBytes) {
  EXPECT_EQ(Run("edit#1=é€"), "");
  EXPECT_THAT(windows_.Events(), ElementsAre("type U+00E9", "type U+20AC"));
}

TEST_F(MacroRunnerTest, LinesRunInOrderCommentsAreSkippedAndEveryLineBreakSplits) {
  EXPECT_EQ(Run("[answer the dialog]\r\nedit#1=x\nbutton(&Yes)\rbutton#3\r\n"), "");
  EXPECT_THAT(windows_.Events(), ElementsAre("type x", "click &Yes", "click Cancel"));
}

TEST_F(MacroRunnerTest, TheFirstBadLineStopsTheMacroAndIsNamedByNumber) {
  EXPECT_EQ(Run("button#1\n\nbutton#2"),
            "Can not process No.2 line macro:, the window found is not right!");
  EXPECT_THAT(windows_.Events(), ElementsAre("click &Yes"));
}

TEST_F(MacroRunnerTest, MalformedLinesAndMissingControlsFail) {
  const char* const bad_lines[] = {
      "click#1",      // no such command
      "button#two",   // index not an integer
      "button#",      // no index
      "button#9",     // no ninth button
      "button",       // neither index nor caption
      "edit#1",       // no text to type
      "edit#x=abc",   // index not an integer
      "edit#2=abc",   // one edit field only
      "edit=abc#1",   // the index comes before the text
      "delay(soon)",  // no number
      "delay 100",    // no parentheses
      " button#1",    // commands start the line
  };
  for (const char* line : bad_lines) {
    EXPECT_EQ(Run(line), std::string("Can not process No.1 line macro:") + line +
                             ", the window found is not right!")
        << line;
  }
  EXPECT_THAT(windows_.Events(), IsEmpty());
}

TEST_F(MacroRunnerTest, AClickTheWindowSystemRefusesFailsTheLine) {
  windows_.FailClicks(true);
  EXPECT_EQ(Run("button#1"),
            "Can not process No.1 line macro:button#1, the window found is not right!");
}

TEST_F(MacroRunnerTest, DelayWaitsAtLeastItsTimeInShortSlices) {
  EXPECT_EQ(Run("delay(25)\ndelay(0)\ndelay(-5)"), "");
  EXPECT_THAT(clock_->Sleeps(), ElementsAre(10u, 10u, 5u));
}

TEST_F(MacroRunnerTest, AnEmptyMacroDoesNothing) {
  EXPECT_EQ(Run(""), "");
  EXPECT_THAT(runner_.Commands, IsEmpty());
  EXPECT_THAT(windows_.Events(), IsEmpty());
}

}  // namespace
}  // namespace quillon::dialogwatch
