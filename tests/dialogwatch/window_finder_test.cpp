// The window search: criteria on a window and its owner, enumeration order,
// the read-buffer cut, and the z-order walk for controls.

#include "dialogwatch/window_finder.h"

#include <gtest/gtest.h>

#include "tests/support/in_memory_window_system.h"

namespace quillon::dialogwatch {
namespace {

using quillon::testing::InMemoryWindowSystem;

TEST(FindTopWindowTest, NeedsEveryGivenCriterionOnProgramAndTitleOrClass) {
  InMemoryWindowSystem windows;
  const WindowHandle other = windows.AddTopLevel("WordPerfect viewer", "dialog", "viewer");
  const WindowHandle plain = windows.AddTopLevel("Document1", "frame", "quillon-engine");
  const WindowHandle by_title =
      windows.AddTopLevel("Convert File: WORDPERFECT 5.x", "dialog", "Quillon-Engine");
  const WindowHandle by_class = windows.AddTopLevel("Convert", "WordPerfectDlg", "quillon-engine");

  // A window titled "WordPerfect" of another program does not match.
  EXPECT_EQ(FindTopWindow(windows, "quillon-engine", "WordPerfect", "", ""), by_title);
  EXPECT_EQ(FindTopWindow(windows, "", "WordPerfect", "", ""), other);
  EXPECT_EQ(FindTopWindow(windows, "QUILLON", "", "", ""), plain);
  EXPECT_EQ(FindTopWindow(windows, "engine", "perfectdlg", "", ""), by_class);
  EXPECT_EQ(FindTopWindow(windows, "nowhere", "WordPerfect", "", ""), 0u);
  // No criterion: the first window enumerated.
  EXPECT_EQ(FindTopWindow(windows, "", "", "", ""), other);
}

TEST(FindTopWindowTest, OwnerCriteriaLookAtTheOwnersTextClassAndProgram) {
  InMemoryWindowSystem windows;
  const WindowHandle frame = windows.AddTopLevel("Report.doc - Editor", "frame", "editor");
  const WindowHandle unowned = windows.AddTopLevel("Password", "dialog", "editor");
  const WindowHandle owned = windows.AddTopLevel("Password", "dialog", "editor", frame);

  EXPECT_EQ(FindTopWindow(windows, "", "password", "", "report.doc"), owned);
  EXPECT_EQ(FindTopWindow(windows, "", "password", "EDITOR", ""), owned);
  EXPECT_EQ(FindTopWindow(windows, "", "password", "", "FRAME"), owned);
  EXPECT_EQ(FindTopWindow(windows, "", "password", "", ""), unowned);
  EXPECT_EQ(FindTopWindow(windows, "", "password", "viewer", ""), 0u);
}

TEST(FindTopWindowTest, LooksOnlyAtTheFirst253BytesOfATitle) {
  InMemoryWindowSystem windows;
  windows.AddTopLevel(std::string(243, 'x') + "WordPerfect", "dialog", "editor");
  EXPECT_EQ(FindTopWindow(windows, "", "WordPerfect", "", ""), 0u);
  const WindowHandle fits =
      windows.AddTopLevel(std::string(242, 'x') + "WordPerfect", "dialog", "editor");
  EXPECT_EQ(FindTopWindow(windows, "", "WordPerfect", "", ""), fits);
}

TEST(FindTopWindowTest, IgnoresLetterCaseBeyondAscii) {
  InMemoryWindowSystem windows;
  const WindowHandle dialog = windows.AddTopLevel("ÜBERSCHREIBEN?", "dialog", "editor");
  EXPECT_EQ(FindTopWindow(windows, "", "überschreiben", "", ""), dialog);
}

class ChildSearchTest : public ::testing::Test {
 protected:
  // dialog: edit "a", panel { button "&Yes", button "&No" }, button "Cancel",
  //         panel2 { edit "b", button "Help" }
  void SetUp() override {
    dialog_ = windows_.AddTopLevel("Convert", "dialog", "editor");
    edit_a_ = windows_.AddChild(dialog_, "edit", "a");
    const WindowHandle panel = windows_.AddChild(dialog_, "panel", "");
    yes_ = windows_.AddChild(panel, "button", "&Yes");
    no_ = windows_.AddChild(panel, "Button", "&No");
    cancel_ = windows_.AddChild(dialog_, "BUTTON", "Cancel");
    const WindowHandle panel2 = windows_.AddChild(dialog_, "panel", "");
    edit_b_ = windows_.AddChild(panel2, "edit", "b");
    help_ = windows_.AddChild(panel2, "button", "Help");
  }
  InMemoryWindowSystem windows_;
  WindowHandle dialog_ = 0, edit_a_ = 0, yes_ = 0, no_ = 0, cancel_ = 0, edit_b_ = 0, help_ = 0;
};

TEST_F(ChildSearchTest, NthByClassCountsDirectChildrenFirstThenEachPanelWithTheRest) {
  // One direct button (Cancel); the nested search of each panel asks for
  // index - 1 there.
  EXPECT_EQ(FindNthChildByClass(windows_, "button", 1, dialog_), cancel_);
  EXPECT_EQ(FindNthChildByClass(windows_, "button", 2, dialog_), yes_);
  EXPECT_EQ(FindNthChildByClass(windows_, "button", 3, dialog_), no_);
  EXPECT_EQ(FindNthChildByClass(windows_, "button", 4, dialog_), 0u);
  EXPECT_EQ(FindNthChildByClass(windows_, "EDIT", 1, dialog_), edit_a_);
  EXPECT_EQ(FindNthChildByClass(windows_, "edit", 2, dialog_), edit_b_);
  EXPECT_EQ(FindNthChildByClass(windows_, "button", 0, dialog_), 0u);
  EXPECT_EQ(FindNthChildByClass(windows_, "button", 1, 0), 0u);
}

TEST_F(ChildSearchTest, ByClassAndTextNeedsTheWholeCaptionMarkerIncluded) {
  EXPECT_EQ(FindChildByClassAndText(windows_, "button", "&no", dialog_), no_);
  EXPECT_EQ(FindChildByClassAndText(windows_, "button", "No", dialog_), 0u);
  EXPECT_EQ(FindChildByClassAndText(windows_, "button", "&N", dialog_), 0u);
  EXPECT_EQ(FindChildByClassAndText(windows_, "button", "cancel", dialog_), cancel_);
  EXPECT_EQ(FindChildByClassAndText(windows_, "button", "Help", dialog_), help_);
  EXPECT_EQ(FindChildByClassAndText(windows_, "edit", "Help", dialog_), 0u);
}

TEST(ChildSearchCutTest, ControlTextsAreReadUpTo99Bytes) {
  InMemoryWindowSystem windows;
  const WindowHandle dialog = windows.AddTopLevel("Convert", "dialog", "editor");
  const std::string long_caption(120, 'y');
  windows.AddChild(dialog, "button", long_caption);
  EXPECT_EQ(FindChildByClassAndText(windows, "button", long_caption, dialog), 0u);
  EXPECT_NE(FindChildByClassAndText(windows, "button", std::string(99, 'y'), dialog), 0u);
}

}  // namespace
}  // namespace quillon::dialogwatch
