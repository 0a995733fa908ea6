#pragma once
// A prompter for tests: records every message and answers from a script.

#include <deque>
#include <string>
#include <vector>

#include "platform/prompter.h"

namespace quillon::testing {

class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    PromptIcon icon;
    PromptButtons buttons;
  };

  // Installs itself as the current prompter for its lifetime.
  ScriptedPrompter();
  ~ScriptedPrompter() override;
  ScriptedPrompter(const ScriptedPrompter&) = delete;
  ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

  // Answers given in order; when the script runs dry the default answer is used.
  void QueueAnswer(PromptAnswer answer) { answers_.push_back(answer); }

  PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                    PromptButtons buttons, PromptAnswer default_answer) override;

  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<std::string> texts() const;
  void Clear() { shown_.clear(); }

 private:
  std::deque<PromptAnswer> answers_;
  std::vector<Shown> shown_;
};

}  // namespace quillon::testing
