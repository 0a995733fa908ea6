#pragma once
// A story of the document model (the main text, a note, a comment, a
// header) seen as the object model's range text: a sequence of characters
// counted from 0, and edits on it that change the model.
//
// The range text holds every run that is neither hidden nor a field
// instruction; runs of a tracked deletion are part of it until the
// revision is accepted, as the object model shows them. A paragraph ends
// with "\r", a table cell and a table row with "\a"; a manual line break
// reads as "\v". Positions count Unicode characters.
//
// A StoryText indexes its story when built. Edits through it keep the
// index valid for every position before the edited one, so a batch of
// edits runs from the last position to the first; after a batch, build a
// new StoryText. Tidy() drops the empty runs that edits leave.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docengine/document.h"

namespace quillon::docengine {

struct StoryChar {
  enum class Kind : std::uint8_t { kText, kParagraphMark, kCellEnd, kRowEnd };
  Kind kind = Kind::kText;
  char32_t ch = 0;
  // The block list and index of the paragraph (text and paragraph marks);
  // for cell and row ends, of the table's block.
  std::vector<Block>* list = nullptr;
  std::uint32_t block = 0;
  // kText: the run and the character's byte offset and length in its text.
  // kParagraphMark: the paragraph's run count when indexed.
  std::uint32_t run = 0;
  std::uint32_t byte = 0;
  std::uint8_t bytes = 0;
  // The index of the story's top-level block that holds the character.
  std::uint32_t top_block = 0;
};

class StoryText {
 public:
  explicit StoryText(std::vector<Block>& story);

  std::size_t size() const { return chars_.size(); }
  const std::vector<StoryChar>& chars() const { return chars_; }

  // The range text of [start, end) as UTF-8 (positions are clamped).
  std::string Text(std::size_t start, std::size_t end) const;
  // The same as code points.
  std::u32string Chars(std::size_t start, std::size_t end) const;

  // [start, end) of the characters of top-level block `block`; an empty
  // range at the block's place when it has none.
  std::pair<std::size_t, std::size_t> BlockSpan(std::size_t block) const;
  // Every paragraph as [start, end), its mark included, in reading order
  // (paragraphs inside tables too).
  std::vector<std::pair<std::size_t, std::size_t>> Paragraphs() const;

  // Removes the characters of [start, end). A paragraph mark that goes
  // joins its paragraph with the next one; cell and row ends stay (a
  // table's shape changes only through its own Delete).
  void Erase(std::size_t start, std::size_t end);
  // Inserts UTF-8 text at pos (the place [pos, ...) had before an Erase of
  // the same batch). "\r", "\r\n" and "\n" start a new paragraph, "\v" is a
  // manual line break. The text takes the format of the character before
  // it, never a tracked deletion's.
  void Insert(std::size_t pos, std::string_view text);

  // Removes empty runs from every paragraph of the story.
  static void Tidy(std::vector<Block>& story);

 private:
  void IndexBlocks(std::vector<Block>& list, int depth, std::uint32_t top);
  struct Point {
    std::vector<Block>* list;
    std::size_t block;
    std::size_t run;
    std::size_t byte;
  };
  bool InsertionPoint(std::size_t pos, Point& point) const;

  std::vector<Block>& story_;
  std::vector<StoryChar> chars_;
};

// Replaces [start, end) of the story with text; returns the end of the new
// text (start + its length in characters).
std::size_t ReplaceStoryText(std::vector<Block>& story, std::size_t start, std::size_t end,
                             std::string_view text);

// The length of UTF-8 text in the characters StoryText counts, with
// "\r\n" as one.
std::size_t StoryLength(std::string_view text);

}  // namespace quillon::docengine
