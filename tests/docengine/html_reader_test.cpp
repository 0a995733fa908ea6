// The HTML reader over small pages written here, and over the real pages
// beside the checkout.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "charset/code_page.h"
#include "docengine/html_reader.h"
#include "tests/docengine/docx_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

using testing::PlainText;

Document ReadPage(const std::string& html) {
  Document doc;
  OpenOptions options;
  options.path = "page.html";
  const ReadResult result = MakeHtmlReader()->Read(html, options, doc);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(doc.format, SourceFormat::kHtml);
  return doc;
}

std::string Encode(const std::string& utf8, int code_page) {
  std::string bytes;
  std::string error;
  EXPECT_TRUE(EncodeText(utf8, code_page, bytes, error)) << error;
  return bytes;
}

TEST(HtmlReaderTest, BlocksListsTablesAndSkippedContent) {
  const Document doc = ReadPage(
      "<!DOCTYPE html><html><head><title> The\n  Title </title>"
      "<style>p { color: red }</style><script>var x = '<p>no</p>';</script></head><body>"
      "<h1>Heading</h1><p>one   two\n three<br>four</p><div>caf&eacute; &amp; &#x263A;</div>"
      "<ol type=\"a\" start=\"3\"><li>c item</li><li>d item<ul><li>inner</li></ul></li></ol>"
      "<ol><li value=\"7\">seven</li><li>eight</li></ol>"
      "<table><tr><th>h1</th><th>h2</th></tr>"
      "<tr><td>a</td><td><table><tr><td>x</td><td>y</td></tr></table></td></tr></table>"
      "<p style=\"display: none\">hidden</p><noscript>enable scripts</noscript>"
      "<p>tail<!-- a comment --> end</p></body></html>");
  EXPECT_EQ(doc.properties.title, "The Title");
  EXPECT_EQ(PlainText(doc),
            "Heading\none two three\nfour\ncaf\u00e9 & \u263A\nc.\tc item\nd.\td item\n"
            "\u2022\tinner\n7.\tseven\n8.\teight\nh1\th2\na\tx\ty\ntail end\n");
  // The nested list is one level down.
  bool found = false;
  for (const Block& b : doc.body) {
    if (!b.is_table() && b.paragraph.list_label == "\u2022") {
      EXPECT_EQ(b.paragraph.list_level, 1);
      found = true;
    }
  }
  EXPECT_TRUE(found);
  const Table* outer = nullptr;
  for (const Block& b : doc.body) {
    if (b.is_table())
      outer = b.table.get();
  }
  ASSERT_NE(outer, nullptr);
  ASSERT_EQ(outer->rows.size(), 2u);
  ASSERT_EQ(outer->rows[1].cells.size(), 2u);
  ASSERT_FALSE(outer->rows[1].cells[1].blocks.empty());
  EXPECT_TRUE(outer->rows[1].cells[1].blocks[0].is_table());
}

TEST(HtmlReaderTest, PagesSavedByWordProcessors) {
  const Document doc = ReadPage(
      "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head>"
      "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1252\">"
      "<!--[if gte mso 9]><xml><w:WordDocument><w:View>Print</w:View></w:WordDocument></xml>"
      "<![endif]--></head><body lang=EN-US>"
      "<p class=MsoNormal>Name:<span style='mso-tab-count:1'>      </span>Ann<o:p></o:p></p>"
      "<p class=MsoNormal><o:p>&nbsp;</o:p></p>"
      "<p class=MsoListParagraph><![if !supportLists]><span>1.<span>&nbsp;&nbsp; </span></span>"
      "<![endif]>First<o:p></o:p></p>"
      "<span style='mso-hide:all'>invisible</span>"
      "<br clear=all style='page-break-before:always'>"
      "<p class=MsoNormal>Next page</p></body></html>");
  EXPECT_EQ(doc.open_encoding, 1252);
  const std::string text = PlainText(doc);
  // Neither the conditional markers nor the empty "o:p" elements show.
  EXPECT_EQ(text.substr(0, text.find('\f')), "Name:\tAnn\n\u00a0\n1.\u00a0\u00a0 First\n") << text;
  EXPECT_EQ(text.find("<!["), std::string::npos) << text;
  EXPECT_EQ(text.find("Print"), std::string::npos) << text;
  EXPECT_EQ(text.find("invisible"), std::string::npos) << text;
  EXPECT_NE(text.find("\f"), std::string::npos) << text;
  EXPECT_EQ(doc.body[0].paragraph.runs[0].lang, 0x0409);
}

TEST(HtmlReaderTest, CharsetComesFromMarkOrDeclarationOrDetection) {
  struct Case {
    std::string bytes;
    int code_page;
    std::string text;
  };
  const std::string russian = "\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440";
  const std::string japanese =
      "\u65e5\u672c\u8a9e\u306e\u6587\u66f8\u3067\u3059\u3002\u3053\u308c\u306f\u30c6\u30b9"
      "\u30c8\u3067\u3059\u3002\u6587\u5b57\u30b3\u30fc\u30c9\u3092\u5224\u5b9a\u3057\u307e"
      "\u3059\u3002";
  std::vector<Case> cases = {
      {"<html><head><meta charset=\"windows-1251\"></head><body><p>" + Encode(russian, 1251) +
           "</p></body></html>",
       1251, russian},
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset = "
       "KOI8-R\"></head><body><p>" +
           Encode(russian, 20866) + "</p></body></html>",
       20866, russian},
      // Latin-1 reads as its superset, as browsers read it.
      {"<html><head><meta charset=iso-8859-1></head><body><p>caf\xE9 \x93q\x94</p></body></html>",
       1252, "caf\u00e9 \u201cq\u201d"},
      {"\xEF\xBB\xBF<html><body><p>" + std::string("\u00fcber") + "</p></body></html>", 65001,
       "\u00fcber"},
      {Encode("\uFEFF<html><body><p>\u00fcber</p></body></html>", 1200), 1200, "\u00fcber"},
      {"<html><body><p>" + std::string("gr\u00fc\u00dfe ") + "</p></body></html>", 65001,
       "gr\u00fc\u00dfe"},
      {"<html><body><p>" + Encode(japanese, 932) + "</p></body></html>", 932, japanese},
      // Bytes the code page leaves undefined keep their place between words;
      // other control characters go.
      {"<html><head><meta charset=windows-1252></head><body><p>a\x90"
       "b\x07 c</p>"
       "<p>long enough\x81 words</p></body></html>",
       1252, "a\u0090b c\nlong enough\u0081 words"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DetectHtmlCodePage(c.bytes), c.code_page) << c.text;
    const Document doc = ReadPage(c.bytes);
    EXPECT_EQ(doc.open_encoding, c.code_page) << c.text;
    EXPECT_EQ(PlainText(doc), c.text + "\n");
  }
}

TEST(HtmlReaderTest, HostilePagesReadWithoutHarm) {
  // Deep nesting, beyond the depth limit of the walk and the parser.
  std::string deep;
  for (int i = 0; i < 100000; ++i)
    deep += "<span><div>";
  deep += "bottom";
  const Document doc = ReadPage("<html><body>" + deep + "</body></html>");
  EXPECT_NE(PlainText(doc).find("bottom"), std::string::npos);

  // Binary junk, a NUL in the middle, an unterminated page, external entities.
  std::string junk;
  for (int i = 0; i < 5000; ++i)
    junk += static_cast<char>((i * 131 + 7) % 256);
  ReadPage(junk);
  const Document nul = ReadPage(std::string("<p>before\0after</p>", 19));
  EXPECT_EQ(PlainText(nul), "beforeafter\n");
  ReadPage("<html><body><table><tr><td><ul><li><p>open");
  const Document entity = ReadPage(
      "<!DOCTYPE html [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><html><body><p>&x;</p>"
      "</body></html>");
  EXPECT_EQ(PlainText(entity).find("root:"), std::string::npos);

  // List numbers at the limits of the integers count on without overflow.
  const Document numbers =
      ReadPage("<ol start=2147483647><li>a<li>b</ol><ol><li value=-99999999999>c<li>d</ol>");
  EXPECT_EQ(PlainText(numbers),
            "1000000000.\ta\n1000000001.\tb\n-1000000000.\tc\n-999999999.\td\n");

  // The text limit turns a huge page into an error.
  OpenOptions options;
  options.limits.max_text_chars = 1000;
  Document big;
  EXPECT_FALSE(ReadHtmlDocument("<p>" + std::string(5000, 'x') + "</p>", options, big).ok);
}

TEST(HtmlReaderTest, ModernPagesParseAsBrowsersDo) {
  // No html, head or body; content in sectioning elements, a custom element,
  // misnested and unclosed tags, a cell's stray text moved before its table.
  const Document doc = ReadPage(
      "<!DOCTYPE html><title>Shop</title><meta name=author content=Ann>"
      "<header><nav>Home | About</nav></header>"
      "<main><article><h2>News</h2><p>First <my-widget>custom part</my-widget> and "
      "<b>bold <i>both</b> italic</i> end<div>block in a paragraph</div>"
      "<details><summary>More</summary>Folded text</details></article>"
      "<table><tr><td>cell</td></tr>stray</table>"
      "<ul><li>one<li>two</ul></main><footer>Fine print</footer>");
  EXPECT_EQ(doc.properties.title, "Shop");
  EXPECT_EQ(doc.properties.author, "Ann");
  EXPECT_EQ(PlainText(doc),
            "Home | About\nNews\nFirst custom part and bold both italic end\n"
            "block in a paragraph\nMore\nFolded text\nstray\ncell\n\u2022\tone\n\u2022\ttwo\n"
            "Fine print\n");
}

TEST(HtmlReaderTest, TemplatesScriptsAndNoscriptShowNothing) {
  const Document doc = ReadPage(
      "<html><head><noscript><p>Turn on scripts</p><style>x{}</style></noscript>"
      "<script>document.write('<p>written</p>')</script></head><body>"
      "<template><p>row template</p></template><p>shown</p>"
      "<noscript><div>no scripts here</div></noscript>"
      "<textarea>  typed\n  text</textarea><p>after</p></body></html>");
  EXPECT_EQ(PlainText(doc), "shown\n  typed\n  text\nafter\n");
}

TEST(HtmlReaderTest, EveryNamedCharacterReference) {
  // References of HTML 4, of HTML5 only (some of two characters), a legacy
  // one without its semicolon, and text that only looks like a reference.
  const Document doc = ReadPage(
      "<p>&hellip;&mdash;&euro;&trade;</p><p>&bigstar;&NotEqualTilde;&fjlig;&Afr;&bne;</p>"
      "<p>&copy 2024 &notit; &amp;c &unknownref; &#x1F600;&#128512;</p>");
  EXPECT_EQ(PlainText(doc),
            "\u2026\u2014\u20ac\u2122\n\u2605\u2242\u0338fj\U0001D504=\u20e5\n"
            "\u00a9 2024 \u00acit; &c &unknownref; \U0001F600\U0001F600\n");
}

TEST(HtmlReaderTest, DeepNestingKeepsTheTextAndTheWalkBounded) {
  // Far past the nesting limit, of elements that stay open and of elements
  // that are closed again: every word survives.
  std::string page = "<html><body>";
  for (int i = 0; i < 3000; ++i)
    page += "<div><span>";
  page += "deep";
  for (int i = 0; i < 3000; ++i)
    page += "</span></div>";
  page += "<p>after</p>";
  for (int i = 0; i < 3000; ++i)
    page += "<blockquote>q" + std::to_string(i % 10);
  const std::string text = PlainText(ReadPage(page));
  EXPECT_NE(text.find("deep\nafter\n"), std::string::npos) << text.substr(0, 200);
  EXPECT_NE(text.find("q0"), std::string::npos);
  std::size_t words = 0;
  for (std::size_t at = 0; (at = text.find('q', at)) != std::string::npos; ++at)
    ++words;
  EXPECT_EQ(words, 3000u);
}

TEST(HtmlReaderTest, WhatThePageShowsSurvivesThePreparation) {
  // Text is set aside before parsing and put back after; blanks between
  // tags shrink; attributes and styles are cut to what counts.
  const Document doc = ReadPage(
      "<p title=\"a > b\" class=x>long enough text <!-- gone --> joined</p>"
      "<pre><b>keep</b>   <b>these</b>\n  <i>blanks</i></pre>"
      "<p>mark \xEF\xBF\xB9 and &#xFFF9; and \xEF\xBF\xB9"
      "12\xEF\xBF\xB9 stay</p>"
      "<p style=\"COLOR: red; Display : None\">hidden by style</p>"
      "<div style=\"white-space: pre-wrap\"><span>a</span>   <span>b</span></div>"
      "<p>x < y and a&b&amp;c<br>line two</p><textarea>in a\n  box</textarea>"
      // An HTML element ends the drawing it stands in, and its text shows.
      "<svg><p>a\xEF\xBF\xB9\xEF\xBF\xB9"
      "b</p>");
  EXPECT_EQ(PlainText(doc),
            "long enough text joined\nkeep   these\n  blanks\n"
            "mark \uFFF9 and \uFFF9 and \uFFF9"
            "12\uFFF9 stay\na   b\nx < y and a&b&c\nline two\n"
            "in a\n  box\na\uFFF9\uFFF9"
            "b\n");
}

TEST(HtmlReaderTest, DamagedPagesShowTheirText) {
  testing::TempDir temp;
  auto open = [&](const std::string& name, const std::string& bytes, Document& doc) {
    testing::WriteFile(temp.File(name), bytes);
    OpenOptions options;
    options.path = temp.File(name);
    return ReadDocumentFile(options, doc);
  };
  // A page whose first blocks were zeroed: no markup left in sight.
  std::string zeroed(8192, '\0');
  zeroed += "Quarterly figures\r\nSecond line\x01\x02\r\n";
  zeroed += std::string(300, '\0');
  Document doc;
  ReadResult result = open("report.html", zeroed, doc);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(PlainText(doc), "Quarterly figures\nSecond line\n");
  // Still a page: saving it back never turns the user's file into text.
  EXPECT_EQ(doc.format, SourceFormat::kHtml);

  // Markup after the damage reads as markup.
  result = open("tail.htm", std::string(5000, '\0') + "<p>kept &amp; parsed</p>", doc);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(PlainText(doc), "kept & parsed\n");

  // UTF-16 without a byte-order mark.
  result = open("wide.html", Encode("<html><body><p>Gr\u00fc\u00dfe</p></body></html>", 1200), doc);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(PlainText(doc), "Gr\u00fc\u00dfe\n");
  EXPECT_EQ(doc.open_encoding, 1200);

  // A file of another format keeps its own message whatever its name.
  result = open("package.html", std::string("PK\x03\x04", 4) + std::string(200, '\0'), doc);
  EXPECT_FALSE(result.ok);
}

TEST(HtmlReaderTest, SniffTellsPagesFromOtherText) {
  const auto reader = MakeHtmlReader();
  EXPECT_GT(reader->Sniff("<!DOCTYPE html><html>", "a.txt"), 0);
  EXPECT_GT(reader->Sniff("  <HTML><BODY>x", "a"), 0);
  EXPECT_EQ(reader->Sniff("{\\rtf1 <html>", "a.htm"), 0);
  EXPECT_EQ(reader->Sniff("just words", "a.txt"), 0);
  EXPECT_GT(reader->Sniff("just words", "a.htm"), 0);
}

TEST(HtmlReaderTest, SavedPageKeepsTextTitleAndBlanks) {
  Document doc;
  doc.properties.title = "T & <T>";
  Paragraph p;
  p.runs.push_back({"two  spaces\tand a tab"});
  docengine::Run hidden{"secret"};
  hidden.hidden = true;
  p.runs.push_back(hidden);
  p.runs.push_back({" & <markup>\nline"});
  doc.body.push_back(Block::FromParagraph(p));
  Paragraph item;
  item.list_label = "1.";
  item.runs.push_back({"item"});
  doc.body.push_back(Block::FromParagraph(item));
  Note note;
  note.mark = "1";
  Paragraph note_text;
  note_text.runs.push_back({" the note"});
  note.blocks.push_back(Block::FromParagraph(note_text));
  doc.footnotes.push_back(note);

  testing::TempDir temp;
  std::string error;
  ASSERT_TRUE(SaveAsHtml(doc, temp.File("out.html"), error)) << error;
  const Document back = ReadPage(testing::ReadFile(temp.File("out.html")));
  EXPECT_EQ(back.properties.title, "T & <T>");
  EXPECT_EQ(PlainText(back), PlainText(doc));
  EXPECT_EQ(PlainText(back), "two  spaces\tand a tab & <markup>\nline\n1.\titem\n1 the note\n");
  EXPECT_FALSE(SaveAsHtml(doc, temp.File("missing/folder/out.html"), error));
  EXPECT_FALSE(error.empty());
}

// ------------------------------------------------------------ real pages

std::vector<std::string> CorpusPages() {
  std::vector<std::string> files;
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    return files;
  for (const auto& entry : std::filesystem::directory_iterator(dir + "/html")) {
    if (entry.is_regular_file())
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(HtmlCorpusTest, EveryPageReadsWithText) {
  const auto files = CorpusPages();
  if (files.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  for (const std::string& path : files) {
    const std::string data = testing::ReadFile(path);
    OpenOptions options;
    options.path = path;
    Document doc;
    const auto reader = MakeHtmlReader();
    EXPECT_GT(reader->Sniff(std::string_view(data).substr(0, 4096), path), 0) << path;
    const ReadResult result = reader->Read(data, options, doc);
    ASSERT_TRUE(result.ok) << path << ": " << result.error;
    const std::string text = PlainText(doc);
    EXPECT_TRUE(IsValidUtf8(text)) << path;
    std::size_t visible = 0;
    for (char c : text) {
      if (!std::isspace(static_cast<unsigned char>(c)))
        ++visible;
    }
    // One page of the corpus has a head and an empty body.
    if (path.find("testHTML_head") == std::string::npos) {
      EXPECT_GT(visible, 5u) << path << " gave: " << text;
    } else {
      EXPECT_EQ(visible, 0u) << text;
      EXPECT_EQ(doc.properties.title, "Apache Tika");
    }
    // Style sheets never leak into the text.
    EXPECT_EQ(text.find("font-family:"), std::string::npos) << path;
  }
}

TEST(HtmlCorpusTest, KnownPagesGiveTheirKnownTextAndCharset) {
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  struct Expectation {
    int code_page;
    std::string title;
    std::vector<std::string> phrases;
  };
  const std::map<std::string, Expectation> expected = {
      {"tika__testHTMLNoisyMetaEncoding_3.html",
       {28596, "", {"\u0648\u0623\u0639\u0631\u0628 \u0627\u0644\u0627\u062a\u062d\u0627\u062f"}}},
      {"tika__test_ignore_IBM420.html", {1252, "", {"Hi, Luis, good morning.\n"}}},
      {"rtfpipe__Issue52.html",
       {65001, "", {"Re:\tChinese Patent Application No. 999999999999.9\n", "Dear Sirs,\n"}}},
      {"h2t__table_ignore.html", {65001, "", {"Header 1\tHeader 2\tHeader 3\n"}}},
      {"h2t__GoogleDocSaved_two.html",
       {65001, "Sandbox", {"1.\tnow with numbers\n", "def func(x):\n\u00a0 if x < 1:\n"}}},
      {"unstr__example-with-scripts.html",
       {65001,
        "Russian Offensive Campaign Assessment, December 13 | Institute for the Study of War",
        {"\u2022\tWho We Are\n"}}},
  };
  for (const auto& [name, want] : expected) {
    OpenOptions options;
    Document doc;
    ASSERT_TRUE(ReadHtmlDocument(testing::ReadFile(dir + "/html/" + name), options, doc).ok);
    EXPECT_EQ(doc.open_encoding, want.code_page) << name;
    EXPECT_EQ(doc.properties.title, want.title) << name;
    const std::string text = PlainText(doc);
    for (const std::string& phrase : want.phrases) {
      EXPECT_NE(text.find(phrase), std::string::npos) << name << " lacks \"" << phrase << "\"";
    }
  }
  OpenOptions options;
  Document scripted;
  ASSERT_TRUE(ReadHtmlDocument(testing::ReadFile(dir + "/html/unstr__example-with-scripts.html"),
                               options, scripted)
                  .ok);
  EXPECT_EQ(PlainText(scripted).find("switchTo5x"), std::string::npos);
}

}  // namespace
}  // namespace quillon::docengine
