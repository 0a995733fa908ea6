#pragma once
// Runs the procedures of a parsed macro module against automation objects.
//
// The module's global names are the application's: "Application",
// "ActiveDocument" and "Documents" reach the object given in RunContext,
// every member call goes through automation::Object::Invoke, so what a
// macro can touch is exactly what the object model serves. MsgBox never
// waits: its text and Debug.Print's go to the context's log.
//
// A failure ends the run with MacroFailure, whose message names the error,
// the module file and the line (the object model's own message when a
// member call failed, so an unknown member is named). A run that passes
// its deadline ends with MacroTimeout, which On Error cannot catch.
//
// One ModuleRuntime per imported module: it keeps the module-level
// variables between runs. Not thread-safe; one run at a time.

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "automation/variant.h"
#include "docengine/macro_ast.h"
#include "docengine/macro_value.h"

namespace quillon::docengine::macro {

struct RunContext {
  automation::ObjectPtr application;
  std::function<void(const std::string&)> log;  // may be empty
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  std::string module_file = "plugin.bas";  // named in error messages
};

class MacroFailure : public std::runtime_error {
 public:
  MacroFailure(const std::string& message, int line) : std::runtime_error(message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

class MacroTimeout : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Variable {
  Value value;
  TypeName type = TypeName::kVariant;
  bool is_const = false;
};

class ModuleRuntime {
 public:
  explicit ModuleRuntime(std::shared_ptr<const Module> module);

  const Module& module() const { return *module_; }
  // The procedure of that name (letter case ignored), or null.
  const Procedure* Find(const std::string& name) const;

  // Runs a procedure without arguments (a Sub, or a Function whose value
  // is returned). Throws MacroFailure, MacroTimeout.
  Value Run(const std::string& name, const RunContext& context);

 private:
  friend class Interpreter;
  std::shared_ptr<const Module> module_;
  std::unordered_map<std::string, Variable> variables_;  // by lower-case name
  // Static variables of the procedures, by "procedure.variable" in lower case.
  std::unordered_map<std::string, Variable> statics_;
  bool initialised_ = false;
};

}  // namespace quillon::docengine::macro
