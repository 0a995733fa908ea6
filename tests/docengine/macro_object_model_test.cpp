// Macros against the engine's object model: modules are imported into an
// open document's project and run through the application, as the
// conversion engine does, and what they change is read back from the model.

#include <gtest/gtest.h>

#include <string>

#include "automation/variant.h"
#include "docengine/object_model.h"
#include "docengine/story_text.h"
#include "tests/docengine/docx_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

using automation::Args;
using automation::AutomationError;
using automation::ObjectPtr;
using automation::Variant;

// One paragraph of every kind the macros touch: a comment, tracked changes,
// a hyperlink and a page field, a footnote, a table.
const char* kRichRtf =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\n"
    "{\\info{\\title Old title}}\n"
    "\\pard The colour of the sea{\\*\\atnid JD}{\\*\\atnauthor Jane Doe}\\chatn"
    "{\\*\\annotation\\pard A remark\\par}.\\par\n"
    "\\pard Keep {\\deleted gone }{\\revised added }text.\\par\n"
    "\\pard See {\\field{\\*\\fldinst HYPERLINK \"http://example.org/\"}{\\fldrslt the site}} "
    "on page {\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}.\\par\n"
    "\\pard A note{\\footnote\\pard Note text\\par} here.\\par\n"
    "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Cell A\\cell Cell B\\cell\\row\n"
    "\\pard Last colour line.\\par}\n";

class MacroObjectModelTest : public ::testing::Test {
 protected:
  void SetUp() override { app_ = MakeApplication(); }

  ObjectPtr Open(const std::string& name, const std::string& content, bool read_only = true) {
    const std::string path = dir_.File(name);
    testing::WriteFile(path, content);
    Args args;
    args.named.push_back({"FileName", Variant(path)});
    args.named.push_back({"ReadOnly", Variant(read_only)});
    return app_->Get("Documents").AsObject()->Call("Open", args).AsObject();
  }

  // Imports `source` into the document's project, runs Main, removes it
  // (also when Main fails).
  void RunMacro(const ObjectPtr& doc, const std::string& source,
                const std::string& macro = "Main") {
    const std::string path = dir_.File("plugin.bas");
    testing::WriteFile(path, source);
    Args import;
    import.positional.push_back(Variant(path));
    ObjectPtr component = doc->Get("VBProject")
                              .AsObject()
                              ->Get("VBComponents")
                              .AsObject()
                              ->Call("Import", import)
                              .AsObject();
    Args remove;
    remove.positional.push_back(Variant(component));
    auto forget = [&] {
      app_->Get("VBE")
          .AsObject()
          ->Get("ActiveVBProject")
          .AsObject()
          ->Get("VBComponents")
          .AsObject()
          ->Call("remove", remove);
    };
    Args run;
    run.positional.push_back(Variant(macro));
    try {
      app_->Call("Run", run);
    } catch (...) {
      forget();  // so that the next module's macros are the ones found
      throw;
    }
    forget();
  }

  std::string RunFailure(const ObjectPtr& doc, const std::string& source) {
    try {
      RunMacro(doc, source);
    } catch (const AutomationError& e) {
      return e.what();
    }
    return "no failure";
  }

  // The value a one-line expression gives inside a macro.
  std::string Ask(const ObjectPtr& doc, const std::string& expression) {
    RunMacro(doc, "Public Sub Main()\n  ActiveDocument.BuiltInDocumentProperties(\"Subject\") = " +
                      expression + "\nEnd Sub\n");
    Args args;
    args.positional.push_back(Variant("Subject"));
    return doc->Get("BuiltInDocumentProperties", args).AsObject()->Get("Value").ToText();
  }

  static std::string Text(const ObjectPtr& doc) {
    return doc->Get("Content").AsObject()->Get("Text").ToText();
  }

  testing::TempDir dir_;
  ObjectPtr app_;
};

TEST_F(MacroObjectModelTest, FindReplaceChangesTheText) {
  ObjectPtr doc = Open("a.rtf", kRichRtf);
  RunMacro(doc,
           "Public Sub Main()\n"
           "  With ActiveDocument.Content.Find\n"
           "    .ClearFormatting\n"
           "    .Replacement.ClearFormatting\n"
           "    .Text = \"colour\"\n"
           "    .Replacement.Text = \"color\"\n"
           "    .Forward = True\n"
           "    .Wrap = wdFindContinue\n"
           "    .MatchCase = False\n"
           "    .MatchWholeWord = True\n"
           "    .Execute Replace:=wdReplaceAll\n"
           "  End With\n"
           "  ActiveDocument.Content.Find.Execute FindText:=\"Cell A\", ReplaceWith:=\"^&!\", "
           "Replace:=wdReplaceAll\n"
           "End Sub\n");
  const std::string text = Text(doc);
  EXPECT_EQ(text.find("colour"), std::string::npos) << text;
  EXPECT_NE(text.find("The color of the sea"), std::string::npos) << text;
  EXPECT_NE(text.find("Last color line."), std::string::npos) << text;
  EXPECT_NE(text.find("Cell A!"), std::string::npos) << text;
  EXPECT_FALSE(doc->Get("Saved").ToBool());

  // MatchCase and whole words hold back what they should.
  ObjectPtr other = Open("b.txt", "Cat cat concat\r\n");
  RunMacro(other,
           "Public Sub Main()\n"
           "  ActiveDocument.Content.Find.Execute \"cat\", True, True, , , , , , , \"dog\", 2\n"
           "End Sub\n");
  EXPECT_EQ(Text(other), "Cat dog concat\r");
}

TEST_F(MacroObjectModelTest, FindWithoutReplaceMovesTheRange) {
  ObjectPtr doc = Open("a.txt", "one two one three one\r\n");
  EXPECT_EQ(Ask(doc,
                "Count()\nEnd Sub\nFunction Count()\n  Dim r, n\n  Set r = ActiveDocument.Content\n"
                "  r.Find.Text = \"one\"\n  Do While r.Find.Execute\n    n = n & r.Start & \"-\" & "
                "r.End & \" \"\n  Loop\n  Count = n\nEnd Function\nSub Unused()"),
            "0-3 8-11 18-21 ");
}

TEST_F(MacroObjectModelTest, RangesReadAndWriteTheModel) {
  ObjectPtr doc = Open("a.txt", "First line\r\nSecond line\r\n");
  RunMacro(doc,
           "Public Sub Main()\n"
           "  ActiveDocument.Range(0, 5).Text = \"1st\"\n"
           "  ActiveDocument.Paragraphs(2).Range.InsertBefore \"The \"\n"
           "  ActiveDocument.Content.InsertAfter \" end\"\n"
           "  ActiveDocument.Range(4, 8).Delete\n"
           "  ActiveDocument.Content.InsertBefore \"Top\" & vbCr\n"
           "End Sub\n");
  EXPECT_EQ(Text(doc), "Top\r1st \rThe Second line end\r");
  EXPECT_EQ(Ask(doc,
                "ActiveDocument.Paragraphs.Count & \"|\" & "
                "ActiveDocument.Paragraphs(3).Range.Text & \"|\" & "
                "Len(ActiveDocument.Content.Text)"),
            "3|The Second line end\r|29");
}

TEST_F(MacroObjectModelTest, CommentsRevisionsAndFieldsAreEditable) {
  ObjectPtr doc = Open("a.rtf", kRichRtf);
  EXPECT_EQ(Ask(doc,
                "ActiveDocument.Comments.Count & \"|\" & ActiveDocument.Comments(1).Author "
                "& \"|\" & ActiveDocument.Comments(1).Range.Text"),
            "1|Jane Doe|A remark\r");
  EXPECT_EQ(Ask(doc, "ActiveDocument.Revisions.Count"), "2");
  EXPECT_NE(Text(doc).find("Keep gone added text."), std::string::npos) << Text(doc);

  RunMacro(doc,
           "Public Sub Main()\n"
           "  Dim c\n"
           "  For Each c In ActiveDocument.Comments\n"
           "    c.Delete\n"
           "  Next\n"
           "  ActiveDocument.Revisions.AcceptAll\n"
           "End Sub\n");
  EXPECT_EQ(Ask(doc, "ActiveDocument.Comments.Count & \"|\" & ActiveDocument.Revisions.Count"),
            "0|0");
  EXPECT_NE(Text(doc).find("Keep added text."), std::string::npos) << Text(doc);

  EXPECT_EQ(Ask(doc,
                "ActiveDocument.Fields.Count & \"|\" & ActiveDocument.Fields(2).Code.Text & "
                "\"|\" & ActiveDocument.Fields(2).Result.Text & \"|\" & "
                "ActiveDocument.Hyperlinks.Count & \"|\" & "
                "ActiveDocument.Hyperlinks(1).Address"),
            "2|PAGE|7|1|http://example.org/");
  RunMacro(doc,
           "Public Sub Main()\n"
           "  ActiveDocument.Fields(2).Result.Text = \"9\"\n"
           "  ActiveDocument.Hyperlinks(1).Delete\n"
           "End Sub\n");
  EXPECT_EQ(Ask(doc, "ActiveDocument.Fields.Count & \"|\" & ActiveDocument.Hyperlinks.Count"),
            "1|0");
  EXPECT_NE(Text(doc).find("See the site on page 9."), std::string::npos) << Text(doc);
  RunMacro(doc, "Public Sub Main()\n  ActiveDocument.Fields(1).Delete\nEnd Sub\n");
  EXPECT_NE(Text(doc).find("See the site on page ."), std::string::npos) << Text(doc);
}

TEST_F(MacroObjectModelTest, RejectAllKeepsTheOldText) {
  ObjectPtr doc = Open("a.rtf", kRichRtf);
  RunMacro(doc, "Public Sub Main()\n  ActiveDocument.Revisions.RejectAll\nEnd Sub\n");
  EXPECT_NE(Text(doc).find("Keep gone text."), std::string::npos) << Text(doc);
}

TEST_F(MacroObjectModelTest, NotesTablesAndHeaders) {
  ObjectPtr doc = Open("a.rtf", kRichRtf);
  EXPECT_EQ(Ask(doc,
                "ActiveDocument.Footnotes.Count & \"|\" & "
                "ActiveDocument.Footnotes(1).Range.Text & \"|\" & "
                "ActiveDocument.Endnotes.Count & \"|\" & ActiveDocument.Tables.Count & \"|\" & "
                "ActiveDocument.Tables(1).Range.Text"),
            "1|Note text\r|0|1|Cell A\r\aCell B\r\a\a");
  RunMacro(doc,
           "Public Sub Main()\n"
           "  ActiveDocument.Tables(1).Delete\n"
           "  ActiveDocument.Footnotes(1).Delete\n"
           "  ActiveDocument.Sections(1).Headers(wdHeaderFooterPrimary).Range.Text = \"Head\"\n"
           "End Sub\n");
  EXPECT_EQ(Text(doc).find("Cell A"), std::string::npos);
  EXPECT_EQ(Ask(doc,
                "ActiveDocument.Tables.Count & ActiveDocument.Footnotes.Count & "
                "ActiveDocument.Sections.Count & "
                "ActiveDocument.Sections(1).Headers(1).Range.Text"),
            "001Head\r");
}

TEST_F(MacroObjectModelTest, PropertiesFlagsAndNames) {
  ObjectPtr doc = Open("a.rtf", kRichRtf);
  EXPECT_EQ(Ask(doc,
                "ActiveDocument.BuiltInDocumentProperties(\"Title\") & \"|\" & "
                "ActiveDocument.Name & \"|\" & (ActiveDocument.Path & \"/\" & "
                "ActiveDocument.Name = ActiveDocument.FullName) & \"|\" & "
                "Documents(1).Name & \"|\" & Application.ActiveDocument.TrackRevisions"),
            "Old title|a.rtf|True|a.rtf|False");
  RunMacro(doc,
           "Public Sub Main()\n"
           "  ActiveDocument.TrackRevisions = True\n"
           "  ActiveDocument.BuiltInDocumentProperties(\"Title\").Value = \"New\"\n"
           "  ActiveDocument.Saved = True\n"
           "End Sub\n");
  EXPECT_TRUE(doc->Get("TrackRevisions").ToBool());
  EXPECT_TRUE(doc->Get("Saved").ToBool());
  EXPECT_EQ(Ask(doc, "ActiveDocument.BuiltInDocumentProperties(1).Value"), "New");
}

TEST_F(MacroObjectModelTest, FailuresNameTheMemberAndTheLine) {
  ObjectPtr doc = Open("a.txt", "text\r\n");
  std::string failure = RunFailure(doc,
                                   "Public Sub Main()\n"
                                   "  Dim n\n"
                                   "  n = ActiveDocument.Shapes.Count\n"
                                   "End Sub\n");
  EXPECT_NE(failure.find("Shapes"), std::string::npos) << failure;
  EXPECT_NE(failure.find("plugin.bas, line 3"), std::string::npos) << failure;

  failure = RunFailure(doc, "Public Sub Main()\n  ActiveDocument.Comments(3).Delete\nEnd Sub\n");
  EXPECT_NE(failure.find("line 2"), std::string::npos) << failure;
  EXPECT_NE(failure.find("does not exist"), std::string::npos) << failure;

  failure = RunFailure(doc, "Public Sub Main()\n  If True Then\nEnd Sub\n");
  EXPECT_NE(failure.find("Compile error in plugin.bas, line 3"), std::string::npos) << failure;

  failure = RunFailure(doc, "Public Sub Other()\nEnd Sub\n");
  EXPECT_NE(failure.find("\"Main\""), std::string::npos) << failure;

  failure = RunFailure(doc,
                       "Public Sub Main()\n"
                       "  ActiveDocument.Content.Find.Execute FindText:=\"t?t\", "
                       "MatchWildcards:=True\n"
                       "End Sub\n");
  EXPECT_NE(failure.find("MatchWildcards"), std::string::npos) << failure;
}

TEST_F(MacroObjectModelTest, ImportRemoveAndRunManageTheProject) {
  ObjectPtr doc = Open("a.txt", "text\r\n");
  const std::string path = dir_.File("m.bas");
  testing::WriteFile(path,
                     "Attribute VB_Name = \"Tools\"\nPublic Function Main()\nMain = 5\nEnd "
                     "Function\n");
  Args import;
  import.positional.push_back(Variant(path));
  ObjectPtr components = doc->Get("VBProject").AsObject()->Get("VBComponents").AsObject();
  ObjectPtr first = components->Call("Import", import).AsObject();
  ObjectPtr second = components->Call("Import", import).AsObject();
  EXPECT_EQ(first->Get("Name").ToText(), "Tools");
  EXPECT_EQ(second->Get("Name").ToText(), "Tools1");
  Args run;
  run.positional.push_back(Variant("Tools.Main"));
  EXPECT_EQ(app_->Call("Run", run).ToInt(), 5);
  EXPECT_EQ(components->Get("Count").ToInt(), 2);
  Args remove;
  remove.positional.push_back(Variant(first));
  components->Call("remove", remove);
  remove.positional[0] = Variant(second);
  components->Call("remove", remove);
  EXPECT_EQ(components->Get("Count").ToInt(), 0);
  EXPECT_THROW(app_->Call("Run", run), AutomationError);
  // A syntax error leaves the project as it was.
  testing::WriteFile(path, "Sub Main(\n");
  EXPECT_THROW(components->Call("Import", import), AutomationError);
  EXPECT_EQ(components->Get("Count").ToInt(), 0);
}

TEST_F(MacroObjectModelTest, SaveWritesRtfBackAndRefusesAChangedPackage) {
  ObjectPtr rtf = Open("s.rtf", kRichRtf, false);
  RunMacro(rtf,
           "Public Sub Main()\n  ActiveDocument.Content.Find.Execute \"sea\", , , , , , , , , "
           "\"ocean\", wdReplaceAll\n  ActiveDocument.Save\nEnd Sub\n");
  ObjectPtr back = Open("s.rtf", testing::ReadFile(dir_.File("s.rtf")));
  EXPECT_NE(Text(back).find("of the ocean"), std::string::npos) << Text(back);

  const std::string package = testing::MakeDocx(testing::P("Plain words"));
  ObjectPtr docx = Open("s.docx", package, false);
  const std::string failure = RunFailure(
      docx,
      "Public Sub Main()\n  ActiveDocument.Content.Text = \"x\"\n  ActiveDocument.Save\nEnd "
      "Sub\n");
  EXPECT_NE(failure.find("cannot write it back"), std::string::npos) << failure;
  EXPECT_EQ(testing::ReadFile(dir_.File("s.docx")), package);
}

// Two footnotes and an endnote, each with its reference mark in the text,
// a header and a footer of every page, and a first-page header.
const char* kNotesRtf =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\n"
    "{\\headerf \\pard First page head\\par}\n"
    "{\\header \\pard Running head\\par}\n"
    "{\\footer \\pard Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}\\par}\n"
    "\\pard Alpha{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} One\\par} beta"
    "{\\super\\chftn}{\\footnote\\pard Two\\par} gamma{\\super\\chftn}"
    "{\\footnote\\ftnalt\\pard Three\\par}.\\par\n"
    "\\pard Second{\\header \\pard Later section head\\par} paragraph.\\par}\n";

TEST_F(MacroObjectModelTest, DeletingANoteTakesItsMarkOutOfTheText) {
  ObjectPtr doc = Open("n.rtf", kNotesRtf);
  EXPECT_EQ(Text(doc), "Alpha1 beta2 gamma3.\rSecond paragraph.\r");
  EXPECT_EQ(Ask(doc, "ActiveDocument.Footnotes.Count & ActiveDocument.Endnotes.Count"), "21");
  RunMacro(doc,
           "Public Sub Main()\n"
           "  Dim second\n"
           "  Set second = ActiveDocument.Footnotes(2)\n"
           "  ActiveDocument.Footnotes(1).Delete\n"
           "  second.Range.Text = \"Two, edited\"\n"
           "  ActiveDocument.Endnotes(1).Delete\n"
           "End Sub\n");
  EXPECT_EQ(Text(doc), "Alpha beta2 gamma.\rSecond paragraph.\r");
  EXPECT_EQ(Ask(doc, "ActiveDocument.Footnotes.Count & ActiveDocument.Footnotes(1).Range.Text"),
            "1Two, edited\r");
  // Text typed right after a mark is no part of it.
  RunMacro(doc,
           "Public Sub Main()\n"
           "  ActiveDocument.Range(11, 11).InsertBefore \"x\"\n"
           "  ActiveDocument.Footnotes(1).Delete\n"
           "End Sub\n");
  EXPECT_EQ(Text(doc), "Alpha betax gamma.\rSecond paragraph.\r");

  // The same through a package, where a note may be referenced in a table.
  const std::string notes =
      "<w:footnotes %NS%><w:footnote w:type=\"separator\" w:id=\"0\"/>"
      "<w:footnote w:id=\"1\"><w:p><w:r><w:t>Note one</w:t></w:r></w:p></w:footnote>"
      "<w:footnote w:id=\"2\"><w:p><w:r><w:t>Note two</w:t></w:r></w:p></w:footnote>"
      "</w:footnotes>";
  const std::string body =
      "<w:p><w:r><w:t>See</w:t></w:r><w:r><w:footnoteReference w:id=\"1\"/></w:r>"
      "<w:r><w:t xml:space=\"preserve\"> here</w:t></w:r></w:p>"
      "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>Cell</w:t></w:r>"
      "<w:r><w:footnoteReference w:id=\"2\"/></w:r></w:p></w:tc></w:tr></w:tbl>";
  ObjectPtr docx =
      Open("n.docx", testing::MakeDocx(body, {{"footnotes.xml", "footnotes", notes, "", ""}}));
  EXPECT_EQ(Text(docx), "See1 here\rCell2\r\a\a");
  RunMacro(docx,
           "Public Sub Main()\n"
           "  ActiveDocument.Footnotes(2).Delete\n"
           "  ActiveDocument.Footnotes(1).Delete\n"
           "End Sub\n");
  EXPECT_EQ(Text(docx), "See here\rCell\r\a\a");
  EXPECT_EQ(Ask(docx, "ActiveDocument.Footnotes.Count"), "0");
}

TEST_F(MacroObjectModelTest, PrimaryHeadersAndFootersComeFromTheSource) {
  ObjectPtr rtf = Open("h.rtf", kNotesRtf);
  EXPECT_EQ(Ask(rtf,
                "ActiveDocument.Sections(1).Headers(wdHeaderFooterPrimary).Range.Text & \"|\" & "
                "ActiveDocument.Sections(1).Footers(wdHeaderFooterPrimary).Range.Text & \"|\" & "
                "ActiveDocument.Sections(1).Headers(wdHeaderFooterFirstPage).Range.Text"),
            "Running head\r|Page 1\r|");
  // A header is no part of the main text, and its edits stay in it.
  RunMacro(rtf,
           "Public Sub Main()\n"
           "  With ActiveDocument.Sections(1).Headers(1).Range.Find\n"
           "    .Text = \"Running\"\n"
           "    .Replacement.Text = \"Walking\"\n"
           "    .Execute Replace:=wdReplaceAll\n"
           "  End With\n"
           "End Sub\n");
  EXPECT_EQ(Ask(rtf, "ActiveDocument.Sections(1).Headers(1).Range.Text"), "Walking head\r");
  EXPECT_EQ(Text(rtf).find("head"), std::string::npos) << Text(rtf);

  const std::string header = "<w:hdr %NS%><w:p><w:r><w:t>Package head</w:t></w:r></w:p></w:hdr>";
  const std::string even = "<w:hdr %NS%><w:p><w:r><w:t>Even head</w:t></w:r></w:p></w:hdr>";
  const std::string footer = "<w:ftr %NS%><w:p><w:r><w:t>Package foot</w:t></w:r></w:p></w:ftr>";
  const std::string body = testing::P("Body") +
                           "<w:sectPr><w:headerReference w:type=\"even\" r:id=\"rIdE\"/>"
                           "<w:headerReference w:type=\"default\" r:id=\"rIdH\"/>"
                           "<w:footerReference w:type=\"default\" r:id=\"rIdF\"/></w:sectPr>";
  ObjectPtr docx =
      Open("h.docx", testing::MakeDocx(body, {{"header1.xml", "header", header, "", "rIdH"},
                                              {"header2.xml", "header", even, "", "rIdE"},
                                              {"footer1.xml", "footer", footer, "", "rIdF"}}));
  EXPECT_EQ(Ask(docx,
                "ActiveDocument.Sections(1).Headers(1).Range.Text & \"|\" & "
                "ActiveDocument.Sections(1).Footers(1).Range.Text & \"|\" & "
                "ActiveDocument.Content.Text"),
            "Package head\r|Package foot\r|Body\r");
}

TEST_F(MacroObjectModelTest, SaveOfAnUntouchedPackageLeavesItAlone) {
  const std::string package = testing::MakeDocx(testing::P("Plain words"));
  ObjectPtr docx = Open("u.docx", package, false);
  // Only reading, and a property put that the macro takes back.
  RunMacro(docx,
           "Public Sub Main()\n"
           "  Dim n: n = ActiveDocument.Paragraphs.Count\n"
           "  ActiveDocument.Save\n"
           "End Sub\n");
  EXPECT_EQ(testing::ReadFile(dir_.File("u.docx")), package);
  // Saved = True declares the document unchanged: Save writes nothing.
  RunMacro(docx,
           "Public Sub Main()\n"
           "  ActiveDocument.Content.InsertAfter \"more\"\n"
           "  ActiveDocument.Saved = True\n"
           "  ActiveDocument.Save\n"
           "End Sub\n");
  EXPECT_EQ(testing::ReadFile(dir_.File("u.docx")), package);
  // An untouched RTF stays byte for byte too.
  ObjectPtr rtf = Open("u.rtf", kRichRtf, false);
  RunMacro(rtf, "Public Sub Main()\n  ActiveDocument.Save\nEnd Sub\n");
  EXPECT_EQ(testing::ReadFile(dir_.File("u.rtf")), kRichRtf);
}

TEST(StoryTextTest, EditsAcrossParagraphsAndTables) {
  std::vector<Block> story;
  auto paragraph = [](const std::string& text) {
    Paragraph p;
    docengine::Run run;
    run.text = text;
    p.runs.push_back(run);
    return Block::FromParagraph(p);
  };
  story.push_back(paragraph("ab"));
  story.push_back(paragraph("cd"));
  Table table;
  table.rows.emplace_back();
  table.rows[0].cells.emplace_back();
  table.rows[0].cells[0].blocks.push_back(paragraph("x"));
  story.push_back(Block::FromTable(table));
  story.push_back(paragraph("ef"));
  EXPECT_EQ(StoryText(story).Text(0, 100), "ab\rcd\rx\r\a\aef\r");
  // Deleting a paragraph mark joins the paragraphs; cell ends stay.
  ReplaceStoryText(story, 1, 4, "Z");
  EXPECT_EQ(StoryText(story).Text(0, 100), "aZd\rx\r\a\aef\r");
  ReplaceStoryText(story, 4, 10, "");
  EXPECT_EQ(StoryText(story).Text(0, 100), "aZd\r\r\a\a\r");
  // A paragraph mark in inserted text starts a new paragraph.
  ReplaceStoryText(story, 1, 2, "1\r2\v3");
  EXPECT_EQ(StoryText(story).Text(0, 100), "a1\r2\v3d\r\r\a\a\r");
  EXPECT_EQ(StoryText(story).Paragraphs().size(), 4u);
  // Hidden runs and field codes are not part of the text and stay.
  docengine::Run hidden;
  hidden.text = "HID";
  hidden.hidden = true;
  story[0].paragraph.runs.insert(story[0].paragraph.runs.begin(), hidden);
  ReplaceStoryText(story, 0, 1, "b");
  EXPECT_EQ(StoryText(story).Text(0, 3), "b1\r");
  EXPECT_EQ(story[0].paragraph.runs[0].text, "HID");
}

}  // namespace
}  // namespace quillon::docengine
