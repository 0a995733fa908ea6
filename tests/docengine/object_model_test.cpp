// The served object model, called in-process the way the conversion engine
// calls it through automation.

#include <gtest/gtest.h>

#include "automation/variant.h"
#include "docengine/object_model.h"
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

TEST_F(ObjectModelTest, SaveIsRefusedWhenReadOnlyOrNotWritable) {
  const std::string path = Write("r.rtf", "{\\rtf1 x\\par}");
  ObjectPtr doc = Open(path, /*read_only=*/true);
  try {
    doc->Call("Save");
    FAIL() << "a read-only document must not be saved";
  } catch (const AutomationError& e) {
    EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos);
  }
  EXPECT_THROW(doc->Call("SaveAs", Named({{"FileName", Variant(dir_.File("x.docx"))},
                                          {"FileFormat", Variant(16)}})),
               AutomationError);
  EXPECT_THROW(doc->Call("Frobnicate"), AutomationError);
  doc->Call("UnProtect", Positional({Variant("pw")}));
  EXPECT_EQ(doc->Get("ProtectionType").ToInt(), -1);
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
