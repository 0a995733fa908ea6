#include "jobs/manual_list.h"

#include "util/translate.h"

namespace quillon {

int CompareIgnoringAsciiCase(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') {
      x = static_cast<unsigned char>(x - 'A' + 'a');
    }
    if (y >= 'A' && y <= 'Z') {
      y = static_cast<unsigned char>(y - 'A' + 'a');
    }
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (a.size() == b.size()) {
    return 0;
  }
  return a.size() < b.size() ? -1 : 1;
}

int ManualList::CheckedCount() const {
  int count = 0;
  for (const FileListRow& row : list_.rows()) {
    count += row.checked ? 1 : 0;
  }
  return count;
}

void ManualList::SetCheckOfSelected(bool checked) {
  list_.BeginUpdate();
  for (size_t index : list_.SelectedRows()) {
    list_.SetChecked(index, checked);
  }
  list_.EndUpdate();
  UpdateCountLine();
}

void ManualList::CheckSelected() {
  SetCheckOfSelected(true);
}

void ManualList::UncheckSelected() {
  SetCheckOfSelected(false);
}

void ManualList::DeleteSelected() {
  std::vector<size_t> selected = list_.SelectedRows();
  list_.BeginUpdate();
  // From the last to the first, so the indexes still to come stay valid.
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    list_.Remove(*it);
  }
  list_.EndUpdate();
  UpdateCountLine();
}

void ManualList::SelectAll() {
  list_.BeginUpdate();
  for (size_t i = 0; i < list_.size(); ++i) {
    list_.SetSelected(i, true);
  }
  list_.EndUpdate();
}

void ManualList::InvertSelection() {
  list_.BeginUpdate();
  for (size_t i = 0; i < list_.size(); ++i) {
    list_.SetSelected(i, !list_.IsSelected(i));
  }
  list_.EndUpdate();
}

void ManualList::UpdateCountLine() {
  count_line_ = TrFormat(
      "Total %d files, %d selected",
      {static_cast<std::int64_t>(list_.size()), static_cast<std::int64_t>(CheckedCount())});
}

void ManualList::SortByColumn(int column) {
  if (column < 0 || column >= kFileListColumnCount) {
    return;
  }
  sort_column_ = column;
  bool descending = descending_;
  size_t cell = static_cast<size_t>(column);
  list_.Sort([cell, descending](const FileListRow& a, const FileListRow& b) {
    int order = CompareIgnoringAsciiCase(a.cells[cell], b.cells[cell]);
    return descending ? order > 0 : order < 0;
  });
  descending_ = !descending_;
}

}  // namespace quillon
