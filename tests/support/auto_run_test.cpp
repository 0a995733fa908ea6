// The autostart entry: written whole with the program's path quoted for
// Exec, accepted by desktop-file-validate, removed again, and errors that
// name what failed.

#include "support/auto_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::FileExists;
using testing::ReadFile;

class AutoRunTest : public ::testing::Test {
 protected:
  testing::StateFolderScope home_;
};

TEST_F(AutoRunTest, OnWritesAValidEntryThatStartsAsTrayStart) {
  ApplyAutoRunEntry(true, "/opt/quillon/bin/quillon");
  std::string path = AutoRunEntryPath();
  EXPECT_EQ(path, std::string(std::getenv("QUILLON_HOME")) + "/autostart/Quillon.desktop");
  std::string text = ReadFile(path);
  EXPECT_NE(text.find("\nExec=\"/opt/quillon/bin/quillon\" /min\n"), std::string::npos) << text;
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
    std::string command = "desktop-file-validate '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << text;
  } else {
    GTEST_SKIP() << "desktop-file-validate is not installed";
  }
}

TEST_F(AutoRunTest, PathsWithSpecialCharactersAreQuotedForExec) {
  std::string text = AutoRunEntryText("/home/a b/my $dir/100%/q\"x\\y`z/quillon");
  // Inside the quotes " ` $ \ are escaped, then "\" is doubled for the
  // string value and "%" doubled for Exec.
  EXPECT_NE(text.find("Exec=\"/home/a b/my \\\\$dir/100%%/q\\\\\"x\\\\\\\\y\\\\`z/quillon\" /min"),
            std::string::npos)
      << text;
  EXPECT_THROW(AutoRunEntryText("/home/line\nbreak/quillon"), AutoRunError);
}

TEST_F(AutoRunTest, OffRemovesAndRemovingNothingIsQuiet) {
  EXPECT_NO_THROW(ApplyAutoRunEntry(false, "/x/quillon"));
  ApplyAutoRunEntry(true, "/old/place/quillon");
  ApplyAutoRunEntry(true, "/new/place/quillon");
  EXPECT_NE(ReadFile(AutoRunEntryPath()).find("/new/place/quillon"), std::string::npos);
  ApplyAutoRunEntry(false, "/new/place/quillon");
  EXPECT_FALSE(FileExists(AutoRunEntryPath()));
  // No temporary file is left beside it.
  auto folder = std::filesystem::path(AutoRunEntryPath()).parent_path();
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(AutoRunTest, UnwritableFolderGivesTheMessage) {
  // A file where the folder should be fails for root too.
  std::string folder = std::filesystem::path(AutoRunEntryPath()).parent_path().string();
  testing::WriteFile(folder, "not a folder");
  try {
    ApplyAutoRunEntry(true, "/x/quillon");
    FAIL() << "no error";
  } catch (const AutoRunError& e) {
    EXPECT_EQ(std::string(e.what()), "Failed to create key " + folder);
  }
}

}  // namespace
}  // namespace quillon
