#pragma once
// Finding the dialog to answer and the controls inside it.
//
// Criteria and texts are compared with letter case ignored. Texts are cut as
// the window system's fixed read buffers cut them: 253 bytes for top-level
// windows and their owners, 99 bytes for controls (never inside a UTF-8
// character). Each call keeps its state on its own stack, so several threads
// may search at once, each with its own WindowSystem object.

#include <string>

#include "dialogwatch/window_system.h"

namespace quillon::dialogwatch {

// The first top-level window, in enumeration order, that meets every given
// (non-empty) criterion: its program name contains window_program, its text
// or class contains window_title, and likewise for its owner with
// owner_program and owner_title. With no criterion the first window is the
// result; 0 when none matches.
WindowHandle FindTopWindow(WindowSystem& windows, const std::string& window_program,
                           const std::string& window_title, const std::string& owner_program,
                           const std::string& owner_title);

// The index-th control (from 1) of class class_name below parent: first
// among parent's direct children in z-order, then recursively inside each
// child that has children, with the index reduced by the direct matches
// already counted. 0 when there is none.
WindowHandle FindNthChildByClass(WindowSystem& windows, const std::string& class_name, int index,
                                 WindowHandle parent);

// The first control below parent (same walk) whose class name and whole
// window text equal class_name and text. 0 when there is none.
WindowHandle FindChildByClassAndText(WindowSystem& windows, const std::string& class_name,
                                     const std::string& text, WindowHandle parent);

// Lower case of a UTF-8 text, beyond ASCII too.
std::string LowerText(const std::string& text);

}  // namespace quillon::dialogwatch
