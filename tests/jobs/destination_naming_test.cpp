#include "jobs/destination_naming.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/support/fake_clock.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "util/translate.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr LocalDateTime kConversionTime{2026, 3, 7, 14, 5, 9, 42};

bool IsFolder(const std::string& path) {
  return fs::is_directory(path);
}

// Runs naming from inside a folder and goes back afterwards.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::string& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~CurrentFolderScope() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

class BuildDestinationPathTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  testing::ScriptedPrompter prompter_;
  testing::FakeClock clock_{kConversionTime};
};

TEST_F(BuildDestinationPathTest, SameFilePathReplacesTheExtension) {
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/a.doc"), "Same File Path", "", ".txt"),
            dir_.File("in/a.txt"));
  // The tree root plays no part beside the source.
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/sub/b.v2.docx"), "Same File Path", dir_.File("in"),
                                 ".txt"),
            dir_.File("in/sub/b.v2.txt"));
  EXPECT_TRUE(prompter_.texts().empty());
}

TEST_F(BuildDestinationPathTest, FileBelowTheTreeRootKeepsItsSubFolder) {
  const std::string expected = dir_.File("out/sub/deeper/a.txt");
  for (const std::string& text :
       {dir_.File("out"), dir_.File("out/"), "[With Same File Tree]" + dir_.File("out")}) {
    for (const std::string& root : {dir_.File("in"), dir_.File("in/")}) {
      EXPECT_EQ(BuildDestinationPath(dir_.File("in/sub/deeper/a.doc"), text, root, ".txt"),
                expected)
          << text << " / " << root;
    }
  }
  EXPECT_TRUE(IsFolder(dir_.File("out/sub/deeper")));
  // Directly in the root: straight into the destination folder.
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/a.doc"), dir_.File("out2"), dir_.File("in"), ".txt"),
            dir_.File("out2/a.txt"));
  EXPECT_TRUE(IsFolder(dir_.File("out2")));
  // Without a tree root the sub-folder is not kept.
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/sub/a.doc"), dir_.File("out3"), "", ".txt"),
            dir_.File("out3/a.txt"));
  EXPECT_TRUE(prompter_.texts().empty());
}

TEST_F(BuildDestinationPathTest, SourceOutsideTheTreeRootIsRefused) {
  const std::vector<std::string> outside = {
      dir_.File("elsewhere/a.doc"),
      dir_.File("input/a.doc"),   // the root's text is only a prefix of the folder name
      dir_.File("IN/sub/a.doc"),  // letter case counts on Linux
      // holds the root's whole path, but further in
      dir_.File("copy") + dir_.File("in/sub/a.doc"),
  };
  for (const std::string& source : outside) {
    prompter_.Clear();
    EXPECT_EQ(BuildDestinationPath(source, dir_.File("out"), dir_.File("in"), ".txt"), "")
        << source;
    EXPECT_EQ(prompter_.texts(), std::vector<std::string>{"Error, can not get same file tree!"});
  }
  EXPECT_FALSE(fs::exists(dir_.File("out")));
}

TEST_F(BuildDestinationPathTest, RelativeFolderIsBelowTheCurrentFolder) {
  fs::create_directories(dir_.File("work/in/sub"));
  CurrentFolderScope scope(dir_.File("work"));
  EXPECT_EQ(BuildDestinationPath("/src/a.doc", "out", "", ".txt"), dir_.File("work/out/a.txt"));
  EXPECT_TRUE(IsFolder(dir_.File("work/out")));
  // A relative tree root matches the absolute paths of the files below it.
  EXPECT_EQ(BuildDestinationPath(dir_.File("work/in/sub/a.doc"), "out/x", "in", ".txt"),
            dir_.File("work/out/x/sub/a.txt"));
  EXPECT_TRUE(prompter_.texts().empty());
}

TEST_F(BuildDestinationPathTest, EmptyFolderChoiceGivesNothingQuietly) {
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/a.doc"), "", "", ".txt"), "");
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/a.doc"), "[Specified File]*_yyyy", "", ".txt"), "");
  EXPECT_EQ(
      BuildDestinationPath(dir_.File("in/a.doc"), "[With Same File Tree]", dir_.File("in"), ".txt"),
      "");
  EXPECT_TRUE(prompter_.texts().empty());
}

TEST_F(BuildDestinationPathTest, OfferedPatternsNameTheFile) {
  const std::string out = dir_.File("out");
  const std::map<std::string, std::string> expected = {
      {"*_yyyy", out + "/a_2026.txt"},
      {"*", out + "/a.txt"},
      {"mmddyy*", out + "/030726a.txt"},
      {"*mmddyy", out + "/a030726.txt"},
      {"mmddyyyy*", out + "/03072026a.txt"},
      {"*mmddyyyy", out + "/a03072026.txt"},
      {"*mm_dd_yyyy", out + "/a03_07_2026.txt"},
      {"\"dir1\"\\yyyy\\mm\\dd\\*-hh-nn-ss", out + "/dir1/2026/03/07/a-14-05-09.txt"},
      {"'Report '*' at 'hh-nn am/pm", out + "/Report a at 02-05 pm.txt"},
  };
  for (const auto& [pattern, path] : expected) {
    EXPECT_EQ(
        BuildDestinationPath(dir_.File("in/a.doc"), out + "[Specified File]" + pattern, "", ".txt"),
        path)
        << pattern;
  }
  EXPECT_TRUE(IsFolder(out + "/dir1/2026/03/07"));
}

TEST_F(BuildDestinationPathTest, PatternAfterSameFilePathAndTree) {
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/a.doc"), "Same File Path[Specified File]mmddyy*", "",
                                 ".txt"),
            dir_.File("in/030726a.txt"));
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/sub/a.b.doc"),
                                 dir_.File("out") + "[Specified File]\"dir1\"\\yyyy\\*",
                                 dir_.File("in"), ".txt"),
            dir_.File("out/sub/dir1/2026/a.b.txt"));
  EXPECT_TRUE(IsFolder(dir_.File("out/sub/dir1/2026")));
  // Only the first marker splits; the rest belongs to the pattern.
  DestinationTextParts parts = SplitDestinationText("/out[Specified File]'a[Specified File]'yy");
  EXPECT_EQ(parts.folder_choice, "/out");
  EXPECT_EQ(parts.pattern, "'a[Specified File]'yy");
  EXPECT_EQ(
      BuildDestinationPath(dir_.File("in/a.doc"),
                           dir_.File("out") + "[Specified File]'b[Specified File]'yy", "", ".txt"),
      dir_.File("out/b[Specified File]26.txt"));
}

TEST_F(BuildDestinationPathTest, SourceNameIsTakenAsItIs) {
  // A backslash may be part of a Linux file name: it must not make a folder.
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/x\\y.doc"),
                                 dir_.File("out") + "[Specified File]*_yy", "", ".txt"),
            dir_.File("out/x\\y_26.txt"));
  // A dotted folder does not lend the name an extension; a dot-file keeps its name.
  EXPECT_EQ(BuildDestinationPath(dir_.File("in.d/README"), "Same File Path", "", ".txt"),
            dir_.File("in.d/README.txt"));
  EXPECT_EQ(BuildDestinationPath(dir_.File("in/.notes"), dir_.File("out"), "", ".txt"),
            dir_.File("out/.notes.txt"));
  EXPECT_EQ(NameWithoutExtension("/a/b.c/d.tar.gz"), "d.tar");
}

TEST(DestinationText, ComposedFromTheDialogChoices) {
  EXPECT_EQ(ComposeDestinationText(true, "/ignored", "*"), "Same File Path");
  EXPECT_EQ(ComposeDestinationText(true, "", "  mmddyy*"), "Same File Path[Specified File]mmddyy*");
  EXPECT_EQ(ComposeDestinationText(false, "/out", ""), "/out");
  EXPECT_EQ(ComposeDestinationText(false, "/out", " \t*"), "/out");
  EXPECT_EQ(ComposeDestinationText(false, "", "*"), "");

  DestinationChoice tree{DestinationChoice::Folder::kSameFileTree, "/out", "*_yyyymmdd"};
  const std::string text = ComposeDestinationText(tree);
  EXPECT_EQ(text, "[With Same File Tree]/out[Specified File]*_yyyymmdd");
  DestinationChoice back = ParseDestinationText(text);
  EXPECT_EQ(back.kind, DestinationChoice::Folder::kSameFileTree);
  EXPECT_EQ(back.folder, "/out");
  EXPECT_EQ(back.pattern, "*_yyyymmdd");

  back = ParseDestinationText("Same File Path[Specified File]mmddyy*");
  EXPECT_EQ(back.kind, DestinationChoice::Folder::kSameFilePath);
  EXPECT_EQ(back.pattern, "mmddyy*");
  back = ParseDestinationText("/out/Same File Path");
  EXPECT_EQ(back.kind, DestinationChoice::Folder::kFolder);
  EXPECT_EQ(back.folder, "/out/Same File Path");
  EXPECT_EQ(back.pattern, "");
}

// Writes a GNU message catalog holding `messages` (sorted, as the format wants).
void WriteCatalog(const std::string& path, std::map<std::string, std::string> messages) {
  messages[""] = "Content-Type: text/plain; charset=UTF-8\n";
  const std::uint32_t count = static_cast<std::uint32_t>(messages.size());
  const std::uint32_t originals_at = 28;
  const std::uint32_t translations_at = originals_at + 8 * count;
  std::uint32_t text_at = translations_at + 8 * count;
  std::vector<std::uint32_t> header = {0x950412de, 0, count, originals_at, translations_at, 0, 0};
  std::vector<std::uint32_t> originals, translations;
  std::string texts;
  for (const auto& [english, translated] : messages) {
    originals.insert(originals.end(), {static_cast<std::uint32_t>(english.size()), text_at});
    text_at += static_cast<std::uint32_t>(english.size() + 1);
    texts += english + '\0';
  }
  for (const auto& [english, translated] : messages) {
    translations.insert(translations.end(),
                        {static_cast<std::uint32_t>(translated.size()), text_at});
    text_at += static_cast<std::uint32_t>(translated.size() + 1);
    texts += translated + '\0';
  }
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  for (const auto* table : {&header, &originals, &translations}) {
    out.write(reinterpret_cast<const char*>(table->data()),
              static_cast<std::streamsize>(table->size() * 4));
  }
  out << texts;
}

TEST(DestinationText, MarkersFollowTheInterfaceLanguage) {
  testing::TempDir dir;
  testing::ScriptedPrompter prompter;
  testing::FakeClock clock(kConversionTime);
  WriteCatalog(dir.File("locale/xx/LC_MESSAGES/default.mo"),
               {{"Same File Path", "Gleicher Pfad"},
                {"[Specified File]", "[Dateiname]"},
                {"[With Same File Tree]", "[Gleicher Baum]"},
                {"Error, can not get same file tree!", "Fehler: kein gleicher Baum!"}});
  InitMessageCatalog(dir.File("locale"));
  SetInterfaceLanguage("xx");

  EXPECT_EQ(ComposeDestinationText(true, "", "yy*"), "Gleicher Pfad[Dateiname]yy*");
  const std::string source = dir.File("in/sub/a.doc");
  EXPECT_EQ(BuildDestinationPath(source, "Gleicher Pfad[Dateiname]yy*", "", ".txt"),
            dir.File("in/sub/26a.txt"));
  EXPECT_EQ(
      BuildDestinationPath(source, "[Gleicher Baum]" + dir.File("out"), dir.File("in"), ".txt"),
      dir.File("out/sub/a.txt"));
  EXPECT_EQ(BuildDestinationPath(source, dir.File("out"), dir.File("other"), ".txt"), "");
  EXPECT_EQ(prompter.texts(), std::vector<std::string>{"Fehler: kein gleicher Baum!"});
  // The English markers are plain text now.
  EXPECT_EQ(ParseDestinationText("Same File Path").kind, DestinationChoice::Folder::kFolder);

  SetInterfaceLanguage("");
  // Back in English, the text composed in the other language is a folder name.
  EXPECT_EQ(ParseDestinationText("Gleicher Pfad[Dateiname]yy*").folder,
            "Gleicher Pfad[Dateiname]yy*");
  EXPECT_EQ(ComposeDestinationText(true, "", "yy*"), "Same File Path[Specified File]yy*");
}

}  // namespace
}  // namespace quillon
