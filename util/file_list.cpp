#include "util/file_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <numeric>

#include "platform/prompter.h"
#include "util/files.h"
#include "util/translate.h"

namespace quillon {
namespace {

constexpr std::string_view kWordsStart = "<-";
constexpr std::string_view kWordsEnd = "->";

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Where the mask part of a "Sub-Folder" text ends and where the exclude
// words begin (npos when there are none). The text always ends in ")" without
// exclude words and in "->" with them, so masks holding "(" or ")" and words
// holding "->" read back whole.
struct SubFolderParts {
  size_t mask_begin = std::string::npos;
  size_t mask_end = std::string::npos;
  size_t words_begin = std::string::npos;
  size_t words_end = std::string::npos;
};

SubFolderParts SplitSubFolderText(std::string_view text) {
  SubFolderParts parts;
  size_t open = text.find('(');
  if (open == std::string_view::npos) {
    return parts;
  }
  size_t mask_begin = open + 1;
  if (EndsWith(text, kWordsEnd)) {
    size_t join = text.find(")<-", mask_begin);
    if (join != std::string_view::npos && join + 3 <= text.size() - kWordsEnd.size()) {
      parts.mask_begin = mask_begin;
      parts.mask_end = join;
      parts.words_begin = join + 3;
      parts.words_end = text.size() - kWordsEnd.size();
      return parts;
    }
  }
  size_t close = text.rfind(')');
  if (close != std::string_view::npos && close >= mask_begin) {
    parts.mask_begin = mask_begin;
    parts.mask_end = close;
  }
  return parts;
}

}  // namespace

std::vector<std::string> FileListCaptions() {
  return {Tr("Source File"), Tr("Convert to"), Tr("Sub-Folder"),
          Tr("Type"),        Tr("Size"),       Tr("Modify Time")};
}

void FileList::Append(FileListRow row) {
  rows_.push_back(std::move(row));
  selected_.push_back(false);
  Changed();
}

void FileList::Remove(size_t index) {
  if (index >= rows_.size()) {
    return;
  }
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
  selected_.erase(selected_.begin() + static_cast<std::ptrdiff_t>(index));
  if (focused_ == static_cast<int>(index)) {
    focused_ = -1;
  } else if (focused_ > static_cast<int>(index)) {
    --focused_;
  }
  Changed();
}

void FileList::Clear() {
  rows_.clear();
  selected_.clear();
  focused_ = -1;
  Changed();
}

void FileList::SetChecked(size_t index, bool checked) {
  if (index < rows_.size() && rows_[index].checked != checked) {
    rows_[index].checked = checked;
    Changed();
  }
}

void FileList::Sort(const std::function<bool(const FileListRow&, const FileListRow&)>& less) {
  std::vector<size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return less(rows_[a], rows_[b]); });
  std::vector<FileListRow> rows;
  std::vector<bool> selected;
  int focused = -1;
  for (size_t k = 0; k < order.size(); ++k) {
    rows.push_back(std::move(rows_[order[k]]));
    selected.push_back(selected_[order[k]]);
    if (static_cast<int>(order[k]) == focused_) {
      focused = static_cast<int>(k);
    }
  }
  rows_ = std::move(rows);
  selected_ = std::move(selected);
  focused_ = focused;
  Changed();
}

void FileList::SetFocused(int index) {
  focused_ = (index >= 0 && static_cast<size_t>(index) < rows_.size()) ? index : -1;
  Changed();
}

void FileList::SetSelected(size_t index, bool selected) {
  if (index < selected_.size() && selected_[index] != selected) {
    selected_[index] = selected;
    Changed();
  }
}

void FileList::ClearSelection() {
  std::fill(selected_.begin(), selected_.end(), false);
  focused_ = -1;
  Changed();
}

std::vector<size_t> FileList::SelectedRows() const {
  std::vector<size_t> out;
  for (size_t i = 0; i < selected_.size(); ++i) {
    if (selected_[i]) {
      out.push_back(i);
    }
  }
  return out;
}

void FileList::EndUpdate() {
  if (update_depth_ > 0 && --update_depth_ == 0 && change_pending_) {
    change_pending_ = false;
    if (observer_) {
      observer_();
    }
  }
}

void FileList::Changed() {
  if (update_depth_ > 0) {
    change_pending_ = true;
  } else if (observer_) {
    observer_();
  }
}

std::string SubFolderText(bool sub_folders, const std::string& mask_text,
                          const std::string& exclude_words) {
  std::string text = sub_folders ? Tr("Convert") : Tr("No Convert");
  text += "(" + mask_text + ")";
  if (!exclude_words.empty()) {
    text += std::string(kWordsStart) + exclude_words + std::string(kWordsEnd);
  }
  return text;
}

bool AddFileRow(FileList& list, bool checked, const std::string& path, bool sub_folders,
                const std::string& exclude_words, const std::string& mask_text,
                const std::string& destination_text) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) {
    CurrentPrompter().Show(TrFormat("Error, \"%s\" is not exists!", {path}), Tr("Error"),
                           PromptIcon::kError, PromptButtons::kOk, PromptAnswer::kOk);
    return false;
  }
  bool is_folder = S_ISDIR(info.st_mode);
  size_t slash = path.find_last_of('/');
  std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  if (!is_folder && !name.empty() && name.front() == '~') {
    return false;
  }

  FileListRow row;
  row.checked = checked;
  row.cells[kColumnSource] = path;
  row.cells[kColumnConvertTo] = destination_text;
  if (is_folder) {
    row.cells[kColumnSubFolder] = SubFolderText(sub_folders, mask_text, exclude_words);
  }
  row.cells[kColumnType] = ShellTypeName(path);
  if (!is_folder) {
    row.cells[kColumnSize] = std::to_string(FileSizeOf(path));
    row.cells[kColumnModifyTime] = FileTimeText(path);
  }

  list.BeginUpdate();
  list.Append(std::move(row));
  list.ClearSelection();
  size_t added = list.size() - 1;
  list.SetFocused(static_cast<int>(added));
  list.SetSelected(added, true);
  list.EndUpdate();
  return true;
}

std::string RowSource(const FileListRow& row) {
  return row.cells[kColumnSource];
}

std::string RowDestination(const FileListRow& row) {
  return row.cells[kColumnConvertTo];
}

std::string RowExcludeWords(const FileListRow& row) {
  const std::string& text = row.cells[kColumnSubFolder];
  SubFolderParts parts = SplitSubFolderText(text);
  if (parts.words_begin == std::string::npos) {
    return {};
  }
  return text.substr(parts.words_begin, parts.words_end - parts.words_begin);
}

bool RowFolderSetting(const FileListRow& row, std::string& mask_text) {
  const std::string& text = row.cells[kColumnSubFolder];
  mask_text.clear();
  if (text.empty()) {
    return false;
  }
  SubFolderParts parts = SplitSubFolderText(text);
  if (parts.mask_begin != std::string::npos) {
    mask_text = text.substr(parts.mask_begin, parts.mask_end - parts.mask_begin);
  }
  std::string convert = Tr("Convert");
  return !convert.empty() && text.compare(0, convert.size(), convert) == 0;
}

}  // namespace quillon
