#pragma once
// Message boxes and questions, behind one interface so that the same code
// shows a dialog in the window, writes to standard error in a command-line
// run, and follows a script in tests.
//
// Thread: main thread only.

#include <string>
#include <vector>

namespace quillon {

enum class PromptIcon { kNone, kInformation, kWarning, kError, kQuestion };
enum class PromptButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class PromptAnswer { kOk, kCancel, kYes, kNo };

class Prompter {
 public:
  virtual ~Prompter() = default;

  // Shows `text` and returns the button chosen. An implementation that
  // cannot ask (a command-line run) returns `default_answer` at once.
  // An empty caption means the program's default caption.
  virtual PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                            PromptButtons buttons, PromptAnswer default_answer) = 0;

  // A plain message with an OK button.
  void Message(const std::string& text, const std::string& caption = {},
               PromptIcon icon = PromptIcon::kNone) {
    Show(text, caption, icon, PromptButtons::kOk, PromptAnswer::kOk);
  }
  void Error(const std::string& text, const std::string& caption = {}) {
    Show(text, caption, PromptIcon::kError, PromptButtons::kOk, PromptAnswer::kOk);
  }
  // The file chooser that picks several existing files at once. `filter` is
  // "Name|*.a;*.b|Name|*.c"; the entry at `filter_index` (from 0) is chosen
  // first. Returns the chosen paths in the chooser's order; empty when
  // cancelled (and always, where nothing can be asked).
  virtual std::vector<std::string> ChooseFiles(const std::string& /*caption*/,
                                               const std::string& /*filter*/,
                                               int /*filter_index*/) {
    return {};
  }

  // The folder browser, with a button for making a new folder, opened at
  // `start`. Returns the chosen folder; empty when cancelled.
  virtual std::string ChooseFolder(const std::string& /*start*/) { return {}; }

  // A yes/no question; true for "Yes".
  bool AskYesNo(const std::string& text, bool default_yes, const std::string& caption = {}) {
    return Show(text, caption, PromptIcon::kQuestion, PromptButtons::kYesNo,
                default_yes ? PromptAnswer::kYes : PromptAnswer::kNo) == PromptAnswer::kYes;
  }
};

// Writes every message to standard error ("caption: text") and answers with
// the default at once; used by command-line runs and by anything running
// without a display.
class StderrPrompter : public Prompter {
 public:
  PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                    PromptButtons buttons, PromptAnswer default_answer) override;
};

// Opens the folder browser at `folder`. On confirmation both `folder` and
// `chosen` receive the chosen folder and the result is true; on cancel
// `chosen` becomes empty and `folder` stays as it was.
bool BrowseForFolder(std::string& folder, std::string& chosen);

// The process-wide prompter. Never null: a StderrPrompter until the
// program installs another one. The caller keeps ownership of what it sets
// and must reset it (SetPrompter(nullptr)) before destroying it.
Prompter& CurrentPrompter();
void SetPrompter(Prompter* prompter);

}  // namespace quillon
