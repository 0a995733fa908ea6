#pragma once
// The window system on the desktop's accessibility bus: the frames and
// dialogs of every application are the top-level windows, the accessible
// name is the window text (a button's mnemonic marker "&" put back from its
// key binding), the role is the class ("button" for push and toggle buttons,
// "edit" for text, password and entry fields, the role's own name
// otherwise), the application's process id names the program, a click is the
// button's press action and typing inserts text through the editable-text
// interface (generated key events where a field has none).
//
// Where no bus can be reached every search finds nothing. The library behind
// the bus is not thread-safe: all objects share one lock and one private
// event context, so threads take turns.

#include <memory>

#include "dialogwatch/window_system.h"

namespace quillon::dialogwatch {

std::shared_ptr<WindowSystem> MakeAccessibilityWindowSystem();

// The program file name (no folder) of a process; "" when there is none.
std::string ProgramNameOfProcess(long pid);

// A caption with its mnemonic marker, rebuilt from an accessible name, which
// has lost the marker, and the key binding of its action ("Alt+N", "<Alt>n"
// or a bare "n"): every "&" of the name is doubled and a "&" put before the
// first letter that matches the key, letter case ignored. Without a mnemonic
// the name comes back with its "&" doubled only.
std::string CaptionFromAccessibleName(const std::string& name, const std::string& key_binding);

}  // namespace quillon::dialogwatch
