#pragma once
// The desktop's "open" action for side files and links (help pages, the
// licence, today's log): handed to the desktop's opener, xdg-open.
//
// The opener may hand the target to a program that lives as long as the
// user keeps it open, or may hang; the window never waits for it. It is
// given a time limit: an opener that fails within the limit is reported
// through the prompter ("Error, reason is %s"); one still running at the
// limit is ended (only the opener itself: what it already started keeps
// running).
//
// Thread: main thread, with a running event loop.

#include <chrono>
#include <string>

namespace quillon {

// True when a display can be opened (X11 or Wayland).
bool DisplayAvailable();

// How long the opener may take before it is ended.
inline constexpr std::chrono::milliseconds kShellOpenTimeLimit{10000};

// Starts the opener for `target` (a path or a URL) and returns at once;
// false when it could not be started (already reported).
bool OpenWithShell(const std::string& target,
                   std::chrono::milliseconds limit = kShellOpenTimeLimit);

// Starts `program` with the single argument `target` under the time limit
// and returns at once; when `report_failure`, a failure to start or an exit
// code other than 0 is reported as OpenWithShell reports it.
bool StartWithTimeLimit(const std::string& program, const std::string& target,
                        std::chrono::milliseconds limit, bool report_failure);

// The program used as the opener; "xdg-open" unless replaced (tests put a
// recording script here). Empty restores the default.
void SetShellOpenerProgram(const std::string& program);
std::string ShellOpenerProgram();

}  // namespace quillon
