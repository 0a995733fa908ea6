#include "jobs/destination_formats.h"

#include <cstdint>

#include "platform/prompter.h"
#include "util/translate.h"

namespace quillon {

void DestinationFormatTable::Fill() {
  entries_ = {
      {"2", TrNoop("Text only(*.txt)"), ".txt"},
      {"3", TrNoop("Text only with Line Breaks(*.txt)"), ".txt"},
      {"4", TrNoop("Ms-Dos Text(*.txt)"), ".txt"},
      {"5", TrNoop("Ms-Dos Text with line breaks(*.txt)"), ".txt"},
      {"7", TrNoop("Unicode Text(*.txt)"), ".txt"},
      {"-3", TrNoop("Save Text With Source Character Set(*.txt)"), ".txt"},
  };
}

std::vector<std::string> DestinationFormatTable::ListTexts() const {
  std::vector<std::string> texts;
  texts.reserve(entries_.size());
  for (const DestinationFormat& entry : entries_) {
    texts.push_back(entry.ListText());
  }
  return texts;
}

std::string DestinationFormatTable::ListText() const {
  std::string text;
  for (const DestinationFormat& entry : entries_) {
    if (!text.empty()) {
      text += '\n';
    }
    text += entry.ListText();
  }
  return text;
}

std::string DestinationFormatTable::Code(int index) const {
  if (index < 0 || index >= Size()) {
    return {};
  }
  return entries_[static_cast<size_t>(index)].code;
}

std::string DestinationFormatTable::Extension(int index) const {
  if (index < 0 || index >= Size()) {
    CurrentPrompter().Message(
        TrFormat("Destination file format %d does not exist!", {std::int64_t{index}}));
    return {};
  }
  return entries_[static_cast<size_t>(index)].extension;
}

int DestinationFormatTable::IndexOfCode(std::string_view code) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].code == code) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int DestinationFormatTable::IndexOfListText(std::string_view list_text) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].ListText() == list_text) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace quillon
