#include "engine/legacy_preconvert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/work_folder.h"
#include "tests/support/temp_dir.h"
#include "util/text.h"

namespace quillon::engine {
namespace {

using quillon::testing::FileExists;
using quillon::testing::ReadFile;
using quillon::testing::TempDir;
using quillon::testing::TempFolderScope;
using quillon::testing::WriteFile;

// A stand-in converter program in its own folder, which becomes the engine's
// side-file folder for the test.
class LegacyPreconvertTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEngineFileFolder(program_dir_.path()); }
  void TearDown() override { SetEngineFileFolder(""); }

  void InstallConverter(const std::string& body) {
    const std::string path = program_dir_.File(kLegacyConverterName);
    WriteFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
  }

  TempDir program_dir_;
  TempDir work_;
};

TEST_F(LegacyPreconvertTest, PassesFourArgumentsEachWhole) {
  InstallConverter(
      "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$2.args\"\n"
      "echo converted > \"$2\"\n");
  const std::string source = work_.File("my \"sheet\" 1.wk3");
  const std::string html = work_.File("out put.htm");
  EXPECT_EQ(PreconvertLegacyFile(source, html), "");
  EXPECT_EQ(ReadFile(html + ".args"), "[" + source + "][" + html + "][LOTUS32.CNV][html32.cnv]");
}

TEST_F(LegacyPreconvertTest, JudgesOutputBeforeTheFile) {
  const std::string html = work_.File("t.htm");
  // "error" anywhere fails, even though the file was written; trimmed.
  InstallConverter("echo ' conversion error: bad record '\necho x > \"$2\"\n");
  EXPECT_EQ(PreconvertLegacyFile(work_.File("t.dbf"), html), "conversion error: bad record");

  // Other messages do not matter when the file is there.
  InstallConverter("echo 'Error count 0' >&2\necho x > \"$2\"\n");
  EXPECT_EQ(PreconvertLegacyFile(work_.File("t.dbf"), html), "");

  // No file: the output is the error text, unchanged.
  InstallConverter("echo 'cannot read input'\n");
  EXPECT_EQ(PreconvertLegacyFile(work_.File("t.dbf"), html), "cannot read input\r\n");
}

TEST_F(LegacyPreconvertTest, StaleHtmlDoesNotCountAndSilenceIsNamed) {
  const std::string html = work_.File("stale.htm");
  WriteFile(html, "from an earlier run");
  InstallConverter("exit 0\n");
  EXPECT_EQ(PreconvertLegacyFile(work_.File("s.wk1"), html),
            "call word conversion dll error, can't create destination html file=" + html);
  EXPECT_FALSE(FileExists(html));
}

TEST_F(LegacyPreconvertTest, MissingConverterIsReportedAsCanNotRun) {
  const std::string html = work_.File("m.htm");
  const std::string result = PreconvertLegacyFile(work_.File("m.wk4"), html);
  EXPECT_EQ(result.rfind("can not run \"\"" + program_dir_.File(kLegacyConverterName) + "\"", 0),
            0u)
      << result;
}

TEST(LegacyExtension, TablesAndSheetsOnly) {
  for (const char* ext : {".dbf", ".wk1", ".wk2", ".wk3", ".wk4", ".123"}) {
    EXPECT_TRUE(IsLegacyExtension(ext)) << ext;
  }
  for (const char* ext : {".wk5", ".doc", "", ".DBF"}) {
    EXPECT_FALSE(IsLegacyExtension(ext)) << ext;
  }
}

class WorkFolderTest : public ::testing::Test {
 protected:
  TempFolderScope temp_;
};

TEST_F(WorkFolderTest, CreatedOnDemandAndKeepsTheFileName) {
  const std::string expected = temp_.path() + "/~Quillon/";
  EXPECT_EQ(TempWorkPath("/some/where/report.final.doc"), expected + "report.final.doc");
  struct stat info {};
  ASSERT_EQ(::stat(expected.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(TempWorkPath(ChangeFileExt("/out/a.b/name", ".rtf")), expected + "name.rtf");
}

TEST_F(WorkFolderTest, NeverWritesThroughAPlantedLink) {
  const std::string base = temp_.path() + "/";
  const std::string elsewhere = temp_.path() + "/elsewhere";
  ::mkdir(elsewhere.c_str(), 0700);
  ASSERT_EQ(::symlink(elsewhere.c_str(), (base + "~Quillon").c_str()), 0);
  EXPECT_EQ(WorkFolder(), base + "~Quillon-" + std::to_string(::getuid()) + "/");
}

TEST(FileNameParts, ExtensionsAndNames) {
  EXPECT_EQ(ChangeFileExt("/a/b.doc", ".htm"), "/a/b.htm");
  EXPECT_EQ(ChangeFileExt("/a.dir/b", ".htm"), "/a.dir/b.htm");
  EXPECT_EQ(FileExtPart("/a.dir/b"), "");
  EXPECT_EQ(FileExtPart("/x/B.DOC"), ".DOC");
  EXPECT_EQ(NamePart("/x/y z.doc"), "y z.doc");
}

}  // namespace
}  // namespace quillon::engine
