#include "app/main_window_state.h"

#include <numeric>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::RuntimeFolderScope;
using testing::StateFolderScope;

std::vector<int> StepsUpTo(int last) {
  std::vector<int> steps(last);
  std::iota(steps.begin(), steps.end(), 1);
  return steps;
}

TEST(RunMode, ToldApartFromTheParametersAlone) {
  EXPECT_EQ(DetermineRunMode({}), RunMode::kInteractive);
  EXPECT_EQ(DetermineRunMode({"/min"}), RunMode::kTrayStart);
  EXPECT_EQ(DetermineRunMode({"/min", "/min"}), RunMode::kTrayStart);
  EXPECT_EQ(DetermineRunMode({"/MIN"}), RunMode::kCommandLine);
  EXPECT_EQ(DetermineRunMode({"/s", "/tmp/in"}), RunMode::kCommandLine);
  EXPECT_EQ(DetermineRunMode({"-Embedding"}), RunMode::kAutomation);
  EXPECT_EQ(DetermineRunMode({"/min", "-Embedding"}), RunMode::kAutomation);
  // Such a start never converts, so it is no command-line run either.
  EXPECT_EQ(DetermineRunMode({"-Embedding", "/s", "/tmp/in"}), RunMode::kAutomation);
}

// Each test has its own state folder and lock folder.
class MainWindowStateTest : public ::testing::Test {
 protected:
  StateFolderScope home_;
  RuntimeFolderScope runtime_;
};

TEST_F(MainWindowStateTest, CommandLineRunHoldsTheLockFromSetUpToShutDown) {
  MainWindowState state({"/s", "/tmp/in"});
  SetUpMainWindow(state);
  EXPECT_EQ(state.completed_steps, StepsUpTo(18));
  EXPECT_TRUE(state.timer1_enabled);
  EXPECT_FALSE(state.tray_icon_active);
  EXPECT_EQ(state.tray_hint, "");
  EXPECT_EQ(state.application_kind, "word");
  EXPECT_EQ(state.destination_formats.Size(), 6);
  EXPECT_EQ(state.caption, "Quillon 4.0 Build210604");
  EXPECT_EQ(state.program_folder.back(), '/');

  NamedLock other(kCommandLineLockName);
  EXPECT_FALSE(other.TryAcquire());
  state.logs.ReportError("Error, first");
  state.logs.ReportError("Error, second");
  EXPECT_EQ(ShutDownMainWindow(state), 2);
  EXPECT_TRUE(other.TryAcquire());
}

TEST_F(MainWindowStateTest, ExitCodeNeverWrapsToSuccess) {
  MainWindowState state({"/s", "/tmp/in"});
  SetUpMainWindow(state);
  state.logs.SetCreateLogFile(false);
  for (int i = 0; i < 256; ++i) {
    state.logs.ReportError("Error, " + std::to_string(i));
  }
  EXPECT_EQ(ShutDownMainWindow(state), 255);
}

TEST_F(MainWindowStateTest, EmbeddingStartStopsAfterStepThirteen) {
  MainWindowState state({"-Embedding", "/s", "/tmp/in"});
  SetUpMainWindow(state);
  EXPECT_EQ(state.completed_steps, StepsUpTo(13));
  EXPECT_EQ(state.destination_formats.Size(), 0);
  EXPECT_FALSE(state.timer1_enabled);
  EXPECT_EQ(state.application_kind, "word");
  NamedLock other(kCommandLineLockName);
  EXPECT_TRUE(other.TryAcquire()) << "an automation start leaves the lock alone";
  other.Release();
  EXPECT_EQ(ShutDownMainWindow(state), 0);
}

TEST_F(MainWindowStateTest, TrayAndInteractiveStartsShowTheTrayIconAndNeverConvert) {
  MainWindowState tray({"/min"});
  SetUpMainWindow(tray);
  EXPECT_TRUE(tray.tray_icon_active);
  EXPECT_EQ(tray.tray_hint, "") << "the idle hint is set only without parameters";
  EXPECT_FALSE(tray.timer1_enabled);
  EXPECT_EQ(ShutDownMainWindow(tray), 0);

  MainWindowState interactive({});
  SetUpMainWindow(interactive);
  EXPECT_TRUE(interactive.tray_icon_active);
  EXPECT_EQ(interactive.tray_hint, "Idle, Quillon 4.0 Build210604");
  EXPECT_FALSE(interactive.timer1_enabled);
  NamedLock other(kCommandLineLockName);
  EXPECT_TRUE(other.TryAcquire());
  other.Release();
  EXPECT_EQ(ShutDownMainWindow(interactive), 0);
}

}  // namespace
}  // namespace quillon
