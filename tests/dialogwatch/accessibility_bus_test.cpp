// The window system on a real accessibility bus, against a small Qt dialog
// program: finding its dialog by program and title, pressing its buttons,
// typing into its field. Runs under run_with_accessibility_bus.sh.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <filesystem>
#include <thread>

#include "dialogwatch/accessibility_window_system.h"
#include "dialogwatch/send_key_thread.h"
#include "dialogwatch/window_finder.h"
#include "tests/support/temp_dir.h"

namespace quillon::dialogwatch {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kDialogProgram = QUILLON_TEST_DIALOG;

// One run of the dialog program; ended when the test is done with it.
class DialogProgram {
 public:
  DialogProgram(const std::string& program, const std::string& title) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    environment.insert("QT_QPA_PLATFORM", "xcb");
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(QString::fromStdString(program), {QString::fromStdString(title), "30000"});
    started_ = process_.waitForStarted(10000);
  }
  ~DialogProgram() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }
  bool started() const { return started_; }

  // Everything it wrote once it has ended (it ends after one button).
  std::string Report() {
    process_.waitForFinished(15000);
    return process_.readAllStandardOutput().toStdString();
  }
  bool Running() { return !process_.waitForFinished(300); }

 private:
  QProcess process_;
  bool started_ = false;
};

// The dialog, once its program has put it on the bus.
WindowHandle WaitForDialog(WindowSystem& windows, const std::string& program,
                           const std::string& title) {
  // The first look may wait for the bus to start its registry.
  for (int i = 0; i < 300; ++i) {
    const WindowHandle found = FindTopWindow(windows, program, title, "", "");
    if (found != 0 && FindNthChildByClass(windows, "button", 3, found) != 0)
      return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return 0;
}

std::string ProgramFileName() {
  return std::filesystem::path(kDialogProgram).filename().string();
}

class AccessibilityBusTest : public ::testing::Test {
 protected:
  std::string RunOnDialog(const std::string& macro, DialogProgram& program) {
    EXPECT_TRUE(program.started());
    const WindowHandle dialog = WaitForDialog(*windows_, ProgramFileName(), "WordPerfect");
    EXPECT_NE(dialog, 0u) << "the dialog did not show up on the accessibility bus";
    auto watcher = TThreadSendKey::Create(windows_);
    std::string error = "not run";
    watcher->RunMacro(dialog, macro, error);
    return error;
  }
  std::shared_ptr<WindowSystem> windows_ = MakeAccessibilityWindowSystem();
};

TEST_F(AccessibilityBusTest, SeesTheDialogWithItsControlsAndCaptions) {
  DialogProgram program(kDialogProgram, "WordPerfect 5.x conversion");
  ASSERT_TRUE(program.started());
  const WindowHandle dialog = WaitForDialog(*windows_, ProgramFileName(), "wordperfect");
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(windows_->WindowText(dialog), "WordPerfect 5.x conversion");
  EXPECT_EQ(windows_->ProgramName(dialog), ProgramFileName());
  const WindowHandle no = FindNthChildByClass(*windows_, "button", 2, dialog);
  EXPECT_EQ(windows_->WindowText(no), "&No");
  const WindowHandle cancel = FindNthChildByClass(*windows_, "button", 3, dialog);
  EXPECT_EQ(windows_->WindowText(cancel), "Cancel");
  const WindowHandle edit = FindNthChildByClass(*windows_, "edit", 1, dialog);
  EXPECT_NE(edit, 0u);
  EXPECT_EQ(FindNthChildByClass(*windows_, "edit", 2, dialog), 0u);
}

TEST_F(AccessibilityBusTest, ButtonByIndexPressesTheSecondButton) {
  DialogProgram program(kDialogProgram, "WordPerfect conversion");
  EXPECT_EQ(RunOnDialog("button#2", program), "");
  EXPECT_THAT(program.Report(), HasSubstr("clicked No\n"));
}

TEST_F(AccessibilityBusTest, ButtonByCaptionMatchesOnlyWithTheMnemonicMarker) {
  DialogProgram program(kDialogProgram, "WordPerfect conversion");
  EXPECT_EQ(RunOnDialog("button(No)", program),
            "Can not process No.1 line macro:button(No), the window found is not right!");
  EXPECT_TRUE(program.Running());
  EXPECT_EQ(RunOnDialog("button(&no)", program), "");
  EXPECT_THAT(program.Report(), HasSubstr("clicked No\n"));
}

TEST_F(AccessibilityBusTest, EditTypesTheWholeTextAfterTheFirstEqualsSign) {
  DialogProgram program(kDialogProgram, "WordPerfect conversion");
  EXPECT_EQ(RunOnDialog("edit#1=abc=d\nbutton(Cancel)", program), "");
  const std::string report = program.Report();
  EXPECT_THAT(report, HasSubstr("clicked Cancel\n"));
  EXPECT_THAT(report, HasSubstr("edit abc=d\n"));
}

TEST_F(AccessibilityBusTest, AnEmptyLineStopsTheMacroBeforeItsButton) {
  DialogProgram program(kDialogProgram, "WordPerfect conversion");
  EXPECT_EQ(RunOnDialog("edit#1=x\n\nbutton#1", program),
            "Can not process No.2 line macro:, the window found is not right!");
  EXPECT_TRUE(program.Running());
}

TEST_F(AccessibilityBusTest, TheWatchAnswersOnlyTheNamedProgramsDialog) {
  quillon::testing::TempDir scratch;
  const std::string other = scratch.path() + "/other-editor";
  std::filesystem::copy_file(kDialogProgram, other);
  DialogProgram other_program(other, "WordPerfect import");
  ASSERT_NE(WaitForDialog(*windows_, "other-editor", "WordPerfect"), 0u);
  EXPECT_EQ(FindTopWindow(*windows_, ProgramFileName(), "WordPerfect", "", ""), 0u);

  auto watcher = TThreadSendKey::Create(MakeAccessibilityWindowSystem());
  watcher->StartWatch(ProgramFileName(), "WordPerfect", "", "", "button#1", 30000);
  DialogProgram program(kDialogProgram, "WordPerfect conversion");
  EXPECT_THAT(program.Report(), HasSubstr("clicked Yes\n"));
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  EXPECT_EQ(watcher->MacroResult(), "");
  watcher->Stop();
  EXPECT_TRUE(other_program.Running());
}

}  // namespace
}  // namespace quillon::dialogwatch
