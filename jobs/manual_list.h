#pragma once
// The manual conversion list: the rows the user adds by hand (or the one row
// of a command-line run), the actions on the selected rows, the count line
// and the column sort.
//
// Rows are file-list rows (util/file_list.h), added with AddFileRow on
// list(). The list lives only in memory.
//
// Thread: main thread only.

#include <string>

#include "util/file_list.h"

namespace quillon {

class ManualList {
 public:
  FileList& list() { return list_; }
  const FileList& list() const { return list_; }
  size_t size() const { return list_.size(); }

  // Check, uncheck and delete act on the selected rows and then update the
  // count line.
  void CheckSelected();
  void UncheckSelected();
  void DeleteSelected();
  void SelectAll();
  void InvertSelection();

  // "Total %d files, %d selected": the number of rows and of checked rows,
  // as of the last check, uncheck or delete (empty before the first).
  const std::string& count_line() const { return count_line_; }
  int CheckedCount() const;

  // A click on a column header: sorts by that column's text (column 0: the
  // path), comparing A-Z without regard to case, then flips the direction,
  // so every click sorts the other way than the click before it.
  void SortByColumn(int column);
  int sort_column() const { return sort_column_; }
  bool descending() const { return descending_; }

 private:
  void SetCheckOfSelected(bool checked);
  void UpdateCountLine();

  FileList list_;
  std::string count_line_;
  int sort_column_ = 0;
  bool descending_ = false;
};

// Compares two texts byte by byte, with A-Z taken as a-z: below 0, 0 or
// above 0 as `a` sorts before, with or after `b`.
int CompareIgnoringAsciiCase(const std::string& a, const std::string& b);

}  // namespace quillon
