// The command-line grammar, read without running anything.

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "jobs/destination_naming.h"

namespace quillon {
namespace {

class CliGrammarTest : public ::testing::Test {
 protected:
  CliGrammarTest() { formats_.Fill(); }

  CommandLineRequest Parse(const std::vector<std::string>& args) {
    CommandLineRequest start;
    start.format_index = 1;
    start.options.text_delimited_index = -1;
    return ParseCommandLine(args, formats_, start, "/work");
  }

  DestinationFormatTable formats_;
};

TEST_F(CliGrammarTest, SourceArgumentsGiveAFolderAndAMask) {
  std::string folder, mask;
  SplitSourceArgument("docs/", "/work", folder, mask);
  EXPECT_EQ(folder, "/work/docs/");
  EXPECT_EQ(mask, "*.doc");
  SplitSourceArgument("/data/in/*.rtf;*.DOCX", "/work/", folder, mask);
  EXPECT_EQ(folder, "/data/in/");
  EXPECT_EQ(mask, "*.rtf;*.DOCX");
  SplitSourceArgument("Report.Doc", "/work", folder, mask);
  EXPECT_EQ(folder, "/work/");
  EXPECT_EQ(mask, "Report.Doc");
  SplitSourceArgument("letters", "/", folder, mask);
  EXPECT_EQ(folder, "/");
  EXPECT_EQ(mask, "*.doc");
}

TEST_F(CliGrammarTest, OptionNamesIgnoreCaseValuesKeepItAndTheLastOneCounts) {
  CommandLineRequest request =
      Parse({"/F:3", "/f:-3", "/P:Secret Word", "/D:Out Dir", "/DFN:*_YYYY", "/E:Temp;Old", "/S",
             "/PLUGINSAVE", "/t:0x2", "/SR:4", "/prf:2", "/PRT:5", "first/*.rtf", "Second/*.Doc",
             "/min", "-Embedding", "/h"});
  EXPECT_FALSE(request.ended_early());
  EXPECT_EQ(request.format_index, 5);
  EXPECT_EQ(request.options.open_password, "Secret Word");
  EXPECT_EQ(request.destination_folder, "Out Dir");
  EXPECT_EQ(request.DestinationText(), "Out Dir" + SpecifiedFileMarker() + "*_YYYY");
  EXPECT_EQ(request.exclude_words, "Temp;Old");
  EXPECT_TRUE(request.sub_folders);
  EXPECT_TRUE(request.options.plugin_save);
  EXPECT_EQ(request.options.text_delimited_index, 2);
  EXPECT_TRUE(request.options.sheet_range_appointed);
  EXPECT_EQ(request.options.appointed_sheet, 4);
  EXPECT_TRUE(request.options.page_range_from_to);
  EXPECT_EQ(request.options.page_from, 2);
  EXPECT_EQ(request.options.page_to, 5);
  // The start modes are no source; of the sources the last one counts.
  EXPECT_EQ(request.source_folder, "/work/Second/");
  EXPECT_EQ(request.mask, "*.Doc");
  EXPECT_FALSE(request.show_help);
}

TEST_F(CliGrammarTest, DefaultsAndTheTwoMistakesThatEndTheReading) {
  CommandLineRequest request = Parse({"/f:", "/t:7"});
  EXPECT_EQ(request.format_index, 0);  // an empty code: the first format
  EXPECT_EQ(request.options.text_delimited_index, -1);
  EXPECT_EQ(request.DestinationText(), SameFilePathMarker());
  EXPECT_EQ(request.source_folder, "");

  request = Parse({"/f:4", "/f:2x", "/s", "/e:never"});
  EXPECT_EQ(request.errors,
            (std::vector<std::string>{"Error, File Format 2x do not exist!",
                                      "Error, Can not get Destination File Format!"}));
  // Read up to the mistake, no further.
  EXPECT_EQ(request.format_index, 2);
  EXPECT_FALSE(request.sub_folders);

  request = Parse({"/t:3", "/t:three", "/s"});
  EXPECT_EQ(
      request.errors,
      (std::vector<std::string>{"Error, Source Text File Delimited Format must be integer!"}));
  EXPECT_EQ(request.options.text_delimited_index, 3);
  EXPECT_FALSE(request.sub_folders);

  request = Parse({"/prt:last"});
  EXPECT_EQ(request.errors,
            (std::vector<std::string>{"Error, /prt: must be followed by an integer!"}));

  // A "/" word that names no existing path is a mistyped option, however
  // many follow; an existing one is a source like any other.
  request = Parse({"/work/a.rtf", "/x", "/MIN", "/dev"});
  EXPECT_EQ(request.errors,
            (std::vector<std::string>{"Error, unknown option /x", "Error, unknown option /MIN"}));
  EXPECT_EQ(request.source_folder, "/");
  EXPECT_EQ(request.mask, "*.doc");

  // So is a "-" word: taken as a source, "--verbose" would be the *.doc
  // files of the current folder. An existing path is still a source.
  request = Parse({"--verbose", "-x", "/dev/null", "--Report=Run.jsonl"});
  EXPECT_EQ(request.errors, (std::vector<std::string>{"Error, unknown option --verbose",
                                                      "Error, unknown option -x"}));
  EXPECT_EQ(request.source_folder, "/dev/");
  EXPECT_EQ(request.report_path, "Run.jsonl");
  request = Parse({"--report=", "/s"});
  EXPECT_EQ(request.errors,
            (std::vector<std::string>{"Error, --report= must be followed by a file name!"}));
  EXPECT_FALSE(request.sub_folders);

  request = Parse({"/ef:Words.txt", "/?"});
  EXPECT_TRUE(request.exclude_file_given);
  EXPECT_EQ(request.exclude_file, "Words.txt");
  EXPECT_TRUE(request.show_help);
}

}  // namespace
}  // namespace quillon
