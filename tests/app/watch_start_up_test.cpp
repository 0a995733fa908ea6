// The start-up and shut-down steps of the watch list: loaded before the
// settings are read, started by "Auto Start Watch When Run" (or always in
// the watch service), saved and stopped at the end.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>

#include "app/main_window_state.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::RuntimeFolderScope;
using testing::StateFolderScope;
using testing::TempDir;
using testing::WriteFile;

class WatchStartUpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char name[] = "watch_start_up_test";
      static char* argv[] = {name, nullptr};
      new QCoreApplication(argc, argv);
    }
    // No display: a tray start is the watch service.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
  }

  void WriteWatchList(const std::string& checked) {
    WriteFile(home_.File("watcher.ini"), "record count2=2\r\n" + checked + "\r\n" + folder_.path() +
                                             "\r\n/out\r\n*.doc\r\nNo\r\n2\r\n"
                                             "0\r\n/elsewhere\r\n/out\r\n*.rtf\r\nYes\r\n2\r\n");
  }

  StateFolderScope home_;
  RuntimeFolderScope runtime_;
  TempDir folder_;
};

TEST_F(WatchStartUpTest, CheckedEntriesStartWithTheSettingAndStopAtTheEnd) {
  WriteWatchList("1");
  MainWindowState state({"/s", "/nonexistent"});
  SetUpMainWindow(state);
  ASSERT_EQ(state.watch_list.size(), 2);
  EXPECT_FALSE(state.watch_service);
  // A first start writes "Auto Start Watch When Run=1".
  EXPECT_EQ(state.watch_list.entry(0).state, WatchState::kWatching);
  EXPECT_EQ(state.watch_list.entry(1).state, WatchState::kIdle) << "unchecked";
  EXPECT_TRUE(state.folder_watch_lock.held());

  state.watch_list.SetChecked(1, true);  // reaches the file at the end
  EXPECT_EQ(ShutDownMainWindow(state), 0);
  EXPECT_EQ(state.watch_list.entry(0).state, WatchState::kIdle);
  EXPECT_EQ(state.watch_list.entry(0).watcher, nullptr);
  EXPECT_FALSE(state.folder_watch_lock.held());
  EXPECT_EQ(ReadFile(home_.File("watcher.ini")),
            "record count2=2\r\n1\r\n" + folder_.path() +
                "\r\n/out\r\n*.doc\r\nNo\r\n2\r\n1\r\n/elsewhere\r\n/out\r\n*.rtf\r\nYes\r\n2\r\n");
}

TEST_F(WatchStartUpTest, WithoutTheSettingOnlyTheWatchServiceStarts) {
  WriteWatchList("1");
  WriteFile(home_.File("set.ini"), "[Tarvell\\Quillon]\r\nAuto Start Watch When Run=0\r\n");
  {
    MainWindowState state({"/s", "/nonexistent"});
    SetUpMainWindow(state);
    EXPECT_EQ(state.watch_list.entry(0).state, WatchState::kIdle);
    ShutDownMainWindow(state);
  }
  MainWindowState service({"/min"});
  ASSERT_TRUE(service.watch_service);
  SetUpMainWindow(service);
  EXPECT_EQ(service.watch_list.entry(0).state, WatchState::kWatching);
  EXPECT_EQ(service.watch_list.entry(1).state, WatchState::kIdle);
  EXPECT_EQ(ShutDownMainWindow(service), 0);
  EXPECT_EQ(service.watch_list.entry(0).state, WatchState::kIdle);
}

}  // namespace
}  // namespace quillon
