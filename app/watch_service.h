#pragma once
// The headless watch service: a tray start ("/min") on a machine where no
// display can be opened runs the main window's state without any window on
// a QCoreApplication. It loads the watch list, starts every checked entry,
// converts what appears, and ends on SIGTERM or SIGINT through the normal
// shut-down (watch list saved, watches stopped, word processor released,
// logs written). A systemd user unit runs it.
//
// Thread: main thread.

#include "app/run_mode.h"

namespace quillon {

// True when a window system could be reached: Qt is told to use a platform
// that needs none (QT_QPA_PLATFORM=offscreen and the like), or the Wayland
// socket of WAYLAND_DISPLAY accepts a connection, or the X server of
// DISPLAY does.
bool DisplayCanBeOpened();

// A tray start where no display can be opened.
bool RunsAsWatchService(RunMode mode);

}  // namespace quillon
