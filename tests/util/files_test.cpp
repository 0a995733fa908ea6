#include "util/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::ScriptedPrompter;
using testing::TempDir;
using testing::WriteFile;

TEST(ReadFileSkippingBom, SkipsExactlyTheMarkItFinds) {
  struct Case {
    std::string bytes;
    ByteOrderMark mark;
    std::string content;
  } cases[] = {
      {std::string("\xFF\xFE"
                   "a\0",
                   4),
       ByteOrderMark::kUtf16LittleEndian, std::string("a\0", 2)},
      {std::string("\xFE\xFF\0a", 4), ByteOrderMark::kUtf16BigEndian, std::string("\0a", 2)},
      {"\xEF\xBB\xBF"
       "x\r\ny",
       ByteOrderMark::kUtf8, "x\r\ny"},
      // EF BB without BF is no mark: read whole, the two bytes included.
      {"\xEF\xBBx", ByteOrderMark::kNone, "\xEF\xBBx"},
      {"\xEF\xBB", ByteOrderMark::kNone, "\xEF\xBB"},
      {"\xFF", ByteOrderMark::kNone, "\xFF"},
      {"A", ByteOrderMark::kNone, "A"},
      {"", ByteOrderMark::kNone, ""},
      {"\xFE\xFE", ByteOrderMark::kNone, "\xFE\xFE"},
  };

  ScriptedPrompter prompter;
  TempDir dir;
  for (const Case& c : cases) {
    std::string path = dir.File("f.txt");
    WriteFile(path, c.bytes);
    std::string content = "stale";
    ByteOrderMark mark = ByteOrderMark::kUtf8;
    ASSERT_TRUE(ReadFileSkippingBom(path, content, &mark));
    EXPECT_EQ(content, c.content);
    EXPECT_EQ(mark, c.mark);
  }
  EXPECT_TRUE(prompter.shown().empty());
}

TEST(ReadFileSkippingBom, LargeFileReadWhole) {
  TempDir dir;
  std::string big(300000, 'q');
  big[299999] = 'z';
  WriteFile(dir.File("big.txt"), "\xEF\xBB\xBF" + big);
  std::string content;
  ASSERT_TRUE(ReadFileSkippingBom(dir.File("big.txt"), content));
  EXPECT_EQ(content, big);
}

TEST(ReadFileSkippingBom, MissingFileOrFolderIsReportedAndFails) {
  ScriptedPrompter prompter;
  TempDir dir;
  std::string content = "stale";
  EXPECT_FALSE(ReadFileSkippingBom(dir.File("missing.txt"), content));
  EXPECT_EQ(content, "");
  // A folder opens but cannot be read: that is a failure too, not empty content.
  EXPECT_FALSE(ReadFileSkippingBom(dir.path(), content));
  ASSERT_EQ(prompter.shown().size(), 2u);
  EXPECT_NE(prompter.shown()[0].text.find(dir.File("missing.txt")), std::string::npos);
  EXPECT_EQ(prompter.shown()[0].buttons, PromptButtons::kOk);
  EXPECT_EQ(prompter.shown()[0].caption, "");
  EXPECT_NE(prompter.shown()[1].text.find(dir.path()), std::string::npos);
}

TEST(FileSizeOf, RegularFilesOnlyAndBeyondTwoGigabytes) {
  TempDir dir;
  WriteFile(dir.File("five"), "12345");
  EXPECT_EQ(FileSizeOf(dir.File("five")), 5);
  EXPECT_EQ(FileSizeOf(dir.File("missing")), 0);
  EXPECT_EQ(FileSizeOf(dir.path()), 0);
  // A sparse file: no disk space, but a size that a 32-bit count would wrap.
  std::string sparse = dir.File("sparse");
  WriteFile(sparse, "");
  ASSERT_EQ(::truncate(sparse.c_str(), 5000000000LL), 0);
  EXPECT_EQ(FileSizeOf(sparse), 5000000000LL);
}

TEST(FileTimeText, ShortDateTwoBlanksAndTimeWithoutSeconds) {
  TempDir dir;
  std::string path = dir.File("t.doc");
  WriteFile(path, "x");
  std::tm local{};
  local.tm_year = 2021 - 1900;
  local.tm_mon = 5;
  local.tm_mday = 4;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 59;
  local.tm_isdst = -1;
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::mktime(&local);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  // The test runs in the C locale: date "%m/%d/%y", time "%H:%M:%S".
  EXPECT_EQ(FileTimeText(path), "06/04/21  13:45");

  ScriptedPrompter prompter;
  EXPECT_EQ(FileTimeText(dir.File("missing")), "");
  EXPECT_EQ(prompter.shown().size(), 1u);
}

}  // namespace
}  // namespace quillon
