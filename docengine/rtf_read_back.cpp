// Walks the model in the order the RTF writer writes it and rebuilds it the
// way the RTF reader does from those marks: paragraph table levels, cell
// and row marks, one story per note and comment. Both sides are mirrored
// here on purpose; the corpus test compares this against a real write and
// read of every document, so a change on either side shows there.

#include "docengine/rtf_read_back.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "charset/code_page.h"
#include "docengine/model_building.h"

namespace quillon::docengine {
namespace {

// The writer writes tables down to this depth and skips deeper ones.
constexpr int kWriterMaxTableDepth = 64;
// Properties and comment names longer than this are cut by the reader in
// steps that depend on how its input was chunked.
constexpr std::size_t kMaxPropertyBytes = 60000;
// The deepest group nesting the writer's output has (the document, a note,
// a run's field, its instruction).
constexpr int kWriterGroupDepth = 6;

class RtfReadBack {
 public:
  RtfReadBack(Document& doc, const ReadLimits& limits) : doc_(doc), limits_(limits) {}

  bool Build() {
    if (limits_.max_depth <= kWriterGroupDepth)
      return false;
    Document in = std::move(doc_);
    doc_ = Document();
    doc_.format = SourceFormat::kRtf;
    doc_.open_encoding = 1252;
    doc_.default_lang = in.default_lang;
    doc_.default_lang_fe = in.default_lang_fe;
    doc_.properties.title = Property(in.properties.title);
    doc_.properties.subject = Property(in.properties.subject);
    doc_.properties.author = Property(in.properties.author);
    doc_.properties.keywords = Property(in.properties.keywords);
    doc_.properties.comments = Property(in.properties.comments);
    if (in.page.text_width_twips > 100000000)
      return false;
    doc_.page.text_width_twips = std::max(0, in.page.text_width_twips);
    if (in.protection.is_protected) {
      const std::string& kind = in.protection.kind;
      doc_.protection.is_protected = true;
      doc_.protection.kind = kind == "comments" || kind == "trackedChanges" || kind == "forms"
                                 ? kind
                                 : std::string("readOnly");
    }

    // The writer puts the header and the footer before the body, so their
    // fields are numbered first.
    for (const bool footer : {false, true}) {
      const std::vector<Block>& blocks = footer ? in.footer : in.header;
      if (blocks.empty())
        continue;
      Story story;
      story.blocks = footer ? &doc_.footer : &doc_.header;
      Blocks(blocks, 1, story);
      story.Finish();
    }
    Story body;
    body.blocks = &doc_.body;
    Blocks(in.body, 1, body);
    int note_counter = 0;
    for (int endnotes = 0; endnotes < 2; ++endnotes) {
      for (const Note& note : endnotes ? in.endnotes : in.footnotes) {
        Note out;
        out.mark = std::to_string(++note_counter);
        Story story;
        story.blocks = &out.blocks;
        Blocks(note.blocks, 1, story);
        story.Finish();
        (endnotes ? doc_.endnotes : doc_.footnotes).push_back(std::move(out));
      }
    }
    for (const Comment& comment : in.comments) {
      Comment out;
      out.initials = Property(comment.initials);
      out.author = Property(comment.author);
      Story story;
      story.blocks = &out.blocks;
      Blocks(comment.blocks, 1, story);
      story.Finish();
      doc_.comments.push_back(std::move(out));
    }
    body.Finish();
    return ok_ && total_chars_ <= limits_.max_text_chars && paragraphs_ <= limits_.max_text_chars;
  }

 private:
  using Story = StoryBuilder;

  // Text as the writer escapes it and the reader decodes it.
  std::string Text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
      const unsigned char byte = static_cast<unsigned char>(text[pos]);
      if (byte >= 0x20 && byte < 0x80) {
        out.push_back(static_cast<char>(byte));
        ++pos;
        continue;
      }
      const char32_t c = NextUtf8(text, pos);
      // Malformed bytes decode as U+FFFD, never as a surrogate half: the
      // writer's \u escapes come back as the same characters.
      if (c == '\t' || c == '\n') {
        out.push_back(static_cast<char>(c));
      } else if (c >= 0x80) {
        AppendUtf8(out, c);
      }
      // Other control characters and CR are not written.
    }
    return out;
  }

  std::string Property(const std::string& value) {
    std::string out = Text(value);
    if (out.size() > kMaxPropertyBytes)
      ok_ = false;
    return out;
  }

  // The table level of a paragraph the writer starts at `depth`.
  static int LevelOf(int depth) { return depth <= 1 ? 0 : std::min(depth - 1, 64); }

  void Blocks(const std::vector<Block>& blocks, int depth, Story& s) {
    for (const Block& block : blocks) {
      if (block.is_table()) {
        WriteTable(*block.table, depth + 1, s);
      } else {
        level_ = LevelOf(depth);
        ParagraphBody(block.paragraph, s);
        EndParagraph(s);
      }
    }
  }

  void WriteTable(const Table& table, int depth, Story& s) {
    if (depth > kWriterMaxTableDepth)
      return;
    const bool nested = depth > 2;
    for (const TableRow& row : table.rows) {
      for (const TableCell& cell : row.cells) {
        const std::size_t count = cell.blocks.size();
        const bool ends_with_paragraph = count > 0 && !cell.blocks.back().is_table();
        for (std::size_t i = 0; i + (ends_with_paragraph ? 1 : 0) < count; ++i) {
          const Block& block = cell.blocks[i];
          if (block.is_table()) {
            WriteTable(*block.table, depth + 1, s);
          } else {
            level_ = LevelOf(depth);
            ParagraphBody(block.paragraph, s);
            EndParagraph(s);
          }
        }
        level_ = LevelOf(depth);
        if (ends_with_paragraph)
          ParagraphBody(cell.blocks.back().paragraph, s);
        s.EndCell(nested ? std::max(2, level_) : std::max(1, level_));
      }
      s.EndRow(nested ? std::max(2, level_) : 1);
    }
  }

  void ParagraphBody(const Paragraph& paragraph, Story& s) {
    if (!paragraph.list_label.empty())
      s.paragraph.list_label += Text(paragraph.list_label) + "\t";
    for (const docengine::Run& run : paragraph.runs) {
      docengine::Run format;
      if (run.field_code) {
        // One field per instruction run, in the paragraph's plain format.
        format.field_code = true;
        format.field = ++field_counter_;
      } else {
        format.hidden = run.hidden;
        format.deleted = run.deleted;
        format.inserted = run.inserted;
        format.lang = run.lang;
        format.lang_fe = run.lang_fe;
      }
      const std::string text = Text(run.text);
      if (text.empty())
        continue;
      total_chars_ += text.size();
      AppendRunText(s.paragraph.runs, format, text);
      s.has_content = true;
    }
  }

  void EndParagraph(Story& s) {
    ++paragraphs_;
    s.EndParagraph(level_);
  }

  Document& doc_;
  const ReadLimits& limits_;
  bool ok_ = true;
  int level_ = 0;
  std::uint32_t field_counter_ = 0;
  std::size_t total_chars_ = 0;
  std::size_t paragraphs_ = 0;
};

}  // namespace

bool ReadBackWrittenRtf(Document& doc, const ReadLimits& limits) {
  return RtfReadBack(doc, limits).Build();
}

}  // namespace quillon::docengine
