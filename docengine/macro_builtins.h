#pragma once
// The built-in functions and named constants of the macro language.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "docengine/macro_value.h"

namespace quillon::docengine::macro {

struct BuiltinEnv {
  bool compare_text = false;
  // An object's default value (Range -> its text); plain values as they are.
  std::function<Value(const Value&)> scalar;
  std::function<void(const std::string&)> log;
};

// True when `lower_name` names a built-in function.
bool IsBuiltin(std::string_view lower_name);

// Calls the built-in function `lower_name` with evaluated arguments
// (omitted ones are Empty with `present` false). Throws RuntimeError.
Value CallBuiltin(std::string_view lower_name, const std::vector<Value>& args,
                  const std::vector<bool>& present, const BuiltinEnv& env);

// The value of a named constant (vbCrLf, wdReplaceAll ...); false when
// `lower_name` names none.
bool LookupConstant(std::string_view lower_name, Value& out);

// Format(value, format) for numbers and dates.
std::string FormatValue(const Value& value, const std::string& format);

}  // namespace quillon::docengine::macro
