#pragma once
// Small modules through the macro parser and interpreter: what they print,
// return or fail with.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "docengine/macro_builtins.h"
#include "docengine/macro_interpreter.h"
#include "docengine/macro_parser.h"

namespace quillon::docengine::macro::fixture {

struct Outcome {
  std::vector<std::string> log;
  std::string value;
};

inline Outcome RunModule(const std::string& source, const std::string& macro = "Main",
                         std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  auto runtime = std::make_shared<ModuleRuntime>(std::make_shared<Module>(ParseModule(source)));
  Outcome out;
  RunContext context;
  context.log = [&out](const std::string& line) { out.log.push_back(line); };
  context.deadline = std::chrono::steady_clock::now() + limit;
  out.value = runtime->Run(macro, context).ToString();
  return out;
}

// The value of a Function Main whose body is `body`.
inline std::string Eval(const std::string& body) {
  return RunModule("Function Main()\n" + body + "\nEnd Function\n").value;
}

inline std::string Expr(const std::string& expression) {
  return Eval("Main = " + expression);
}

inline std::string FailureOf(const std::string& source, const std::string& macro = "Main") {
  try {
    RunModule(source, macro);
  } catch (const MacroFailure& e) {
    return e.what();
  }
  return "no failure";
}

// The failure of `Main = expression`, or "no failure".
inline std::string ExprFailure(const std::string& expression) {
  return FailureOf("Function Main()\nMain = " + expression + "\nEnd Function\n");
}

inline int SyntaxLine(const std::string& source) {
  try {
    ParseModule(source);
  } catch (const SyntaxError& e) {
    return e.line();
  }
  return 0;
}

}  // namespace quillon::docengine::macro::fixture
