#include "docengine/model_building.h"

namespace quillon::docengine {

bool SameFormat(const Run& a, const Run& b) {
  return a.hidden == b.hidden && a.deleted == b.deleted && a.inserted == b.inserted &&
         a.field_code == b.field_code && a.field == b.field && a.note == b.note &&
         a.lang == b.lang && a.lang_fe == b.lang_fe;
}

void AppendRunText(std::vector<Run>& runs, const Run& format, std::string_view text) {
  if (!runs.empty() && SameFormat(runs.back(), format)) {
    runs.back().text += text;
    return;
  }
  Run run = format;
  run.text = text;
  runs.push_back(std::move(run));
}

std::vector<Block>& StoryBuilder::Container() {
  return tables.empty() ? *blocks : tables.back().cell.blocks;
}

void StoryBuilder::CloseTable() {
  OpenTable t = std::move(tables.back());
  tables.pop_back();
  if (!t.cell.blocks.empty())
    t.row.cells.push_back(std::move(t.cell));
  if (!t.row.cells.empty())
    t.table.rows.push_back(std::move(t.row));
  if (!t.table.rows.empty())
    Container().push_back(Block::FromTable(std::move(t.table)));
}

void StoryBuilder::SetLevel(int level) {
  while (static_cast<int>(tables.size()) > level)
    CloseTable();
  while (static_cast<int>(tables.size()) < level)
    tables.emplace_back();
}

void StoryBuilder::TakeParagraph() {
  // Labels come with the tabs and blanks that place them; the writers add
  // their own separator.
  std::string& label = paragraph.list_label;
  const std::size_t first = label.find_first_not_of(" \t");
  const std::size_t last = label.find_last_not_of(" \t");
  label = first == std::string::npos ? std::string() : label.substr(first, last - first + 1);
  Container().push_back(Block::FromParagraph(std::move(paragraph)));
  paragraph = Paragraph();
  has_content = false;
}

void StoryBuilder::EndParagraph(int level) {
  SetLevel(level);
  TakeParagraph();
}

void StoryBuilder::EndCell(int level) {
  SetLevel(level);
  if (has_content || !paragraph.list_label.empty())
    TakeParagraph();
  paragraph = Paragraph();
  has_content = false;
  OpenTable& t = tables.back();
  t.row.cells.push_back(std::move(t.cell));
  t.cell = TableCell();
}

void StoryBuilder::EndRow(int level) {
  // A row mark without cells at this level holds nothing.
  if (static_cast<int>(tables.size()) < level && !has_content && tables.empty())
    return;
  if (has_content)
    EndCell(level);
  SetLevel(level);
  OpenTable& t = tables.back();
  if (!t.cell.blocks.empty()) {
    t.row.cells.push_back(std::move(t.cell));
    t.cell = TableCell();
  }
  if (!t.row.cells.empty())
    t.table.rows.push_back(std::move(t.row));
  t.row = TableRow();
}

void StoryBuilder::Finish() {
  if (blocks == nullptr)
    return;
  if (has_content || !paragraph.list_label.empty()) {
    SetLevel(0);
    TakeParagraph();
  }
  SetLevel(0);
}

}  // namespace quillon::docengine
