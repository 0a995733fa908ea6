#include "platform/folders.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(StateFolders, QuillonHomeWinsThenPortableThenXdg) {
  TempDir program;
  std::string program_folder = program.path() + "/";
  StateEnvironment env{"", "/cfg", "/state/", "/home/u"};

  StateFolders xdg = ResolveStateFolders(program_folder, env);
  EXPECT_EQ(xdg.config, "/cfg/quillon/");
  EXPECT_EQ(xdg.logs, "/state/quillon/");
  EXPECT_FALSE(xdg.portable);

  // Relative XDG values are invalid and give the defaults under HOME.
  StateFolders defaults = ResolveStateFolders(program_folder, {"", "cfg", "", "/home/u/"});
  EXPECT_EQ(defaults.config, "/home/u/.config/quillon/");
  EXPECT_EQ(defaults.logs, "/home/u/.local/state/quillon/");

  WriteFile(program.File("set.ini"), "");
  StateFolders portable = ResolveStateFolders(program_folder, env);
  EXPECT_EQ(portable.config, program_folder);
  EXPECT_EQ(portable.logs, program_folder);
  EXPECT_TRUE(portable.portable);

  env.quillon_home = "/q/home";
  StateFolders home = ResolveStateFolders(program_folder, env);
  EXPECT_EQ(home.config, "/q/home/");
  EXPECT_EQ(home.logs, "/q/home/");
  EXPECT_FALSE(home.portable);
}

TEST(ProgramFolders, ProgramFolderHoldsTheRunningProgram) {
  std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(testing::FileExists(folder + "platform_folders_test"));
  // The build tree has no ../share/quillon: side files sit beside the program.
  EXPECT_EQ(ResourceFolder(), folder);
}

}  // namespace
}  // namespace quillon
