#pragma once
// Late-bound values and objects: what travels across an automation call.
//
// A Variant is empty, a boolean, a 32-bit integer, a text (UTF-8) or a
// reference to an automation object. Arguments passed "by reference" travel
// as plain values (the callee's changes are not sent back).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillon::automation {

class Object;
using ObjectPtr = std::shared_ptr<Object>;

class Variant {
 public:
  enum class Kind { kEmpty, kBool, kInt, kText, kObject };

  Variant() = default;
  Variant(bool b) : value_(b) {}                      // NOLINT(google-explicit-constructor)
  Variant(std::int32_t i) : value_(i) {}              // NOLINT(google-explicit-constructor)
  Variant(std::string s) : value_(std::move(s)) {}    // NOLINT(google-explicit-constructor)
  Variant(const char* s) : value_(std::string(s)) {}  // NOLINT(google-explicit-constructor)
  Variant(ObjectPtr o) : value_(std::move(o)) {}      // NOLINT(google-explicit-constructor)

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool is_empty() const { return kind() == Kind::kEmpty; }

  // Strict accessors: throw AutomationError naming the expected kind.
  bool AsBool() const;
  std::int32_t AsInt() const;
  const std::string& AsText() const;
  const ObjectPtr& AsObject() const;

  // Loose conversions, as late binding does: integers and booleans to text,
  // digit texts to integers, empty to 0 / "" / false.
  std::int32_t ToInt() const;
  std::string ToText() const;
  bool ToBool() const;

  bool operator==(const Variant& other) const { return value_ == other.value_; }

 private:
  std::variant<std::monostate, bool, std::int32_t, std::string, ObjectPtr> value_;
};

struct NamedArg {
  std::string name;
  Variant value;
};

// The arguments of one call: positional ones in order, then named ones.
struct Args {
  std::vector<Variant> positional;
  std::vector<NamedArg> named;

  // The named argument with this name (letter case ignored), or null.
  const Variant* Named(std::string_view name) const;
  // Positional argument i, or null when absent.
  const Variant* At(std::size_t i) const {
    return i < positional.size() ? &positional[i] : nullptr;
  }
};

// An error raised by an automation call. The message is the server's own
// text; the engine turns it into its error texts.
class AutomationError : public std::runtime_error {
 public:
  explicit AutomationError(const std::string& message) : std::runtime_error(message) {}
};

enum class CallKind : std::uint8_t { kGet = 1, kPut = 2, kMethod = 3 };

// An automation object: every property and method reached by name.
// Names compare without regard to letter case, as late binding does.
// For kPut the new value is the last positional argument.
// Implementations raise AutomationError for failures, including an
// unknown name (the message names it).
class Object {
 public:
  virtual ~Object() = default;
  virtual Variant Invoke(CallKind kind, std::string_view name, const Args& args) = 0;

  Variant Get(std::string_view name, Args args = {}) { return Invoke(CallKind::kGet, name, args); }
  void Put(std::string_view name, Variant value, Args args = {}) {
    args.positional.push_back(std::move(value));
    Invoke(CallKind::kPut, name, args);
  }
  Variant Call(std::string_view name, Args args = {}) {
    return Invoke(CallKind::kMethod, name, args);
  }
};

// Letter-case-insensitive comparison of ASCII names.
bool NameEquals(std::string_view a, std::string_view b);

}  // namespace quillon::automation
