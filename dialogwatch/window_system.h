#pragma once
// The window system as the dialog watcher sees it: top-level windows in the
// system's enumeration order, their child controls in z-order, the texts and
// class names a caption or criterion is compared with, the program behind a
// window, and the two inputs a macro gives (a click, a typed character).
//
// Handles are opaque; 0 is "no window". A handle stays valid at least until
// the next TopLevelWindows() call on the same object. One object is used by
// one thread at a time; implementations that share state between objects
// guard it themselves.

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::dialogwatch {

using WindowHandle = std::uint64_t;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Every top-level window, in enumeration order (empty when the window
  // system cannot be reached).
  virtual std::vector<WindowHandle> TopLevelWindows() = 0;

  // The direct child controls of window, in z-order.
  virtual std::vector<WindowHandle> ChildWindows(WindowHandle window) = 0;

  // The parent of a control; for a top-level window its owner (0 if none).
  virtual WindowHandle ParentWindow(WindowHandle window) = 0;

  // The window text (a control's caption, a window's title); "" if unknown.
  virtual std::string WindowText(WindowHandle window) = 0;

  // The class name ("button", "edit", ...); "" if unknown.
  virtual std::string ClassName(WindowHandle window) = 0;

  // The executable file name (no folder) of the process that created the
  // window; "" when that process cannot be found.
  virtual std::string ProgramName(WindowHandle window) = 0;

  // Clicks a control (focus, press, release); false when it could not be done.
  virtual bool Click(WindowHandle control) = 0;

  // Types one character into a control; false when it could not be done.
  virtual bool SendCharacter(WindowHandle control, char32_t character) = 0;
};

}  // namespace quillon::dialogwatch
