#pragma once
// The entries of the "Change GUI Language" menu: one per message catalog
// folder under "locale", after the built-in "English" entry, with the check
// mark on the current choice. A model without widgets; the main window
// shows it as radio entries.
//
// Thread: main thread only.

#include <string>
#include <vector>

namespace quillon {

// The language name of a code ("de" -> "German"), passed through the
// message catalog; empty for a code the table does not hold. Codes are
// compared exactly.
std::string LanguageName(const std::string& code);

// The English name of a code, untranslated; empty when unknown.
std::string EnglishLanguageName(const std::string& code);

// The language the program starts in: LANG when it is set, otherwise the
// process locale of messages, as language[_COUNTRY] without what follows a
// "." or "@"; "no" is taken as "nb".
std::string StartUpLanguageCode();

struct LanguageEntry {
  std::string code;     // the folder name below "locale", "en" for English
  std::string caption;  // the language name in the interface language
};

class LanguageMenu {
 public:
  LanguageMenu();

  // Lists the folders of `locale_folder` (in the order the system gives)
  // and adds one entry for each whose code has a name other than English;
  // the entry whose code equals `current_code` carries the check mark.
  void Build(const std::string& locale_folder, const std::string& current_code);

  // Moves the check mark to the first entry with `code`; false (and the
  // marks unchanged) when no entry has it.
  bool Check(const std::string& code);

  // The code of the checked entry; empty when none is checked.
  std::string CurrentCode() const;

  // Captions again from the names in the current interface language.
  void RefreshCaptions();

  const std::vector<LanguageEntry>& entries() const { return entries_; }
  int checked() const { return checked_; }
  // The menu is shown only when it offers a choice.
  bool visible() const { return entries_.size() > 1; }

 private:
  std::vector<LanguageEntry> entries_;
  int checked_ = -1;
};

}  // namespace quillon
