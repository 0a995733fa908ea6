// A story: a range of text positions turned into paragraphs and tables,
// with fields, list labels, note marks and tracked changes.

#include "docengine/doc_parser.h"
#include "docengine/model_building.h"

namespace quillon::docengine::msdoc {
namespace {

// The UTF-8 form of a code point in `out`, as AppendUtf8 writes it
// (surrogates and values beyond U+10FFFF as U+FFFD); returns its length.
std::size_t EncodeUtf8(char32_t c, char* out) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
    c = 0xFFFD;
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

// Blocks of characters are checked whole where that is cheap (the loops
// below have a fixed length, so the compiler does them several at a time).
constexpr std::size_t kBlock = 16;

// The first of chars[from, n) that ends a paragraph, a cell or a page
// (0x0D, 0x07, 0x0C), or n.
std::size_t ParagraphEnd(const char32_t* chars, std::size_t from, std::size_t n) {
  std::size_t j = from;
  for (;;) {
    // No character of a block below 0x0E: nothing in it ends anything.
    while (j + kBlock <= n) {
      int low = 0;
      for (std::size_t m = 0; m < kBlock; ++m)
        low |= static_cast<std::int32_t>(chars[j + m]) < 0x0E;
      if (low)
        break;
      j += kBlock;
    }
    const std::size_t stop = std::min(n, j + kBlock);
    for (; j < stop; ++j) {
      const char32_t c = chars[j];
      if (c == 0x0D || c == 0x07 || c == 0x0C)
        return j;
    }
    if (j >= n)
      return n;
  }
}

// The end of the printable ASCII (without '(' when `no_paren`) that
// chars[from, to) begins with.
std::size_t AsciiEnd(const char32_t* chars, std::size_t from, std::size_t to, bool no_paren) {
  std::size_t a = from;
  // Characters are below 0x110000, so they compare as signed numbers.
  const int paren = no_paren ? 0x28 : -1;
  while (a + kBlock <= to) {
    int other = 0;
    for (std::size_t m = 0; m < kBlock; ++m) {
      const auto d = static_cast<std::int32_t>(chars[a + m]);
      other |= (d < 0x20) | (d >= 0x80) | (d == paren);
    }
    if (other)
      break;
    a += kBlock;
  }
  while (a < to) {
    const char32_t d = chars[a];
    if (d < 0x20 || d >= 0x80 || (no_paren && d == 0x28))
      break;
    ++a;
  }
  return a;
}

// Builds blocks (paragraphs and tables) from paragraphs as they end.
class BlockBuilder {
 public:
  BlockBuilder(std::vector<Block>& out, int max_depth) : max_depth_(max_depth) {
    tables_.blocks = &out;
  }

  // `drop_row`: the row's end mark is a tracked deletion, so is the row.
  void AddParagraph(Paragraph paragraph, int depth, bool cell_end, bool row_end,
                    bool drop_row = false) {
    depth = std::clamp(depth, 0, max_depth_);
    tables_.SetLevel(depth);
    if (depth == 0) {
      tables_.blocks->push_back(Block::FromParagraph(std::move(paragraph)));
      return;
    }
    StoryBuilder::OpenTable& t = tables_.tables.back();
    if (row_end) {
      if (!t.cell.blocks.empty())
        t.row.cells.push_back(std::move(t.cell));
      t.cell = {};
      if (!t.row.cells.empty() && !drop_row)
        t.table.rows.push_back(std::move(t.row));
      t.row = {};
      return;
    }
    t.cell.blocks.push_back(Block::FromParagraph(std::move(paragraph)));
    if (cell_end) {
      t.row.cells.push_back(std::move(t.cell));
      t.cell = {};
    }
  }

  void Finish() { tables_.SetLevel(0); }

 private:
  // Only its tables are used: the paragraphs come whole from the story.
  StoryBuilder tables_;
  int max_depth_;
};

}  // namespace

void DocParser::BuildStory(std::int64_t cp_begin, std::int64_t cp_end, int story_kind,
                           std::vector<Block>& out) {
  StoryText text;
  if (!LoadText(cp_begin, cp_end, text)) {
    if (too_large_)
      return;
  }
  BlockBuilder builder(out, std::max(1, options_.limits.max_depth));
  std::vector<bool> fields;         // per open field: still in its code part
  int code_depth = 0;               // how many of them are
  std::uint32_t current_field = 0;  // number of the outermost open field
  std::size_t n = text.chars.size();
  std::size_t i = 0;
  bool at_note_start = story_kind == kNoteStory;
  bool continuation = false;  // the rest of a paragraph after a page break
  // A paragraph whose mark is deleted or hidden runs on into the next one.
  Paragraph carried;
  bool have_carried = false;
  int chpx_hint = -1;  // the character run found last
  // The text of the run being built and the runs of the paragraph being
  // built: their buffers serve every paragraph, which at its end gets a
  // copy of just the size it needs.
  std::string chunk;
  std::vector<Run> runs;
  while (i < n) {
    const std::size_t j = ParagraphEnd(text.chars.data(), i, n);
    ParaProps pap = j < n ? ResolvePara(text.FcOf(j), text.PieceOf(j)) : ParaProps{};
    Paragraph paragraph;
    if (have_carried) {
      if (pap.depth() == 0)
        paragraph = std::move(carried);
      else
        builder.AddParagraph(std::move(carried), 0, false, false);
      carried = {};
      have_carried = false;
    }
    runs.clear();
    if (!paragraph.runs.empty())
      runs.swap(paragraph.runs);
    int cached_run = -2;
    std::uint32_t cached_piece = 0xFFFFFFFF;
    CharProps chp;
    chunk.clear();
    Run chunk_style;
    bool format_may_change = true;
    auto flush = [&] {
      if (chunk.empty())
        return;
      if (!runs.empty() && SameFormat(runs.back(), chunk_style)) {
        runs.back().text += chunk;
      } else {
        runs.push_back(chunk_style);
        runs.back().text = chunk;
      }
      chunk.clear();
    };
    for (std::size_t k = i; k < j; ++k) {
      char32_t c = text.chars[k];
      // Characters [k, same_format_end) are in the run and piece of k.
      std::size_t same_format_end = j;
      if (fib_.word97()) {
        // Characters mostly follow one another in the same run: look the
        // run up only when the position leaves the one found last.
        const StoryText::Location at = text.Locate(k);
        const std::uint32_t fc = at.fc;
        const int run = chpx_.FindNear(chpx_hint, fc);
        if (run >= 0)
          chpx_hint = run;
        if (run != cached_run || at.piece != cached_piece) {
          chp = ResolveChar(pap.istd, run, at.piece);
          cached_run = run;
          cached_piece = at.piece;
          format_may_change = true;
        }
        same_format_end = std::min(j, at.end);
        if (run < 0) {
          same_format_end = k + 1;
        } else if (at.step != 0) {
          const std::uint32_t limit = chpx_.LimitOf(run);
          same_format_end =
              std::min<std::size_t>(same_format_end, k + (limit - fc + at.step - 1) / at.step);
        }
      }
      // Plain text in the format already open goes in without the checks
      // below, as far as the run reaches: ASCII in stretches, other
      // characters one by one. Controls, the symbol font's mark and its
      // private characters take the way below.
      const bool symbol_font = chp.special && chp.symbol;
      if (!format_may_change && !at_note_start) {
        const char32_t* chars = text.chars.data();
        const std::size_t old_size = chunk.size();
        std::size_t e = k;
        while (e < same_format_end) {
          const std::size_t a = AsciiEnd(chars, e, same_format_end, symbol_font);
          if (a > e) {
            const std::size_t at = chunk.size();
            chunk.resize(at + (a - e));
            char* to = chunk.data() + at;
            std::size_t m = e;
            for (; m + kBlock <= a; m += kBlock, to += kBlock)
              for (std::size_t b = 0; b < kBlock; ++b)
                to[b] = static_cast<char>(chars[m + b]);
            for (; m < a; ++m)
              *to++ = static_cast<char>(chars[m]);
            e = a;
          }
          if (e >= same_format_end)
            break;
          const char32_t d = chars[e];
          if (d < 0x80 || (d >= 0xF000 && d <= 0xF0FF))
            break;
          char bytes[4];
          chunk.append(bytes, EncodeUtf8(d, bytes));
          ++e;
        }
        const std::size_t added = chunk.size() - old_size;
        if (e > k && text_chars_ + added <= options_.limits.max_text_chars) {
          text_chars_ += added;
          k = e - 1;
          continue;
        }
        chunk.resize(old_size);
      }
      bool in_code = code_depth > 0;
      if (c == 0x13) {
        if (fields.size() < 1024) {
          if (fields.empty())
            current_field = ++field_counter_;
          fields.push_back(true);
          ++code_depth;
        }
        format_may_change = true;
        continue;
      }
      if (c == 0x14) {
        if (!fields.empty() && fields.back()) {
          fields.back() = false;
          --code_depth;
        }
        format_may_change = true;
        continue;
      }
      if (c == 0x15) {
        if (!fields.empty()) {
          if (fields.back())
            --code_depth;
          fields.pop_back();
          if (fields.empty())
            current_field = 0;
        }
        format_may_change = true;
        continue;
      }
      char utf8[4];
      std::string_view piece_text;
      switch (c) {
        case 0x0B:
          piece_text = "\n";
          break;
        case 0x09:
          piece_text = "\t";
          break;
        case 0x1E:
          piece_text = "-";
          break;
        case 0x02:
          if (story_kind == kMainStory) {
            auto it = note_marks_.find(cp_begin + static_cast<std::int64_t>(k));
            if (it != note_marks_.end())
              piece_text = it->second;
          }
          break;
        default:
          if (c < 0x20)
            break;  // pictures, marks, separators
          if (chp.special && c == 0x28 && chp.symbol)
            c = chp.symbol;
          if (c >= 0xF000 && c <= 0xF0FF)
            c = MapSymbol(c);
          piece_text = std::string_view(utf8, EncodeUtf8(c, utf8));
          break;
      }
      if (piece_text.empty())
        continue;
      if (at_note_start) {
        // The note's own mark opens its text; the writer puts the mark.
        at_note_start = false;
        if (piece_text == " ")
          continue;
      }
      if (text_chars_ + piece_text.size() > options_.limits.max_text_chars) {
        too_large_ = true;
        return;
      }
      text_chars_ += piece_text.size();
      // The format is compared only after what it is made of changed.
      if (format_may_change &&
          (chunk_style.hidden != chp.hidden || chunk_style.deleted != chp.deleted ||
           chunk_style.inserted != chp.inserted || chunk_style.field_code != in_code ||
           chunk_style.field != current_field || chunk_style.lang != chp.lang ||
           chunk_style.lang_fe != chp.lang_fe)) {
        flush();
        chunk_style.hidden = chp.hidden;
        chunk_style.deleted = chp.deleted;
        chunk_style.inserted = chp.inserted;
        chunk_style.field_code = in_code;
        chunk_style.field = current_field;
        chunk_style.lang = chp.lang;
        chunk_style.lang_fe = chp.lang_fe;
      }
      format_may_change = false;
      if (piece_text.size() == 1)
        chunk.push_back(piece_text[0]);
      else
        chunk += piece_text;
    }
    flush();
    paragraph.runs.assign(std::make_move_iterator(runs.begin()),
                          std::make_move_iterator(runs.end()));
    if (at_note_start && j > i)
      at_note_start = false;
    int depth = pap.depth();
    bool terminator_cell = j < n && text.chars[j] == 0x07;
    bool cell_end = depth == 1 ? terminator_cell : depth > 1 && pap.inner_cell;
    bool row_end = depth == 1 ? pap.ttp && terminator_cell : depth > 1 && pap.inner_ttp;
    CharProps mark;
    if (j < n && fib_.word97()) {
      const int run = chpx_.FindNear(chpx_hint, text.FcOf(j));
      mark = run == cached_run && text.PieceOf(j) == cached_piece
                 ? chp
                 : ResolveChar(pap.istd, run, text.PieceOf(j));
    }
    if (depth == 0 && j < n && text.chars[j] == 0x0D && (mark.deleted || mark.hidden)) {
      carried = std::move(paragraph);
      have_carried = true;
      i = j + 1;
      continue;
    }
    if (pap.ilfo > 0 && numberer_ && !row_end && !continuation) {
      paragraph.list_label = numberer_->Label(pap.ilfo, pap.ilvl);
      paragraph.list_level = pap.ilvl;
    }
    // A page break inside a paragraph splits it in two here; its label
    // stays with the first part. A section mark ends its paragraph: the
    // paragraph's formatting run ends right after it.
    continuation = false;
    if (j < n && text.chars[j] == 0x0C && fib_.word97()) {
      int run = papx_.Find(text.FcOf(j));
      bool wide =
          text.PieceOf(j) < pieces_.pieces.size() && !pieces_.pieces[text.PieceOf(j)].compressed;
      std::uint32_t next = text.FcOf(j) + (wide ? 2 : 1);
      continuation = run >= 0 && papx_[run].fc_end != next;
    }
    // The last paragraph of a story has no mark of its own when the story
    // was cut; an empty tail adds nothing.
    if (j < n || !paragraph.runs.empty())
      builder.AddParagraph(std::move(paragraph), depth, cell_end, row_end, row_end && mark.deleted);
    i = j + 1;
  }
  if (have_carried)
    builder.AddParagraph(std::move(carried), 0, false, false);
  builder.Finish();
}

}  // namespace quillon::docengine::msdoc
