#include "docengine/rtf_writer.h"

#include "charset/code_page.h"

namespace quillon::docengine {
namespace {

constexpr int kCellWidthTwips = 1440;

void AppendEscaped(std::string_view text, std::string& out) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = NextUtf8(text, pos);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '{':
        out += "\\{";
        break;
      case '}':
        out += "\\}";
        break;
      case '\t':
        out += "\\tab ";
        break;
      case '\n':
        out += "\\line ";
        break;
      case '\r':
        break;
      default:
        if (c < 0x20) {
          // Other control characters carry nothing readable.
          break;
        }
        if (c < 0x80) {
          out.push_back(static_cast<char>(c));
        } else if (c < 0x10000) {
          out += "\\u" + std::to_string(static_cast<std::int16_t>(c)) + "?";
        } else {
          char32_t v = c - 0x10000;
          auto high = static_cast<std::int16_t>(0xD800 + (v >> 10));
          auto low = static_cast<std::int16_t>(0xDC00 + (v & 0x3FF));
          out += "\\u" + std::to_string(high) + "?\\u" + std::to_string(low) + "?";
        }
    }
  }
}

class RtfWriter {
 public:
  explicit RtfWriter(const Document& doc) : doc_(doc) {}

  std::string Write() {
    out_ += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1";
    if (doc_.default_lang != 0)
      out_ += "\\deflang" + std::to_string(doc_.default_lang);
    if (doc_.default_lang_fe != 0)
      out_ += "\\deflangfe" + std::to_string(doc_.default_lang_fe);
    out_ += "\r\n{\\fonttbl{\\f0\\fnil\\fcharset0 Times New Roman;}}\r\n";
    WriteInfo();
    WritePage();
    WriteHeaderFooter("header", doc_.header);
    WriteHeaderFooter("footer", doc_.footer);
    WriteBlocks(doc_.body, 1);
    for (const Note& note : doc_.footnotes)
      WriteNote(note, false);
    for (const Note& note : doc_.endnotes)
      WriteNote(note, true);
    for (const Comment& comment : doc_.comments)
      WriteComment(comment);
    out_ += "}\r\n";
    return std::move(out_);
  }

 private:
  void WriteInfoField(const char* name, const std::string& value) {
    if (value.empty())
      return;
    out_ += "{\\";
    out_ += name;
    out_ += " ";
    AppendEscaped(value, out_);
    out_ += "}";
  }

  void WriteInfo() {
    const Properties& p = doc_.properties;
    if (p.title.empty() && p.subject.empty() && p.author.empty() && p.keywords.empty() &&
        p.comments.empty()) {
      return;
    }
    out_ += "{\\info";
    WriteInfoField("title", p.title);
    WriteInfoField("subject", p.subject);
    WriteInfoField("author", p.author);
    WriteInfoField("keywords", p.keywords);
    WriteInfoField("doccomm", p.comments);
    out_ += "}\r\n";
  }

  void WritePage() {
    if (doc_.page.text_width_twips > 0) {
      out_ +=
          "\\paperw" + std::to_string(doc_.page.text_width_twips + 2880) + "\\margl1440\\margr1440";
    }
    if (doc_.protection.is_protected) {
      const std::string& kind = doc_.protection.kind;
      if (kind == "comments") {
        out_ += "\\annotprot";
      } else if (kind == "trackedChanges") {
        out_ += "\\revprot";
      } else if (kind == "forms") {
        out_ += "\\formprot";
      } else {
        out_ += "\\readprot";
      }
    }
    out_ += "\r\n";
  }

  void WriteRun(const Run& run) {
    if (run.field_code) {
      out_ += "{\\field{\\*\\fldinst{";
      AppendEscaped(run.text, out_);
      out_ += "}}{\\fldrslt }}";
      return;
    }
    out_ += "{";
    const std::size_t start = out_.size();
    if (run.lang != 0)
      out_ += "\\lang" + std::to_string(run.lang);
    if (run.lang_fe != 0)
      out_ += "\\langfe" + std::to_string(run.lang_fe);
    if (run.hidden)
      out_ += "\\v";
    if (run.deleted)
      out_ += "\\deleted";
    if (run.inserted)
      out_ += "\\revised";
    // The blank ends the last control word; without one it would be text.
    if (out_.size() > start)
      out_ += " ";
    AppendEscaped(run.text, out_);
    out_ += "}";
  }

  // Paragraph properties for a paragraph at table depth `depth` (1 = not
  // in a table).
  void StartParagraph(int depth) {
    out_ += "\\pard\\plain";
    if (depth > 1)
      out_ += "\\intbl";
    if (depth > 2)
      out_ += "\\itap" + std::to_string(depth - 1);
    out_ += " ";
  }

  void WriteParagraphBody(const Paragraph& paragraph) {
    if (!paragraph.list_label.empty()) {
      out_ += "{\\listtext ";
      AppendEscaped(paragraph.list_label, out_);
      out_ += "\\tab}";
    }
    for (const Run& run : paragraph.runs)
      WriteRun(run);
  }

  void WriteBlocks(const std::vector<Block>& blocks, int depth) {
    for (const Block& block : blocks) {
      if (block.is_table()) {
        WriteTable(*block.table, depth + 1);
      } else {
        StartParagraph(depth);
        WriteParagraphBody(block.paragraph);
        out_ += "\\par\r\n";
      }
    }
  }

  void WriteRowDefinition(const TableRow& row) {
    out_ += "\\trowd";
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      out_ += "\\cellx" + std::to_string(kCellWidthTwips * static_cast<int>(i + 1));
    }
  }

  // `depth` is the table depth of the cells' paragraphs: 2 for a table in
  // the body, 3 for one nested in a cell, and so on.
  void WriteTable(const Table& table, int depth) {
    if (depth > 64)
      return;
    const bool nested = depth > 2;
    for (const TableRow& row : table.rows) {
      if (!nested) {
        WriteRowDefinition(row);
        out_ += "\r\n";
      }
      for (const TableCell& cell : row.cells) {
        // Every block but the last is written whole; the last paragraph
        // ends with the cell mark instead of a paragraph mark.
        std::size_t count = cell.blocks.size();
        bool ends_with_paragraph = count > 0 && !cell.blocks.back().is_table();
        for (std::size_t i = 0; i + (ends_with_paragraph ? 1 : 0) < count; ++i) {
          WriteBlocks({cell.blocks[i]}, depth);
        }
        StartParagraph(depth);
        if (ends_with_paragraph)
          WriteParagraphBody(cell.blocks.back().paragraph);
        out_ += nested ? "\\nestcell\r\n" : "\\cell\r\n";
      }
      if (nested) {
        out_ += "{\\*\\nesttableprops";
        WriteRowDefinition(row);
        out_ += "\\nestrow}{\\nonesttables\\par}\r\n";
      } else {
        out_ += "\\row\r\n";
      }
    }
  }

  void WriteHeaderFooter(const char* kind, const std::vector<Block>& blocks) {
    if (blocks.empty())
      return;
    out_ += "{\\";
    out_ += kind;
    out_ += " ";
    WriteBlocks(blocks, 1);
    out_ += "}\r\n";
  }

  void WriteNote(const Note& note, bool endnote) {
    out_ += endnote ? "{\\footnote\\ftnalt" : "{\\footnote";
    out_ += " ";
    if (!note.blocks.empty()) {
      WriteBlocks(note.blocks, 1);
    }
    out_ += "}\r\n";
  }

  void WriteComment(const Comment& comment) {
    out_ += "{\\*\\atnid ";
    AppendEscaped(comment.initials, out_);
    out_ += "}{\\*\\atnauthor ";
    AppendEscaped(comment.author, out_);
    out_ += "}\\chatn {\\*\\annotation ";
    WriteBlocks(comment.blocks, 1);
    out_ += "}\r\n";
  }

  const Document& doc_;
  std::string out_;
};

}  // namespace

std::string RenderRtf(const Document& doc) {
  return RtfWriter(doc).Write();
}

}  // namespace quillon::docengine
