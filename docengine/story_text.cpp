#include "docengine/story_text.h"

#include <algorithm>

#include "charset/code_page.h"
#include "docengine/model_building.h"

namespace quillon::docengine {
namespace {

constexpr int kMaxDepth = 512;

bool Indexed(const Run& run) {
  return !run.hidden && !run.field_code;
}

void TidyBlocks(std::vector<Block>& blocks, int depth) {
  if (depth > kMaxDepth)
    return;
  for (Block& block : blocks) {
    if (block.is_table()) {
      for (TableRow& row : block.table->rows) {
        for (TableCell& cell : row.cells)
          TidyBlocks(cell.blocks, depth + 1);
      }
      continue;
    }
    std::vector<Run>& runs = block.paragraph.runs;
    runs.erase(
        std::remove_if(runs.begin(), runs.end(), [](const Run& r) { return r.text.empty(); }),
        runs.end());
    // Neighbours an edit left in one format become one run again.
    std::vector<Run> merged;
    for (Run& run : runs) {
      if (!merged.empty() && SameFormat(merged.back(), run)) {
        merged.back().text += run.text;
      } else {
        merged.push_back(std::move(run));
      }
    }
    runs = std::move(merged);
  }
}

}  // namespace

StoryText::StoryText(std::vector<Block>& story) : story_(story) {
  IndexBlocks(story, 0, 0);
}

void StoryText::IndexBlocks(std::vector<Block>& list, int depth, std::uint32_t top) {
  if (depth > kMaxDepth)
    return;
  for (std::size_t b = 0; b < list.size(); ++b) {
    const std::uint32_t top_block = depth == 0 ? static_cast<std::uint32_t>(b) : top;
    Block& block = list[b];
    if (block.is_table()) {
      for (TableRow& row : block.table->rows) {
        for (TableCell& cell : row.cells) {
          IndexBlocks(cell.blocks, depth + 1, top_block);
          StoryChar end;
          end.kind = StoryChar::Kind::kCellEnd;
          end.ch = U'\a';
          end.list = &list;
          end.block = static_cast<std::uint32_t>(b);
          end.top_block = top_block;
          chars_.push_back(end);
        }
        StoryChar end;
        end.kind = StoryChar::Kind::kRowEnd;
        end.ch = U'\a';
        end.list = &list;
        end.block = static_cast<std::uint32_t>(b);
        end.top_block = top_block;
        chars_.push_back(end);
      }
      continue;
    }
    std::vector<Run>& runs = block.paragraph.runs;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (!Indexed(runs[r]))
        continue;
      const std::string& text = runs[r].text;
      std::size_t pos = 0;
      while (pos < text.size()) {
        StoryChar c;
        c.byte = static_cast<std::uint32_t>(pos);
        c.ch = NextUtf8(text, pos);
        c.bytes = static_cast<std::uint8_t>(pos - c.byte);
        c.list = &list;
        c.block = static_cast<std::uint32_t>(b);
        c.run = static_cast<std::uint32_t>(r);
        c.top_block = top_block;
        chars_.push_back(c);
      }
    }
    StoryChar mark;
    mark.kind = StoryChar::Kind::kParagraphMark;
    mark.ch = U'\r';
    mark.list = &list;
    mark.block = static_cast<std::uint32_t>(b);
    mark.run = static_cast<std::uint32_t>(runs.size());
    mark.top_block = top_block;
    chars_.push_back(mark);
  }
}

std::u32string StoryText::Chars(std::size_t start, std::size_t end) const {
  end = std::min(end, chars_.size());
  std::u32string out;
  for (std::size_t i = start; i < end; ++i) {
    const char32_t c = chars_[i].ch;
    out.push_back(chars_[i].kind == StoryChar::Kind::kText && c == U'\n' ? U'\v' : c);
  }
  return out;
}

std::string StoryText::Text(std::size_t start, std::size_t end) const {
  std::string out;
  for (char32_t c : Chars(start, end))
    AppendUtf8(out, c);
  return out;
}

std::pair<std::size_t, std::size_t> StoryText::BlockSpan(std::size_t block) const {
  auto first = std::lower_bound(chars_.begin(), chars_.end(), block,
                                [](const StoryChar& c, std::size_t b) { return c.top_block < b; });
  auto last = std::upper_bound(first, chars_.end(), block,
                               [](std::size_t b, const StoryChar& c) { return b < c.top_block; });
  return {static_cast<std::size_t>(first - chars_.begin()),
          static_cast<std::size_t>(last - chars_.begin())};
}

std::vector<std::pair<std::size_t, std::size_t>> StoryText::Paragraphs() const {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < chars_.size(); ++i) {
    switch (chars_[i].kind) {
      case StoryChar::Kind::kParagraphMark:
        out.emplace_back(start, i + 1);
        start = i + 1;
        break;
      case StoryChar::Kind::kCellEnd:
      case StoryChar::Kind::kRowEnd:
        start = i + 1;
        break;
      case StoryChar::Kind::kText:
        break;
    }
  }
  return out;
}

void StoryText::Erase(std::size_t start, std::size_t end) {
  end = std::min(end, chars_.size());
  std::size_t i = end;
  while (i > start) {
    --i;
    const StoryChar& c = chars_[i];
    if (c.kind == StoryChar::Kind::kText) {
      // One erase for the stretch of this run that lies in the range.
      std::size_t j = i;
      while (j > start && chars_[j - 1].kind == StoryChar::Kind::kText &&
             chars_[j - 1].list == c.list && chars_[j - 1].block == c.block &&
             chars_[j - 1].run == c.run) {
        --j;
      }
      std::string& text = (*c.list)[c.block].paragraph.runs[c.run].text;
      const std::size_t from = chars_[j].byte;
      text.erase(from, c.byte + c.bytes - from);
      i = j;
    } else if (c.kind == StoryChar::Kind::kParagraphMark) {
      std::vector<Block>& list = *c.list;
      const std::size_t next = c.block + 1;
      if (next < list.size() && !list[next].is_table()) {
        std::vector<Run>& runs = list[c.block].paragraph.runs;
        std::vector<Run>& more = list[next].paragraph.runs;
        runs.insert(runs.end(), std::make_move_iterator(more.begin()),
                    std::make_move_iterator(more.end()));
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(next));
      }
    }
  }
}

bool StoryText::InsertionPoint(std::size_t pos, Point& point) const {
  if (pos > 0 && pos <= chars_.size() && chars_[pos - 1].kind == StoryChar::Kind::kText) {
    const StoryChar& c = chars_[pos - 1];
    point = {c.list, c.block, c.run, static_cast<std::size_t>(c.byte) + c.bytes};
    return true;
  }
  if (pos >= chars_.size()) {
    // Nothing goes after the story's last paragraph mark: the text goes
    // before it, as the object model does.
    for (std::size_t i = chars_.size(); i > 0; --i) {
      if (chars_[i - 1].kind == StoryChar::Kind::kParagraphMark) {
        pos = i - 1;
        break;
      }
    }
    if (pos >= chars_.size())
      return false;
  }
  const StoryChar& c = chars_[pos];
  switch (c.kind) {
    case StoryChar::Kind::kText:
      point = {c.list, c.block, c.run, c.byte};
      return true;
    case StoryChar::Kind::kParagraphMark:
      point = {c.list, c.block, c.run, 0};
      return true;
    case StoryChar::Kind::kCellEnd:
    case StoryChar::Kind::kRowEnd:
      // At a cell's end: at the end of the cell's last paragraph.
      if (pos > 0 && chars_[pos - 1].kind == StoryChar::Kind::kParagraphMark) {
        const StoryChar& mark = chars_[pos - 1];
        point = {mark.list, mark.block, mark.run, 0};
        return true;
      }
      return false;
  }
  return false;
}

void StoryText::Insert(std::size_t pos, std::string_view text) {
  if (text.empty())
    return;
  Point point{};
  if (!InsertionPoint(pos, point)) {
    if (!chars_.empty())
      return;
    story_.push_back(Block::FromParagraph(Paragraph{}));
    point = {&story_, story_.size() - 1, 0, 0};
  }
  std::size_t at = 0;
  while (true) {
    std::size_t stop = text.find_first_of("\r\n", at);
    std::string piece(
        text.substr(at, stop == std::string_view::npos ? std::string_view::npos : stop - at));
    std::replace(piece.begin(), piece.end(), '\v', '\n');
    std::vector<Run>& runs = (*point.list)[point.block].paragraph.runs;
    if (!piece.empty()) {
      point.run = std::min(point.run, runs.size());
      Run format;
      if (point.run < runs.size()) {
        format = runs[point.run];
      } else if (!runs.empty()) {
        format = runs.back();
      }
      format.text.clear();
      format.deleted = false;
      format.field_code = false;
      format.hidden = false;
      format.note = 0;  // typed text is never part of a note's reference mark
      if (point.run < runs.size() && SameFormat(runs[point.run], format)) {
        runs[point.run].text.insert(point.byte, piece);
        point.byte += piece.size();
      } else if (point.run < runs.size() && point.byte > 0) {
        // Split the run and put the new text between its halves.
        Run tail = runs[point.run];
        tail.text = runs[point.run].text.substr(point.byte);
        runs[point.run].text.resize(point.byte);
        format.text = piece;
        runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(point.run) + 1, std::move(format));
        runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(point.run) + 2, std::move(tail));
        point.run += 1;
        point.byte = piece.size();
      } else {
        format.text = piece;
        runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(point.run), std::move(format));
        point.byte = piece.size();
      }
    }
    if (stop == std::string_view::npos)
      break;
    at = stop + 1;
    if (text[stop] == '\r' && at < text.size() && text[at] == '\n')
      ++at;
    // A new paragraph takes the runs after the point.
    std::vector<Block>& list = *point.list;
    Paragraph& paragraph = list[point.block].paragraph;
    Paragraph next;
    next.list_level = paragraph.list_level;
    std::vector<Run>& here = paragraph.runs;
    if (point.run < here.size()) {
      Run tail = here[point.run];
      tail.text = here[point.run].text.substr(std::min(point.byte, here[point.run].text.size()));
      here[point.run].text.resize(std::min(point.byte, here[point.run].text.size()));
      next.runs.push_back(std::move(tail));
      next.runs.insert(
          next.runs.end(),
          std::make_move_iterator(here.begin() + static_cast<std::ptrdiff_t>(point.run) + 1),
          std::make_move_iterator(here.end()));
      here.resize(point.run + 1);
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(point.block) + 1,
                Block::FromParagraph(std::move(next)));
    point = {&list, point.block + 1, 0, 0};
  }
}

void StoryText::Tidy(std::vector<Block>& story) {
  TidyBlocks(story, 0);
}

std::size_t ReplaceStoryText(std::vector<Block>& story, std::size_t start, std::size_t end,
                             std::string_view text) {
  {
    StoryText index(story);
    index.Erase(start, end);
    index.Insert(start, text);
  }
  StoryText::Tidy(story);
  return start + StoryLength(text);
}

std::size_t StoryLength(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80)
      continue;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    ++count;
  }
  return count;
}

}  // namespace quillon::docengine
