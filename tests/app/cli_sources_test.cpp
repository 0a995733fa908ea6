// Command-line runs of the real program: which files a source argument, the
// sub-folder switch and the exclude words select, and in which order.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

class CliSourcesTest : public CliRunTest {
 protected:
  // in/: a .doc, a .docx, an .rtf and an .html file; sub-folders "b" and
  // "a" (with "a/deep"), each with a .doc; a "Drafts" folder; a "~" file.
  static void MakeTree(const CliHarness& h) {
    h.CopyCorpus("doc/unstr__simple.doc", "in/simple.doc");
    h.CopyCorpus("docx/pandoc__lists.docx", "in/lists.docx");
    h.CopyCorpus("rtf/jstriprtf__hello.rtf", "in/hello.rtf");
    h.CopyCorpus("html/tika__testHTML.html", "in/page.html");
    h.CopyCorpus("doc/unstr__simple.doc", "in/b/second.doc");
    h.CopyCorpus("doc/unstr__simple.doc", "in/a/first.doc");
    h.CopyCorpus("doc/unstr__simple.doc", "in/a/deep/third.doc");
    h.CopyCorpus("doc/unstr__simple.doc", "in/Drafts/old.doc");
    h.CopyCorpus("doc/unstr__simple.doc", "in/~$simple.doc");
  }

  // The sources of the success lines of the day log, in order, relative to
  // the working folder.
  std::vector<std::string> ConvertedInOrder() {
    std::vector<std::string> sources;
    for (const std::string& log : h_.DayLogs()) {
      for (const std::string& line : CliHarness::Lines(log)) {
        size_t at = line.find("        successfully convert ");
        if (at == std::string::npos) {
          continue;
        }
        std::string rest = line.substr(at + 29);
        std::string source = rest.substr(0, rest.find(" to "));
        sources.push_back(source.substr(h_.Work().size()));
      }
    }
    return sources;
  }
};

TEST_F(CliSourcesTest, MasksChooseTheFilesAndSubFoldersFollowInAlphabeticalOrder) {
  MakeTree(h_);
  // Several masks, sub-folders on, results into a folder of their own.
  CliResult run = h_.Run({"/s", "/d:" + h_.Work("out"), h_.Work("in/*.doc;*.rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "");
  // Per mask: the folder's own files, then the sub-folders in alphabetical
  // order of their paths (letter case aside), each before its own
  // sub-folders; "~" files never.
  EXPECT_EQ(ConvertedInOrder(),
            (std::vector<std::string>{"in/simple.doc", "in/a/first.doc", "in/a/deep/third.doc",
                                      "in/b/second.doc", "in/Drafts/old.doc", "in/hello.rtf"}));
  EXPECT_EQ(CliHarness::FilesBelow(h_.Work("out")),
            (std::vector<std::string>{"Drafts/old.txt", "a/deep/third.txt", "a/first.txt",
                                      "b/second.txt", "hello.txt", "simple.txt"}));
  EXPECT_NE(ReadFile(h_.Work("out/a/first.txt")).find("favorite things"), std::string::npos);
  EXPECT_NE(ReadFile(h_.Work("out/hello.txt")).find("Hello"), std::string::npos);
}

TEST_F(CliSourcesTest, AFolderWithoutMaskMeansItsDocFilesAndTheResultsLandBesideThem) {
  MakeTree(h_);
  // A trailing "/" and no mask: the *.doc files of that folder only.
  CliResult run = h_.Run({"in/"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ConvertedInOrder(), (std::vector<std::string>{"in/simple.doc"}));
  EXPECT_TRUE(FileExists(h_.Work("in/simple.txt")));
  EXPECT_FALSE(FileExists(h_.Work("in/a/first.txt")));

  // One file named: that file, whatever its type.
  run = h_.Run({"in/lists.docx"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(ReadFile(h_.Work("in/lists.txt")).find("Some nested lists"), std::string::npos);

  // A folder named without "/" is a name without a dot: the *.doc files of
  // the folder it lies in.
  run = h_.RunIn(h_.Work("in/a"), {"deep"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(FileExists(h_.Work("in/a/first.txt")));
  EXPECT_FALSE(FileExists(h_.Work("in/a/deep/third.txt")));

  // A mask that matches nothing is one error.
  run = h_.Run({"in/*.wpd"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(CliHarness::Lines(h_.Home("error.log")),
            (std::vector<std::string>{"Error, Can not convert " + h_.Work("in/") +
                                      "*.wpd! Error Reason is \"can not find files\""}));
}

TEST_F(CliSourcesTest, ExcludeWordsFromTheCommandLineOrAFileSkipMatchingPaths) {
  MakeTree(h_);
  CliResult run = h_.Run({"/s", "/e:drafts;DEEP", "/d:out", h_.Work("in/*.doc")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(ConvertedInOrder(),
            (std::vector<std::string>{"in/simple.doc", "in/a/first.doc", "in/b/second.doc"}));
  // A relative "/d:" lies in the current folder.
  EXPECT_EQ(CliHarness::FilesBelow(h_.Work("out")),
            (std::vector<std::string>{"a/first.txt", "b/second.txt", "simple.txt"}));

  // "/ef:": a file with a byte-order mark and one word a line; it replaces
  // the "/e:" words.
  CliHarness second;
  MakeTree(second);
  WriteFile(second.Work("exclude.txt"), "\xEF\xBB\xBFsimple\r\nsecond\r\n");
  run = second.Run(
      {"/s", "/e:first", "/ef:" + second.Work("exclude.txt"), "/d:out", second.Work("in/*.doc")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(CliHarness::FilesBelow(second.Work("out")),
            (std::vector<std::string>{"Drafts/old.txt", "a/deep/third.txt", "a/first.txt"}));
}

TEST_F(CliSourcesTest, NoSourceAMissingFolderAndTheHelpConvertNothing) {
  // No source at all: the empty path is missing; nothing to convert, no error.
  CliResult run = h_.Run({"/f:2"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.err.find("Error, \"\" is not exists!"), std::string::npos) << run.err;

  run = h_.Run({h_.Work("nowhere/*.doc")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.err.find("Error, \"" + h_.Work("nowhere/") + "\" is not exists!"),
            std::string::npos)
      << run.err;

  // "/?" among other options: no display here, so the help page's location
  // is written to standard error; nothing is converted.
  h_.CopyCorpus("doc/unstr__simple.doc", "in/simple.doc");
  run = h_.Run({"/s", "/?", h_.Work("in/")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.err.find("file://" + CliHarness::BinDir() + "/help.htm#Faq"), std::string::npos)
      << run.err;
  EXPECT_FALSE(FileExists(h_.Work("in/simple.txt")));
  EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace quillon::testing
