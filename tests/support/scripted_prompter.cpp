#include "tests/support/scripted_prompter.h"

namespace quillon::testing {

ScriptedPrompter::ScriptedPrompter() {
  SetPrompter(this);
}

ScriptedPrompter::~ScriptedPrompter() {
  // The fallback prompter is never installed explicitly; restoring null
  // brings it back.
  SetPrompter(nullptr);
}

PromptAnswer ScriptedPrompter::Show(const std::string& text, const std::string& caption,
                                    PromptIcon icon, PromptButtons buttons,
                                    PromptAnswer default_answer) {
  shown_.push_back({text, caption, icon, buttons});
  if (on_next_show_) {
    auto action = std::move(on_next_show_);
    on_next_show_ = nullptr;
    action(text);
  }
  if (answers_.empty()) {
    return default_answer;
  }
  PromptAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<std::string> ScriptedPrompter::ChooseFiles(const std::string& /*caption*/,
                                                       const std::string& filter,
                                                       int /*filter_index*/) {
  file_filters_.push_back(filter);
  if (files_.empty()) {
    return {};
  }
  std::vector<std::string> files = std::move(files_.front());
  files_.pop_front();
  return files;
}

std::string ScriptedPrompter::ChooseFolder(const std::string& start) {
  folder_starts_.push_back(start);
  if (folders_.empty()) {
    return {};
  }
  std::string folder = std::move(folders_.front());
  folders_.pop_front();
  return folder;
}

std::vector<std::string> ScriptedPrompter::texts() const {
  std::vector<std::string> out;
  for (const Shown& s : shown_) {
    out.push_back(s.text);
  }
  return out;
}

}  // namespace quillon::testing
