#pragma once
// The rows of the file lists (the manual conversion list and the one-row
// list of a command-line run): six text columns and a check mark, built only
// by AddFileRow and read only through the Row* readers, so that the layout
// of the "Sub-Folder" column stays in one place.
//
// FileList is a plain model: the list view of the window shows it through
// an adapter and repaints when the observer fires.
//
// Thread: main thread only.

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

enum FileListColumn : int {
  kColumnSource = 0,      // "Source File": the path
  kColumnConvertTo = 1,   // "Convert to": the destination text
  kColumnSubFolder = 2,   // "Sub-Folder": folder rows only, see SubFolderText
  kColumnType = 3,        // "Type": ShellTypeName
  kColumnSize = 4,        // "Size": file rows only, bytes in decimal
  kColumnModifyTime = 5,  // "Modify Time": file rows only, FileTimeText
  kFileListColumnCount = 6,
};

// The column captions, translated, in column order.
std::vector<std::string> FileListCaptions();

struct FileListRow {
  bool checked = false;  // takes part in the next conversion
  std::array<std::string, kFileListColumnCount> cells;
};

class FileList {
 public:
  size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const std::vector<FileListRow>& rows() const { return rows_; }
  // `index` must be below size().
  const FileListRow& row(size_t index) const { return rows_.at(index); }

  void Append(FileListRow row);
  void Remove(size_t index);
  void Clear();
  void SetChecked(size_t index, bool checked);
  // Orders the rows by `less` (stable); selection and focus stay with their rows.
  void Sort(const std::function<bool(const FileListRow&, const FileListRow&)>& less);

  // The focused row, -1 for none.
  int focused() const { return focused_; }
  void SetFocused(int index);
  bool IsSelected(size_t index) const { return index < selected_.size() && selected_[index]; }
  void SetSelected(size_t index, bool selected);
  // Clears the selection and the focus.
  void ClearSelection();
  std::vector<size_t> SelectedRows() const;

  // Changes between BeginUpdate and the matching EndUpdate reach the observer
  // once, at the end, as a view suspends its repainting.
  void BeginUpdate() { ++update_depth_; }
  void EndUpdate();
  // Called after every change (or batch of changes). May be empty.
  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }

 private:
  void Changed();

  std::vector<FileListRow> rows_;
  std::vector<bool> selected_;
  int focused_ = -1;
  int update_depth_ = 0;
  bool change_pending_ = false;
  std::function<void()> observer_;
};

// The "Sub-Folder" text of a folder row: "Convert" (or "No Convert" when the
// sub-folders are left out), both translated, then "(", the mask text, ")",
// then "<-", the exclude words, "->" when there are exclude words.
std::string SubFolderText(bool sub_folders, const std::string& mask_text,
                          const std::string& exclude_words);

// Adds one row at the end of `list` and makes it the only selected and the
// focused row. A folder row gets the "Sub-Folder" text; a file row gets its
// size and modification time. A missing path is reported ("Error, \"%s\" is
// not exists!", caption "Error") and adds nothing; a file whose name begins
// with "~" (an office program's temporary file) adds nothing without a
// word. True when a row was added.
bool AddFileRow(FileList& list, bool checked, const std::string& path, bool sub_folders,
                const std::string& exclude_words, const std::string& mask_text,
                const std::string& destination_text);

// The path.
std::string RowSource(const FileListRow& row);
// The "Convert to" text.
std::string RowDestination(const FileListRow& row);
// The exclude words of a folder row; empty for a file row or when none.
std::string RowExcludeWords(const FileListRow& row);
// False with an empty mask text for a file row. For a folder row, the mask
// text, and true when the sub-folders are to be converted (the column begins
// with the translated "Convert").
bool RowFolderSetting(const FileListRow& row, std::string& mask_text);

}  // namespace quillon
