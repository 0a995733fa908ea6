#include "jobs/select_folder_model.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jobs/batch_driver.h"
#include "jobs/destination_naming.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

const std::string kSourceMessage = "Source File Path can not be empty!";
const std::string kDestinationMessage = "Destination File Path can not be empty!";

using Errors = std::vector<std::string>;

class SelectFolderOkTest : public ::testing::Test {
 protected:
  SelectFolderModel model_;
  SelectFolderFields& fields_ = model_.fields();
};

TEST_F(SelectFolderOkTest, AnEmptySourceWithSameFilePathGivesOnlyTheSourceMessage) {
  EXPECT_EQ(model_.OkErrors(), Errors{kSourceMessage});
  fields_.source_folder = "/data/in";
  EXPECT_EQ(model_.OkErrors(), Errors{});
}

TEST_F(SelectFolderOkTest, AnEmptySourceAndAnEmptyChosenFolderGiveBothMessagesInOrder) {
  fields_.specified_path = true;
  EXPECT_EQ(model_.OkErrors(), (Errors{kSourceMessage, kDestinationMessage}));
  fields_.same_tree = true;
  EXPECT_EQ(model_.OkErrors(), (Errors{kSourceMessage, kDestinationMessage}));
}

TEST_F(SelectFolderOkTest, TheSameTreeMarkerAloneIsNoDestination) {
  fields_.source_folder = "/data/in";
  model_.SetSameTree(true);
  ASSERT_EQ(model_.DestinationText(), SameFileTreeMarker());
  EXPECT_EQ(model_.OkErrors(), Errors{kDestinationMessage});
  // A pattern of "*" or blanks adds nothing, so it is still the marker alone.
  for (const char* pattern : {"*", "  *", "   ", ""}) {
    fields_.pattern = pattern;
    EXPECT_EQ(model_.OkErrors(), Errors{kDestinationMessage}) << '"' << pattern << '"';
  }
  fields_.dest_folder = "/data/out";
  EXPECT_EQ(model_.OkErrors(), Errors{});
}

TEST_F(SelectFolderOkTest, AFileNamePatternWithoutAFolderIsNoDestination) {
  // Such a row would name no folder for any of its files.
  fields_.source_folder = "/data/in";
  fields_.specified_path = true;
  fields_.pattern = "*_yyyy";
  EXPECT_EQ(model_.OkErrors(), Errors{kDestinationMessage});
  fields_.same_tree = true;
  EXPECT_EQ(model_.OkErrors(), Errors{kDestinationMessage});
  // Beside the sources a pattern alone is enough.
  fields_.specified_path = false;
  EXPECT_EQ(model_.OkErrors(), Errors{});
}

TEST(SelectFolderDestinationText, ComposesTheFolderChoiceThenThePattern) {
  SelectFolderModel model;
  SelectFolderFields& fields = model.fields();
  EXPECT_EQ(model.DestinationText(), "Same File Path");
  fields.dest_folder = "/data/out";  // typing alone chooses nothing
  EXPECT_EQ(model.DestinationText(), "Same File Path");
  fields.specified_path = true;
  EXPECT_EQ(model.DestinationText(), "/data/out");
  fields.same_tree = true;
  EXPECT_EQ(model.DestinationText(), "[With Same File Tree]/data/out");
  fields.pattern = "  *_yyyy";
  EXPECT_EQ(model.DestinationText(), "[With Same File Tree]/data/out[Specified File]*_yyyy");
  fields.specified_path = false;
  EXPECT_EQ(model.DestinationText(), "Same File Path[Specified File]*_yyyy");
}

TEST(SelectFolderDestinationText, TheStarPatternAddsNoSpecifiedFileMarker) {
  SelectFolderModel model;
  model.fields().specified_path = true;
  model.fields().dest_folder = "/data/out";
  for (const char* pattern : {"*", " *", ""}) {
    model.fields().pattern = pattern;
    EXPECT_EQ(model.DestinationText(), "/data/out") << '"' << pattern << '"';
  }
  model.fields().pattern = "**";
  EXPECT_EQ(model.DestinationText(), "/data/out[Specified File]**");
}

TEST(SelectFolderDestinationText, ASameTreeDestinationKeepsTheSubFoldersWhenNamed) {
  testing::TempDir dir;
  testing::ScriptedPrompter prompter;
  SelectFolderModel model;
  model.SetSameTree(true);
  model.fields().dest_folder = dir.File("out");
  std::string source = dir.File("in/sub/a.doc");
  std::string path = BuildDestinationPath(source, model.DestinationText(), dir.File("in"), ".txt");
  EXPECT_EQ(path, dir.File("out/sub/a.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("out/sub")));
  EXPECT_TRUE(prompter.shown().empty());
}

TEST(SelectFolderSameTree, CheckingOrUncheckingChoosesTheSpecifiedPath) {
  SelectFolderModel model;
  ASSERT_FALSE(model.fields().specified_path);
  model.SetSameTree(true);
  EXPECT_TRUE(model.fields().specified_path);
  EXPECT_TRUE(model.fields().same_tree);
  model.fields().specified_path = false;
  model.SetSameTree(false);
  EXPECT_TRUE(model.fields().specified_path);
  EXPECT_FALSE(model.fields().same_tree);
}

TEST(SelectFolderFilter, CommasAndSemicolonsSeparateTheSameMasks) {
  SelectFolderModel model;
  model.fields().filter_text = "*.doc,*.rtf";
  std::string with_comma = model.MaskText();
  model.fields().filter_text = "*.doc;*.rtf";
  EXPECT_EQ(model.MaskText(), with_comma);
  EXPECT_EQ(SplitMasks(with_comma), (std::vector<std::string>{"*.doc", "*.rtf"}));
  // Mixed, and a name with blanks stays one mask as typed.
  EXPECT_EQ(SplitMasks(MaskTextOfFilter("*.htm,*.html;my notes.txt")),
            (std::vector<std::string>{"*.htm", "*.html", "my notes.txt"}));
}

TEST(SelectFolderFilter, TheChoicesOfTheMainWindowSelectTheFirst) {
  SelectFolderModel model;
  model.fields().filter_text = "*.txt";
  model.SetFilterChoices({"*.doc;*.docx", "*.rtf"});
  EXPECT_EQ(model.fields().filter_text, "*.doc;*.docx");
}

TEST(BoxHistoryTest, NewTextsGoOnTopOnceWhateverTheirLetterCase) {
  BoxHistory history;
  history.Remember("/data/In");
  history.Remember("/data/out");
  history.Remember("/DATA/in");
  history.Remember("/data/out");
  history.Remember("");
  EXPECT_EQ(history.entries(), (std::vector<std::string>{"/data/out", "/data/In"}));
  // Letters beyond A to Z are compared without their case too.
  history.Remember("/Ärger/Ölfeld");
  history.Remember("/ärger/ölfeld");
  EXPECT_EQ(history.entries().size(), size_t{3});
  EXPECT_EQ(history.entries().front(), "/Ärger/Ölfeld");
}

}  // namespace
}  // namespace quillon
