#pragma once
// The one-line notation of automation values and argument lists that tests
// compare: empty, bool true, bool false, int N, text "...", object <name>
// (object null for a null object); arguments joined by ", ", named ones as
// Name=value. Header-only, because the test automation server program uses
// it too and links no test framework.

#include <functional>
#include <string>

#include "automation/variant.h"

namespace quillon::testing {

// How a test names an object it made ("child 1", a label); "?" for others.
using ObjectNamer = std::function<std::string(automation::Object& object)>;

inline std::string DescribeValue(const automation::Variant& value, const ObjectNamer& name) {
  using automation::Variant;
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      return "empty";
    case Variant::Kind::kBool:
      return value.AsBool() ? "bool true" : "bool false";
    case Variant::Kind::kInt:
      return "int " + std::to_string(value.AsInt());
    case Variant::Kind::kText:
      return "text \"" + value.AsText() + "\"";
    case Variant::Kind::kObject: {
      try {
        return "object " + name(*value.AsObject());
      } catch (const automation::AutomationError&) {
        return "object null";
      }
    }
  }
  return "?";
}

// The positional arguments, then the named ones.
inline std::string DescribeArgs(const automation::Args& args, const ObjectNamer& name) {
  std::string out;
  for (const automation::Variant& value : args.positional) {
    out += (out.empty() ? "" : ", ") + DescribeValue(value, name);
  }
  for (const automation::NamedArg& arg : args.named) {
    out += (out.empty() ? "" : ", ") + arg.name + "=" + DescribeValue(arg.value, name);
  }
  return out;
}

}  // namespace quillon::testing
