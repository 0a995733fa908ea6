#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr const char* kSection = "Tarvell\\Quillon";

TEST(ProfileTest, EveryWriteReachesTheFileAtOnceWithSectionAndKeysAsWritten) {
  TempDir dir;
  ProfileFile profile(dir.File("state/set.ini"));
  EXPECT_FALSE(profile.SectionExists(kSection));
  ASSERT_TRUE(profile.WriteBool(kSection, "Create Log File", true));
  EXPECT_EQ(ReadFile(dir.File("state/set.ini")), "[Tarvell\\Quillon]\r\nCreate Log File=1\r\n");
  ASSERT_TRUE(profile.WriteInteger(kSection, "Text File Delimited Format", -1));
  ASSERT_TRUE(profile.WriteString(kSection, "Manual Destination File Format", "2"));
  // Replacing a key keeps its place; names match ignoring case.
  ASSERT_TRUE(profile.WriteBool("tarvell\\quillon", "create log file", false));
  EXPECT_EQ(ReadFile(dir.File("state/set.ini")),
            "[Tarvell\\Quillon]\r\ncreate log file=0\r\nText File Delimited Format=-1\r\n"
            "Manual Destination File Format=2\r\n");
  EXPECT_EQ(profile.Keys(kSection),
            (std::vector<std::string>{"create log file", "Text File Delimited Format",
                                      "Manual Destination File Format"}));
}

TEST(ProfileTest, ReadsOtherWritersFilesWithDefaultsHexAndBooleansAsIntegers) {
  TempDir dir;
  WriteFile(dir.File("set.ini"),
            "; written by hand\n[Other]\nKey=other\n\n[Tarvell\\Quillon]\n"
            "  Text File Delimited Format = 0x1 \nMinimized TrayIcon=2\n"
            "Auto Run At Startup=yes\nLanguage=\"de\"\nNegative=-0x10\n");
  ProfileFile profile(dir.File("set.ini"));
  EXPECT_EQ(profile.ReadInteger(kSection, "Text File Delimited Format", -1), 1);
  EXPECT_TRUE(profile.ReadBool(kSection, "Minimized TrayIcon", false));
  // Not a number: the default.
  EXPECT_TRUE(profile.ReadBool(kSection, "Auto Run At Startup", true));
  EXPECT_FALSE(profile.ReadBool(kSection, "Auto Run At Startup", false));
  EXPECT_EQ(profile.ReadString(kSection, "Language", ""), "de");
  EXPECT_EQ(profile.ReadString(kSection, "Missing", "fallback"), "fallback");
  EXPECT_EQ(profile.ReadString("Other", "Key", ""), "other");
  EXPECT_EQ(profile.ReadInteger(kSection, "Negative", 0), -16);
  EXPECT_EQ(profile.ReadInteger("Other", "Key", 7), 7);

  // A new key lands in its section, before the next section; the comment and
  // the other section stay.
  ASSERT_TRUE(profile.WriteString("Other", "Added", "x"));
  EXPECT_EQ(ReadFile(dir.File("set.ini")).substr(0, 48),
            "; written by hand\r\n[Other]\r\nKey=other\r\nAdded=x\r\n");
  EXPECT_TRUE(profile.DeleteKey(kSection, "Negative"));
  EXPECT_FALSE(profile.Read(kSection, "Negative").has_value());
  EXPECT_EQ(profile.ReadInteger(kSection, "Text File Delimited Format", -1), 1);
}

TEST(ProfileTest, IntegerParsing) {
  EXPECT_EQ(ParseProfileInteger("42"), 42);
  EXPECT_EQ(ParseProfileInteger(" -3 "), -3);
  EXPECT_EQ(ParseProfileInteger("0X1f"), 31);
  EXPECT_EQ(ParseProfileInteger("0xFFFFFFFF"), -1);
  EXPECT_FALSE(ParseProfileInteger("").has_value());
  EXPECT_FALSE(ParseProfileInteger("0x").has_value());
  EXPECT_FALSE(ParseProfileInteger("12a").has_value());
  EXPECT_FALSE(ParseProfileInteger("99999999999").has_value());
}

TEST(ProfileTest, AWriteOfWhatTheFileAlreadyHoldsLeavesTheFileAsItIs) {
  TempDir dir;
  const std::string path = dir.File("set.ini");
  WriteFile(path, "[Tarvell\\Quillon]\r\nLanguage=de\r\nCreate Log File = 1\r\n");
  ProfileFile profile(path);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(profile.WriteString(kSection, "Language", "de"));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the file was rewritten for an unchanged value";
  // The same value written differently, a changed value and a new key do
  // reach the file.
  ASSERT_TRUE(profile.WriteBool(kSection, "Create Log File", true));
  ASSERT_TRUE(profile.WriteString(kSection, "language", "de"));
  ASSERT_TRUE(profile.WriteString(kSection, "Skin", ""));
  EXPECT_EQ(ReadFile(path), "[Tarvell\\Quillon]\r\nlanguage=de\r\nCreate Log File=1\r\nSkin=\r\n");
}

TEST(ProfileTest, AnUnwritableFileGivesDefaultsAndFailedWrites) {
  TempDir dir;
  WriteFile(dir.File("blocked/x"), "");
  // The settings path is a folder: nothing can be read or written there.
  ProfileFile profile(dir.File("blocked"));
  EXPECT_FALSE(profile.WriteBool(kSection, "Create Log File", true));
  EXPECT_TRUE(profile.ReadBool(kSection, "Create Log File", true));
  EXPECT_FALSE(profile.SectionExists(kSection));
}

TEST(ProfileTest, RewritesKeepTheModeAndWriteThroughASymbolicLink) {
  TempDir dir;
  WriteFile(dir.File("set.ini"), "[Tarvell\\Quillon]\r\n");
  ASSERT_EQ(::chmod(dir.File("set.ini").c_str(), 0600), 0);
  ProfileFile profile(dir.File("set.ini"));
  ASSERT_TRUE(profile.WriteBool(kSection, "Create Log File", true));
  struct stat info {};
  ASSERT_EQ(::stat(dir.File("set.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << "a private settings file became readable";

  // A link (relative, through a second link) stays a link; its final
  // target gets the change and keeps its own mode.
  WriteFile(dir.File("dotfiles/quillon.ini"), "[Tarvell\\Quillon]\r\nMinimized TrayIcon=1\r\n");
  ASSERT_EQ(::chmod(dir.File("dotfiles/quillon.ini").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("quillon.ini", dir.File("dotfiles/current.ini").c_str()), 0);
  ASSERT_EQ(::symlink("dotfiles/current.ini", dir.File("linked.ini").c_str()), 0);
  ProfileFile linked(dir.File("linked.ini"));
  ASSERT_TRUE(linked.WriteBool(kSection, "Create Log File", false));
  struct stat link_info {};
  ASSERT_EQ(::lstat(dir.File("linked.ini").c_str(), &link_info), 0);
  EXPECT_TRUE(S_ISLNK(link_info.st_mode));
  ASSERT_EQ(::lstat(dir.File("dotfiles/current.ini").c_str(), &link_info), 0);
  EXPECT_TRUE(S_ISLNK(link_info.st_mode));
  EXPECT_EQ(ReadFile(dir.File("dotfiles/quillon.ini")),
            "[Tarvell\\Quillon]\r\nMinimized TrayIcon=1\r\nCreate Log File=0\r\n");
  ASSERT_EQ(::stat(dir.File("dotfiles/quillon.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(linked.ReadBool(kSection, "Minimized TrayIcon", false), true);
}

}  // namespace
}  // namespace quillon
