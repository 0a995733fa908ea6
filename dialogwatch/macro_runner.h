#pragma once
// The macro language that answers a dialog, one command per line:
//   edit#N=TEXT     types TEXT (everything after the first "=") into the N-th
//                   "edit" control of the window
//   button#N        clicks the N-th "button" control
//   button(CAPTION) clicks the "button" control whose whole text is CAPTION
//                   ("&" included, letter case ignored)
//   delay(MS)       waits MS milliseconds
//   [...]           a comment
// Commands are told apart by their first letters, letter case ignored.

#include <memory>
#include <string>
#include <vector>

#include "dialogwatch/watch_clock.h"
#include "dialogwatch/window_system.h"

namespace quillon::dialogwatch {

// The macro runner. Not thread-safe; the send-key thread owns one.
class TMUMacro {
 public:
  TMUMacro(WindowSystem& windows, std::shared_ptr<WatchClock> clock);

  // The macro being run, one line per command. Set from a text, it is split
  // at line breaks (CR LF, LF or CR); a final line break adds no empty line.
  std::vector<std::string> Commands;
  void SetCommandsText(const std::string& text);

  // Runs Commands in order on target. On the first line that cannot be done
  // the rest is skipped and error_text reads "Can not process No.N line
  // macro:LINE, the window found is not right!"; empty when all ran.
  void Run(WindowHandle target, std::string& error_text);

 private:
  bool RunLine(const std::string& line, WindowHandle target);
  bool Edit(const std::string& line, WindowHandle target);
  bool Button(const std::string& line, WindowHandle target);
  bool Delay(const std::string& line);

  WindowSystem& windows_;
  std::shared_ptr<WatchClock> clock_;
};

}  // namespace quillon::dialogwatch
