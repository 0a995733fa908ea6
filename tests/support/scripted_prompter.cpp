#include "tests/support/scripted_prompter.h"

namespace quillon::testing {

ScriptedPrompter::ScriptedPrompter() { SetPrompter(this); }

ScriptedPrompter::~ScriptedPrompter() {
  // The fallback prompter is never installed explicitly; restoring null
  // brings it back.
  SetPrompter(nullptr);
}

PromptAnswer ScriptedPrompter::Show(const std::string& text, const std::string& caption,
                                    PromptIcon icon, PromptButtons buttons,
                                    PromptAnswer default_answer) {
  shown_.push_back({text, caption, icon, buttons});
  if (answers_.empty()) {
    return default_answer;
  }
  PromptAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<std::string> ScriptedPrompter::texts() const {
  std::vector<std::string> out;
  for (const Shown& s : shown_) {
    out.push_back(s.text);
  }
  return out;
}

}  // namespace quillon::testing
