#pragma once
// The values of the macro language: Empty, Null, Boolean, Integer (16-bit),
// Long (32-bit), Double, String (UTF-8), Date (days since 30 December 1899
// as a Double), an object reference (null: Nothing) and arrays.
//
// Conversions and operators follow the dialect's rules where a macro can
// tell the difference: banker's rounding to whole numbers, Overflow and
// Type mismatch as errors, texts that read as numbers take part in
// arithmetic. A failure throws RuntimeError; the interpreter adds the line.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "docengine/macro_ast.h"

namespace quillon::docengine::macro {

// A run-time error: the dialect's error number and its description.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// The dialect's error numbers used here.
inline constexpr int kErrInvalidCall = 5;
inline constexpr int kErrOverflow = 6;
inline constexpr int kErrOutOfMemory = 7;
inline constexpr int kErrSubscript = 9;
inline constexpr int kErrDivisionByZero = 11;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrOutOfStack = 28;
inline constexpr int kErrObjectRequired = 424;
inline constexpr int kErrObjectNotSet = 91;
inline constexpr int kErrNotDefined = 35;
inline constexpr int kErrArguments = 450;
inline constexpr int kErrAutomation = 440;

[[noreturn]] void ThrowTypeMismatch();
[[noreturn]] void ThrowOverflow();

class Value;

struct ArrayData {
  std::vector<std::pair<std::int32_t, std::int32_t>> bounds;  // lower, upper per dimension
  std::vector<Value> items;
  TypeName element_type = TypeName::kVariant;
};

class Value {
 public:
  enum class Type : std::uint8_t {
    kEmpty,
    kNull,
    kBoolean,
    kInteger,
    kLong,
    kDouble,
    kString,
    kDate,
    kObject,
    kArray
  };

  Value() = default;
  static Value Null();
  static Value Boolean(bool b);
  static Value Integer(std::int16_t i);
  static Value Long(std::int32_t i);
  static Value Double(double d);
  static Value String(std::string s);
  static Value Date(double serial);
  static Value Object(automation::ObjectPtr object);  // null: Nothing
  static Value Array(std::shared_ptr<ArrayData> array);
  // The smallest whole-number type that holds i (Integer, Long), else
  // Overflow.
  static Value Whole(long long i);

  Type type() const { return type_; }
  bool is_empty() const { return type_ == Type::kEmpty; }
  bool is_object() const { return type_ == Type::kObject; }
  bool is_string() const { return type_ == Type::kString; }
  bool is_array() const { return type_ == Type::kArray; }
  // Boolean, Integer, Long, Double, Date and Empty take part in arithmetic
  // as numbers.
  bool is_numeric_type() const;

  // Conversions; each throws RuntimeError when the value does not convert.
  double ToDouble() const;
  std::int32_t ToLong() const;     // banker's rounding; Overflow past 32 bits
  std::int16_t ToInteger() const;  // banker's rounding; Overflow past 16 bits
  bool ToBoolean() const;
  std::string ToString() const;
  const automation::ObjectPtr& ToObject() const;  // Object required otherwise
  const std::shared_ptr<ArrayData>& array() const { return array_; }
  // The object reference as it is (null for Nothing and for non-objects).
  const automation::ObjectPtr& object() const { return o_; }

  // The value as the declared type takes it (Dim x As Long: x = "5").
  Value ConvertTo(TypeName type) const;
  // The initial value of a variable of the type.
  static Value DefaultOf(TypeName type);
  // A deep copy of an array (arrays are copied on assignment); other
  // values as they are.
  Value Copy() const;

  const char* TypeNameText() const;

 private:
  Type type_ = Type::kEmpty;
  bool b_ = false;
  std::int32_t i_ = 0;
  double d_ = 0;
  std::string s_;
  automation::ObjectPtr o_;
  std::shared_ptr<ArrayData> array_;
};

// How a text reads as a number ("  12 ", "1.5e3", "&H1F"); false when it
// does not.
bool ParseNumber(const std::string& text, double& out);
// What Val gives: the leading number of a text, 0 when there is none.
double ValOf(const std::string& text);
// The dialect's display form of a Double ("1.5", "0.1", "1E+20").
std::string FormatDouble(double d);
// The display form of a date ("2024-03-01 14:05:09"; date or time alone
// when the other part is zero).
std::string FormatDate(double serial);

// Binary and unary operators. compare_text: Option Compare Text.
Value ApplyBinary(Op op, const Value& a, const Value& b, bool compare_text);
Value ApplyUnary(Op op, const Value& a);
// -1, 0 or 1 as the dialect orders two texts.
int CompareText(const std::string& a, const std::string& b, bool ignore_case);
// The Like operator's pattern match (*, ?, #, [set], [!set]).
bool MatchLike(const std::string& text, const std::string& pattern, bool ignore_case);

// Between macro values and automation arguments: Double and Date become
// whole numbers when they are, text otherwise; an array does not convert.
automation::Variant ToVariant(const Value& v);
Value FromVariant(const automation::Variant& v);

// Unicode helpers of the string built-ins: code points of UTF-8 text and
// back, and simple case mapping.
std::u32string ToCodePoints(const std::string& text);
std::string FromCodePoints(const std::u32string& text);
std::string ToUpperText(const std::string& text);
std::string ToLowerText(const std::string& text);

}  // namespace quillon::docengine::macro
