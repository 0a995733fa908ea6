// The text writers: layout rules, wrapping, and every save format against a
// matrix of code pages with characters that fit and characters that do not.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "charset/code_page.h"
#include "docengine/text_writer.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

Run Text(std::string text) {
  Run run;
  run.text = std::move(text);
  return run;
}

Block Para(std::vector<Run> runs, std::string label = "") {
  Paragraph p;
  p.runs = std::move(runs);
  p.list_label = std::move(label);
  return Block::FromParagraph(std::move(p));
}

Block Para(std::string text) {
  return Para(std::vector<Run>{Text(std::move(text))});
}

TableCell Cell(std::vector<Block> blocks) {
  TableCell cell;
  cell.blocks = std::move(blocks);
  return cell;
}

Block TableOf(std::vector<std::vector<TableCell>> rows) {
  Table table;
  for (auto& cells : rows) {
    TableRow row;
    row.cells = std::move(cells);
    table.rows.push_back(std::move(row));
  }
  return Block::FromTable(std::move(table));
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_)
      old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

TEST(TextWriterTest, LayoutRules) {
  Document doc;
  docengine::Run hidden = Text("secret");
  hidden.hidden = true;
  docengine::Run deleted = Text("gone");
  deleted.deleted = true;
  docengine::Run inserted = Text("new");
  inserted.inserted = true;
  docengine::Run code = Text(" HYPERLINK \"http://x\" ");
  code.field_code = true;
  doc.body.push_back(Para({Text("one"), hidden, Text(" two\nthree")}));
  doc.body.push_back(Para({Text("A "), deleted, inserted}));
  doc.body.push_back(Para({code, Text("link")}));
  doc.body.push_back(Para({Text("item")}, "1."));
  doc.body.push_back(Para(""));
  doc.body.push_back(TableOf({{Cell({Para("a")}), Cell({Para("b1"), Para("b2")}), Cell({})},
                              {Cell({Para("c")}), Cell({Para("d")}), Cell({Para("e")})}}));
  doc.body.push_back(Para("after"));
  Note footnote;
  footnote.mark = "1";
  footnote.blocks.push_back(Para("foot"));
  doc.footnotes.push_back(footnote);
  Note endnote;
  endnote.mark = "i";
  endnote.blocks.push_back(Para("end"));
  doc.endnotes.push_back(endnote);
  Comment comment;
  comment.blocks.push_back(Para("a remark"));
  doc.comments.push_back(comment);

  EXPECT_EQ(RenderText(doc),
            "one two\r\nthree\r\n"
            "A new\r\n"
            "link\r\n"
            "1.\titem\r\n"
            "\r\n"
            "a\tb1\r\nb2\t\r\n"
            "c\td\te\r\n"
            "after\r\n"
            "1 foot\r\n"
            "i end\r\n");
}

TEST(TextWriterTest, NestedTableStaysInsideItsCell) {
  Document doc;
  Block inner = TableOf({{Cell({Para("x")}), Cell({Para("y")})}});
  doc.body.push_back(TableOf({{Cell({Para("before"), inner}), Cell({Para("right")})}}));
  EXPECT_EQ(RenderText(doc), "before\r\nx\ty\tright\r\n");
}

TEST(TextWriterTest, WrapsAtSpacesAndCutsLongWords) {
  Document doc;
  doc.body.push_back(Para("aaa bbb ccc dddd"));
  doc.body.push_back(Para("abcdefghijkl"));
  TextRenderOptions options;
  options.wrap_columns = 8;
  EXPECT_EQ(RenderText(doc, options), "aaa bbb\r\nccc dddd\r\nabcdefgh\r\nijkl\r\n");
  // Characters, not bytes, count toward the width.
  Document wide;
  wide.body.push_back(Para("\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9"));
  options.wrap_columns = 6;
  EXPECT_EQ(RenderText(wide, options), "\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\r\n");
}

TEST(TextWriterTest, WrapWidthFollowsThePage) {
  Document doc;
  EXPECT_EQ(WrapColumns(doc), 80);
  doc.page.text_width_twips = 9360;  // 6.5 inches
  EXPECT_EQ(WrapColumns(doc), 65);

  std::string words;
  for (int i = 0; i < 30; ++i)
    words += "word ";
  doc.body.push_back(Para(words));
  std::string bytes;
  std::string error;
  ASSERT_TRUE(RenderTextFile(doc, kSaveFormatTextLineBreaks, 65001, bytes, error)) << error;
  std::size_t first_break = bytes.find("\r\n");
  EXPECT_EQ(first_break, 64u);  // 13 words of 5, less the trailing blank
  ASSERT_TRUE(RenderTextFile(doc, kSaveFormatText, 65001, bytes, error));
  EXPECT_EQ(bytes.find("\r\n"), words.size());
}

struct CodePageCase {
  int code_page;
  std::string fits;        // UTF-8 text that the code page holds
  std::string fits_bytes;  // its encoding
};

std::string Utf16(const std::u16string& text, bool big_endian) {
  std::string out;
  for (char16_t c : text) {
    char lo = static_cast<char>(c & 0xFF);
    char hi = static_cast<char>(c >> 8);
    if (big_endian) {
      out.push_back(hi);
      out.push_back(lo);
    } else {
      out.push_back(lo);
      out.push_back(hi);
    }
  }
  return out;
}

TEST(TextWriterTest, EverySaveFormatAgainstTheCodePageMatrix) {
  // "Caf\u00e9" for the Western pages, two Han characters for the Chinese
  // ones; U+1F600 and U+0416 fit none of the legacy pages below.
  const std::vector<CodePageCase> cases = {
      {1252, "Caf\xC3\xA9", "Caf\xE9"},
      {437, "Caf\xC3\xA9", "Caf\x82"},
      {850, "Caf\xC3\xA9", "Caf\x82"},
      {936, "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {950, "\xE4\xB8\xAD\xE6\x96\x87", "\xA4\xA4\xA4\xE5"},
      {65001, "\xE4\xB8\xAD\xC3\xA9", "\xE4\xB8\xAD\xC3\xA9"},
      {1200, "\xE4\xB8\xAD\xC3\xA9", std::string("\xFF\xFE", 2) + Utf16(u"\u4e2d\u00e9", false)},
      {1201, "\xE4\xB8\xAD\xC3\xA9", std::string("\xFE\xFF", 2) + Utf16(u"\u4e2d\u00e9", true)},
  };
  const std::string misfit = "\xF0\x9F\x98\x80";  // U+1F600
  for (int format : {2, 3, 4, 5, 7}) {
    for (const CodePageCase& c : cases) {
      SCOPED_TRACE("format " + std::to_string(format) + " code page " +
                   std::to_string(c.code_page));
      Document doc;
      doc.body.push_back(Para(c.fits + "|" + misfit));
      std::string bytes;
      std::string error;
      ASSERT_TRUE(RenderTextFile(doc, format, c.code_page, bytes, error)) << error;
      std::string expected = c.fits_bytes;
      if (c.code_page == 1200) {
        expected += Utf16(u"|\U0001F600\r\n", false);
      } else if (c.code_page == 1201) {
        expected += Utf16(u"|\U0001F600\r\n", true);
      } else if (c.code_page == 65001) {
        expected += "|" + misfit + "\r\n";
      } else {
        expected += "|?\r\n";
      }
      EXPECT_EQ(bytes, expected);
    }
  }
}

TEST(TextWriterTest, CyrillicMisfitsBecomeQuestionMarks) {
  Document doc;
  doc.body.push_back(Para("\xD0\x96\xC3\xA9"));  // U+0416, U+00E9
  std::string bytes;
  std::string error;
  ASSERT_TRUE(RenderTextFile(doc, kSaveFormatText, 1252, bytes, error));
  EXPECT_EQ(bytes, "?\xE9\r\n");
  ASSERT_TRUE(RenderTextFile(doc, kSaveFormatDosText, 866, bytes, error));
  EXPECT_EQ(bytes, "\x86?\r\n");
}

TEST(TextWriterTest, DefaultCodePagesFollowTheOverridesAndTheLocale) {
  Document doc;
  doc.body.push_back(Para("\xC3\xA9"));
  std::string bytes;
  std::string error;
  {
    ScopedEnv ansi("QUILLON_ANSI_CODEPAGE", "1252");
    ScopedEnv oem("QUILLON_OEM_CODEPAGE", "850");
    ASSERT_TRUE(RenderTextFile(doc, kSaveFormatText, 0, bytes, error));
    EXPECT_EQ(bytes, "\xE9\r\n");
    ASSERT_TRUE(RenderTextFile(doc, kSaveFormatDosTextLineBreaks, 0, bytes, error));
    EXPECT_EQ(bytes, "\x82\r\n");
  }
  ScopedEnv no_ansi("QUILLON_ANSI_CODEPAGE", nullptr);
  ScopedEnv no_oem("QUILLON_OEM_CODEPAGE", nullptr);
  ScopedEnv lc_ctype("LC_CTYPE", nullptr);
  {
    ScopedEnv all("LC_ALL", "C.UTF-8");
    EXPECT_EQ(AnsiCodePage(), 65001);
    EXPECT_EQ(OemCodePage(), 437);
    ASSERT_TRUE(RenderTextFile(doc, kSaveFormatText, 0, bytes, error));
    EXPECT_EQ(bytes, "\xC3\xA9\r\n");
  }
  {
    ScopedEnv all("LC_ALL", "C");
    EXPECT_EQ(AnsiCodePage(), 65001);
  }
  {
    ScopedEnv all("LC_ALL", "de_DE.ISO-8859-1");
    EXPECT_EQ(AnsiCodePage(), 28591);
    EXPECT_EQ(OemCodePage(), 850);
  }
  {
    ScopedEnv all("LC_ALL", "ru_RU.KOI8-R");
    EXPECT_EQ(AnsiCodePage(), 20866);
    EXPECT_EQ(OemCodePage(), 866);
  }
  {
    ScopedEnv all("LC_ALL", "zh_TW.UTF-8");
    EXPECT_EQ(OemCodePage(), 950);
  }
  ASSERT_TRUE(RenderTextFile(doc, kSaveFormatUnicodeText, 0, bytes, error));
  EXPECT_EQ(bytes, std::string("\xFF\xFE\xE9\x00\r\x00\n\x00", 8));
}

TEST(TextWriterTest, UnknownCodePageAndFormatFailWithAMessage) {
  Document doc;
  doc.body.push_back(Para("x"));
  std::string bytes;
  std::string error;
  EXPECT_FALSE(RenderTextFile(doc, kSaveFormatUnicodeText, 4242, bytes, error));
  EXPECT_NE(error.find("4242"), std::string::npos);
  error.clear();
  EXPECT_FALSE(RenderDocument(doc, 16, 0, bytes, error));
  EXPECT_NE(error.find("16"), std::string::npos);
}

TEST(TextWriterTest, SaveDocumentReplacesTheFileWhole) {
  testing::TempDir dir;
  const std::string path = dir.File("out.txt");
  testing::WriteFile(path, "old content that is longer");
  Document doc;
  doc.body.push_back(Para("new"));
  std::string error;
  ASSERT_TRUE(SaveDocument(doc, path, kSaveFormatText, 65001, error)) << error;
  EXPECT_EQ(testing::ReadFile(path), "new\r\n");
  EXPECT_FALSE(SaveDocument(doc, dir.File("missing/out.txt"), kSaveFormatText, 65001, error));
  EXPECT_EQ(error, "The file " + dir.File("missing/out.txt") +
                       " cannot be written: No such file or directory.");

  // The last step fails (a folder stands under the name): the written part
  // does not stay behind.
  const std::string folder = dir.File("taken");
  std::filesystem::create_directory(folder);
  error.clear();
  EXPECT_FALSE(WriteFileReplacing(folder, "bytes", error));
  EXPECT_NE(error.find(folder), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  // Nothing but the two names stays in the folder.
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 2);
}

}  // namespace
}  // namespace quillon::docengine
