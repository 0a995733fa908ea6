#include "jobs/batch_driver.h"

#include <gtest/gtest.h>

#include "engine/engine_dispatch.h"
#include "jobs/destination_naming.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class RecordingLog : public BatchLog {
 public:
  void AddLogLine(const std::string& line) override { lines.push_back(line); }
  void ReportError(const std::string& message) override {
    errors.push_back(message);
    lines.push_back("12:00:00   " + message);
  }
  void WriteLogFiles() override { ++writes; }
  void ClearBatchErrors() override { errors.clear(); }
  std::vector<std::string> BatchErrors() override { return errors; }
  std::string TimeText() override { return "12:00:00"; }

  std::vector<std::string> lines;
  std::vector<std::string> errors;
  int writes = 0;
};

struct Conversion {
  std::string source;
  std::string destination;
  std::string code;
  std::string block;
};

class BatchDriverTest : public ::testing::Test {
 protected:
  BatchDriverTest() : driver_(log_) {
    driver_.SetEnsureWordFunction([](std::string&) { return true; });
    driver_.SetFileLockedFunction([](const std::string&) { return false; });
    driver_.SetChoicesSource([this] { return choices_; });
    // Writes the source's content as the "text"; sources named bad* fail.
    driver_.SetConvertFunction([this](const std::string& source, const std::string& destination,
                                      const std::string& code, const std::string& block,
                                      std::string& error) {
      conversions_.push_back({source, destination, code, block});
      if (NamePart(source).rfind("bad", 0) == 0) {
        error = "cannot read " + NamePart(source);
        return false;
      }
      if (NamePart(source).rfind("throw", 0) == 0) {
        throw std::runtime_error("the server went away");
      }
      WriteFile(destination, ReadFile(source));
      return true;
    });
  }

  std::string In(const std::string& relative) { return dir_.File("in/" + relative); }
  std::string Out(const std::string& relative) { return dir_.File("out/" + relative); }
  void Make(const std::string& relative) { WriteFile(In(relative), relative); }
  std::vector<std::string> Sources() const {
    std::vector<std::string> sources;
    for (const Conversion& c : conversions_) {
      sources.push_back(c.source.substr(dir_.path().size() + 4));
    }
    return sources;
  }

  TempDir dir_;
  RecordingLog log_;
  BatchDriver driver_;
  BatchChoices choices_;
  std::vector<Conversion> conversions_;
  ManualList list_;
};

TEST_F(BatchDriverTest, FolderRowWalksMasksThenSubFoldersInAlphabeticalOrder) {
  for (const char* name :
       {"b.doc", "a.DOC", "c.rtf", "~$a.doc", "notes.txt", "sub b/x.doc", "sub/y.doc",
        "sub/deeper/z.doc", "sub/deeper/w.rtf", "Temp/t.doc", "sub a/v.doc"}) {
    Make(name);
  }
  ASSERT_TRUE(AddFileRow(list_.list(), true, dir_.File("in"), true, "temp", "*.doc;*.rtf",
                         dir_.File("out")));
  ASSERT_TRUE(driver_.RunBatch(list_));

  // Per mask: the folder first, then every sub-folder (pending ones taken in
  // alphabetical order), the "~" file skipped, the excluded folder skipped.
  EXPECT_EQ(Sources(),
            (std::vector<std::string>{"a.DOC", "b.doc", "sub a/v.doc", "sub b/x.doc", "sub/y.doc",
                                      "sub/deeper/z.doc", "c.rtf", "sub/deeper/w.rtf"}));
  // The tree below the row's folder is kept below the destination folder.
  EXPECT_EQ(ReadFile(Out("sub/deeper/z.txt")), "sub/deeper/z.doc");
  EXPECT_EQ(ReadFile(Out("a.txt")), "a.DOC");
  EXPECT_FALSE(FileExists(Out("Temp")));
  EXPECT_TRUE(log_.errors.empty());
  ASSERT_EQ(log_.lines.size(), 8u);
  EXPECT_EQ(log_.lines[0],
            "12:00:00        successfully convert " + In("a.DOC") + " to " + Out("a.txt"));
  EXPECT_EQ(conversions_[0].code, "2");
  EXPECT_EQ(conversions_[0].block, "\r\ntextdelimit=0\r\n\r\n");
  EXPECT_EQ(log_.writes, 1);
}

TEST_F(BatchDriverTest, WithoutSubFoldersOnlyTheFolderItselfAndAnEmptySearchIsAnError) {
  Make("one.doc");
  Make("sub/two.doc");
  Make("three.rtf");
  ASSERT_TRUE(
      AddFileRow(list_.list(), true, dir_.File("in"), false, "", "*.doc", "Same File Path"));
  ASSERT_TRUE(
      AddFileRow(list_.list(), true, dir_.File("in") + "/", false, "", "*.html", "Same File Path"));
  driver_.RunBatch(list_);
  EXPECT_EQ(Sources(), (std::vector<std::string>{"one.doc"}));
  EXPECT_TRUE(FileExists(In("one.txt")));
  EXPECT_EQ(log_.errors,
            (std::vector<std::string>{"Error, Can not convert " + In("") +
                                      "*.html! Error Reason is \"can not find files\""}));
}

TEST_F(BatchDriverTest, TheRecoverSwitchIsReadBeforeEveryFileOfAFolderRow) {
  Make("a.doc");
  Make("b.doc");
  Make("c.doc");
  ASSERT_TRUE(
      AddFileRow(list_.list(), true, dir_.File("in"), false, "", "*.doc", "Same File Path"));
  // The user ticks the box while the first file converts, and clears it
  // while the second does.
  std::vector<bool> seen;
  driver_.SetConvertFunction([&](const std::string&, const std::string&, const std::string&,
                                 const std::string&, std::string&) {
    seen.push_back(engine::RecoverAnyTypeFlag());
    choices_.options.recover_any_type = seen.size() == 1;
    return true;
  });
  engine::SetRecoverAnyTypeFlag(false);
  driver_.RunBatch(list_);
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));
  engine::SetRecoverAnyTypeFlag(false);
}

TEST_F(BatchDriverTest, FileRowsInListOrderFailuresReportedAndUncheckedRowsSkipped) {
  Make("first.doc");
  Make("bad.doc");
  Make("skipped.doc");
  Make("throw.doc");
  Make("last.rtf");
  for (const char* name : {"first.doc", "bad.doc", "skipped.doc", "throw.doc", "last.rtf"}) {
    ASSERT_TRUE(AddFileRow(list_.list(), true, In(name), false, "", "", dir_.File("out")));
  }
  list_.list().SetChecked(2, false);
  choices_.format_code = "-3";
  choices_.format_index = 5;
  driver_.RunBatch(list_);
  EXPECT_EQ(Sources(), (std::vector<std::string>{"first.doc", "bad.doc", "throw.doc", "last.rtf"}));
  EXPECT_EQ(conversions_[0].code, "-3");
  EXPECT_EQ(
      log_.errors,
      (std::vector<std::string>{
          "Error, Can not convert " + In("bad.doc") + "! Error Reason is cannot read bad.doc",
          "Error, Can not convert " + In("throw.doc") + "! Error Reason is the server went away"}));
  EXPECT_TRUE(FileExists(Out("last.txt")));

  // A new batch starts with no errors.
  list_.list().SetChecked(1, false);
  list_.list().SetChecked(3, false);
  driver_.RunBatch(list_);
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(BatchDriverTest, SourceDeletedOnlyAfterSuccessAndAfterTheLockIsGone) {
  Make("good.doc");
  Make("bad.doc");
  Make("held.doc");
  choices_.delete_source = true;
  int locked_checks = 0;
  driver_.SetFileLockedFunction([&](const std::string& path) {
    if (NamePart(path) != "held.doc") {
      return false;
    }
    // In use for the first three looks.
    return ++locked_checks <= 3;
  });
  driver_.SetLockWait(std::chrono::milliseconds(5000), std::chrono::milliseconds(1));
  for (const char* name : {"good.doc", "bad.doc", "held.doc"}) {
    ASSERT_TRUE(AddFileRow(list_.list(), true, In(name), false, "", "", "Same File Path"));
  }
  driver_.RunBatch(list_);
  EXPECT_FALSE(FileExists(In("good.doc")));
  EXPECT_TRUE(FileExists(In("good.txt")));
  EXPECT_TRUE(FileExists(In("bad.doc")));
  EXPECT_FALSE(FileExists(In("held.doc")));
  EXPECT_EQ(locked_checks, 4);
  EXPECT_EQ(log_.errors.size(), 1u);
}

TEST_F(BatchDriverTest, ALockThatStaysIsWaitedOutAndAFailedDeletionFailsTheConversion) {
  Make("stuck.doc");
  choices_.delete_source = true;
  driver_.SetFileLockedFunction([](const std::string&) { return true; });
  driver_.SetLockWait(std::chrono::milliseconds(30), std::chrono::milliseconds(5));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(driver_.ConvertOne(In("stuck.doc"), Out("stuck.txt"), "", "2"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_FALSE(FileExists(In("stuck.doc")));

  // The source vanished meanwhile: the deletion fails and so does the step.
  driver_.SetConvertFunction([](const std::string& source, const std::string& destination,
                                const std::string&, const std::string&, std::string&) {
    std::remove(source.c_str());
    WriteFile(destination, "text");
    return true;
  });
  Make("gone.doc");
  EXPECT_FALSE(driver_.ConvertOne(In("gone.doc"), Out("gone.txt"), "", "2"));
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0], "Error, Can not convert " + In("gone.doc") +
                                "! Error Reason is Can not delete " + In("gone.doc") +
                                ", error reason is No such file or directory");
}

TEST_F(BatchDriverTest, ASourceIsDeletedOnlyOnceItsTextIsOnDisk) {
  choices_.delete_source = true;
  // A word processor that says it saved but left no file behind.
  driver_.SetConvertFunction([](const std::string&, const std::string&, const std::string&,
                                const std::string&, std::string&) { return true; });
  Make("unsaved.doc");
  EXPECT_FALSE(driver_.ConvertOne(In("unsaved.doc"), Out("unsaved.txt"), "", "2"));
  EXPECT_TRUE(FileExists(In("unsaved.doc")));
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0], "Error, Can not convert " + In("unsaved.doc") +
                                "! Error Reason is Can not delete " + In("unsaved.doc") +
                                ", error reason is " + Out("unsaved.txt") +
                                " is not safely on disk: No such file or directory");

  // Brackets in the name: the text lands under the name with parentheses,
  // and that is the file that must be there.
  driver_.SetConvertFunction([](const std::string&, const std::string& destination,
                                const std::string&, const std::string&, std::string&) {
    WriteFile(engine::WrittenDestinationPath(destination), "text");
    return true;
  });
  Make("report [1].doc");
  EXPECT_TRUE(driver_.ConvertOne(In("report [1].doc"), Out("report [1].txt"), "", "2"));
  EXPECT_FALSE(FileExists(In("report [1].doc")));
  EXPECT_EQ(ReadFile(Out("report (1).txt")), "text");
}

TEST_F(BatchDriverTest, AResultWrittenOverItsOwnSourceIsNeverDeleted) {
  Make("notes.txt");
  choices_.delete_source = true;
  EXPECT_TRUE(driver_.ConvertOne(In("notes.txt"), In("notes.txt"), "", "2"));
  EXPECT_TRUE(FileExists(In("notes.txt")));
}

TEST_F(BatchDriverTest, AStopRequestAsksBeforeTheNextFileOfAFolderRow) {
  testing::ScriptedPrompter prompter;
  for (const char* name : {"a/1.doc", "a/2.doc", "a/3.doc", "b/1.doc", "b/2.doc"}) {
    Make(name);
  }
  ASSERT_TRUE(AddFileRow(list_.list(), true, In("a"), false, "", "*.doc", dir_.File("out")));
  ASSERT_TRUE(AddFileRow(list_.list(), true, In("b"), false, "", "*.doc", dir_.File("out")));
  // A click during the first file; "No" goes on. A click during the second;
  // "Yes" ends row a; the request stays, so row b asks again: "No".
  int converted = 0;
  driver_.SetConvertFunction([&](const std::string& source, const std::string&, const std::string&,
                                 const std::string&, std::string&) {
    conversions_.push_back({source, "", "", ""});
    if (++converted <= 2) {
      driver_.RequestStop();
    }
    return true;
  });
  prompter.QueueAnswer(PromptAnswer::kNo);
  prompter.QueueAnswer(PromptAnswer::kYes);
  prompter.QueueAnswer(PromptAnswer::kNo);
  driver_.RunBatch(list_);
  EXPECT_EQ(Sources(), (std::vector<std::string>{"a/1.doc", "a/2.doc", "b/1.doc", "b/2.doc"}));
  ASSERT_EQ(prompter.shown().size(), 3u);
  EXPECT_EQ(prompter.shown()[0].text, "Do you want to stop this conversion?");
  EXPECT_EQ(prompter.shown()[0].caption, "Confirm");
}

TEST_F(BatchDriverTest, TheConvertActionEndsWithOneMessage) {
  testing::ScriptedPrompter prompter;
  // An empty list still checks the word processor and completes.
  driver_.ConvertAction(list_);
  EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"OK, Convert Complete!"}));

  Make("bad1.doc");
  Make("bad2.doc");
  ASSERT_TRUE(AddFileRow(list_.list(), true, In("bad1.doc"), false, "", "", "Same File Path"));
  ASSERT_TRUE(AddFileRow(list_.list(), true, In("bad2.doc"), false, "", "", "Same File Path"));
  prompter.Clear();
  driver_.ConvertAction(list_);
  EXPECT_EQ(prompter.texts(),
            (std::vector<std::string>{"Can not Convert, error reason is \"" + log_.errors[0] +
                                      "\n" + log_.errors[1] + "\""}));

  // What escapes the batch is reported, and the message still comes.
  driver_.SetEnsureWordFunction([](std::string&) -> bool { throw std::runtime_error("gone"); });
  prompter.Clear();
  driver_.ConvertAction(list_);
  EXPECT_EQ(log_.errors,
            (std::vector<std::string>{"Can not batch conversion, error reason is gone"}));
  EXPECT_EQ(prompter.texts().size(), 1u);
}

TEST_F(BatchDriverTest, AWordProcessorThatDoesNotAnswerEndsTheBatchBeforeTheFirstRow) {
  Make("a.doc");
  ASSERT_TRUE(AddFileRow(list_.list(), true, In("a.doc"), false, "", "", "Same File Path"));
  driver_.SetEnsureWordFunction([](std::string& error) {
    error = "Can not load the word processor";
    return false;
  });
  EXPECT_FALSE(driver_.RunBatch(list_));
  EXPECT_TRUE(conversions_.empty());
  EXPECT_EQ(log_.errors, (std::vector<std::string>{"Can not load the word processor"}));
}

}  // namespace
}  // namespace quillon
