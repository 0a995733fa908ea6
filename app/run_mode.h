#pragma once
// The four ways the program can run, told apart from the start parameters
// alone, once, before anything else.
//
// Thread: any thread; no state.

#include <string>
#include <vector>

namespace quillon {

enum class RunMode {
  kInteractive,  // no parameter at all: the window shows (or only the tray icon)
  kTrayStart,    // parameters, but none that converts ("/min"): tray icon only
  kCommandLine,  // at least one conversion parameter: one run, no window, then the end
  kAutomation,   // "-Embedding": no window; ends when closed from outside
};

// "-Embedding" wins over conversion parameters: such a start never converts
// (its set-up stops early), so it must not take the command-line lock either,
// or it would hold back every later command-line run for as long as it lives.
RunMode DetermineRunMode(const std::vector<std::string>& args);

// "Interactive", "Tray start", ... for messages and logs.
const char* RunModeName(RunMode mode);

}  // namespace quillon
