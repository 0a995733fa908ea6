// Plug-in macros end to end: the real program, started from a copy beside
// its own "plugin.bas", converts corpus documents with "/plugin" and
// "/pluginsave" through the real engine server.

#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;

std::size_t CountOf(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
    ++n;
  return n;
}

class CliPluginTest : public CliRunTest {
 protected:
  void SetUp() override {
    CliRunTest::SetUp();
    if (IsSkipped())
      return;
    // The program looks for plugin.bas beside itself: a copy of both
    // programs in the scratch folder has its own.
    fs::create_directories(Bin());
    for (const char* name : {"quillon", "quillon-engine"}) {
      std::error_code ec;
      fs::create_hard_link(CliHarness::BinDir() + "/" + name, Bin() + "/" + name, ec);
      if (ec)
        fs::copy_file(CliHarness::BinDir() + "/" + name, Bin() + "/" + name);
    }
    h_.UseProgram(Bin() + "/quillon");
  }

  std::string Bin() const { return h_.Root() + "/bin"; }
  void WriteModule(const std::string& source) const { WriteFile(Bin() + "/plugin.bas", source); }
  std::string ErrorLog() const { return ReadFile(h_.Home("error.log")); }

  // A module whose BeforeConversion replaces `word` with `with` everywhere
  // in the main text.
  static std::string ReplacingModule(const std::string& word, const std::string& with) {
    return "Attribute VB_Name = \"Plugin\"\r\n"
           "Option Explicit\r\n"
           "Public Sub BeforeConversion()\r\n"
           "    With ActiveDocument.Content.Find\r\n"
           "        .ClearFormatting\r\n"
           "        .Text = \"" +
           word +
           "\"\r\n"
           "        .Replacement.Text = \"" +
           with +
           "\"\r\n"
           "        .MatchCase = True\r\n"
           "        .Execute Replace:=wdReplaceAll\r\n"
           "    End With\r\n"
           "End Sub\r\n"
           "Public Sub AfterConversion()\r\n"
           "End Sub\r\n";
  }
};

TEST_F(CliPluginTest, AReplacingModuleChangesTheTextOfDocxDocAndRtf) {
  const std::regex word_pattern("[A-Za-z]{6,}");
  for (const char* folder : {"docx", "doc", "rtf"}) {
    SCOPED_TRACE(folder);
    // The first document of the folder with a long enough word in its text.
    std::string name;
    std::string plain;
    std::string word;
    std::vector<std::string> files = CliHarness::FilesBelow(CorpusDir() + "/" + folder);
    for (const std::string& file : files) {
      if (file.find('[') != std::string::npos || file.find("protected") != std::string::npos)
        continue;
      const std::string relative = std::string(folder) + "/" + file;
      h_.CopyCorpus(relative, relative);
      CliResult run = h_.Run({"/d:" + h_.Work("plain"), h_.Work(relative)});
      const std::string out =
          ReadFile(h_.Work("plain/" + fs::path(file).replace_extension(".txt").string()));
      std::smatch m;
      if (run.exit_code == 0 && std::regex_search(out, m, word_pattern)) {
        name = relative;
        plain = out;
        word = m.str();
        break;
      }
    }
    ASSERT_FALSE(word.empty()) << "no document with a word";
    WriteModule(ReplacingModule(word, "QuillonReplaced"));
    CliResult run = h_.Run({"/plugin", "/d:" + h_.Work("macro"), h_.Work(name)});
    ASSERT_EQ(run.exit_code, 0) << ErrorLog();
    const std::string changed =
        ReadFile(h_.Work("macro/" + fs::path(name).filename().replace_extension(".txt").string()));
    EXPECT_EQ(CountOf(plain, "QuillonReplaced"), 0u);
    EXPECT_GE(CountOf(changed, "QuillonReplaced"), 1u) << word << " in " << name;
    EXPECT_LT(CountOf(changed, word), CountOf(plain, word)) << word << " in " << name;
  }
}

TEST_F(CliPluginTest, TheShippedModuleRunsOnEveryCorpusDocument) {
  const std::string shipped = std::string(QUILLON_TEST_DATA_DIR) + "/../../plugin.bas";
  WriteModule(ReadFile(shipped));
  ASSERT_FALSE(ReadFile(Bin() + "/plugin.bas").empty());
  for (const char* folder : {"doc", "docx", "rtf", "html"}) {
    for (const std::string& file : CliHarness::FilesBelow(CorpusDir() + "/" + folder))
      h_.CopyCorpus(std::string(folder) + "/" + file, std::string("in/") + folder + "/" + file);
  }
  CliResult run = h_.Run({"/plugin", "/s", "/p:tika", "/d:" + h_.Work("out"),
                          h_.Work("in/*.doc;*.docx;*.rtf;*.htm;*.html")});
  EXPECT_EQ(run.exit_code, 0) << ErrorLog();
  EXPECT_EQ(ErrorLog(), "");
  EXPECT_GT(CliHarness::FilesBelow(h_.Work("out")).size(), 100u);

  // Its BeforeConversion deletes the comments: saved back into an RTF
  // source, the source has none left, and its text stays.
  WriteFile(h_.Work("c.rtf"),
            "{\\rtf1\\ansi Commented{\\*\\atnid A}{\\*\\atnauthor A}\\chatn"
            "{\\*\\annotation\\pard note\\par} text.\\par}");
  run = h_.Run({"/pluginsave", "/d:" + h_.Work("c"), h_.Work("c.rtf")});
  ASSERT_EQ(run.exit_code, 0) << ErrorLog();
  const std::string saved = ReadFile(h_.Work("c.rtf"));
  EXPECT_EQ(saved.find("annotation"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Commented"), std::string::npos) << saved;
}

TEST_F(CliPluginTest, RuntimeAndSyntaxErrorsFailTheConversionWithTheirLine) {
  h_.CopyCorpus("rtf/jstriprtf__bytes.rtf", "a.rtf");
  WriteModule(
      "Public Sub BeforeConversion()\r\n"
      "    Dim n\r\n"
      "    n = ActiveDocument.Shapes.Count\r\n"
      "End Sub\r\n"
      "Public Sub AfterConversion()\r\nEnd Sub\r\n");
  CliResult run = h_.Run({"/plugin", "/d:" + h_.Work("out"), h_.Work("a.rtf")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(ErrorLog().find("plugin.bas, line 3"), std::string::npos) << ErrorLog();
  EXPECT_NE(ErrorLog().find("\"Shapes\""), std::string::npos) << ErrorLog();
  EXPECT_FALSE(fs::exists(h_.Work("out/a.txt")));

  WriteModule("Public Sub BeforeConversion()\r\n    For i = 1 To 3\r\nEnd Sub\r\n");
  run = h_.Run({"/plugin", "/d:" + h_.Work("out"), h_.Work("a.rtf")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(ErrorLog().find("Compile error in plugin.bas, line 3"), std::string::npos)
      << ErrorLog();

  fs::remove(Bin() + "/plugin.bas");
  run = h_.Run({"/plugin", "/d:" + h_.Work("out"), h_.Work("a.rtf")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(ErrorLog().find(Bin() + "/plugin.bas is not existed"), std::string::npos) << ErrorLog();
}

TEST_F(CliPluginTest, AnEndlessMacroEndsAtTheTimeLimitAndTheBatchGoesOn) {
  h_.CopyCorpus("rtf/jstriprtf__bytes.rtf", "in/a_loop.rtf");
  h_.CopyCorpus("rtf/jstriprtf__bytes.rtf", "in/b_fine.rtf");
  WriteModule(
      "Public Sub BeforeConversion()\r\n"
      "    If InStr(ActiveDocument.Name, \"loop\") > 0 Then\r\n"
      "        Do\r\n"
      "        Loop\r\n"
      "    End If\r\n"
      "End Sub\r\n"
      "Public Sub AfterConversion()\r\nEnd Sub\r\n");
  h_.SetEnv("QUILLON_MACRO_TIME_LIMIT_MS", "1500");
  CliResult run = h_.Run({"/plugin", "/d:" + h_.Work("out"), h_.Work("in/*.rtf")});
  EXPECT_EQ(run.exit_code, 1) << ErrorLog();
  EXPECT_NE(ErrorLog().find("a_loop.rtf"), std::string::npos) << ErrorLog();
  EXPECT_FALSE(fs::exists(h_.Work("out/a_loop.txt")));
  EXPECT_TRUE(fs::exists(h_.Work("out/b_fine.txt")));
}

TEST_F(CliPluginTest, PluginSaveWritesRtfSourcesAndLeavesDocxAlone) {
  WriteFile(h_.Work("s.rtf"), "{\\rtf1\\ansi The sea is grey.\\par}");
  WriteModule(ReplacingModule("grey", "blue"));
  CliResult run = h_.Run({"/pluginsave", "/d:" + h_.Work("out"), h_.Work("s.rtf")});
  ASSERT_EQ(run.exit_code, 0) << ErrorLog();
  EXPECT_NE(ReadFile(h_.Work("out/s.txt")).find("The sea is blue."), std::string::npos);
  EXPECT_NE(ReadFile(h_.Work("s.rtf")).find("blue"), std::string::npos);
  EXPECT_EQ(ReadFile(h_.Work("s.rtf")).find("grey"), std::string::npos);

  h_.CopyCorpus("docx/kstriprtf__libreoffice-docx.docx", "d.docx");
  const std::string before = ReadFile(h_.Work("d.docx"));
  WriteModule(ReplacingModule("Dummy", "Smart"));
  run = h_.Run({"/pluginsave", "/d:" + h_.Work("out"), h_.Work("d.docx")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(ErrorLog().find("cannot write it back"), std::string::npos) << ErrorLog();
  EXPECT_EQ(ReadFile(h_.Work("d.docx")), before);
  EXPECT_FALSE(fs::exists(h_.Work("out/d.txt")));
}

TEST_F(CliPluginTest, PluginSaveOfAnUntouchedSourceLeavesItAndConverts) {
  // The converter fills in the missing title for the text it writes; that
  // is no change of the user's file, so a module that changes nothing
  // saves nothing and the conversion goes on.
  WriteModule(
      "Public Sub BeforeConversion()\r\n"
      "    Dim n: n = ActiveDocument.Paragraphs.Count\r\n"
      "End Sub\r\n"
      "Public Sub AfterConversion()\r\n"
      "End Sub\r\n");
  h_.CopyCorpus("docx/kstriprtf__libreoffice-docx.docx", "d.docx");
  WriteFile(h_.Work("p.html"), "<html><body><p>No title here.</p></body></html>");
  WriteFile(h_.Work("r.rtf"), "{\\rtf1\\ansi Untitled rich text.\\par}");
  const std::string docx = ReadFile(h_.Work("d.docx"));
  for (const char* name : {"d.docx", "p.html", "r.rtf"}) {
    CliResult run = h_.Run({"/pluginsave", "/d:" + h_.Work("out"), h_.Work(name)});
    EXPECT_EQ(run.exit_code, 0) << name << ": " << ErrorLog();
  }
  EXPECT_EQ(ErrorLog(), "");
  EXPECT_EQ(ReadFile(h_.Work("d.docx")), docx);
  EXPECT_EQ(ReadFile(h_.Work("p.html")), "<html><body><p>No title here.</p></body></html>");
  EXPECT_EQ(ReadFile(h_.Work("r.rtf")), "{\\rtf1\\ansi Untitled rich text.\\par}");
  EXPECT_NE(ReadFile(h_.Work("out/d.txt")).find("Dummy"), std::string::npos);
  EXPECT_NE(ReadFile(h_.Work("out/p.txt")).find("No title here."), std::string::npos);

  // A module that does change the HTML source fails it, and only it.
  WriteModule(ReplacingModule("title", "name"));
  CliResult run = h_.Run({"/pluginsave", "/d:" + h_.Work("out2"), h_.Work("p.html")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(ErrorLog().find("cannot write it back"), std::string::npos) << ErrorLog();
  EXPECT_EQ(ReadFile(h_.Work("p.html")), "<html><body><p>No title here.</p></body></html>");
  EXPECT_FALSE(fs::exists(h_.Work("out2/p.txt")));
  run = h_.Run({"/pluginsave", "/d:" + h_.Work("out2"), h_.Work("r.rtf")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(fs::exists(h_.Work("out2/r.txt")));
}

TEST_F(CliPluginTest, PrimaryHeadersOfCorpusFilesReachTheMacro) {
  WriteModule(
      "Public Sub BeforeConversion()\r\n"
      "    With ActiveDocument.Sections(1)\r\n"
      "        ActiveDocument.Content.InsertBefore \"[H:\" & "
      ".Headers(wdHeaderFooterPrimary).Range.Text & \"|F:\" & "
      ".Footers(wdHeaderFooterPrimary).Range.Text & \"]\"\r\n"
      "    End With\r\n"
      "End Sub\r\n"
      "Public Sub AfterConversion()\r\n"
      "End Sub\r\n");
  const std::pair<const char*, const char*> files[] = {
      {"rtf/tika__testRTFBoldPlain.rtf", "[H:Animal Hospital"},
      {"docx/unstr__handbook-1p.docx", "[H:US Trustee Handbook"},
      {"docx/pydocx__sct-first-page-hdrftr.docx", "[H:Default (odd, primary) Header"},
  };
  for (const auto& [corpus, expected] : files) {
    const std::string name = fs::path(corpus).filename().string();
    h_.CopyCorpus(corpus, name);
    CliResult run = h_.Run({"/plugin", "/d:" + h_.Work("out"), h_.Work(name)});
    ASSERT_EQ(run.exit_code, 0) << ErrorLog();
    const std::string text =
        ReadFile(h_.Work("out/" + fs::path(name).replace_extension(".txt").string()));
    EXPECT_NE(text.find(expected), std::string::npos) << corpus << ": " << text.substr(0, 300);
    // Without the module the header stays out of the text, as before.
    run = h_.Run({"/d:" + h_.Work("plain"), h_.Work(name)});
    ASSERT_EQ(run.exit_code, 0) << ErrorLog();
    const std::string plain =
        ReadFile(h_.Work("plain/" + fs::path(name).replace_extension(".txt").string()));
    EXPECT_EQ(plain.find(std::string(expected).substr(3)), std::string::npos) << corpus;
  }
}

}  // namespace
}  // namespace quillon::testing
