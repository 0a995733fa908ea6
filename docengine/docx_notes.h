#pragma once
// Footnotes and endnotes of a word-processing package: their reference
// marks, numbered in the order the references come, and their bodies in
// that order at the end.

#include <cstdint>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "docengine/document.h"

namespace quillon::docengine::docx {

class NoteTable {
 public:
  // The numbering formats of the settings part.
  void LoadFormats(const pugi::xml_node& settings);
  // The mark of the reference to note `id`, numbered on at its first
  // reference. A custom mark follows in the text itself: the mark is empty.
  std::string Mark(bool endnote, const std::string& id, bool custom);
  // The model's number of note `id` (Note::id), carried by the runs of its
  // reference mark: footnotes and endnotes count on together from 1.
  std::uint32_t Anchor(bool endnote, const std::string& id);
  // The body of note `id`, in the order of its part.
  void AddBody(bool endnote, const std::string& id, Note note);
  // Moves the notes into `doc`: referenced ones in the order of their
  // references, the others after them in the order of their part.
  void MoveInto(Document& doc);

 private:
  struct Kind {
    explicit Kind(std::string numbering) : format(std::move(numbering)) {}
    std::string format;
    std::map<std::string, std::string> marks;
    std::map<std::string, Note> bodies;
    std::vector<std::string> part_order;
    std::vector<std::string> reference_order;
    std::map<std::string, std::uint32_t> anchors;
    int count = 0;
  };
  Kind& Of(bool endnote) { return endnote ? endnotes_ : footnotes_; }
  std::string Mark(Kind& kind, const std::string& id, bool custom);
  void MoveInto(Kind& kind, std::vector<Note>& target);

  Kind footnotes_{"decimal"};
  Kind endnotes_{"lowerRoman"};
  std::uint32_t anchor_count_ = 0;
};

}  // namespace quillon::docengine::docx
