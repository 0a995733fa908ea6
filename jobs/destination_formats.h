#pragma once
// The destination formats a conversion can produce. The code is what the
// engine receives, what "/f:" names and what set.ini stores; naming only uses
// the extension.
//
// Owner: the main window builds one table at start and keeps it until the
// end. Thread: main thread (the out-of-range message goes to the prompter).

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct DestinationFormat {
  std::string code;       // "2", "-3", ...
  std::string name;       // "Text only(*.txt)"
  std::string extension;  // with its leading dot
  // code, "=", name: how the format appears in lists and in watcher.ini.
  std::string ListText() const { return code + "=" + name; }
};

class DestinationFormatTable {
 public:
  // Empties the table and adds the six text formats in their fixed order.
  void Fill();
  void Clear() { entries_.clear(); }

  int Size() const { return static_cast<int>(entries_.size()); }
  const std::vector<DestinationFormat>& Entries() const { return entries_; }

  // The list texts of every entry, in order.
  std::vector<std::string> ListTexts() const;
  // The same joined by "\n" (no line break after the last one).
  std::string ListText() const;

  // Code of the entry at `index`; empty when there is none.
  std::string Code(int index) const;
  // Extension of the entry at `index`. For an index outside the table the
  // prompter shows "Destination file format %d does not exist!" and the
  // result is empty.
  std::string Extension(int index) const;

  // Position of the entry whose code equals `code` exactly; -1 when none.
  int IndexOfCode(std::string_view code) const;
  // Position of the entry whose list text equals `list_text` exactly; -1 when none.
  int IndexOfListText(std::string_view list_text) const;

 private:
  std::vector<DestinationFormat> entries_;
};

}  // namespace quillon
