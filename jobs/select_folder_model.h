#pragma once
// The fields of the "Add Sub-Folders" dialog without its widgets: what a
// folder row of the manual list needs (the folder, the file masks, the
// sub-folder choice, the exclude words and the destination), the drop-down
// histories of its three boxes, and the checks made when OK is pressed.
//
// The dialog is created once and keeps its fields between uses; so does
// this model. Nothing of it is saved.
//
// Thread: main thread only.

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The drop-down list of a box that remembers what was in it: newest first,
// each text once, texts that differ only in letter case counted as one.
class BoxHistory {
 public:
  // Puts `text` at the top unless the list already holds it (letter case
  // aside). An empty text is not remembered. True when the list changed.
  bool Remember(std::string_view text);
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

// The dialog's fields as the user left them.
struct SelectFolderFields {
  std::string source_folder;
  std::string filter_text;           // masks separated by ";" or ","
  std::string exclude_words;         // words separated by ";"
  bool include_sub_folders = false;  // "Yes" rather than "No"
  bool specified_path = false;       // "Specified File  Path:" rather than "Same File Path"
  bool same_tree = false;            // "With Same Tree as Source File Path"
  std::string dest_folder;
  std::string pattern = "*";  // the file-name pattern box
};

class SelectFolderModel {
 public:
  SelectFolderFields& fields() { return fields_; }
  const SelectFolderFields& fields() const { return fields_; }

  // The choices of the file-filter box; the first one becomes the filter.
  void SetFilterChoices(std::vector<std::string> choices);
  const std::vector<std::string>& filter_choices() const { return filter_choices_; }

  // Checking or unchecking the same-tree box also chooses "Specified File
  // Path:".
  void SetSameTree(bool checked);

  // The "Convert to" text of the folder row: the translated "Same File
  // Path", or the folder (after the translated "[With Same File Tree]" when
  // the same-tree box is checked), then the translated "[Specified File]"
  // and the pattern when the pattern, without its leading blanks, is
  // neither empty nor "*".
  std::string DestinationText() const;

  // The messages that keep the dialog open when OK is pressed, translated,
  // in the order they are shown; empty when the fields may be taken. Both
  // can come from one press.
  std::vector<std::string> OkErrors() const;

  // The filter text as the masks of a folder row: every ";" and every ","
  // becomes a line break.
  std::string MaskText() const;

  // The histories of the source folder, destination folder and exclude-words
  // boxes. A box's text is remembered when the box receives the focus.
  BoxHistory& source_history() { return source_history_; }
  BoxHistory& dest_history() { return dest_history_; }
  BoxHistory& exclude_history() { return exclude_history_; }

 private:
  SelectFolderFields fields_;
  std::vector<std::string> filter_choices_;
  BoxHistory source_history_;
  BoxHistory dest_history_;
  BoxHistory exclude_history_;
};

// A filter text as folder-row masks: ";" and "," both separate masks, each
// mask is kept as typed.
std::string MaskTextOfFilter(std::string_view filter);

}  // namespace quillon
