// Command-line runs of the real program, with deletion of the sources on:
// a run converts, and deletes, exactly the files the user named, and never
// reports another file's text as its success.

#include <gtest/gtest.h>

#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

class CliNamedFilesTest : public CliRunTest {
 protected:
  void SetUp() override {
    CliRunTest::SetUp();
    WriteFile(h_.Home("set.ini"), "[Tarvell\\Quillon]\nDelete Source File After Conversion=1\n");
  }

  // A small rich-text document whose text is `word`.
  void MakeRtf(const std::string& relative, const std::string& word) const {
    WriteFile(h_.Work(relative), "{\\rtf1\\ansi\\deff0 " + word + "\\par}");
  }
  bool Has(const std::string& relative) const { return FileExists(h_.Work(relative)); }
  std::string Text(const std::string& relative) const { return ReadFile(h_.Work(relative)); }
  std::vector<std::string> Errors() const { return CliHarness::Lines(h_.Home("error.log")); }
};

TEST_F(CliNamedFilesTest, BracketsInANameAreOrdinaryCharacters) {
  MakeRtf("in/[a].rtf", "Bracketed");
  MakeRtf("in/a.rtf", "Plain");
  CliResult run = h_.Run({h_.Work("in/[a].rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_FALSE(Has("in/[a].rtf"));
  EXPECT_NE(Text("in/(a).txt").find("Bracketed"), std::string::npos);
  EXPECT_EQ(Text("in/a.rtf"), "{\\rtf1\\ansi\\deff0 Plain\\par}") << "a file nobody named";
  EXPECT_FALSE(Has("in/a.txt"));

  // A name with a blank and brackets is found too, and in a mask the
  // brackets stay characters of the name.
  MakeRtf("in/report [final].rtf", "Final");
  MakeRtf("in/x[b]y.rtf", "Set");
  MakeRtf("in/xby.rtf", "NoSet");
  run = h_.Run({h_.Work("in/report [final].rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(Text("in/report (final).txt").find("Final"), std::string::npos);
  run = h_.Run({h_.Work("in/x[b]*.rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_FALSE(Has("in/x[b]y.rtf"));
  EXPECT_TRUE(Has("in/xby.rtf"));
  EXPECT_FALSE(Has("in/xby.txt"));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CliNamedFilesTest, ANameWithoutWildcardsIsThatFileLetterCaseIncluded) {
  MakeRtf("in/r.rtf", "Lower");
  MakeRtf("in/R.rtf", "Upper");
  CliResult run = h_.Run({h_.Work("in/r.rtf")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_FALSE(Has("in/r.rtf"));
  EXPECT_NE(Text("in/r.txt").find("Lower"), std::string::npos);
  EXPECT_TRUE(Has("in/R.rtf")) << "a file nobody named was deleted";
  EXPECT_FALSE(Has("in/R.txt"));

  // A mask with a wildcard still ignores letter case.
  run = h_.Run({h_.Work("in/*.RTF")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(Text("in/R.txt").find("Upper"), std::string::npos);
}

TEST_F(CliNamedFilesTest, AMistypedOptionIsAnErrorAndConvertsNothing) {
  MakeRtf("in/a.rtf", "Kept");
  // Taken as a source, "/x" would be every *.doc file of the root folder.
  CliResult run = h_.Run({h_.Work("in/a.rtf"), "/x"});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(Errors(), (std::vector<std::string>{"Error, unknown option /x"}));
  EXPECT_TRUE(Has("in/a.rtf"));
  EXPECT_FALSE(Has("in/a.txt"));

  // Each one is counted; an upper-case start mode is no start mode.
  run = h_.Run({"/MIN", "/s", "/Q", h_.Work("in/*.rtf")});
  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_EQ(Errors(),
            (std::vector<std::string>{"Error, unknown option /MIN", "Error, unknown option /Q"}));
  EXPECT_TRUE(Has("in/a.rtf"));
  EXPECT_FALSE(Has("in/a.txt"));
}

TEST_F(CliNamedFilesTest, ABracketFreeCopyThatCannotBeMadeFailsTheConversion) {
  // The plain name is the user's other file, and "~1~" in front makes the
  // name too long for the file system: no copy can be made.
  const std::string x(248, 'x');
  const std::string source = "in/[" + x + "].rtf";
  const std::string other = "in/(" + x + ").rtf";
  MakeRtf(source, "Mine");
  MakeRtf(other, "Theirs");
  CliResult run = h_.Run({h_.Work(source)});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  std::vector<std::string> errors = Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Can not make a copy of " + h_.Work(source) + " without brackets"),
            std::string::npos)
      << errors[0];
  EXPECT_TRUE(Has(source)) << "a failed conversion deleted its source";
  EXPECT_EQ(Text(other), "{\\rtf1\\ansi\\deff0 Theirs\\par}");
  EXPECT_FALSE(Has("in/(" + x + ").txt")) << "the other file's text was reported as a success";
}

TEST_F(CliNamedFilesTest, BlanksAtTheEndOfANameBelongToIt) {
  MakeRtf("in/t.rtf ", "Blank");
  MakeRtf("in/t.rtf", "Other");
  CliResult run = h_.Run({h_.Work("in/t.rtf ")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_FALSE(Has("in/t.rtf "));
  EXPECT_TRUE(Has("in/t.rtf"));
  std::string text = Text("in/t.txt");
  EXPECT_NE(text.find("Blank"), std::string::npos) << text;
  EXPECT_EQ(text.find("Other"), std::string::npos) << text;
}

}  // namespace
}  // namespace quillon::testing
