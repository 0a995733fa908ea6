#pragma once
// A document's macro project and the calls that manage it:
//
// Document "VBProject" -> "VBComponents" -> "Import" (path): reads and
//   parses a module file; a syntax error fails the import with the file's
//   name and line, leaving the project as it was. Returns the component
//   ("Name", "Type" 1 = standard module).
// Application "VBE" -> "ActiveVBProject" (the active document's project)
//   -> "VBComponents" -> "remove" (component): forgets the module.
//   "Count" and "Item" (1-based or by name) list the components.
// Application "Run" (name, or "Module.name"): runs a public macro of the
//   project's modules through the interpreter, with the application as the
//   macro's global object. Its failure (with the module line) is the
//   call's error; MsgBox and Debug.Print write to standard error, which is
//   the engine's log.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "automation/variant.h"

namespace quillon::docengine {

struct DocumentState;
class MacroProject;

// The "VBProject" object of the document (its project is made on first use).
automation::ObjectPtr MacroProjectOf(const std::shared_ptr<DocumentState>& state);

// The "VBE" object; active_document gives the state of the active document
// (null when none is open).
automation::ObjectPtr MakeVbe(std::function<std::shared_ptr<DocumentState>()> active_document);

struct MacroRunOptions {
  automation::ObjectPtr application;
  std::chrono::milliseconds time_limit{0};  // 0: none
};

// Runs a macro of the project (null: a project without modules).
automation::Variant RunProjectMacro(const std::shared_ptr<MacroProject>& project,
                                    const std::string& name, const MacroRunOptions& options);

}  // namespace quillon::docengine
