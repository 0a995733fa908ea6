#include "jobs/select_folder_model.h"

#include <QString>
#include <algorithm>

#include "jobs/destination_naming.h"
#include "util/translate.h"

namespace quillon {

bool BoxHistory::Remember(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  QString wanted = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  bool known = std::any_of(entries_.begin(), entries_.end(), [&wanted](const std::string& entry) {
    return QString::fromStdString(entry).compare(wanted, Qt::CaseInsensitive) == 0;
  });
  if (known) {
    return false;
  }
  entries_.insert(entries_.begin(), std::string(text));
  return true;
}

void SelectFolderModel::SetFilterChoices(std::vector<std::string> choices) {
  filter_choices_ = std::move(choices);
  fields_.filter_text = filter_choices_.empty() ? std::string() : filter_choices_.front();
}

void SelectFolderModel::SetSameTree(bool checked) {
  fields_.same_tree = checked;
  fields_.specified_path = true;
}

std::string SelectFolderModel::DestinationText() const {
  DestinationChoice choice;
  if (!fields_.specified_path) {
    choice.kind = DestinationChoice::Folder::kSameFilePath;
  } else {
    choice.kind = fields_.same_tree ? DestinationChoice::Folder::kSameFileTree
                                    : DestinationChoice::Folder::kFolder;
    choice.folder = fields_.dest_folder;
  }
  choice.pattern = fields_.pattern;
  return ComposeDestinationText(choice);
}

std::vector<std::string> SelectFolderModel::OkErrors() const {
  std::vector<std::string> errors;
  if (fields_.source_folder.empty()) {
    errors.push_back(Tr("Source File Path can not be empty!"));
  }
  // A chosen folder left empty names no place for the results, with or
  // without a file-name pattern behind it: every conversion of the row
  // would fail.
  std::string destination = DestinationText();
  if (destination.empty() || destination == SameFileTreeMarker() ||
      (fields_.specified_path && fields_.dest_folder.empty())) {
    errors.push_back(Tr("Destination File Path can not be empty!"));
  }
  return errors;
}

std::string SelectFolderModel::MaskText() const {
  return MaskTextOfFilter(fields_.filter_text);
}

std::string MaskTextOfFilter(std::string_view filter) {
  std::string masks(filter);
  std::replace_if(
      masks.begin(), masks.end(), [](char c) { return c == ';' || c == ','; }, '\n');
  return masks;
}

}  // namespace quillon
