// The accessibility-bus window system where no bus runs, and the pieces of it
// that need none: captions rebuilt from names and key bindings, program
// names of processes.

#include "dialogwatch/accessibility_window_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "dialogwatch/send_key_thread.h"

namespace quillon::dialogwatch {
namespace {

TEST(CaptionTest, TheMarkerComesBackFromTheKeyBinding) {
  EXPECT_EQ(CaptionFromAccessibleName("No", "Alt+N"), "&No");
  EXPECT_EQ(CaptionFromAccessibleName("Save as", "<Alt>a"), "S&ave as");
  EXPECT_EQ(CaptionFromAccessibleName("Yes", "y;<Control>y"), "&Yes");
  EXPECT_EQ(CaptionFromAccessibleName("Cancel", ""), "Cancel");
  EXPECT_EQ(CaptionFromAccessibleName("Print", "Ctrl+P"), "Print");
  EXPECT_EQ(CaptionFromAccessibleName("Fish & Chips", "Alt+C"), "Fish && &Chips");
}
TEST(ProgramNameTest, NamesTheProgramFileOfAProcess) {
  EXPECT_EQ(ProgramNameOfProcess(::getpid()), "dialogwatch_accessibility_window_system_test");
  EXPECT_EQ(ProgramNameOfProcess(-1), "");
}

TEST(NoBusTest, NothingIsFoundAndTheWatchEndsSilentlyAtItsTimeLimit) {
  for (const char* name : {"AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"})
    ::unsetenv(name);
  auto windows = MakeAccessibilityWindowSystem();
  EXPECT_TRUE(windows->TopLevelWindows().empty());
  auto watcher = TThreadSendKey::Create(windows);
  watcher->StartWatch("quillon-engine", "WordPerfect", "", "", "button#1", 150);
  ASSERT_TRUE(watcher->WaitUntilEnded(10000));
  EXPECT_FALSE(watcher->Active());
  EXPECT_EQ(watcher->MacroResult(), "");
}

}  // namespace
}  // namespace quillon::dialogwatch
