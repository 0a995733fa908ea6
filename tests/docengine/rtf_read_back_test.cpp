// The model an RTF file this engine wrote reads back to, computed without
// parsing: it must equal a real write and read, field by field, for every
// document of the corpus and for the shapes the writer treats specially.

#include "docengine/rtf_read_back.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "docengine/reader_factories.h"
#include "docengine/rtf_writer.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

// Every field of the model, so that two documents compare as text and a
// difference shows where it is.
void DescribeBlocks(const std::vector<Block>& blocks, const std::string& indent, std::string& out) {
  for (const Block& b : blocks) {
    if (b.is_table()) {
      out += indent + "table\n";
      for (const TableRow& row : b.table->rows) {
        out += indent + " row\n";
        for (const TableCell& cell : row.cells) {
          out += indent + "  cell\n";
          DescribeBlocks(cell.blocks, indent + "   ", out);
        }
      }
      continue;
    }
    out += indent + "para label=[" + b.paragraph.list_label +
           "] level=" + std::to_string(b.paragraph.list_level) + "\n";
    for (const docengine::Run& r : b.paragraph.runs) {
      out += indent + " run h" + std::to_string(r.hidden) + " d" + std::to_string(r.deleted) +
             " i" + std::to_string(r.inserted) + " c" + std::to_string(r.field_code) + " f" +
             std::to_string(r.field) + " l" + std::to_string(r.lang) + "/" +
             std::to_string(r.lang_fe) + " [" + r.text + "]\n";
    }
  }
}

std::string Describe(const Document& doc) {
  std::string out = "format " + std::to_string(static_cast<int>(doc.format)) + " cp " +
                    std::to_string(doc.open_encoding) + " lang " +
                    std::to_string(doc.default_lang) + "/" + std::to_string(doc.default_lang_fe) +
                    " width " + std::to_string(doc.page.text_width_twips) + " protected " +
                    std::to_string(doc.protection.is_protected) + " " + doc.protection.kind + "\n";
  const Properties& p = doc.properties;
  out += "props [" + p.title + "][" + p.subject + "][" + p.author + "][" + p.keywords + "][" +
         p.comments + "]\n";
  DescribeBlocks(doc.body, "", out);
  for (const Note& n : doc.footnotes) {
    out += "footnote " + n.mark + "\n";
    DescribeBlocks(n.blocks, " ", out);
  }
  for (const Note& n : doc.endnotes) {
    out += "endnote " + n.mark + "\n";
    DescribeBlocks(n.blocks, " ", out);
  }
  for (const Comment& c : doc.comments) {
    out += "comment [" + c.author + "][" + c.initials + "]\n";
    DescribeBlocks(c.blocks, " ", out);
  }
  out += "header\n";
  DescribeBlocks(doc.header, " ", out);
  out += "footer\n";
  DescribeBlocks(doc.footer, " ", out);
  return out;
}

// The document a real write and read gives.
std::string WrittenAndRead(const Document& doc, const ReadLimits& limits = {}) {
  OpenOptions options;
  options.limits = limits;
  Document read;
  ReadResult result = MakeRtfReader()->Read(RenderRtf(doc), options, read);
  EXPECT_TRUE(result.ok) << result.error;
  return Describe(read);
}

// The read-back of `doc`, or "refused".
std::string ReadBack(Document doc, const ReadLimits& limits = {}) {
  if (!ReadBackWrittenRtf(doc, limits))
    return "refused";
  return Describe(doc);
}

docengine::Run Text(std::string text) {
  docengine::Run r;
  r.text = std::move(text);
  return r;
}

Paragraph Para(std::vector<docengine::Run> runs, std::string label = {}) {
  Paragraph p;
  p.runs = std::move(runs);
  p.list_label = std::move(label);
  return p;
}

Block Cells(std::vector<std::vector<std::vector<Block>>> rows) {
  Table t;
  for (auto& row : rows) {
    TableRow r;
    for (auto& cell : row) {
      TableCell c;
      c.blocks = std::move(cell);
      r.cells.push_back(std::move(c));
    }
    t.rows.push_back(std::move(r));
  }
  return Block::FromTable(std::move(t));
}

TEST(RtfReadBack, CorpusDocumentsReadBackAsWrittenAndRead) {
  const std::string corpus = testing::CorpusDir();
  if (corpus.empty())
    GTEST_SKIP() << "the shared corpus is absent";
  int compared = 0;
  int doc_files = 0;
  int doc_refused = 0;
  for (const char* folder : {"doc", "docx", "rtf", "html", "wpd"}) {
    const std::string dir = corpus + "/" + folder;
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
          names.push_back(e->d_name);
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      OpenOptions options;
      options.path = dir + "/" + name;
      Document doc;
      if (!ReadDocumentFile(options, doc).ok)
        continue;
      const bool is_doc = std::string(folder) == "doc";
      doc_files += is_doc;
      const std::string expected = WrittenAndRead(doc);
      const std::string got = ReadBack(doc);
      if (got == "refused") {
        doc_refused += is_doc;
        continue;
      }
      ++compared;
      EXPECT_EQ(got, expected) << options.path;
    }
  }
  EXPECT_GT(compared, 100);
  // The .doc road is what the read-back is for: none may fall back.
  EXPECT_GT(doc_files, 30);
  EXPECT_EQ(doc_refused, 0);
}

TEST(RtfReadBack, TablesAsTheCellAndRowMarksRebuildThem) {
  Document doc;
  std::vector<Block> empty_tail = {Block::FromParagraph(Para({Text("a")})),
                                   Block::FromParagraph(Para({}))};
  std::vector<Block> nested = {
      Block::FromParagraph(Para({Text("n")})),
      Cells({{{Block::FromParagraph(Para({Text("x")}))}, {Block::FromParagraph(Para({}, "1."))}},
             {{}}})};
  doc.body.push_back(Cells({{empty_tail, {}, nested}, {}, {{Block::FromParagraph(Para({}))}}}));
  doc.body.push_back(Block::FromParagraph(Para({Text("after")})));
  doc.body.push_back(Cells({{{Block::FromParagraph(Para({Text("last")}))}}}));
  EXPECT_EQ(ReadBack(doc), WrittenAndRead(doc));
}

TEST(RtfReadBack, RunsFieldsLabelsAndCharactersAsTheEscapesCarryThem) {
  Document doc;
  doc.default_lang = 1031;
  docengine::Run code = Text(" HYPERLINK \"x\" ");
  code.field_code = true;
  code.field = 7;
  code.lang = 1033;
  docengine::Run result = Text("link");
  result.field = 7;
  docengine::Run hidden = Text("h\x01\r");
  hidden.hidden = true;
  docengine::Run plain = Text("tail\t\n{\\}");
  docengine::Run wide = Text("\xC3\xA9\xF0\x9F\x98\x80 \xE2\x82\xAC");
  wide.lang = 1036;
  docengine::Run empty = Text("\x02");
  empty.deleted = true;
  doc.body.push_back(Block::FromParagraph(
      Para({Text("a"), code, result, Text("b"), code, hidden, plain, empty, wide}, " \t1.\t ")));
  doc.body.push_back(Block::FromParagraph(Para({}, "\xE2\x80\xA2")));
  doc.body[0].paragraph.list_level = 3;
  EXPECT_EQ(ReadBack(doc), WrittenAndRead(doc));
}

TEST(RtfReadBack, NotesCommentsPropertiesAndPage) {
  Document doc;
  doc.body.push_back(Block::FromParagraph(Para({Text("body")})));
  doc.footnotes.push_back({"*", {Block::FromParagraph(Para({Text("f1")}))}});
  doc.footnotes.push_back({"2", {}});
  doc.endnotes.push_back({"i",
                          {Block::FromParagraph(Para({Text("e1")})),
                           Cells({{{Block::FromParagraph(Para({Text("c")}))}}})}});
  doc.comments.push_back({"Ann\x01", "A\tB", {Block::FromParagraph(Para({Text("note")}))}});
  doc.header.push_back(Block::FromParagraph(Para({Text("head")})));
  doc.properties.title = "T\x03itle\n";
  doc.properties.comments = "c";
  doc.page.text_width_twips = 9000;
  for (const char* kind : {"comments", "trackedChanges", "forms", "readOnly", "other"}) {
    doc.protection = {true, kind};
    EXPECT_EQ(ReadBack(doc), WrittenAndRead(doc)) << kind;
  }
  doc.protection = {false, "forms"};
  doc.page.text_width_twips = -5;
  EXPECT_EQ(ReadBack(doc), WrittenAndRead(doc));
}

TEST(RtfReadBack, RefusesWhatItDoesNotFollow) {
  // Not refused: malformed text and a surrogate half come back as U+FFFD.
  Document malformed;
  malformed.body.push_back(Block::FromParagraph(Para({Text("a\xED\xA0\x80\xFF\xC3")})));
  EXPECT_EQ(ReadBack(malformed), WrittenAndRead(malformed));

  Document long_title;
  long_title.properties.title = std::string(70000, 'x');
  EXPECT_EQ(ReadBack(long_title), "refused");

  Document big;
  big.body.push_back(Block::FromParagraph(Para({Text(std::string(100, 'x'))})));
  ReadLimits small;
  small.max_text_chars = 50;
  EXPECT_EQ(ReadBack(big, small), "refused");
  small.max_text_chars = 100;
  EXPECT_EQ(ReadBack(big, small), WrittenAndRead(big, small));

  ReadLimits shallow;
  shallow.max_depth = 4;
  EXPECT_EQ(ReadBack(big, shallow), "refused");
}

TEST(RtfReadBack, TablesDeeperThanTheWriterWritesAreLeftOut) {
  Document doc;
  Block inner = Block::FromParagraph(Para({Text("deep")}));
  for (int i = 0; i < 66; ++i)
    inner = Cells({{{Block::FromParagraph(Para({Text(std::to_string(i))})), inner}}});
  doc.body.push_back(inner);
  EXPECT_EQ(ReadBack(doc), WrittenAndRead(doc));
}

}  // namespace
}  // namespace quillon::docengine
