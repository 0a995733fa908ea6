#include "engine/engine_dispatch.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "automation/variant.h"
#include "engine/legacy_preconvert.h"
#include "engine/word_connection.h"
#include "engine/work_folder.h"
#include "tests/support/recording_object.h"
#include "tests/support/temp_dir.h"
#include "util/text.h"

namespace quillon::engine {
namespace {

using automation::AutomationError;
using automation::CallKind;
using automation::ObjectPtr;
using automation::Variant;
using quillon::testing::FileExists;
using quillon::testing::ReadFile;
using quillon::testing::RecordingObject;
using quillon::testing::TempDir;
using quillon::testing::TempFolderScope;
using quillon::testing::WriteFile;
using Lines = std::vector<std::string>;

// A recording object that also acts before a call is recorded and answered:
// writes the file a save names, looks at the disk while a file is open.
class HookedObject : public RecordingObject {
 public:
  using Hook = std::function<void(std::string_view name, const automation::Args& args)>;
  HookedObject(std::string label, std::shared_ptr<quillon::testing::CallLog> log)
      : RecordingObject(std::move(label), std::move(log)) {}
  Hook hook;
  Variant Invoke(CallKind kind, std::string_view name, const automation::Args& args) override {
    if (hook) {
      hook(name, args);
    }
    return RecordingObject::Invoke(kind, name, args);
  }
};

std::string Quoted(const std::string& text) {
  return "text \"" + text + "\"";
}

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = WorkFolder();

    app_ = std::make_shared<RecordingObject>("app");
    app_->Returns(CallKind::kGet, "Version", Variant("16.0"));
    documents_ = std::make_shared<HookedObject>("docs", app_->log());
    app_->Returns(CallKind::kGet, "Documents", Variant(ObjectPtr(documents_)));
    doc_ = std::make_shared<HookedObject>("doc", app_->log());
    documents_->Returns(CallKind::kMethod, "Open", Variant(ObjectPtr(doc_)));
    // Saving writes the named file, as the word processor would.
    doc_->hook = [](std::string_view name, const automation::Args& args) {
      if (automation::NameEquals(name, "SaveAs")) {
        WriteFile(args.Named("FileName")->AsText(), "saved");
      }
    };
    auto title = doc_->Child("BuiltInDocumentProperties");
    title->Returns(CallKind::kGet, "value", Variant(""));

    ResetWordConnection();
    SetAutomationObjectSource([this](const std::string&, bool& created) {
      ++connections_;
      created = true;
      return ObjectPtr(app_);
    });
    SetEngineFileFolder(program_.path());
    SetRecoverAnyTypeFlag(false);

    source_ = files_.File("in/report.docx");
    WriteFile(source_, "source bytes");
    destination_ = files_.File("out/report.txt");
    ::mkdir(files_.File("out").c_str(), 0755);
  }

  void TearDown() override {
    SetAutomationObjectSource({});
    ResetWordConnection();
    SetEngineFileFolder("");
    SetRecoverAnyTypeFlag(false);
  }

  // Connects first, so that the recorded calls start with the conversion.
  void Connect() {
    std::string error;
    ASSERT_TRUE(EnsureWord(error)) << error;
    app_->log()->Clear();
  }

  bool Run(const std::string& code, const std::string& block = "\r\ntextdelimit=0\r\n\r\n") {
    return ConvertDocument(source_, destination_, code, block, error_);
  }

  // The macro project objects the plug-in calls walk through; returns the
  // component an import answers.
  std::shared_ptr<RecordingObject> ScriptMacroProject() {
    auto component =
        doc_->Child("VBProject")->Child("VBComponents")->Child("Import", CallKind::kMethod);
    app_->Child("VBE")->Child("ActiveVBProject")->Child("VBComponents");
    return component;
  }

  Lines Calls() const { return app_->log()->Lines(); }

  Lines OpenLines(const std::string& path, bool read_only, const std::string& password = "qz") {
    return {"app put DisplayAlerts(bool false)", "app get Documents",
            "docs method Open(FileName=" + Quoted(path) + ", ReadOnly=bool " +
                (read_only ? "true" : "false") + ", PasswordDocument=" + Quoted(password) + ")"};
  }

  // Read-only runs: the document is never saved, so its saved state is not
  // asked for.
  Lines TitleLines(const std::string& path) {
    return {"doc get BuiltInDocumentProperties(text \"title\")",
            "doc.BuiltInDocumentProperties get value",
            "doc get BuiltInDocumentProperties(text \"title\")",
            "doc.BuiltInDocumentProperties put value(" + Quoted(NamePart(path)) + ")"};
  }

  static Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  }

  TempDir files_;
  TempDir program_;
  TempFolderScope tmp_;
  std::string work_;
  std::shared_ptr<RecordingObject> app_;
  std::shared_ptr<HookedObject> documents_;
  std::shared_ptr<HookedObject> doc_;
  int connections_ = 0;
  std::string source_;
  std::string destination_;
  std::string error_;
};

TEST_F(DispatchTest, PlainSaveOrder) {
  WriteFile(destination_, "old result");
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(error_, "");
  EXPECT_EQ(Calls(),
            Join({{"app put Visible(bool false)", "app get Version"},
                  OpenLines(source_, true),
                  TitleLines(source_),
                  {"doc method SaveAs(FileName=" + Quoted(destination_) + ", FileFormat=int 2)",
                   "doc method Close(SaveChanges=int 0)", "app put DisplayAlerts(bool true)"}}));
  EXPECT_EQ(ReadFile(destination_), "saved");
}

TEST_F(DispatchTest, EachTextCodeIsTheSaveFormatAndOnlyDocTakesTheRtfRoad) {
  Connect();
  for (const char* ext : {".docx", ".rtf", ".htm", ".html"}) {
    for (const int code : {2, 3, 4, 5, 7}) {
      source_ = files_.File(std::string("in/s") + ext);
      WriteFile(source_, "x");
      app_->log()->Clear();
      ASSERT_TRUE(Run(std::to_string(code))) << error_;
      const Lines calls = Calls();
      EXPECT_EQ(std::count(calls.begin(), calls.end(),
                           "doc method SaveAs(FileName=" + Quoted(destination_) +
                               ", FileFormat=int " + std::to_string(code) + ")"),
                1)
          << ext << " " << code;
      // No re-open, nothing else saved.
      EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                              [](const std::string& line) {
                                return line.find("method Open(") != std::string::npos ||
                                       line.find("method SaveAs(") != std::string::npos;
                              }),
                2)
          << ext;
    }
  }
}

TEST_F(DispatchTest, SourceCharacterSetSkipsRtfAndPlugins) {
  WriteFile(program_.File("plugin.bas"), "Sub BeforeConversion()\nEnd Sub\n");
  source_ = files_.File("in/old.doc");
  WriteFile(source_, "x");
  auto characters = doc_->Child("Characters");
  characters->Returns(CallKind::kGet, "Count", Variant(std::int32_t{0}));
  doc_->Returns(CallKind::kGet, "OpenEncoding", Variant(std::int32_t{65001}));
  Connect();
  EXPECT_TRUE(Run("-3", "\r\nrunplugin\r\ntextdelimit=0\r\n\r\n")) << error_;
  EXPECT_EQ(Calls(),
            Join({{"app get Version", "app get Version"},
                  OpenLines(source_, true),
                  TitleLines(source_),
                  {"doc get Characters", "doc.Characters get Count", "doc get OpenEncoding",
                   "doc method SaveAs(FileName=" + Quoted(destination_) +
                       ", FileFormat=int 7, Encoding=int 65001)",
                   "doc method Close(SaveChanges=int 0)", "app put DisplayAlerts(bool true)"}}));
}

TEST_F(DispatchTest, DocGoesThroughRtfInTheWorkFolder) {
  source_ = files_.File("in/old.doc");
  WriteFile(source_, "x");
  auto rtf_doc = std::make_shared<RecordingObject>("rtfdoc", app_->log());
  documents_->Returns(CallKind::kMethod, "Open",
                      std::vector<Variant>{ObjectPtr(doc_), ObjectPtr(rtf_doc)});
  const std::string rtf = work_ + "report.rtf";
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls(),
            Join({{"app get Version", "app get Version"},
                  OpenLines(source_, true),
                  TitleLines(source_),
                  {"doc method SaveAs(FileName=" + Quoted(rtf) + ", FileFormat=int 6)",
                   "doc method Close(SaveChanges=int 0)", "app get Version", "app get Documents",
                   "docs method Open(FileName=" + Quoted(rtf) +
                       ", ReadOnly=bool true, PasswordDocument=text \"qz\")",
                   "rtfdoc method SaveAs(FileName=" + Quoted(destination_) + ", FileFormat=int 2)",
                   "rtfdoc method Close(SaveChanges=int 0)", "app put DisplayAlerts(bool true)"}}));
  EXPECT_TRUE(FileExists(work_ + "report.rtf") == false) << "temporary RTF left behind";
}

TEST_F(DispatchTest, PluginRunsAroundTheSave) {
  const std::string module = program_.File("plugin.bas");
  WriteFile(module, "Sub BeforeConversion()\nEnd Sub\n");
  const auto component = ScriptMacroProject();
  Connect();
  EXPECT_TRUE(Run("7", "\r\nrunplugin\r\ntextdelimit=0\r\n\r\n")) << error_;
  const Lines plugin_round = {
      "doc get VBProject",
      "doc.VBProject get VBComponents",
      "doc.VBProject.VBComponents method Import(" + Quoted(module) + ")",
      "",  // the macro run, filled in below
      "app get VBE",
      "app.VBE get ActiveVBProject",
      "app.VBE.ActiveVBProject get VBComponents",
      "app.VBE.ActiveVBProject.VBComponents method remove(object " + component->label() + ")"};
  Lines before = plugin_round;
  before[3] = "app method Run(text \"BeforeConversion\")";
  Lines after = plugin_round;
  after[3] = "app method Run(text \"AfterConversion\")";
  EXPECT_EQ(Calls(),
            Join({{"app get Version", "app get Version"},
                  OpenLines(source_, true),
                  TitleLines(source_),
                  before,
                  {"doc method SaveAs(FileName=" + Quoted(destination_) + ", FileFormat=int 7)"},
                  after,
                  {"doc method Close(SaveChanges=int 0)", "app put DisplayAlerts(bool true)"}}));
}

TEST_F(DispatchTest, PluginSaveOpensWritableAndSavesAfterTheFirstMacro) {
  WriteFile(program_.File("plugin.bas"), "Sub BeforeConversion()\nEnd Sub\n");
  ScriptMacroProject();
  Connect();
  // "runpluginsave" alone also runs the macros.
  EXPECT_TRUE(Run("2", "\r\nrunpluginsave\r\ntextdelimit=0\r\n\r\n")) << error_;
  const Lines calls = Calls();
  EXPECT_EQ(calls[4], OpenLines(source_, false)[2]);
  const auto before =
      std::find(calls.begin(), calls.end(), "app method Run(text \"BeforeConversion\")");
  const auto save = std::find(calls.begin(), calls.end(), "doc method Save");
  const auto save_as = std::find_if(calls.begin(), calls.end(), [](const std::string& line) {
    return line.rfind("doc method SaveAs(", 0) == 0;
  });
  ASSERT_NE(before, calls.end());
  ASSERT_NE(save, calls.end());
  EXPECT_LT(before, save);
  EXPECT_LT(save, save_as);
}

TEST_F(DispatchTest, MissingPluginModuleFailsBeforeAnythingIsSaved) {
  WriteFile(destination_, "old result");
  Connect();
  EXPECT_FALSE(Run("2", "\r\nrunplugin\r\ntextdelimit=0\r\n\r\n"));
  EXPECT_EQ(error_, program_.path() + "/plugin.bas is not existed");
  for (const std::string& line : Calls()) {
    EXPECT_EQ(line.find("SaveAs"), std::string::npos) << line;
  }
  EXPECT_FALSE(FileExists(destination_));
}

TEST_F(DispatchTest, OpeningFailsReleasesTheWordProcessorAndKeepsTheOldResult) {
  WriteFile(destination_, "old result");
  documents_->Throws(CallKind::kMethod, "Open", "The file appears to be corrupted.");
  EXPECT_FALSE(Run("2"));
  EXPECT_EQ(error_, "The file appears to be corrupted.");
  EXPECT_EQ(Calls(), Join({{"app put Visible(bool false)", "app get Version"},
                           OpenLines(source_, true),
                           {"app put DisplayAlerts(bool true)", "app method Quit"}}));
  EXPECT_EQ(ReadFile(destination_), "old result");
  // The word processor that was started is gone; the next conversion starts
  // another one.
  documents_->Returns(CallKind::kMethod, "Open", Variant(ObjectPtr(doc_)));
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(connections_, 2);
}

TEST_F(DispatchTest, SavingFailsClosesTheDocumentAndLeavesNoDestination) {
  WriteFile(destination_, "old result");
  doc_->Throws(CallKind::kMethod, "SaveAs", "Disk full");
  Connect();
  EXPECT_FALSE(Run("4"));
  EXPECT_EQ(error_, "Disk full");
  const Lines calls = Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2],
            "doc method SaveAs(FileName=" + Quoted(destination_) + ", FileFormat=int 4)");
  EXPECT_EQ(calls.back(), "doc method Close(SaveChanges=int 0)");
  // Not even the part written before the failure.
  EXPECT_FALSE(FileExists(destination_));
}

TEST_F(DispatchTest, MissingDestinationFolderFailsBeforeAnyCall) {
  destination_ = files_.File("nowhere/deeper/r.txt");
  EXPECT_FALSE(Run("2"));
  EXPECT_EQ(error_, files_.File("nowhere/deeper") + " directory do not exist");
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(connections_, 0);
}

TEST_F(DispatchTest, ConvertingOntoItselfOpensWritableAndKeepsTheFile) {
  source_ = files_.File("out/notes.txt");
  WriteFile(source_, "the only copy");
  destination_ = files_.File("out/../out/notes.txt");
  doc_->hook = nullptr;  // a save that does not write lets us see a deletion
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls()[4], OpenLines(source_, false)[2]);
  EXPECT_EQ(ReadFile(source_), "the only copy");
}

TEST_F(DispatchTest, RecoverFlagAddsTheOpenFormat) {
  SetRecoverAnyTypeFlag(true);
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls()[4], "docs method Open(FileName=" + Quoted(source_) +
                            ", ReadOnly=bool true, PasswordDocument=text \"qz\", Format=int 20)");
}

TEST_F(DispatchTest, PasswordsFromTheBlock) {
  doc_->Throws(CallKind::kMethod, "UnProtect", "Wrong password");
  Connect();
  const std::string block =
      "\r\nopenpassword= secret \r\nworkbookprotectpassword=lock\r\ntextdelimit=0\r\n\r\n";
  EXPECT_THROW(Run("2", block), AutomationError);
  const Lines calls = Calls();
  EXPECT_EQ(calls[4], OpenLines(source_, true, " secret ")[2]);
  EXPECT_EQ(calls[5], "doc method UnProtect(text \"lock\")");
  EXPECT_EQ(calls.back(), "doc method Close(SaveChanges=int 0)");
}

TEST_F(DispatchTest, BadNumbersFailBeforeOpening) {
  Connect();
  EXPECT_THROW(Run("two"), std::invalid_argument);
  EXPECT_THROW(Run("2", "\r\ntextdelimit=x\r\n\r\n"), std::invalid_argument);
  for (const std::string& line : Calls()) {
    EXPECT_EQ(line.find("Open"), std::string::npos) << line;
  }
}

TEST_F(DispatchTest, BracketFreeCopyIsOpenedAndRemoved) {
  source_ = files_.File("in/plan[v2].docx");
  WriteFile(source_, "original bytes");
  destination_ = files_.File("out/plan[v2].txt");
  const std::string copy = files_.File("in/plan(v2).docx");
  // A private document stays private in its copy.
  ASSERT_EQ(::chmod(source_.c_str(), 0600), 0);
  std::string seen_at_open;
  mode_t mode_at_open = 0;
  documents_->hook = [&](std::string_view name, const automation::Args& args) {
    if (name == "Open") {
      seen_at_open = ReadFile(args.Named("FileName")->AsText());
      struct stat info {};
      ::stat(args.Named("FileName")->AsText().c_str(), &info);
      mode_at_open = info.st_mode & 07777;
    }
  };
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls()[4], OpenLines(copy, true)[2]);
  EXPECT_EQ(seen_at_open, "original bytes");
  EXPECT_EQ(mode_at_open, 0600u);
  // Other modes come along as they are.
  ASSERT_EQ(::chmod(source_.c_str(), 0754), 0);
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(mode_at_open, 0754u);
  EXPECT_FALSE(FileExists(copy));
  EXPECT_EQ(ReadFile(source_), "original bytes");
  EXPECT_TRUE(FileExists(files_.File("out/plan(v2).txt")));
  EXPECT_FALSE(FileExists(destination_));
}

TEST_F(DispatchTest, BracketFreeCopyNeverTakesAUsersFile) {
  source_ = files_.File("in/plan[v2].docx");
  WriteFile(source_, "original bytes");
  WriteFile(files_.File("in/plan(v2).docx"), "the user's own file");
  WriteFile(files_.File("in/~1~plan(v2).docx"), "another file of the user's");
  const std::string copy = files_.File("in/~2~plan(v2).docx");
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls()[4], OpenLines(copy, true)[2]);
  EXPECT_FALSE(FileExists(copy));
  EXPECT_EQ(ReadFile(files_.File("in/plan(v2).docx")), "the user's own file");
  EXPECT_EQ(ReadFile(files_.File("in/~1~plan(v2).docx")), "another file of the user's");

  // A failure that escapes the conversion still removes the copy.
  doc_->Throws(CallKind::kMethod, "UnProtect", "Wrong password");
  EXPECT_THROW(Run("2", "\r\nworkbookprotectpassword=p\r\ntextdelimit=0\r\n\r\n"), AutomationError);
  EXPECT_FALSE(FileExists(files_.File("in/~2~plan(v2).docx")));
  EXPECT_EQ(ReadFile(files_.File("in/plan(v2).docx")), "the user's own file");
}

TEST_F(DispatchTest, BracketedFileOntoItselfKeepsTheResult) {
  source_ = files_.File("out/n[1].txt");
  WriteFile(source_, "text");
  destination_ = source_;
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  // The copy must not be the destination, or removing it would remove the
  // result.
  EXPECT_EQ(Calls()[4], OpenLines(files_.File("out/~1~n(1).txt"), true)[2]);
  EXPECT_EQ(ReadFile(files_.File("out/n(1).txt")), "saved");
  EXPECT_FALSE(FileExists(files_.File("out/~1~n(1).txt")));
}

TEST_F(DispatchTest, SheetsArePreconvertedFromVersionTwelve) {
  const std::string converter = program_.File(kLegacyConverterName);
  WriteFile(converter, "#!/bin/sh\necho '<table></table>' > \"$2\"\n");
  ::chmod(converter.c_str(), 0755);
  source_ = files_.File("in/budget.wk3");
  WriteFile(source_, "sheet");
  const std::string html = work_ + "budget.htm";
  Connect();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls()[4], OpenLines(html, true)[2]);
  EXPECT_FALSE(FileExists(html));

  // Version 11 reads the sheet itself.
  app_->Returns(CallKind::kGet, "Version", Variant("11.0"));
  app_->log()->Clear();
  EXPECT_TRUE(Run("2")) << error_;
  EXPECT_EQ(Calls()[4], OpenLines(source_, true)[2]);

  // A converter failure ends the conversion before anything is opened.
  app_->Returns(CallKind::kGet, "Version", Variant("12.0"));
  WriteFile(converter, "#!/bin/sh\necho 'import error: not a sheet'\n");
  app_->log()->Clear();
  EXPECT_FALSE(Run("2"));
  EXPECT_EQ(error_, "import error: not a sheet");
  EXPECT_EQ(Calls(), (Lines{"app get Version", "app get Version"}));
}

}  // namespace
}  // namespace quillon::engine
