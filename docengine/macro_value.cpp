#include "docengine/macro_value.h"

#include <unicode/uchar.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "charset/code_page.h"

namespace quillon::docengine::macro {

void ThrowTypeMismatch() {
  throw RuntimeError(kErrTypeMismatch, "Type mismatch");
}

void ThrowOverflow() {
  throw RuntimeError(kErrOverflow, "Overflow");
}

namespace {

double RoundHalfEven(double d) {
  return std::nearbyint(d);  // the default rounding mode rounds half to even
}

bool IsWhole(double d) {
  return std::isfinite(d) && d == std::floor(d);
}

}  // namespace

Value Value::Null() {
  Value v;
  v.type_ = Type::kNull;
  return v;
}
Value Value::Boolean(bool b) {
  Value v;
  v.type_ = Type::kBoolean;
  v.b_ = b;
  return v;
}
Value Value::Integer(std::int16_t i) {
  Value v;
  v.type_ = Type::kInteger;
  v.i_ = i;
  return v;
}
Value Value::Long(std::int32_t i) {
  Value v;
  v.type_ = Type::kLong;
  v.i_ = i;
  return v;
}
Value Value::Double(double d) {
  Value v;
  v.type_ = Type::kDouble;
  v.d_ = d;
  return v;
}
Value Value::String(std::string s) {
  Value v;
  v.type_ = Type::kString;
  v.s_ = std::move(s);
  return v;
}
Value Value::Date(double serial) {
  Value v;
  v.type_ = Type::kDate;
  v.d_ = serial;
  return v;
}
Value Value::Object(automation::ObjectPtr object) {
  Value v;
  v.type_ = Type::kObject;
  v.o_ = std::move(object);
  return v;
}
Value Value::Array(std::shared_ptr<ArrayData> array) {
  Value v;
  v.type_ = Type::kArray;
  v.array_ = std::move(array);
  return v;
}
Value Value::Whole(long long i) {
  if (i >= -32768 && i <= 32767)
    return Integer(static_cast<std::int16_t>(i));
  if (i >= std::numeric_limits<std::int32_t>::min() &&
      i <= std::numeric_limits<std::int32_t>::max())
    return Long(static_cast<std::int32_t>(i));
  ThrowOverflow();
}

bool Value::is_numeric_type() const {
  switch (type_) {
    case Type::kEmpty:
    case Type::kBoolean:
    case Type::kInteger:
    case Type::kLong:
    case Type::kDouble:
    case Type::kDate:
      return true;
    default:
      return false;
  }
}

double Value::ToDouble() const {
  switch (type_) {
    case Type::kEmpty:
      return 0;
    case Type::kBoolean:
      return b_ ? -1 : 0;
    case Type::kInteger:
    case Type::kLong:
      return i_;
    case Type::kDouble:
    case Type::kDate:
      return d_;
    case Type::kString: {
      double d = 0;
      if (!ParseNumber(s_, d))
        ThrowTypeMismatch();
      return d;
    }
    default:
      ThrowTypeMismatch();
  }
}

std::int32_t Value::ToLong() const {
  if (type_ == Type::kInteger || type_ == Type::kLong)
    return i_;
  const double d = RoundHalfEven(ToDouble());
  if (!(d >= -2147483648.0 && d <= 2147483647.0))
    ThrowOverflow();
  return static_cast<std::int32_t>(d);
}

std::int16_t Value::ToInteger() const {
  const std::int32_t l = ToLong();
  if (l < -32768 || l > 32767)
    ThrowOverflow();
  return static_cast<std::int16_t>(l);
}

bool Value::ToBoolean() const {
  switch (type_) {
    case Type::kBoolean:
      return b_;
    case Type::kString: {
      if (CompareText(s_, "True", true) == 0)
        return true;
      if (CompareText(s_, "False", true) == 0)
        return false;
      return ToDouble() != 0;
    }
    case Type::kNull:
      return false;
    default:
      return ToDouble() != 0;
  }
}

std::string Value::ToString() const {
  switch (type_) {
    case Type::kEmpty:
    case Type::kNull:
      return {};
    case Type::kBoolean:
      return b_ ? "True" : "False";
    case Type::kInteger:
    case Type::kLong:
      return std::to_string(i_);
    case Type::kDouble:
      return FormatDouble(d_);
    case Type::kDate:
      return FormatDate(d_);
    case Type::kString:
      return s_;
    default:
      ThrowTypeMismatch();
  }
}

const automation::ObjectPtr& Value::ToObject() const {
  if (type_ != Type::kObject)
    throw RuntimeError(kErrObjectRequired, "Object required");
  if (!o_)
    throw RuntimeError(kErrObjectNotSet, "Object variable not set");
  return o_;
}

Value Value::ConvertTo(TypeName type) const {
  switch (type) {
    case TypeName::kVariant:
      return Copy();
    case TypeName::kString:
      return String(ToString());
    case TypeName::kLong:
      return Long(ToLong());
    case TypeName::kInteger:
      return Integer(ToInteger());
    case TypeName::kByte: {
      const std::int32_t l = ToLong();
      if (l < 0 || l > 255)
        ThrowOverflow();
      return Integer(static_cast<std::int16_t>(l));
    }
    case TypeName::kDouble:
      return Double(ToDouble());
    case TypeName::kBoolean:
      return Boolean(ToBoolean());
    case TypeName::kDate:
      return Date(ToDouble());
    case TypeName::kObject:
      if (type_ != Type::kObject)
        ThrowTypeMismatch();
      return *this;
  }
  return *this;
}

Value Value::DefaultOf(TypeName type) {
  switch (type) {
    case TypeName::kVariant:
      return Value();
    case TypeName::kString:
      return String({});
    case TypeName::kLong:
      return Long(0);
    case TypeName::kInteger:
    case TypeName::kByte:
      return Integer(0);
    case TypeName::kDouble:
      return Double(0);
    case TypeName::kBoolean:
      return Boolean(false);
    case TypeName::kDate:
      return Date(0);
    case TypeName::kObject:
      return Object(nullptr);
  }
  return Value();
}

Value Value::Copy() const {
  if (type_ != Type::kArray || !array_)
    return *this;
  auto copy = std::make_shared<ArrayData>();
  copy->bounds = array_->bounds;
  copy->element_type = array_->element_type;
  copy->items.reserve(array_->items.size());
  for (const Value& item : array_->items)
    copy->items.push_back(item.Copy());
  return Array(std::move(copy));
}

const char* Value::TypeNameText() const {
  switch (type_) {
    case Type::kEmpty:
      return "Empty";
    case Type::kNull:
      return "Null";
    case Type::kBoolean:
      return "Boolean";
    case Type::kInteger:
      return "Integer";
    case Type::kLong:
      return "Long";
    case Type::kDouble:
      return "Double";
    case Type::kString:
      return "String";
    case Type::kDate:
      return "Date";
    case Type::kObject:
      return o_ ? "Object" : "Nothing";
    case Type::kArray:
      return "Variant()";
  }
  return "Variant";
}

bool ParseNumber(const std::string& text, double& out) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t'))
    ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
    --e;
  if (b == e)
    return false;
  std::string t = text.substr(b, e - b);
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o')) {
    char* end = nullptr;
    const int base = (t[1] == 'H' || t[1] == 'h') ? 16 : 8;
    const unsigned long long v = std::strtoull(t.c_str() + 2, &end, base);
    if (*end != '\0' || v > 0xFFFFFFFFull)
      return false;
    out = static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    return true;
  }
  // Only plain decimal forms: no "inf", "nan" or hexadecimal floats.
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
      return false;
  }
  char* end = nullptr;
  out = std::strtod(t.c_str(), &end);
  return end != nullptr && *end == '\0' && std::isfinite(out);
}

double ValOf(const std::string& text) {
  std::string digits;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  if (i + 1 < text.size() && text[i] == '&' && (text[i + 1] == 'H' || text[i + 1] == 'h')) {
    const unsigned long v = std::strtoul(text.c_str() + i + 2, nullptr, 16);
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
  }
  if (i + 1 < text.size() && text[i] == '&' && (text[i + 1] == 'O' || text[i + 1] == 'o')) {
    const unsigned long v = std::strtoul(text.c_str() + i + 2, nullptr, 8);
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
  }
  // Blanks inside the number are skipped, as Val does ("1 2" is 12).
  bool point = false;
  bool exponent = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t')
      continue;
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
    } else if ((c == '-' || c == '+') && (digits.empty() || digits.back() == 'e')) {
      digits.push_back(c);
    } else if (c == '.' && !point && !exponent) {
      point = true;
      digits.push_back(c);
    } else if ((c == 'e' || c == 'E') && !exponent && !digits.empty()) {
      exponent = true;
      digits.push_back('e');
    } else {
      break;
    }
  }
  const double d = std::strtod(digits.c_str(), nullptr);
  return std::isfinite(d) ? d : 0;
}

std::string FormatDouble(double d) {
  if (d == 0)
    return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", d);
  std::string s = buffer;
  const std::size_t e = s.find('E');
  std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
  std::string exp = e == std::string::npos ? "" : s.substr(e + 1);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0')
      mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.')
      mantissa.pop_back();
  }
  if (exp.empty())
    return mantissa;
  // The exponent keeps two digits at least, as the dialect writes it
  // ("1.5E-07", "1E+21").
  return mantissa + "E" + exp;
}

std::string FormatDate(double serial) {
  const double days = std::floor(serial);
  const double fraction = serial - days;
  long long seconds = static_cast<long long>(std::llround(fraction * 86400.0));
  // Days since 1899-12-30 to a civil date.
  const long long unix_days = static_cast<long long>(days) - 25569;
  const std::time_t t = static_cast<std::time_t>(unix_days * 86400 + seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[64];
  if (fraction == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
  } else if (days == 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  }
  return buffer;
}

std::u32string ToCodePoints(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size())
    out.push_back(NextUtf8(text, pos));
  return out;
}

std::string FromCodePoints(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text)
    AppendUtf8(out, c);
  return out;
}

std::string ToUpperText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size())
    AppendUtf8(out, static_cast<char32_t>(u_toupper(static_cast<UChar32>(NextUtf8(text, pos)))));
  return out;
}

std::string ToLowerText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size())
    AppendUtf8(out, static_cast<char32_t>(u_tolower(static_cast<UChar32>(NextUtf8(text, pos)))));
  return out;
}

int CompareText(const std::string& a, const std::string& b, bool ignore_case) {
  if (!ignore_case) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const UChar32 x = u_foldCase(static_cast<UChar32>(NextUtf8(a, i)), U_FOLD_CASE_DEFAULT);
    const UChar32 y = u_foldCase(static_cast<UChar32>(NextUtf8(b, j)), U_FOLD_CASE_DEFAULT);
    if (x != y)
      return x < y ? -1 : 1;
  }
  if (i < a.size())
    return 1;
  if (j < b.size())
    return -1;
  return 0;
}

namespace {

bool LikeAt(const std::u32string& t, std::size_t ti, const std::u32string& p, std::size_t pi,
            bool ignore_case, int depth) {
  if (depth > 10000)
    return false;
  auto same = [&](char32_t x, char32_t y) {
    if (!ignore_case)
      return x == y;
    return u_foldCase(static_cast<UChar32>(x), U_FOLD_CASE_DEFAULT) ==
           u_foldCase(static_cast<UChar32>(y), U_FOLD_CASE_DEFAULT);
  };
  while (pi < p.size()) {
    const char32_t c = p[pi];
    if (c == U'*') {
      while (pi < p.size() && p[pi] == U'*')
        ++pi;
      if (pi == p.size())
        return true;
      for (std::size_t k = ti; k <= t.size(); ++k) {
        if (LikeAt(t, k, p, pi, ignore_case, depth + 1))
          return true;
      }
      return false;
    }
    if (ti >= t.size())
      return false;
    if (c == U'?') {
      ++ti;
      ++pi;
    } else if (c == U'#') {
      if (t[ti] < U'0' || t[ti] > U'9')
        return false;
      ++ti;
      ++pi;
    } else if (c == U'[') {
      std::size_t close = p.find(U']', pi + 1);
      if (close == std::u32string::npos)
        throw RuntimeError(93, "Invalid pattern string");
      bool negate = pi + 1 < close && p[pi + 1] == U'!';
      bool found = false;
      for (std::size_t k = pi + 1 + (negate ? 1 : 0); k < close; ++k) {
        if (k + 2 < close && p[k + 1] == U'-') {
          if (t[ti] >= p[k] && t[ti] <= p[k + 2])
            found = true;
          k += 2;
        } else if (same(t[ti], p[k])) {
          found = true;
        }
      }
      if (found == negate)
        return false;
      ++ti;
      pi = close + 1;
    } else {
      if (!same(t[ti], c))
        return false;
      ++ti;
      ++pi;
    }
  }
  return ti == t.size();
}

bool IsWholeType(const Value& v) {
  switch (v.type()) {
    case Value::Type::kEmpty:
    case Value::Type::kBoolean:
    case Value::Type::kInteger:
    case Value::Type::kLong:
      return true;
    default:
      return false;
  }
}

long long WholeOf(const Value& v) {
  return v.type() == Value::Type::kBoolean ? (v.ToBoolean() ? -1 : 0) : v.ToLong();
}

// A number from an operand of arithmetic: texts must read as numbers.
Value Numeric(const Value& v) {
  if (v.is_numeric_type())
    return v;
  if (v.type() == Value::Type::kNull)
    return Value::Long(0);
  if (v.is_string()) {
    double d = 0;
    if (!ParseNumber(v.ToString(), d))
      ThrowTypeMismatch();
    return Value::Double(d);
  }
  ThrowTypeMismatch();
}

Value Arithmetic(Op op, const Value& a0, const Value& b0) {
  const Value a = Numeric(a0);
  const Value b = Numeric(b0);
  const bool date = (a.type() == Value::Type::kDate || b.type() == Value::Type::kDate) &&
                    (op == Op::kAdd || op == Op::kSub);
  if (IsWholeType(a) && IsWholeType(b) && op != Op::kDiv && op != Op::kPow) {
    const long long x = WholeOf(a);
    const long long y = WholeOf(b);
    long long r = 0;
    switch (op) {
      case Op::kAdd:
        r = x + y;
        break;
      case Op::kSub:
        r = x - y;
        break;
      case Op::kMul:
        r = x * y;
        break;
      case Op::kIntDiv:
      case Op::kMod:
        if (y == 0)
          throw RuntimeError(kErrDivisionByZero, "Division by zero");
        r = op == Op::kIntDiv ? x / y : x % y;
        break;
      default:
        break;
    }
    const bool both_integer = a.type() != Value::Type::kLong && b.type() != Value::Type::kLong;
    if (both_integer && r >= -32768 && r <= 32767)
      return Value::Integer(static_cast<std::int16_t>(r));
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
      ThrowOverflow();
    return Value::Long(static_cast<std::int32_t>(r));
  }
  const double x = a.ToDouble();
  const double y = b.ToDouble();
  double r = 0;
  switch (op) {
    case Op::kAdd:
      r = x + y;
      break;
    case Op::kSub:
      r = x - y;
      break;
    case Op::kMul:
      r = x * y;
      break;
    case Op::kDiv:
      if (y == 0)
        throw RuntimeError(kErrDivisionByZero, "Division by zero");
      r = x / y;
      break;
    case Op::kPow:
      r = std::pow(x, y);
      break;
    case Op::kIntDiv:
    case Op::kMod: {
      const double xi = RoundHalfEven(x);
      const double yi = RoundHalfEven(y);
      if (yi == 0)
        throw RuntimeError(kErrDivisionByZero, "Division by zero");
      const Value whole_a = Value::Double(xi);
      const Value whole_b = Value::Double(yi);
      return Arithmetic(op, Value::Long(whole_a.ToLong()), Value::Long(whole_b.ToLong()));
    }
    default:
      break;
  }
  if (!std::isfinite(r))
    ThrowOverflow();
  return date ? Value::Date(r) : Value::Double(r);
}

int Compare(const Value& a, const Value& b, bool compare_text) {
  if (a.is_string() && b.is_string())
    return CompareText(a.ToString(), b.ToString(), compare_text);
  if (a.is_string() || b.is_string()) {
    const Value& s = a.is_string() ? a : b;
    const Value& other = a.is_string() ? b : a;
    double d = 0;
    if (other.is_empty())
      return CompareText(a.ToString(), b.ToString(), compare_text);
    if (!ParseNumber(s.ToString(), d))
      ThrowTypeMismatch();
  }
  const double x = Numeric(a).ToDouble();
  const double y = Numeric(b).ToDouble();
  return x < y ? -1 : (x > y ? 1 : 0);
}

Value Logical(Op op, const Value& a, const Value& b) {
  if (a.type() == Value::Type::kBoolean && b.type() == Value::Type::kBoolean) {
    const bool x = a.ToBoolean();
    const bool y = b.ToBoolean();
    switch (op) {
      case Op::kAnd:
        return Value::Boolean(x && y);
      case Op::kOr:
        return Value::Boolean(x || y);
      case Op::kXor:
        return Value::Boolean(x != y);
      case Op::kEqv:
        return Value::Boolean(x == y);
      default:
        return Value::Boolean(!x || y);
    }
  }
  const std::int32_t x = a.type() == Value::Type::kBoolean ? (a.ToBoolean() ? -1 : 0) : a.ToLong();
  const std::int32_t y = b.type() == Value::Type::kBoolean ? (b.ToBoolean() ? -1 : 0) : b.ToLong();
  std::int32_t r = 0;
  switch (op) {
    case Op::kAnd:
      r = x & y;
      break;
    case Op::kOr:
      r = x | y;
      break;
    case Op::kXor:
      r = x ^ y;
      break;
    case Op::kEqv:
      r = ~(x ^ y);
      break;
    default:
      r = ~x | y;
      break;
  }
  return Value::Whole(r);
}

}  // namespace

bool MatchLike(const std::string& text, const std::string& pattern, bool ignore_case) {
  return LikeAt(ToCodePoints(text), 0, ToCodePoints(pattern), 0, ignore_case, 0);
}

Value ApplyBinary(Op op, const Value& a, const Value& b, bool compare_text) {
  switch (op) {
    case Op::kConcat:
      return Value::String(a.ToString() + b.ToString());
    case Op::kAdd:
      if (a.is_string() && b.is_string())
        return Value::String(a.ToString() + b.ToString());
      if (a.is_empty() && b.is_string())
        return b;
      if (b.is_empty() && a.is_string())
        return a;
      return Arithmetic(op, a, b);
    case Op::kSub:
    case Op::kMul:
    case Op::kDiv:
    case Op::kIntDiv:
    case Op::kMod:
    case Op::kPow:
      return Arithmetic(op, a, b);
    case Op::kEq:
      return Value::Boolean(Compare(a, b, compare_text) == 0);
    case Op::kNe:
      return Value::Boolean(Compare(a, b, compare_text) != 0);
    case Op::kLt:
      return Value::Boolean(Compare(a, b, compare_text) < 0);
    case Op::kGt:
      return Value::Boolean(Compare(a, b, compare_text) > 0);
    case Op::kLe:
      return Value::Boolean(Compare(a, b, compare_text) <= 0);
    case Op::kGe:
      return Value::Boolean(Compare(a, b, compare_text) >= 0);
    case Op::kLike:
      return Value::Boolean(MatchLike(a.ToString(), b.ToString(), compare_text));
    case Op::kIs:
      if (!a.is_object() || !b.is_object())
        ThrowTypeMismatch();
      return Value::Boolean(a.object() == b.object());
    case Op::kAnd:
    case Op::kOr:
    case Op::kXor:
    case Op::kEqv:
    case Op::kImp:
      return Logical(op, a, b);
    default:
      ThrowTypeMismatch();
  }
}

Value ApplyUnary(Op op, const Value& a) {
  if (op == Op::kNot) {
    if (a.type() == Value::Type::kBoolean)
      return Value::Boolean(!a.ToBoolean());
    return Value::Whole(~a.ToLong());
  }
  const Value n = Numeric(a);
  switch (n.type()) {
    case Value::Type::kEmpty:
      return Value::Integer(0);
    case Value::Type::kBoolean:
      return Value::Integer(n.ToBoolean() ? 1 : 0);
    case Value::Type::kInteger:
      return Value::Whole(-static_cast<long long>(n.ToLong()));
    case Value::Type::kLong: {
      const long long r = -static_cast<long long>(n.ToLong());
      if (r > std::numeric_limits<std::int32_t>::max())
        ThrowOverflow();
      return Value::Long(static_cast<std::int32_t>(r));
    }
    case Value::Type::kDate:
      return Value::Date(-n.ToDouble());
    default:
      return Value::Double(-n.ToDouble());
  }
}

automation::Variant ToVariant(const Value& v) {
  switch (v.type()) {
    case Value::Type::kEmpty:
    case Value::Type::kNull:
      return {};
    case Value::Type::kBoolean:
      return automation::Variant(v.ToBoolean());
    case Value::Type::kInteger:
    case Value::Type::kLong:
      return automation::Variant(v.ToLong());
    case Value::Type::kDouble:
    case Value::Type::kDate: {
      const double d = v.ToDouble();
      if (IsWhole(d) && d >= -2147483648.0 && d <= 2147483647.0)
        return automation::Variant(static_cast<std::int32_t>(d));
      return automation::Variant(v.ToString());
    }
    case Value::Type::kString:
      return automation::Variant(v.ToString());
    case Value::Type::kObject:
      return automation::Variant(v.object());
    case Value::Type::kArray:
      ThrowTypeMismatch();
  }
  return {};
}

Value FromVariant(const automation::Variant& v) {
  switch (v.kind()) {
    case automation::Variant::Kind::kEmpty:
      return Value();
    case automation::Variant::Kind::kBool:
      return Value::Boolean(v.AsBool());
    case automation::Variant::Kind::kInt:
      return Value::Long(v.AsInt());
    case automation::Variant::Kind::kText:
      return Value::String(v.AsText());
    case automation::Variant::Kind::kObject:
      return Value::Object(v.AsObject());
  }
  return Value();
}

}  // namespace quillon::docengine::macro
