#pragma once
// A prompter for tests: records every message and answers from a script.

#include <deque>
#include <functional>
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

  // What the file chooser and the folder browser return next, in order;
  // when the script runs dry they are cancelled.
  void QueueFiles(std::vector<std::string> files) { files_.push_back(std::move(files)); }
  void QueueFolder(std::string folder) { folders_.push_back(std::move(folder)); }

  // Runs once, right after the next message is recorded and before it is
  // answered; lets a test act while a question is open, as a user can.
  void OnNextShow(std::function<void(const std::string& text)> action) {
    on_next_show_ = std::move(action);
  }

  PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                    PromptButtons buttons, PromptAnswer default_answer) override;
  std::vector<std::string> ChooseFiles(const std::string& caption, const std::string& filter,
                                       int filter_index) override;
  std::string ChooseFolder(const std::string& start) override;

  // The filters the file chooser was opened with and the folders the folder
  // browser started at, in order.
  const std::vector<std::string>& file_filters() const { return file_filters_; }
  const std::vector<std::string>& folder_starts() const { return folder_starts_; }

  const std::vector<Shown>& shown() const { return shown_; }
  std::vector<std::string> texts() const;
  void Clear() { shown_.clear(); }

 private:
  std::deque<PromptAnswer> answers_;
  std::deque<std::vector<std::string>> files_;
  std::deque<std::string> folders_;
  std::vector<std::string> file_filters_;
  std::vector<std::string> folder_starts_;
  std::function<void(const std::string&)> on_next_show_;
  std::vector<Shown> shown_;
};

}  // namespace quillon::testing
