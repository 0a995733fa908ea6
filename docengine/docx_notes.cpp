// Notes and comments of a word-processing package.

#include "docengine/docx_notes.h"

#include <utility>

#include "docengine/docx_parser.h"
#include "docengine/docx_styles.h"
#include "docengine/docx_xml.h"

namespace quillon::docengine::docx {

void NoteTable::LoadFormats(const pugi::xml_node& settings) {
  if (pugi::xml_node fmt = Child(Child(settings, "footnotePr"), "numFmt"))
    footnotes_.format = AttrText(fmt, "val");
  if (pugi::xml_node fmt = Child(Child(settings, "endnotePr"), "numFmt"))
    endnotes_.format = AttrText(fmt, "val");
}

std::string NoteTable::Mark(bool endnote, const std::string& id, bool custom) {
  return Mark(Of(endnote), id, custom);
}

std::string NoteTable::Mark(Kind& kind, const std::string& id, bool custom) {
  auto it = kind.marks.find(id);
  if (it != kind.marks.end())
    return it->second;
  const std::string mark = custom ? std::string() : FormatNumber(++kind.count, kind.format);
  kind.marks[id] = mark;
  kind.reference_order.push_back(id);
  return mark;
}

std::uint32_t NoteTable::Anchor(bool endnote, const std::string& id) {
  Kind& kind = Of(endnote);
  auto it = kind.anchors.find(id);
  if (it != kind.anchors.end())
    return it->second;
  const std::uint32_t anchor = ++anchor_count_;
  kind.anchors[id] = anchor;
  return anchor;
}

void NoteTable::AddBody(bool endnote, const std::string& id, Note note) {
  Kind& kind = Of(endnote);
  kind.part_order.push_back(id);
  kind.bodies[id] = std::move(note);
}

void NoteTable::MoveInto(Kind& kind, std::vector<Note>& target) {
  for (const std::string& id : kind.reference_order) {
    auto it = kind.bodies.find(id);
    if (it == kind.bodies.end())
      continue;
    it->second.mark = kind.marks[id];
    auto anchor = kind.anchors.find(id);
    it->second.id = anchor == kind.anchors.end() ? 0 : anchor->second;
    target.push_back(std::move(it->second));
    kind.bodies.erase(it);
  }
  for (const std::string& id : kind.part_order) {
    auto it = kind.bodies.find(id);
    if (it == kind.bodies.end())
      continue;
    // Numbered on after the referenced ones, as the note would be.
    it->second.mark = Mark(kind, id, false);
    target.push_back(std::move(it->second));
    kind.bodies.erase(it);
  }
}

void NoteTable::MoveInto(Document& doc) {
  MoveInto(footnotes_, doc.footnotes);
  MoveInto(endnotes_, doc.endnotes);
}

void DocxParser::LoadNotes(const pugi::xml_node& root, bool endnotes) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) != "footnote" && Local(n) != "endnote")
      continue;
    const std::string type = AttrText(n, "type");
    if (!type.empty() && type != "normal")
      continue;
    Note note;
    fields_.clear();
    field_ = 0;
    ParseBlocks(n, note.blocks, Context{}, 1);
    const std::string id = AttrText(n, "id");
    notes_.AddBody(endnotes, id, std::move(note));
  }
}

void DocxParser::LoadComments(const pugi::xml_node& root) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) != "comment")
      continue;
    Comment comment;
    comment.author = AttrText(n, "author");
    comment.initials = AttrText(n, "initials");
    fields_.clear();
    field_ = 0;
    ParseBlocks(n, comment.blocks, Context{}, 1);
    doc_.comments.push_back(std::move(comment));
  }
}

}  // namespace quillon::docengine::docx
