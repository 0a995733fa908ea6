#include "platform/prompter.h"

#include <cstdio>

namespace quillon {
namespace {

Prompter*& InstalledPrompter() {
  static Prompter* prompter = nullptr;
  return prompter;
}

}  // namespace

PromptAnswer StderrPrompter::Show(const std::string& text, const std::string& caption,
                                  PromptIcon /*icon*/, PromptButtons /*buttons*/,
                                  PromptAnswer default_answer) {
  if (caption.empty()) {
    std::fprintf(stderr, "%s\n", text.c_str());
  } else {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
  std::fflush(stderr);
  return default_answer;
}

Prompter& CurrentPrompter() {
  static StderrPrompter fallback;
  Prompter* installed = InstalledPrompter();
  return installed != nullptr ? *installed : fallback;
}

void SetPrompter(Prompter* prompter) {
  InstalledPrompter() = prompter;
}

bool BrowseForFolder(std::string& folder, std::string& chosen) {
  chosen = CurrentPrompter().ChooseFolder(folder);
  if (chosen.empty()) {
    return false;
  }
  folder = chosen;
  return true;
}

}  // namespace quillon
