// The window start answers the word processor's dialogs as the command-line
// and service starts do: while the window runs, documents open under the
// engine's dialog watch, and the watch is gone again once the window has
// shut down. Runs the window start itself, so it has its own main.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "app/gui/main_window_run.h"
#include "engine/word_calls.h"
#include "tests/support/temp_dir.h"

namespace {

bool installed_while_running = false;
bool window_was_shown = false;

// Runs as soon as the window start has made its application object: once
// the event loop runs, look, then close the window.
void LookOnceTheWindowRuns() {
  QTimer::singleShot(0, [] {
    installed_while_running = quillon::engine::DialogWatchInstalled();
    for (QWidget* window : QApplication::topLevelWidgets()) {
      window_was_shown = window_was_shown || window->isVisible();
      window->close();
    }
  });
}
Q_COREAPP_STARTUP_FUNCTION(LookOnceTheWindowRuns)

int Fail(const char* what) {
  std::fprintf(stderr, "FAIL: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  quillon::testing::RuntimeFolderScope runtime;
  quillon::testing::StateFolderScope home;
  quillon::testing::TempFolderScope temp;
  if (quillon::engine::DialogWatchInstalled()) {
    return Fail("a dialog watch was installed before the window started");
  }
  int exit_code = quillon::RunMainWindow(argc, argv, {});
  if (!window_was_shown) {
    return Fail("the main window was not shown");
  }
  if (!installed_while_running) {
    return Fail("the window start opens documents without the dialog watch");
  }
  if (quillon::engine::DialogWatchInstalled()) {
    return Fail("the dialog watch outlived the window start");
  }
  if (exit_code != 0) {
    return Fail("the window start ended with errors");
  }
  std::printf("PASS: the window start runs under the engine's dialog watch\n");
  return 0;
}
