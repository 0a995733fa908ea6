#pragma once
// The windowed life of the program: the application object, the window's
// prompter, the main window with its set-up, the event loop and the
// shut-down.
//
// Thread: the main thread, once per process.

#include <string>
#include <vector>

namespace quillon {

// Runs until the main window is closed; returns the process exit code.
// Needs a display.
int RunMainWindow(int& argc, char** argv, const std::vector<std::string>& args);

}  // namespace quillon
