#pragma once
// The prompter of the window: message boxes, the file chooser and the folder
// browser as real Qt dialogs, modal to the active window.
//
// Thread: main thread only; needs a QApplication.

#include <QStringList>

#include "platform/prompter.h"

namespace quillon {

class QtPrompter : public Prompter {
 public:
  PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                    PromptButtons buttons, PromptAnswer default_answer) override;
  std::vector<std::string> ChooseFiles(const std::string& caption, const std::string& filter,
                                       int filter_index) override;
  std::string ChooseFolder(const std::string& start) override;
};

// A "Name|*.a;*.b|Name|*.c" filter as the file dialog's name filters
// ("Name (*.a *.b)", "Name (*.c)"). A name without masks is left out.
QStringList DialogNameFilters(const std::string& filter);

}  // namespace quillon
