// The reader of word-processing packages over small packages built here.

#include <gtest/gtest.h>

#include "docengine/docx_reader.h"
#include "docengine/zip_archive.h"
#include "tests/docengine/docx_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

using testing::DocxPart;
using testing::MakeDocx;
using testing::P;
using testing::PlainText;
using testing::ReadDocx;

Document MustRead(const std::string& data) {
  Document doc;
  const ReadResult result = ReadDocx(data, doc);
  EXPECT_TRUE(result.ok) << result.error;
  return doc;
}

std::string NumberedParagraph(const std::string& num_id, int ilvl, const std::string& text) {
  return "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"" + std::to_string(ilvl) + "\"/><w:numId w:val=\"" +
         num_id + "\"/></w:numPr></w:pPr><w:r><w:t>" + text + "</w:t></w:r></w:p>";
}

const char* kNumbering = R"X(<w:numbering %NS%>
  <w:abstractNum w:abstractNumId="0">
    <w:lvl w:ilvl="0"><w:start w:val="1"/><w:numFmt w:val="decimal"/><w:lvlText w:val="%1."/></w:lvl>
    <w:lvl w:ilvl="1"><w:start w:val="1"/><w:numFmt w:val="lowerLetter"/><w:lvlText w:val="%1.%2)"/></w:lvl>
    <w:lvl w:ilvl="2"><w:start w:val="4"/><w:numFmt w:val="upperRoman"/><w:lvlText w:val="[%3]"/></w:lvl>
  </w:abstractNum>
  <w:abstractNum w:abstractNumId="1">
    <w:lvl w:ilvl="0"><w:numFmt w:val="bullet"/><w:lvlText w:val="&#xF0B7;"/></w:lvl>
  </w:abstractNum>
  <w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>
  <w:num w:numId="2"><w:abstractNumId w:val="1"/></w:num>
  <w:num w:numId="3"><w:abstractNumId w:val="0"/>
    <w:lvlOverride w:ilvl="0"><w:startOverride w:val="7"/></w:lvlOverride></w:num>
  <w:num w:numId="4"><w:abstractNumId w:val="0"/></w:num>
</w:numbering>)X";

const char* kStyles = R"X(<w:styles %NS%>
  <w:docDefaults><w:rPrDefault><w:rPr><w:lang w:val="en-US" w:eastAsia="zh-CN"/></w:rPr></w:rPrDefault></w:docDefaults>
  <w:style w:type="paragraph" w:default="1" w:styleId="Normal"/>
  <w:style w:type="character" w:styleId="Secret"><w:rPr><w:vanish/></w:rPr></w:style>
  <w:style w:type="character" w:styleId="MoreSecret"><w:basedOn w:val="Secret"/></w:style>
  <w:style w:type="paragraph" w:styleId="Hidden"><w:rPr><w:vanish/></w:rPr></w:style>
  <w:style w:type="paragraph" w:styleId="ListItem"><w:pPr><w:numPr><w:numId w:val="4"/></w:numPr></w:pPr></w:style>
  <w:style w:type="paragraph" w:styleId="ListItem2"><w:basedOn w:val="ListItem"/></w:style>
</w:styles>)X";

TEST(DocxReaderTest, ListLabelsFollowNumberingLevelsAndRestarts) {
  const std::string body =
      NumberedParagraph("1", 0, "one") + NumberedParagraph("1", 1, "one-a") +
      NumberedParagraph("1", 1, "one-b") + NumberedParagraph("1", 2, "deep") +
      NumberedParagraph("1", 0, "two") + NumberedParagraph("1", 1, "two-a") +
      NumberedParagraph("2", 0, "dot") + NumberedParagraph("3", 0, "seven") +
      NumberedParagraph("3", 0, "eight") +
      "<w:p><w:pPr><w:pStyle w:val=\"ListItem2\"/></w:pPr><w:r><w:t>styled</w:t></w:r></w:p>" +
      NumberedParagraph("0", 0, "not a list");
  const Document doc = MustRead(MakeDocx(body, {{"numbering.xml", "numbering", kNumbering, "", ""},
                                                {"styles.xml", "styles", kStyles, "", ""}}));
  EXPECT_EQ(PlainText(doc),
            "1.\tone\n1.a)\tone-a\n1.b)\tone-b\n[IV]\tdeep\n2.\ttwo\n2.a)\ttwo-a\n"
            "\u2022\tdot\n7.\tseven\n8.\teight\n1.\tstyled\nnot a list\n");
  ASSERT_EQ(doc.body.size(), 11u);
  EXPECT_EQ(doc.body[3].paragraph.list_level, 2);
}

TEST(DocxReaderTest, HiddenTextComesFromDirectFormattingAndStyleChains) {
  const std::string body =
      "<w:p><w:r><w:t>shown </w:t></w:r>"
      "<w:r><w:rPr><w:vanish/></w:rPr><w:t>direct </w:t></w:r>"
      "<w:r><w:rPr><w:rStyle w:val=\"MoreSecret\"/></w:rPr><w:t>inherited </w:t></w:r>"
      "<w:r><w:rPr><w:rStyle w:val=\"Secret\"/><w:vanish w:val=\"0\"/></w:rPr>"
      "<w:t>unhidden</w:t></w:r></w:p>"
      "<w:p><w:pPr><w:pStyle w:val=\"Hidden\"/></w:pPr><w:r><w:t>gone</w:t></w:r></w:p>" +
      P("last");
  const Document doc = MustRead(MakeDocx(body, {{"styles.xml", "styles", kStyles, "", ""}}));
  EXPECT_EQ(PlainText(doc), "shown unhidden\nlast\n");
  EXPECT_EQ(doc.default_lang, 0x0409);
  EXPECT_EQ(doc.default_lang_fe, 0x0804);
  EXPECT_EQ(doc.body[0].paragraph.runs[0].lang_fe, 0x0804);
}

TEST(DocxReaderTest, FieldsKeepTheirResultAndTrackedChangesTheirMarks) {
  const std::string body =
      "<w:p><w:r><w:t xml:space=\"preserve\">Page </w:t></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
      "<w:r><w:instrText xml:space=\"preserve\"> PAGE </w:instrText></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
      "<w:r><w:t>3</w:t></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
      "<w:r><w:t xml:space=\"preserve\"> of </w:t></w:r>"
      "<w:fldSimple w:instr=\"NUMPAGES\"><w:r><w:t>9</w:t></w:r></w:fldSimple></w:p>"
      // A field whose instruction holds another field: all of it is code.
      "<w:p><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
      "<w:r><w:instrText>IF </w:instrText></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>DATE</w:instrText></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>inner</w:t></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>outer</w:t></w:r>"
      "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>"
      "<w:p><w:r><w:t xml:space=\"preserve\">kept </w:t></w:r>"
      "<w:ins w:id=\"1\" w:author=\"a\"><w:r><w:t>added</w:t></w:r></w:ins>"
      "<w:del w:id=\"2\" w:author=\"a\"><w:r><w:delText>removed</w:delText></w:r></w:del></w:p>";
  const Document doc = MustRead(MakeDocx(body));
  EXPECT_EQ(PlainText(doc), "Page 3 of 9\nouter\nkept added\n");
  const auto& runs = doc.body[0].paragraph.runs;
  ASSERT_GE(runs.size(), 3u);
  EXPECT_TRUE(runs[1].field_code);
  EXPECT_EQ(runs[1].text, " PAGE ");
  const auto& changes = doc.body[2].paragraph.runs;
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_TRUE(changes[1].inserted);
  EXPECT_TRUE(changes[2].deleted);
  EXPECT_EQ(changes[2].text, "removed");
}

TEST(DocxReaderTest, NotesFollowTheirReferencesAndCommentsStayApart) {
  const std::string body =
      "<w:p><w:r><w:t>Text</w:t></w:r><w:r><w:footnoteReference w:id=\"5\"/></w:r>"
      "<w:r><w:t xml:space=\"preserve\"> more</w:t></w:r>"
      "<w:r><w:footnoteReference w:id=\"2\"/></w:r>"
      "<w:r><w:endnoteReference w:id=\"1\"/></w:r>"
      "<w:commentRangeStart w:id=\"0\"/><w:r><w:commentReference w:id=\"0\"/></w:r></w:p>";
  const std::string footnotes =
      "<w:footnotes %NS%><w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>"
      "</w:r></w:p></w:footnote>"
      "<w:footnote w:id=\"2\"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t>second</w:t></w:r>"
      "</w:p></w:footnote>"
      "<w:footnote w:id=\"5\"><w:p><w:r><w:t>first</w:t></w:r></w:p></w:footnote>"
      "</w:footnotes>";
  const std::string endnotes =
      "<w:endnotes %NS%><w:endnote w:id=\"1\"><w:p><w:r><w:t>an endnote</w:t></w:r></w:p>"
      "</w:endnote></w:endnotes>";
  const std::string comments =
      "<w:comments %NS%><w:comment w:id=\"0\" w:author=\"Ann\" w:initials=\"A\">"
      "<w:p><w:r><w:t>a remark</w:t></w:r></w:p></w:comment></w:comments>";
  const Document doc = MustRead(MakeDocx(body, {{"footnotes.xml", "footnotes", footnotes, "", ""},
                                                {"endnotes.xml", "endnotes", endnotes, "", ""},
                                                {"comments.xml", "comments", comments, "", ""}}));
  ASSERT_EQ(doc.footnotes.size(), 2u);
  EXPECT_EQ(doc.footnotes[0].mark, "1");
  EXPECT_EQ(doc.footnotes[1].mark, "2");
  ASSERT_EQ(doc.endnotes.size(), 1u);
  EXPECT_EQ(doc.endnotes[0].mark, "i");
  ASSERT_EQ(doc.comments.size(), 1u);
  EXPECT_EQ(doc.comments[0].author, "Ann");
  const std::string text = PlainText(doc);
  EXPECT_EQ(text.substr(0, text.find('\n')), "Text1 more2i");
  EXPECT_NE(text.find("1 first"), std::string::npos) << text;
  EXPECT_NE(text.find("2 second"), std::string::npos) << text;
  EXPECT_NE(text.find("i an endnote"), std::string::npos) << text;
  EXPECT_EQ(text.find("a remark"), std::string::npos) << text;
}

TEST(DocxReaderTest, TablesNestAndSpecialCharactersMapToText) {
  const std::string inner =
      "<w:tbl><w:tr><w:tc>" + P("x") + "</w:tc><w:tc>" + P("y") + "</w:tc></w:tr></w:tbl>";
  const std::string body =
      "<w:tbl><w:tr><w:tc>" + P("a") + "</w:tc><w:tc>" + inner + P("") +
      "</w:tc></w:tr><w:tr><w:tc>" + P("c") + "</w:tc><w:tc>" + P("d") + "</w:tc></w:tr></w:tbl>" +
      "<w:p><w:r><w:t>A</w:t><w:tab/><w:t>B</w:t><w:br/><w:t>C</w:t><w:noBreakHyphen/>"
      "<w:t>D</w:t><w:sym w:font=\"Symbol\" w:char=\"F061\"/><w:sym w:font=\"Wingdings\" "
      "w:char=\"263A\"/></w:r></w:p>";
  const Document doc = MustRead(MakeDocx(body));
  ASSERT_TRUE(doc.body[0].is_table());
  const Table& table = *doc.body[0].table;
  ASSERT_EQ(table.rows.size(), 2u);
  ASSERT_EQ(table.rows[0].cells.size(), 2u);
  ASSERT_FALSE(table.rows[0].cells[1].blocks.empty());
  EXPECT_TRUE(table.rows[0].cells[1].blocks[0].is_table());
  const Paragraph& last = doc.body.back().paragraph;
  ASSERT_EQ(last.runs.size(), 1u);
  EXPECT_EQ(last.runs[0].text, "A\tB\nC\u2011Da\u263A");
}

TEST(DocxReaderTest, AlternateContentAndTextBoxesGiveTheirTextOnce) {
  const std::string body =
      "<w:p><w:r><w:t>anchor</w:t></w:r><w:r><mc:AlternateContent>"
      "<mc:Choice Requires=\"wps\"><w:drawing><wp:anchor><a:graphic><a:graphicData><wps:wsp>"
      "<wps:txbx><w:txbxContent>" +
      P("box text") +
      "</w:txbxContent></wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor>"
      "</w:drawing></mc:Choice><mc:Fallback><w:pict><v:shape><v:textbox><w:txbxContent>" +
      P("box text") +
      "</w:txbxContent></v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent>"
      "</w:r></w:p>"
      "<mc:AlternateContent><mc:Choice Requires=\"w99\">" +
      P("future") + "</mc:Choice><mc:Fallback>" + P("fallback") +
      "</mc:Fallback></mc:AlternateContent>";
  const Document doc = MustRead(MakeDocx(body));
  EXPECT_EQ(PlainText(doc), "anchor\nbox text\nfallback\n");
}

TEST(DocxReaderTest, AlternateContentTakesAChoiceOnlyWhenEveryVocabularyIsRead) {
  const std::string body =
      // An emoji as a symbol extension, with its text as the fallback.
      "<w:p><w:r><w:t xml:space=\"preserve\">smile </w:t></w:r><w:r><mc:AlternateContent>"
      "<mc:Choice Requires=\"w16se\"><w16se:symEx w16se:font=\"Segoe UI Emoji\" "
      "w16se:char=\"1F600\"/></mc:Choice><mc:Fallback><w:t>\U0001F600</w:t></mc:Fallback>"
      "</mc:AlternateContent></w:r></w:p>"
      // One vocabulary not read is enough to pass a choice over for the next.
      "<mc:AlternateContent><mc:Choice Requires=\"wps w16se\">" +
      P("first choice") + "</mc:Choice><mc:Choice Requires=\"wps\">" + P("second choice") +
      "</mc:Choice><mc:Fallback>" + P("fallback") +
      "</mc:Fallback></mc:AlternateContent>"
      // A prefix stands for what its declaration in scope says.
      "<mc:AlternateContent xmlns:wps=\"urn:example:not-shapes\"><mc:Choice Requires=\"wps\">" +
      P("rebound") + "</mc:Choice><mc:Fallback>" + P("rebound fallback") +
      "</mc:Fallback></mc:AlternateContent>"
      "<mc:AlternateContent "
      "xmlns:shape=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\">"
      "<mc:Choice Requires=\"shape\">" +
      P("own prefix") + "</mc:Choice><mc:Fallback>" + P("own prefix fallback") +
      "</mc:Fallback></mc:AlternateContent>"
      // Neither a choice to take nor a fallback: nothing.
      "<mc:AlternateContent><mc:Choice Requires=\"w16se\">" +
      P("nothing") + "</mc:Choice></mc:AlternateContent>";
  const Document doc = MustRead(MakeDocx(body));
  EXPECT_EQ(PlainText(doc), "smile \U0001F600\nsecond choice\nrebound fallback\nown prefix\n");
}

TEST(DocxReaderTest, PackagePropertiesProtectionPageWidthAndLanguage) {
  const std::string settings =
      "<w:settings %NS%><w:documentProtection w:edit=\"readOnly\" w:enforcement=\"1\"/>"
      "</w:settings>";
  const std::string body =
      "<w:p><w:r><w:rPr><w:lang w:val=\"ja-JP\" w:eastAsia=\"zh-TW\"/></w:rPr><w:t>x</w:t>"
      "</w:r></w:p><w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" "
      "w:right=\"1800\" w:bottom=\"1440\" w:left=\"1800\" w:gutter=\"0\"/></w:sectPr>";
  const Document doc =
      MustRead(MakeDocx(body, {{"settings.xml", "settings", settings, "", ""}}, "A &amp; B"));
  EXPECT_EQ(doc.properties.title, "A & B");
  EXPECT_TRUE(doc.protection.is_protected);
  EXPECT_EQ(doc.protection.kind, "readOnly");
  EXPECT_EQ(doc.page.text_width_twips, 12240 - 3600);
  EXPECT_EQ(doc.body[0].paragraph.runs[0].lang, 0x0411);
  EXPECT_EQ(doc.body[0].paragraph.runs[0].lang_fe, 0x0404);
  EXPECT_EQ(doc.format, SourceFormat::kDocx);

  // Protection that is not enforced does not protect.
  const std::string loose =
      "<w:settings %NS%><w:documentProtection w:edit=\"forms\" w:enforcement=\"0\"/>"
      "</w:settings>";
  EXPECT_FALSE(MustRead(MakeDocx(P("y"), {{"settings.xml", "settings", loose, "", ""}}))
                   .protection.is_protected);
}

TEST(DocxReaderTest, AlternateFormatChunksJoinTheBody) {
  const std::string body = P("before") + "<w:altChunk r:id=\"chunk1\"/>" +
                           "<w:altChunk r:id=\"chunk2\"/>" + "<w:altChunk r:id=\"chunk3\"/>" +
                           "<w:altChunk r:id=\"chunk4\"/>" + P("after");
  const std::string html =
      "<html><body><p>from <b>html</b></p><ul><li>item</li></ul></body></html>";
  const std::string text = "plain line 1\r\nplain line 2";
  const std::string mht =
      "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"XX\"\r\n\r\n"
      "--XX\r\nContent-Type: text/html; charset=\"windows-1252\"\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
      "<html><body><p>caf=E9 =\r\nau lait</p></body></html>\r\n--XX--\r\n";
  const Document doc = MustRead(MakeDocx(
      body,
      {{"chunk.html", "aFChunk", html, "text/html", "chunk1"},
       {"chunk.txt", "aFChunk", text, "text/plain", "chunk2"},
       {"chunk.mht", "aFChunk", mht, "message/rfc822", "chunk3"},
       {"chunk.rtf", "aFChunk", "{\\rtf1\\ansi from rtf\\par}", "application/rtf", "chunk4"}}));
  EXPECT_EQ(PlainText(doc),
            "before\nfrom html\n\u2022\titem\nplain line 1\nplain line 2\n"
            "caf\u00e9 au lait\nfrom rtf\nafter\n");
}

TEST(DocxReaderTest, BrokenPackagesFailWithAMessage) {
  Document doc;
  EXPECT_FALSE(ReadDocx("not a zip at all", doc).ok);

  // A zip without a main document.
  const ReadResult missing = ReadDocx(testing::MakeZip({{"a.txt", "hello"}}), doc);
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.error.empty());

  // Main document that is not XML.
  std::string bad = MakeDocx(P("x"));
  ReadResult r = ReadDocx(testing::MakeZip({{"[Content_Types].xml", "<Types/>"},
                                            {"word/document.xml", "<w:document><w:body><w:p"}}),
                          doc);
  EXPECT_FALSE(r.ok);

  // Every truncation of a valid package fails cleanly or reads; none crashes.
  for (std::size_t cut = 0; cut < bad.size(); cut += 97) {
    Document partial;
    const ReadResult result = ReadDocx(bad.substr(0, cut), partial);
    if (!result.ok) {
      EXPECT_FALSE(result.error.empty());
    }
  }
  // Flipped bytes inside the compressed data.
  for (std::size_t at = 40; at < bad.size(); at += 131) {
    std::string flipped = bad;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    Document d;
    const ReadResult result = ReadDocx(flipped, d);
    if (!result.ok) {
      EXPECT_FALSE(result.error.empty());
    }
  }
}

TEST(DocxReaderTest, InflationBeyondTheLimitsIsABomb) {
  // 16 MiB of one character deflate to about 16 KiB: far beyond the allowed ratio.
  std::string zeros(16u << 20, '0');
  const std::string body = "<w:p><w:r><w:t>" + zeros + "</w:t></w:r></w:p>";
  zeros.clear();
  zeros.shrink_to_fit();
  const std::string bomb = MakeDocx(body);
  ASSERT_LT(bomb.size(), 1u << 20);
  Document doc;
  const ReadResult result = ReadDocx(bomb, doc);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, kZipBombMessage);

  // The total of all parts counts too, whatever the ratio.
  ReadLimits small;
  small.max_inflated_bytes = 4096;
  std::string big_body;
  for (int i = 0; i < 200; ++i)
    big_body += P("paragraph number " + std::to_string(i));
  const ReadResult capped = ReadDocx(MakeDocx(big_body), doc, small);
  EXPECT_FALSE(capped.ok);
  EXPECT_EQ(capped.error, kZipBombMessage);
  EXPECT_TRUE(ReadDocx(MakeDocx(big_body), doc).ok);
}

TEST(DocxReaderTest, HostileNestingFailsWithoutExhaustingTheStack) {
  // Far past the nesting limit, yet small enough to stay
  // under the inflation ratio that would stop it first.
  const int levels = 10000;
  std::string blocks;
  std::string runs = "<w:p><w:r>";
  for (int i = 0; i < levels; ++i) {
    blocks += "<w:sdt><w:sdtContent>";
    runs += "<mc:AlternateContent><mc:Choice Requires=\"w14\">";
  }
  for (int i = 0; i < levels; ++i) {
    blocks += "</w:sdtContent></w:sdt>";
    runs += "</mc:Choice></mc:AlternateContent>";
  }
  runs += "</w:r></w:p>";
  std::string table;
  for (int i = 0; i < 2000; ++i)
    table += "<w:tbl><w:tr><w:tc>";
  for (int i = 0; i < 2000; ++i)
    table += "<w:p/></w:tc></w:tr></w:tbl>";
  for (const std::string& body : {blocks, runs, table}) {
    Document doc;
    const ReadResult result = ReadDocx(MakeDocx(P("before") + body), doc);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("nest too deeply"), std::string::npos) << result.error;
  }
  // Ordinary nesting reads.
  std::string nested = P("x");
  for (int i = 0; i < 20; ++i)
    nested = "<w:tbl><w:tr><w:tc>" + nested + "</w:tc></w:tr></w:tbl>";
  Document doc;
  EXPECT_TRUE(ReadDocx(MakeDocx(nested), doc).ok);
}

TEST(DocxReaderTest, SniffClaimsPackagesOnly) {
  const auto reader = MakeDocxReader();
  const std::string docx = MakeDocx(P("x"));
  EXPECT_GT(reader->Sniff(std::string_view(docx).substr(0, 4096), "a.bin"), 0);
  EXPECT_EQ(reader->Sniff("{\\rtf1 hello}", "a.docx"), 0);
  EXPECT_EQ(reader->Sniff("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "a.docx"), 0);
}

TEST(DocxReaderTest, LanguageTagsMapToIdentifiers) {
  EXPECT_EQ(LcidFromLanguageTag("zh-CN"), 0x0804);
  EXPECT_EQ(LcidFromLanguageTag("zh-HK"), 0x0C04);
  EXPECT_EQ(LcidFromLanguageTag("ko-KR"), 0x0412);
  EXPECT_EQ(LcidFromLanguageTag("de-DE"), 0x0407);
  EXPECT_EQ(LcidFromLanguageTag(""), 0);
}

}  // namespace
}  // namespace quillon::docengine

namespace quillon::docengine {
namespace {

TEST(DocxWriterTest, SavedPackageKeepsMarksNotesAndProperties) {
  Document doc;
  doc.properties.title = "Saved <title>";
  doc.page.text_width_twips = 9000;
  doc.protection = {true, "comments"};
  Paragraph p;
  p.list_label = "3.";
  p.runs.push_back({"plain & <kept>\tafter tab\nnext line"});
  docengine::Run gone{"gone"};
  gone.deleted = true;
  docengine::Run added{" added"};
  added.inserted = true;
  docengine::Run hidden{" hidden"};
  hidden.hidden = true;
  docengine::Run code{" PAGE "};
  code.field_code = true;
  docengine::Run chinese{" \u4e2d\u6587"};
  chinese.lang_fe = 0x0804;
  p.runs.insert(p.runs.end(), {gone, added, hidden, code, chinese});
  doc.body.push_back(Block::FromParagraph(p));
  Table table;
  auto text_block = [](const std::string& text) {
    Paragraph para;
    para.runs.push_back({text});
    return Block::FromParagraph(para);
  };
  table.rows.push_back({});
  table.rows[0].cells.push_back({{text_block("cell")}});
  table.rows[0].cells.push_back({});
  doc.body.push_back(Block::FromTable(table));
  doc.footnotes.push_back({"1", {text_block("note one")}});
  doc.endnotes.push_back({"i", {text_block("end note")}});
  doc.comments.push_back({"Ann", "A", {text_block("remark")}});

  quillon::testing::TempDir temp;
  std::string error;
  ASSERT_TRUE(SaveAsDocx(doc, temp.File("saved.docx"), error)) << error;
  Document back;
  const ReadResult result =
      quillon::testing::ReadDocx(quillon::testing::ReadFile(temp.File("saved.docx")), back);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(quillon::testing::PlainText(back), quillon::testing::PlainText(doc));
  EXPECT_EQ(back.properties.title, "Saved <title>");
  EXPECT_EQ(back.page.text_width_twips, 9000);
  EXPECT_EQ(back.protection.kind, "comments");
  ASSERT_EQ(back.comments.size(), 1u);
  EXPECT_EQ(back.comments[0].author, "Ann");
  const auto& runs = back.body[0].paragraph.runs;
  auto find = [&](const std::string& text) -> const docengine::Run* {
    for (const auto& r : runs) {
      if (r.text.find(text) != std::string::npos)
        return &r;
    }
    return nullptr;
  };
  ASSERT_NE(find("gone"), nullptr);
  EXPECT_TRUE(find("gone")->deleted);
  ASSERT_NE(find("added"), nullptr);
  EXPECT_TRUE(find("added")->inserted);
  ASSERT_NE(find("hidden"), nullptr);
  EXPECT_TRUE(find("hidden")->hidden);
  ASSERT_NE(find("\u4e2d"), nullptr);
  EXPECT_EQ(find("\u4e2d")->lang_fe, 0x0804);

  // A folder that does not exist cannot take the file, and says so.
  EXPECT_FALSE(SaveAsDocx(doc, temp.File("no/such/folder/x.docx"), error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace quillon::docengine
