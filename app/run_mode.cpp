#include "app/run_mode.h"

#include "util/command_line.h"

namespace quillon {

RunMode DetermineRunMode(const std::vector<std::string>& args) {
  if (HasEmbeddingParam(args)) {
    return RunMode::kAutomation;
  }
  if (args.empty()) {
    return RunMode::kInteractive;
  }
  return CountConversionParams(args) > 0 ? RunMode::kCommandLine : RunMode::kTrayStart;
}

const char* RunModeName(RunMode mode) {
  switch (mode) {
    case RunMode::kInteractive:
      return "Interactive";
    case RunMode::kTrayStart:
      return "Tray start";
    case RunMode::kCommandLine:
      return "Command line";
    case RunMode::kAutomation:
      return "Automation start";
  }
  return "";
}

}  // namespace quillon
