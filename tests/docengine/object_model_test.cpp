// The served object model, called in-process the way the conversion engine
// calls it through automation.

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "automation/variant.h"
#include "docengine/object_model.h"
#include "tests/docengine/docx_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

using automation::Args;
using automation::AutomationError;
using automation::NamedArg;
using automation::ObjectPtr;
using automation::Variant;

Args Named(std::vector<NamedArg> named) {
  Args args;
  args.named = std::move(named);
  return args;
}

Args Positional(std::vector<Variant> values) {
  Args args;
  args.positional = std::move(values);
  return args;
}

class ObjectModelTest : public ::testing::Test {
 protected:
  ObjectPtr app_ = MakeApplication();
  testing::TempDir dir_;

  ObjectPtr Open(const std::string& path, bool read_only = true, int format = -1) {
    std::vector<NamedArg> named = {{"FileName", Variant(path)},
                                   {"ReadOnly", Variant(read_only)},
                                   {"PasswordDocument", Variant("qz")}};
    if (format >= 0)
      named.push_back({"Format", Variant(format)});
    return app_->Get("Documents").AsObject()->Call("Open", Named(named)).AsObject();
  }

  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir_.File(name);
    testing::WriteFile(path, content);
    return path;
  }
};

TEST_F(ObjectModelTest, ApplicationProperties) {
  EXPECT_EQ(app_->Get("Version").ToText(), "16.0");
  app_->Put("DisplayAlerts", Variant(false));
  EXPECT_FALSE(app_->Get("displayalerts").ToBool());
  app_->Put("Visible", Variant(true));
  EXPECT_TRUE(app_->Get("Visible").ToBool());
  try {
    app_->Get("NoSuchThing");
    FAIL() << "an unknown name must raise";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("NoSuchThing"), std::string::npos);
  }
  EXPECT_THROW(app_->Call("Run", Positional({Variant("BeforeConversion")})), AutomationError);
}

TEST_F(ObjectModelTest, ConversionCallsOnAnRtfDocument) {
  const std::string path = Write("Far East.rtf",
                                 "{\\rtf1\\ansi\\ansicpg1252\\deflangfe2052{\\info{\\title }}"
                                 "{\\langfe2052 \\u20013?\\u25991?}\\par}");
  ObjectPtr doc = Open(path);
  EXPECT_EQ(doc->Get("Name").ToText(), "Far East.rtf");
  EXPECT_EQ(doc->Get("OpenEncoding").ToInt(), 1252);
  ObjectPtr characters = doc->Get("Characters").AsObject();
  EXPECT_EQ(characters->Get("Count").ToInt(), 3);  // two characters and the paragraph mark
  ObjectPtr first = characters->Call("Item", Positional({Variant(1)})).AsObject();
  EXPECT_EQ(first->Get("LanguageIDFarEast").ToInt(), 2052);
  EXPECT_THROW(characters->Call("Item", Positional({Variant(9)})), AutomationError);

  // The engine's title step: empty title -> the file name.
  ObjectPtr title =
      doc->Get("BuiltInDocumentProperties", Positional({Variant("title")})).AsObject();
  EXPECT_EQ(title->Get("value").ToText(), "");
  title->Put("value", Variant("Far East.rtf"));
  EXPECT_EQ(doc->Get("BuiltInDocumentProperties", Positional({Variant("Title")}))
                .AsObject()
                ->Get("Value")
                .ToText(),
            "Far East.rtf");

  // Source character set: format 7 with Encoding 936.
  const std::string out = dir_.File("out.txt");
  doc->Call(
      "SaveAs",
      Named({{"FileName", Variant(out)}, {"FileFormat", Variant(7)}, {"Encoding", Variant(936)}}));
  EXPECT_EQ(testing::ReadFile(out), "\xD6\xD0\xCE\xC4\r\n");

  // The other way to set it: SaveEncoding, then SaveAs without Encoding.
  doc->Put("SaveEncoding", Variant(950));
  doc->Call("SaveAs", Named({{"FileName", Variant(out)}, {"FileFormat", Variant(7)}}));
  EXPECT_EQ(testing::ReadFile(out), "\xA4\xA4\xA4\xE5\r\n");

  // RTF re-open: the title and the language survive.
  const std::string rtf = dir_.File("reopen.rtf");
  doc->Call("SaveAs", Named({{"FileName", Variant(rtf)}, {"FileFormat", Variant(6)}}));
  doc->Call("Close", Named({{"SaveChanges", Variant(0)}}));
  EXPECT_THROW(doc->Get("Name"), AutomationError);
  EXPECT_EQ(app_->Get("Documents").AsObject()->Get("Count").ToInt(), 0);

  ObjectPtr again = Open(rtf);
  EXPECT_EQ(again->Get("BuiltInDocumentProperties", Positional({Variant("title")}))
                .AsObject()
                ->Get("value")
                .ToText(),
            "Far East.rtf");
  EXPECT_EQ(again->Get("Characters")
                .AsObject()
                ->Call("Item", Positional({Variant(1)}))
                .AsObject()
                ->Get("LanguageIDFarEast")
                .ToInt(),
            2052);
}

TEST_F(ObjectModelTest, UnicodeTextFileKeepsItsEncodingAndSavesInPlace) {
  const std::string path = Write("u.txt", "h\xC3\xA9llo\r\n");
  ObjectPtr doc = Open(path, /*read_only=*/false);
  EXPECT_EQ(doc->Get("OpenEncoding").ToInt(), 65001);
  doc->Get("BuiltInDocumentProperties", Positional({Variant(1)})).AsObject()->Put("Value", "t");
  doc->Call("Save");
  EXPECT_EQ(testing::ReadFile(path), "h\xC3\xA9llo\r\n");
  doc->Call("Close", Named({{"SaveChanges", Variant(-1)}}));
}

TEST_F(ObjectModelTest, SavingInPlaceKeepsTheFilesModeAndItsLink) {
  // The user's document sits elsewhere, reached through a link, private.
  const std::string real = Write("kept/notes.rtf", "{\\rtf1 before\\par}");
  ::chmod(real.c_str(), 0600);
  const std::string link = dir_.File("notes.rtf");
  std::filesystem::create_symlink("kept/notes.rtf", link);
  ObjectPtr doc = Open(link, /*read_only=*/false);
  doc->Get("BuiltInDocumentProperties", Positional({Variant(1)})).AsObject()->Put("Value", "Kept");
  doc->Call("Save");
  doc->Call("Close", Named({{"SaveChanges", Variant(0)}}));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(testing::ReadFile(real).find("Kept"), std::string::npos) << testing::ReadFile(real);
  struct stat info {};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.File("kept")))
    ++entries;
  EXPECT_EQ(entries, 1) << "a temporary file stayed beside the document";
}

TEST_F(ObjectModelTest, SaveIsRefusedWhenReadOnlyOrNotWritable) {
  const std::string path = Write("r.rtf", "{\\rtf1 x\\par}");
  ObjectPtr doc = Open(path, /*read_only=*/true);
  try {
    doc->Call("Save");
    FAIL() << "a read-only document must not be saved";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos);
  }
  try {
    doc->Call("SaveAs",
              Named({{"FileName", Variant(dir_.File("x.pdf"))}, {"FileFormat", Variant(17)}}));
    FAIL() << "a format without a writer must be refused";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("17"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(testing::FileExists(dir_.File("x.pdf")));
  EXPECT_THROW(doc->Call("Frobnicate"), AutomationError);
  doc->Call("UnProtect", Positional({Variant("pw")}));
  EXPECT_EQ(doc->Get("ProtectionType").ToInt(), -1);
}

// The package and page writers keep only what the model holds, so Save must
// never put their output over the user's source file.
TEST_F(ObjectModelTest, SaveNeverReplacesAPackageOrPage) {
  const std::string package = testing::MakeDocx(
      testing::P("Alpha") + testing::P("Beta"),
      {{"styles.xml", "styles", "<w:styles %NS%/>",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml", ""}},
      "Kept");
  const std::string page =
      "<html><head><style>p{color:red}</style><title>Kept</title></head>"
      "<body><p>Alpha</p><img src=\"x.png\"><p>Beta</p></body></html>";
  for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"a.docx", package},
                                    std::pair<std::string, std::string>{"a.html", page}}) {
    SCOPED_TRACE(name);
    const std::string path = Write(name, bytes);

    ObjectPtr doc = Open(path, /*read_only=*/false);
    doc->Call("Save");
    // Removing a protection the document does not have changes nothing.
    doc->Call("UnProtect", Positional({Variant("pw")}));
    doc->Call("Close", Named({{"SaveChanges", Variant(-1)}}));
    EXPECT_EQ(testing::ReadFile(path), bytes);

    doc = Open(path, /*read_only=*/false);
    doc->Get("BuiltInDocumentProperties", Positional({Variant("Title")}))
        .AsObject()
        ->Put("Value", Variant("Changed"));
    try {
      doc->Call("Save");
      FAIL() << "a changed document must not be written over its source";
    } catch (const AutomationError& e) {
      EXPECT_NE(std::string(e.what()).find("has changed"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    EXPECT_THROW(doc->Call("Close", Named({{"SaveChanges", Variant(-1)}})), AutomationError);
    EXPECT_EQ(testing::ReadFile(path), bytes);
    doc->Call("Close", Named({{"SaveChanges", Variant(0)}}));
  }
}

TEST_F(ObjectModelTest, SaveAsWritesPagesAndPackagesThatReadBack) {
  const std::string source =
      Write("s.docx", testing::MakeDocx(testing::P("First caf\u00e9") + "<w:tbl><w:tr><w:tc>" +
                                            testing::P("cell one") + "</w:tc><w:tc>" +
                                            testing::P("cell two") + "</w:tc></w:tr></w:tbl>" +
                                            testing::P("Last"),
                                        {}, "A title"));
  ObjectPtr doc = Open(source);
  const std::string text = doc->Get("Content").AsObject()->Get("Text").ToText();
  ASSERT_NE(text.find("cell two"), std::string::npos) << text;

  for (const auto& [name, format] :
       {std::pair<std::string, int>{"o.html", 8}, std::pair<std::string, int>{"o.docx", 16},
        std::pair<std::string, int>{"o12.docx", 12}}) {
    SCOPED_TRACE(name);
    const std::string out = dir_.File(name);
    doc->Call("SaveAs", Named({{"FileName", Variant(out)}, {"FileFormat", Variant(format)}}));
    ObjectPtr back = Open(out);
    EXPECT_EQ(back->Get("Content").AsObject()->Get("Text").ToText(), text);
    EXPECT_EQ(back->Get("BuiltInDocumentProperties", Positional({Variant("Title")}))
                  .AsObject()
                  ->Get("Value")
                  .ToText(),
              "A title");
    back->Call("Close");
  }

  // After SaveAs the document lives in the new file and format, which Save
  // then writes again, changes and all.
  doc->Get("BuiltInDocumentProperties", Positional({Variant("Title")}))
      .AsObject()
      ->Put("Value", Variant("Renamed"));
  doc->Call("Save");
  ObjectPtr back = Open(dir_.File("o12.docx"));
  EXPECT_EQ(back->Get("BuiltInDocumentProperties", Positional({Variant("Title")}))
                .AsObject()
                ->Get("Value")
                .ToText(),
            "Renamed");
  EXPECT_EQ(back->Get("Content").AsObject()->Get("Text").ToText(), text);
}

TEST_F(ObjectModelTest, OpenFailuresCarryClearMessages) {
  try {
    Open(dir_.File("missing.doc"));
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.doc"), std::string::npos);
  }
  const std::string binary = Write("b.bin", std::string("\x01\x02\x00\x00Some text here\x00", 19));
  EXPECT_THROW(Open(binary), AutomationError);
  ObjectPtr recovered = Open(binary, true, 20);
  ObjectPtr content = recovered->Get("Content").AsObject();
  EXPECT_EQ(content->Get("Text").ToText(), "Some text here\r");
}

TEST_F(ObjectModelTest, QuitClosesEveryDocument) {
  ObjectPtr doc = Open(Write("q.txt", "abc"));
  app_->Call("Quit");
  EXPECT_THROW(doc->Get("OpenEncoding"), AutomationError);
  EXPECT_EQ(app_->Get("Documents").AsObject()->Get("Count").ToInt(), 0);
}

TEST(CharacterCountTest, EmptyDocumentCountsZero) {
  Document doc;
  EXPECT_EQ(CountStoryCharacters(doc), 0);
  doc.body.push_back(Block::FromParagraph(Paragraph()));
  EXPECT_EQ(CountStoryCharacters(doc), 0);
}

}  // namespace
}  // namespace quillon::docengine
