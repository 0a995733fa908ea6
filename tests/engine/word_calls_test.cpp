// The object-model calls of a conversion, checked call by call against a
// recording object: names, order, argument kinds and named arguments.

#include "engine/word_calls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/word_connection.h"
#include "tests/support/recording_object.h"

namespace quillon::engine {
namespace {

using automation::AutomationError;
using automation::CallKind;
using automation::Variant;
using quillon::testing::RecordingObject;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class WordCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = std::make_shared<RecordingObject>("app");
    documents_ = app_->Child("Documents");
    doc_ = documents_->Child("Open", CallKind::kMethod);
  }
  void TearDown() override { SetDialogWatchHooks(nullptr, nullptr); }

  std::vector<std::string> Lines() const { return app_->log()->Lines(); }

  std::shared_ptr<RecordingObject> app_, documents_, doc_;
};

TEST_F(WordCallsTest, OpenSwitchesAlertsOffWatchesAndPassesNamedArguments) {
  std::vector<std::string> events;
  DialogWatchRequest seen;
  SetDialogWatchHooks(
      [&](const DialogWatchRequest& request) {
        seen = request;
        events.push_back("start after " + std::to_string(app_->log()->calls.size()));
      },
      [&] { events.push_back("stop after " + std::to_string(app_->log()->calls.size())); });

  automation::ObjectPtr document = OpenDocument(*app_, "/in/a.doc", true, "pw", false);

  EXPECT_EQ(document.get(), doc_.get());
  EXPECT_THAT(Lines(), ElementsAre("app put DisplayAlerts(bool false)", "app get Documents",
                                   "app.Documents method Open(FileName=text \"/in/a.doc\", "
                                   "ReadOnly=bool true, PasswordDocument=text \"pw\")"));
  // The watcher runs exactly around the open call.
  EXPECT_THAT(events, ElementsAre("start after 1", "stop after 3"));
  EXPECT_EQ(seen.window_program, "quillon-engine");
  EXPECT_EQ(seen.window_title, "WordPerfect");
  EXPECT_EQ(seen.macro, "button#1");
  EXPECT_EQ(seen.time_limit_ms, 60000u);
}

TEST_F(WordCallsTest, OpenWithRecoveryAddsFormat20AndSurvivesAlertFailure) {
  app_->Throws(CallKind::kPut, "DisplayAlerts", "not now");
  OpenDocument(*app_, "/in/b.rtf", false, "", true);
  EXPECT_EQ(Lines().back(),
            "app.Documents method Open(FileName=text \"/in/b.rtf\", ReadOnly=bool false, "
            "PasswordDocument=text \"\", Format=int 20)");
}

TEST_F(WordCallsTest, FailedOpenStopsTheWatcherAndPassesTheMessageOn) {
  documents_->Throws(CallKind::kMethod, "Open", "The file is corrupt.");
  int stops = 0;
  SetDialogWatchHooks([](const DialogWatchRequest&) {}, [&] { ++stops; });
  try {
    OpenDocument(*app_, "/in/c.doc", true, "x", false);
    FAIL() << "open should fail";
  } catch (const AutomationError& e) {
    EXPECT_STREQ(e.what(), "The file is corrupt.");
  }
  EXPECT_EQ(stops, 1);
}

TEST_F(WordCallsTest, DocumentCallsUseTheObjectModelsNamesAndKinds) {
  UnprotectDocument(*doc_, "secret");
  SaveAsText(*doc_, "/out/a.txt", 3);
  SaveDocument(*doc_);
  CloseDocument(*doc_);
  QuitWord(*app_);
  RunWordMacro(*app_, "BeforeConversion");
  const std::string d = "app.Documents.Open";
  EXPECT_THAT(Lines(),
              ElementsAre(d + " method UnProtect(text \"secret\")",
                          d + " method SaveAs(FileName=text \"/out/a.txt\", FileFormat=int 3)",
                          d + " method Save", d + " method Close(SaveChanges=int 0)",
                          "app method Quit", "app method Run(text \"BeforeConversion\")"));
}

TEST_F(WordCallsTest, ImportAndRemoveTheMacroModule) {
  auto component =
      doc_->Child("VBProject")->Child("VBComponents")->Child("Import", CallKind::kMethod);
  auto project = app_->Child("VBE")->Child("ActiveVBProject")->Child("VBComponents");

  automation::ObjectPtr imported = ImportMacroModule(*doc_, "/opt/quillon/plugin.bas");
  EXPECT_EQ(imported.get(), component.get());
  RemoveMacroModule(*app_, imported);

  const std::string d = "app.Documents.Open";
  EXPECT_THAT(Lines(), ElementsAre(d + " get VBProject", d + ".VBProject get VBComponents",
                                   d + ".VBProject.VBComponents method Import(text "
                                       "\"/opt/quillon/plugin.bas\")",
                                   "app get VBE", "app.VBE get ActiveVBProject",
                                   "app.VBE.ActiveVBProject get VBComponents",
                                   "app.VBE.ActiveVBProject.VBComponents method remove(object " +
                                       d + ".VBProject.VBComponents.Import)"));
}

TEST_F(WordCallsTest, TitleIsSetToTheFileNameOnlyWhenEmpty) {
  auto property = doc_->Child("BuiltInDocumentProperties");
  // A document with unsaved changes keeps them unsaved.
  doc_->Returns(CallKind::kGet, "Saved", Variant(false));
  SetTitleIfEmpty(*doc_, "/in/sub dir/Report 1.doc", true);
  const std::string d = "app.Documents.Open";
  const std::string p = d + ".BuiltInDocumentProperties";
  EXPECT_THAT(Lines(),
              ElementsAre(d + " get BuiltInDocumentProperties(text \"title\")", p + " get value",
                          d + " get Saved", d + " get BuiltInDocumentProperties(text \"title\")",
                          p + " put value(text \"Report 1.doc\")"));

  // A saved document stays saved: the title is no change of the user's.
  app_->log()->Clear();
  property->Returns(CallKind::kGet, "value", Variant(""));
  doc_->Returns(CallKind::kGet, "Saved", Variant(true));
  SetTitleIfEmpty(*doc_, "/in/a.doc", true);
  EXPECT_THAT(Lines(),
              ElementsAre(d + " get BuiltInDocumentProperties(text \"title\")", p + " get value",
                          d + " get Saved", d + " get BuiltInDocumentProperties(text \"title\")",
                          p + " put value(text \"a.doc\")", d + " put Saved(bool true)"));

  // When the document will not be saved, its saved state is not asked for.
  app_->log()->Clear();
  property->Returns(CallKind::kGet, "value", Variant(""));
  SetTitleIfEmpty(*doc_, "/in/b.doc", false);
  EXPECT_THAT(Lines(),
              ElementsAre(d + " get BuiltInDocumentProperties(text \"title\")", p + " get value",
                          d + " get BuiltInDocumentProperties(text \"title\")",
                          p + " put value(text \"b.doc\")"));
  property->Returns(CallKind::kGet, "value", Variant("Report 1.doc"));

  app_->log()->Clear();
  SetTitleIfEmpty(*doc_, "/in/other.doc", true);  // now holds "Report 1.doc"
  EXPECT_EQ(Lines().size(), 2u);

  app_->log()->Clear();
  property->Throws(CallKind::kGet, "value", "no properties");
  EXPECT_NO_THROW(SetTitleIfEmpty(*doc_, "/in/x.doc", true));
  EXPECT_EQ(Lines().size(), 2u);
}

TEST(WordMajorVersionTest, FirstRunOfDigits) {
  EXPECT_EQ(WordMajorVersion("9.0"), 9);
  EXPECT_EQ(WordMajorVersion("16.0.4266"), 16);
  EXPECT_EQ(WordMajorVersion("v12"), 12);
  EXPECT_EQ(WordMajorVersion("-10.5"), 10);
  EXPECT_EQ(WordMajorVersion("Word"), -1);
  EXPECT_EQ(WordMajorVersion(""), -1);
}

// One document whose character count, open encoding and first character's
// Far East language are scripted.
struct CodePageCase {
  int count;
  int open_encoding;
  int language;
  int expected;
  bool reads_language;
};

class SourceCodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(SourceCodePageTest, PicksTheCodePageOfTheTable) {
  const CodePageCase& c = GetParam();
  auto doc = std::make_shared<RecordingObject>("doc");
  auto characters = doc->Child("Characters");
  characters->Returns(CallKind::kGet, "Count", Variant(c.count));
  doc->Returns(CallKind::kGet, "OpenEncoding", Variant(c.open_encoding));
  characters->Child("Item", CallKind::kMethod)
      ->Returns(CallKind::kGet, "LanguageIDFarEast", Variant(c.language));

  EXPECT_EQ(SourceCodePage(*doc), c.expected);

  std::vector<std::string> expected_calls = {"doc get Characters", "doc.Characters get Count",
                                             "doc get OpenEncoding"};
  if (c.reads_language) {
    expected_calls.push_back("doc get Characters");
    expected_calls.push_back("doc.Characters method Item(int 1)");
    expected_calls.push_back("doc.Characters.Item get LanguageIDFarEast");
  }
  EXPECT_EQ(doc->log()->Lines(), expected_calls);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, SourceCodePageTest,
    ::testing::Values(CodePageCase{0, 1252, 0x0804, 1252, false},  // empty document
                      CodePageCase{-1, 932, 0x0804, 932, false},
                      CodePageCase{5, 1200, 0x0804, 1200, false},  // Unicode files
                      CodePageCase{5, 1201, 0x0404, 1201, false},
                      CodePageCase{5, 65000, 0x0404, 65000, false},
                      CodePageCase{5, 65001, 0x0804, 65001, false},
                      CodePageCase{5, 1252, 0x0404, 950, true},  // Traditional Chinese
                      CodePageCase{5, 1252, 0x0C04, 950, true},
                      CodePageCase{5, 1252, 0x1004, 950, true},
                      CodePageCase{5, 1252, 0x1404, 950, true},
                      CodePageCase{5, 1252, 0x0804, 936, true},   // Simplified Chinese
                      CodePageCase{5, 1251, 0x0409, 1251, true},  // anything else
                      CodePageCase{5, 1252, 0x0411, 1252, true}));

TEST(SourceCodePageErrorsTest, AnErrorKeepsTheValueReachedSoFar) {
  auto doc = std::make_shared<RecordingObject>("doc");
  doc->Throws(CallKind::kGet, "Characters", "gone");
  EXPECT_EQ(SourceCodePage(*doc), 0);

  auto empty = std::make_shared<RecordingObject>("doc");
  empty->Child("Characters")->Returns(CallKind::kGet, "Count", Variant(0));
  empty->Throws(CallKind::kGet, "OpenEncoding", "gone");
  EXPECT_EQ(SourceCodePage(*empty), 0);

  // The language is what fails: the open encoding was read but not yet taken.
  auto far_east = std::make_shared<RecordingObject>("doc");
  auto characters = far_east->Child("Characters");
  characters->Returns(CallKind::kGet, "Count", Variant(3));
  far_east->Returns(CallKind::kGet, "OpenEncoding", Variant(1252));
  characters->Throws(CallKind::kMethod, "Item", "no character");
  EXPECT_EQ(SourceCodePage(*far_east), 0);
}

std::shared_ptr<RecordingObject> SimplifiedChineseDocument() {
  auto doc = std::make_shared<RecordingObject>("doc");
  auto characters = doc->Child("Characters");
  characters->Returns(CallKind::kGet, "Count", Variant(9));
  doc->Returns(CallKind::kGet, "OpenEncoding", Variant(1252));
  characters->Child("Item", CallKind::kMethod)
      ->Returns(CallKind::kGet, "LanguageIDFarEast", Variant(0x0804));
  return doc;
}

TEST(SaveWithSourceCharacterSetTest, Version10AndLaterPassEncodingToSaveAs) {
  for (int version : {10, 16}) {
    auto doc = SimplifiedChineseDocument();
    SaveWithSourceCharacterSet(*doc, "/out/a.txt", version);
    EXPECT_EQ(doc->log()->Lines().back(),
              "doc method SaveAs(FileName=text \"/out/a.txt\", FileFormat=int 7, "
              "Encoding=int 936)");
    for (const std::string& line : doc->log()->Lines()) {
      EXPECT_EQ(line.find("SaveEncoding"), std::string::npos) << line;
    }
  }
}

TEST(SaveWithSourceCharacterSetTest, BeforeVersion10SetsSaveEncodingFirst) {
  auto doc = SimplifiedChineseDocument();
  SaveWithSourceCharacterSet(*doc, "/out/a.txt", 9);
  const std::vector<std::string> lines = doc->log()->Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "doc put SaveEncoding(int 936)");
  EXPECT_EQ(lines.back(), "doc method SaveAs(FileName=text \"/out/a.txt\", FileFormat=int 7)");
}

TEST(SaveWithSourceCharacterSetTest, SaveFailureGoesThrough) {
  auto doc = SimplifiedChineseDocument();
  doc->Throws(CallKind::kMethod, "SaveAs", "Disk full.");
  EXPECT_THROW(SaveWithSourceCharacterSet(*doc, "/out/a.txt", 12), AutomationError);
}

TEST_F(WordCallsTest, RtfReopenSavesClosesReconnectsAndOpensWithoutFormat) {
  ResetWordConnection();
  SetAutomationObjectSource([this](const std::string&, bool& created) {
    created = false;
    return automation::ObjectPtr(app_);
  });
  int watcher_starts = 0;
  SetDialogWatchHooks([&](const DialogWatchRequest&) { ++watcher_starts; }, nullptr);
  auto original = std::make_shared<RecordingObject>("original", app_->log());
  automation::ObjectPtr document = original;
  std::string error;

  ASSERT_TRUE(ReopenThroughRtf(document, "/work/a.rtf", false, "pw", error));
  EXPECT_EQ(document.get(), doc_.get());
  EXPECT_THAT(error, IsEmpty());
  EXPECT_EQ(watcher_starts, 0);
  EXPECT_THAT(Lines(),
              ElementsAre("original method SaveAs(FileName=text \"/work/a.rtf\", FileFormat=int 6)",
                          "original method Close(SaveChanges=int 0)",
                          // EnsureWord: not connected yet, so it connects and hides
                          "app put Visible(bool false)", "app get Documents",
                          "app.Documents method Open(FileName=text \"/work/a.rtf\", "
                          "ReadOnly=bool false, PasswordDocument=text \"pw\")"));

  SetAutomationObjectSource(
      [](const std::string&, bool&) -> automation::ObjectPtr { throw AutomationError("none"); });
  ResetWordConnection();
  document = original;
  EXPECT_FALSE(ReopenThroughRtf(document, "/work/a.rtf", false, "pw", error));
  EXPECT_EQ(
      error,
      "Can not load Microsoft Word, you must install Microsoft Word first, please try again!");
  SetAutomationObjectSource(nullptr);
  ResetWordConnection();
}

}  // namespace
}  // namespace quillon::engine
