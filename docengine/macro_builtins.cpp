#include "docengine/macro_builtins.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <unordered_map>

namespace quillon::docengine::macro {
namespace {

using Args = std::vector<Value>;

[[noreturn]] void InvalidCall(std::string_view name) {
  throw RuntimeError(kErrInvalidCall, "Invalid procedure call or argument: " + std::string(name));
}

void NeedArgs(std::string_view name, const Args& args, std::size_t min, std::size_t max) {
  if (args.size() < min || args.size() > max)
    throw RuntimeError(kErrArguments, "Wrong number of arguments calling " + std::string(name));
}

std::int32_t LongOf(const Value& v) {
  return v.ToLong();
}

// A text argument; Null and Empty read as "".
std::u32string Chars(const Value& v) {
  return ToCodePoints(v.ToString());
}

std::size_t Count(std::int32_t n, std::string_view name) {
  if (n < 0)
    InvalidCall(name);
  return static_cast<std::size_t>(n);
}

bool IsBlank(char32_t c) {
  return c == U' ';
}

double NowSerial(bool with_time) {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::tm midnight = tm;
  midnight.tm_hour = midnight.tm_min = midnight.tm_sec = 0;
  // Days since 1899-12-30 of the local calendar date.
  const long long days =
      static_cast<long long>(std::floor(static_cast<double>(timegm(&midnight)) / 86400.0)) + 25569;
  double serial = static_cast<double>(days);
  if (with_time)
    serial += (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
  return serial;
}

// Searches `what` in `in` from 0-based `from`; npos when absent.
std::size_t Find(const std::u32string& in, const std::u32string& what, std::size_t from,
                 bool ignore_case) {
  if (!ignore_case)
    return in.find(what, from);
  const std::u32string a = ToCodePoints(ToLowerText(FromCodePoints(in)));
  const std::u32string b = ToCodePoints(ToLowerText(FromCodePoints(what)));
  if (a.size() != in.size() || b.size() != what.size())
    return in.find(what, from);
  return a.find(b, from);
}

std::size_t RFind(const std::u32string& in, const std::u32string& what, std::size_t from,
                  bool ignore_case) {
  if (!ignore_case)
    return in.rfind(what, from);
  const std::u32string a = ToCodePoints(ToLowerText(FromCodePoints(in)));
  const std::u32string b = ToCodePoints(ToLowerText(FromCodePoints(what)));
  if (a.size() != in.size() || b.size() != what.size())
    return in.rfind(what, from);
  return a.rfind(b, from);
}

bool IgnoreCase(const Args& args, std::size_t index, const BuiltinEnv& env) {
  if (index < args.size() && !args[index].is_empty())
    return LongOf(args[index]) == 1;
  return env.compare_text;
}

Value Scalar(const Value& v, const BuiltinEnv& env) {
  return env.scalar ? env.scalar(v) : v;
}

// --- Format ----------------------------------------------------------------

struct Civil {
  int year, month, day, hour, minute, second, weekday;
};

Civil CivilOf(double serial) {
  const double days = std::floor(serial);
  const long long seconds = std::llround((serial - days) * 86400.0);
  const std::time_t t =
      static_cast<std::time_t>((static_cast<long long>(days) - 25569) * 86400 + seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
          tm.tm_min,         tm.tm_sec,     tm.tm_wday};
}

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};

bool LowerIs(std::string_view a, std::size_t at, std::string_view word) {
  if (at + word.size() > a.size())
    return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = a[at + i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i])
      return false;
  }
  return true;
}

std::string TwoDigits(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

std::string FormatDateWith(double serial, const std::string& f) {
  const Civil c = CivilOf(serial);
  bool twelve_hour = false;
  for (std::size_t i = 0; i < f.size(); ++i)
    twelve_hour = twelve_hour || LowerIs(f, i, "am/pm") || LowerIs(f, i, "a/p");
  std::string out;
  bool after_hour = false;
  for (std::size_t i = 0; i < f.size();) {
    const char ch = f[i];
    auto run = [&](char letter) {
      std::size_t n = 0;
      while (i + n < f.size() &&
             (f[i + n] == letter || f[i + n] == letter - 32 || f[i + n] == letter + 32))
        ++n;
      return n;
    };
    const char lower = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch;
    if (lower == 'y') {
      const std::size_t n = run('y');
      out += n >= 3 ? std::to_string(c.year) : TwoDigits(c.year % 100);
      i += n;
    } else if (lower == 'm') {
      const std::size_t n = run('m');
      if (after_hour && n <= 2) {
        out += n == 2 ? TwoDigits(c.minute) : std::to_string(c.minute);
      } else if (n >= 4) {
        out += kMonths[c.month - 1];
      } else if (n == 3) {
        out += std::string(kMonths[c.month - 1]).substr(0, 3);
      } else {
        out += n == 2 ? TwoDigits(c.month) : std::to_string(c.month);
      }
      i += n;
    } else if (lower == 'd') {
      const std::size_t n = run('d');
      if (n >= 4)
        out += kDays[c.weekday];
      else if (n == 3)
        out += std::string(kDays[c.weekday]).substr(0, 3);
      else
        out += n == 2 ? TwoDigits(c.day) : std::to_string(c.day);
      i += n;
      after_hour = false;
    } else if (lower == 'h') {
      const std::size_t n = run('h');
      int hour = c.hour;
      if (twelve_hour) {
        hour %= 12;
        if (hour == 0)
          hour = 12;
      }
      out += n >= 2 ? TwoDigits(hour) : std::to_string(hour);
      i += n;
      after_hour = true;
      continue;
    } else if (lower == 'n') {
      const std::size_t n = run('n');
      out += n >= 2 ? TwoDigits(c.minute) : std::to_string(c.minute);
      i += n;
    } else if (lower == 's') {
      const std::size_t n = run('s');
      out += n >= 2 ? TwoDigits(c.second) : std::to_string(c.second);
      i += n;
    } else if (LowerIs(f, i, "am/pm")) {
      const bool upper = f[i] == 'A';
      out += c.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      i += 5;
    } else if (LowerIs(f, i, "a/p")) {
      const bool upper = f[i] == 'A';
      out += c.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
      i += 3;
    } else if (ch == '"') {
      const std::size_t close = f.find('"', i + 1);
      out += f.substr(i + 1, (close == std::string::npos ? f.size() : close) - i - 1);
      i = close == std::string::npos ? f.size() : close + 1;
    } else if (ch == '\\' && i + 1 < f.size()) {
      out += f[i + 1];
      i += 2;
    } else {
      out += ch;
      ++i;
    }
    if (lower != ':' && lower != ' ')
      after_hour = after_hour && (lower == 'h');
  }
  return out;
}

std::string GroupThousands(const std::string& digits) {
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[i];
    if ((n - i - 1) % 3 == 0 && i + 1 < n)
      out += ',';
  }
  return out;
}

std::string FormatNumberWith(double value, std::string f) {
  // Sections: positive;negative;zero.
  std::vector<std::string> sections;
  {
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i <= f.size(); ++i) {
      if (i < f.size() && f[i] == '"')
        quoted = !quoted;
      if (i == f.size() || (f[i] == ';' && !quoted)) {
        sections.push_back(f.substr(start, i - start));
        start = i + 1;
      }
    }
  }
  bool negative_section = false;
  if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
    f = sections[1];
    negative_section = true;
    value = -value;
  } else if (value == 0 && sections.size() >= 3 && !sections[2].empty()) {
    f = sections[2];
  } else {
    f = sections[0];
  }
  std::string prefix;
  std::string suffix;
  int int_zeros = 0;
  int dec_zeros = 0;
  int dec_places = 0;
  bool point = false;
  bool grouping = false;
  bool percent = false;
  bool seen_digit = false;
  int exponent_digits = -1;
  bool exponent_plus = false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    const char ch = f[i];
    std::string literal;
    if (ch == '0' || ch == '#') {
      if (exponent_digits >= 0) {
        ++exponent_digits;
      } else if (point) {
        ++dec_places;
        if (ch == '0')
          dec_zeros = dec_places;
      } else {
        if (ch == '0')
          ++int_zeros;
      }
      seen_digit = true;
      continue;
    }
    if (ch == '.' && exponent_digits < 0) {
      point = true;
      seen_digit = true;
      continue;
    }
    if (ch == ',' && seen_digit && !point) {
      grouping = true;
      continue;
    }
    if ((ch == 'E' || ch == 'e') && i + 1 < f.size() && (f[i + 1] == '+' || f[i + 1] == '-') &&
        seen_digit) {
      exponent_digits = 0;
      exponent_plus = f[i + 1] == '+';
      ++i;
      continue;
    }
    if (ch == '%')
      percent = true;
    if (ch == '"') {
      const std::size_t close = f.find('"', i + 1);
      literal = f.substr(i + 1, (close == std::string::npos ? f.size() : close) - i - 1);
      i = close == std::string::npos ? f.size() : close;
    } else if (ch == '\\' && i + 1 < f.size()) {
      literal = std::string(1, f[++i]);
    } else {
      literal = std::string(1, ch);
    }
    (seen_digit ? suffix : prefix) += literal;
  }
  if (percent)
    value *= 100;
  std::string number;
  const bool negative = value < 0 && !negative_section;
  double magnitude = std::fabs(value);
  std::string exponent_text;
  if (exponent_digits >= 0 && magnitude != 0) {
    int e = static_cast<int>(std::floor(std::log10(magnitude)));
    magnitude /= std::pow(10.0, e);
    if (std::round(magnitude * std::pow(10.0, dec_places)) >= 10 * std::pow(10.0, dec_places)) {
      magnitude /= 10;
      ++e;
    }
    std::string digits = std::to_string(std::abs(e));
    while (static_cast<int>(digits.size()) < exponent_digits)
      digits = "0" + digits;
    exponent_text = std::string("E") + (e < 0 ? "-" : (exponent_plus ? "+" : "")) + digits;
  } else if (exponent_digits >= 0) {
    exponent_text = std::string("E") + (exponent_plus ? "+" : "") +
                    std::string(static_cast<std::size_t>(std::max(exponent_digits, 1)), '0');
  }
  // Halves round away from zero, as Format does.
  const double scale = std::pow(10.0, dec_places);
  const double rounded = std::floor(magnitude * scale + 0.5 + 1e-9) / scale;
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", dec_places, rounded);
  std::string text = buffer;
  std::string int_part = text;
  std::string dec_part;
  if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
    int_part = text.substr(0, dot);
    dec_part = text.substr(dot + 1);
  }
  while (static_cast<int>(dec_part.size()) > dec_zeros && !dec_part.empty() &&
         dec_part.back() == '0')
    dec_part.pop_back();
  if (int_part == "0" && int_zeros == 0)
    int_part.clear();
  while (static_cast<int>(int_part.size()) < int_zeros)
    int_part = "0" + int_part;
  if (grouping)
    int_part = GroupThousands(int_part);
  number = int_part;
  if (point && (!dec_part.empty() || dec_places == 0))
    number += "." + dec_part;
  if (point && dec_part.empty() && dec_places > 0)
    number += ".";
  if (!point)
    number = int_part;
  number += exponent_text;
  const bool all_zero = number.find_first_of("123456789") == std::string::npos;
  return (negative && !all_zero ? "-" : "") + prefix + number + suffix;
}

}  // namespace

std::string FormatValue(const Value& value, const std::string& format) {
  if (format.empty())
    return value.ToString();
  auto is = [&](std::string_view name) {
    return CompareText(format, std::string(name), true) == 0;
  };
  const bool is_date = value.type() == Value::Type::kDate;
  if (is("General Date"))
    return is_date ? FormatDate(value.ToDouble()) : value.ToString();
  if (is("Long Date"))
    return FormatDateWith(value.ToDouble(), "dddd, mmmm d, yyyy");
  if (is("Medium Date"))
    return FormatDateWith(value.ToDouble(), "dd-mmm-yy");
  if (is("Short Date"))
    return FormatDateWith(value.ToDouble(), "yyyy-mm-dd");
  if (is("Long Time"))
    return FormatDateWith(value.ToDouble(), "hh:nn:ss");
  if (is("Medium Time"))
    return FormatDateWith(value.ToDouble(), "hh:nn AM/PM");
  if (is("Short Time"))
    return FormatDateWith(value.ToDouble(), "hh:nn");
  if (is("Yes/No"))
    return value.ToDouble() != 0 ? "Yes" : "No";
  if (is("True/False"))
    return value.ToDouble() != 0 ? "True" : "False";
  if (is("On/Off"))
    return value.ToDouble() != 0 ? "On" : "Off";
  double number = 0;
  const bool numeric =
      value.is_numeric_type() || (value.is_string() && ParseNumber(value.ToString(), number));
  if (!numeric)
    return value.ToString();
  number = value.is_numeric_type() ? value.ToDouble() : number;
  if (is("General Number"))
    return FormatDouble(number);
  if (is("Currency"))
    return FormatNumberWith(number, "#,##0.00");
  if (is("Fixed"))
    return FormatNumberWith(number, "0.00");
  if (is("Standard"))
    return FormatNumberWith(number, "#,##0.00");
  if (is("Percent"))
    return FormatNumberWith(number, "0.00%");
  if (is("Scientific"))
    return FormatNumberWith(number, "0.00E+00");
  // A format with date or time letters formats a date.
  bool date_letters = false;
  bool quoted = false;
  for (char c : format) {
    if (c == '"')
      quoted = !quoted;
    if (!quoted && std::string_view("dDyYhHnNsSmM").find(c) != std::string_view::npos)
      date_letters = true;
  }
  if (date_letters && format.find_first_of("0#") == std::string::npos)
    return FormatDateWith(number, format);
  return FormatNumberWith(number, format);
}

bool IsBuiltin(std::string_view n) {
  static const char* const kNames[] = {
      "len",    "left",   "right",  "mid",    "instr",    "instrrev", "replace",   "trim",
      "ltrim",  "rtrim",  "lcase",  "ucase",  "chr",      "chrw",     "asc",       "ascw",
      "cstr",   "clng",   "cint",   "cdbl",   "cbool",    "val",      "isnumeric", "now",
      "date",   "time",   "format", "msgbox", "isempty",  "isobject", "isnull",    "isarray",
      "ubound", "lbound", "split",  "join",   "space",    "string",   "strcomp",   "abs",
      "int",    "fix",    "sgn",    "round",  "typename", "year",     "month",     "day",
      "hour",   "minute", "second", "timer",  "array",    "iif",      "strreverse"};
  for (const char* name : kNames) {
    if (n == name)
      return true;
  }
  return false;
}

Value CallBuiltin(std::string_view name, const std::vector<Value>& raw,
                  const std::vector<bool>& present, const BuiltinEnv& env) {
  // Objects stand for their default value, except where the function asks
  // about the object itself.
  const bool keeps_objects = name == "isobject" || name == "typename" || name == "isempty" ||
                             name == "isarray" || name == "ubound" || name == "lbound" ||
                             name == "join" || name == "iif" || name == "array";
  Args args;
  args.reserve(raw.size());
  for (const Value& v : raw)
    args.push_back(keeps_objects ? v : Scalar(v, env));
  (void)present;

  if (name == "len") {
    NeedArgs(name, args, 1, 1);
    return Value::Long(static_cast<std::int32_t>(Chars(args[0]).size()));
  }
  if (name == "left" || name == "right") {
    NeedArgs(name, args, 2, 2);
    const std::u32string s = Chars(args[0]);
    const std::size_t n = std::min(Count(LongOf(args[1]), name), s.size());
    return Value::String(FromCodePoints(name == "left" ? s.substr(0, n) : s.substr(s.size() - n)));
  }
  if (name == "mid") {
    NeedArgs(name, args, 2, 3);
    const std::u32string s = Chars(args[0]);
    const std::int32_t start = LongOf(args[1]);
    if (start < 1)
      InvalidCall(name);
    if (static_cast<std::size_t>(start) > s.size())
      return Value::String({});
    std::size_t n = std::u32string::npos;
    if (args.size() == 3 && !args[2].is_empty())
      n = Count(LongOf(args[2]), name);
    return Value::String(FromCodePoints(s.substr(static_cast<std::size_t>(start) - 1, n)));
  }
  if (name == "instr") {
    NeedArgs(name, args, 2, 4);
    std::size_t first = 0;
    std::size_t start = 1;
    if (args.size() >= 3 || args[0].is_numeric_type()) {
      if (args.size() < 3)
        throw RuntimeError(kErrArguments, "Wrong number of arguments calling InStr");
      const std::int32_t s = LongOf(args[0]);
      if (s < 1)
        InvalidCall(name);
      start = static_cast<std::size_t>(s);
      first = 1;
    }
    const std::u32string in = Chars(args[first]);
    const std::u32string what = Chars(args[first + 1]);
    if (start > in.size() + (what.empty() ? 1 : 0))
      return Value::Long(0);
    if (what.empty())
      return Value::Long(static_cast<std::int32_t>(start));
    const std::size_t at = Find(in, what, start - 1, IgnoreCase(args, first + 2, env));
    return Value::Long(at == std::u32string::npos ? 0 : static_cast<std::int32_t>(at + 1));
  }
  if (name == "instrrev") {
    NeedArgs(name, args, 2, 4);
    const std::u32string in = Chars(args[0]);
    const std::u32string what = Chars(args[1]);
    std::int32_t start = args.size() >= 3 && !args[2].is_empty() ? LongOf(args[2]) : -1;
    if (start == 0 || start < -1)
      InvalidCall(name);
    if (start == -1)
      start = static_cast<std::int32_t>(in.size());
    if (static_cast<std::size_t>(start) > in.size())
      return Value::Long(0);
    if (what.empty())
      return Value::Long(start);
    if (static_cast<std::size_t>(start) < what.size())
      return Value::Long(0);
    const std::size_t at =
        RFind(in, what, static_cast<std::size_t>(start) - what.size(), IgnoreCase(args, 3, env));
    return Value::Long(at == std::u32string::npos ? 0 : static_cast<std::int32_t>(at + 1));
  }
  if (name == "replace") {
    NeedArgs(name, args, 3, 6);
    const std::u32string in = Chars(args[0]);
    const std::u32string what = Chars(args[1]);
    const std::u32string with = Chars(args[2]);
    std::size_t start = 1;
    if (args.size() >= 4 && !args[3].is_empty()) {
      const std::int32_t s = LongOf(args[3]);
      if (s < 1)
        InvalidCall(name);
      start = static_cast<std::size_t>(s);
    }
    long long count = -1;
    if (args.size() >= 5 && !args[4].is_empty())
      count = LongOf(args[4]);
    if (count < -1)
      InvalidCall(name);
    const bool ignore_case = IgnoreCase(args, 5, env);
    if (start > in.size())
      return Value::String({});
    // Replace returns the text from `start` on, as the dialect does.
    std::u32string out;
    std::size_t pos = start - 1;
    while (!what.empty() && count != 0) {
      const std::size_t at = Find(in, what, pos, ignore_case);
      if (at == std::u32string::npos)
        break;
      out.append(in, pos, at - pos);
      out += with;
      pos = at + what.size();
      if (count > 0)
        --count;
    }
    out.append(in, pos, std::u32string::npos);
    return Value::String(FromCodePoints(out));
  }
  if (name == "trim" || name == "ltrim" || name == "rtrim") {
    NeedArgs(name, args, 1, 1);
    const std::u32string s = Chars(args[0]);
    std::size_t b = 0;
    std::size_t e = s.size();
    if (name != "rtrim")
      while (b < e && IsBlank(s[b]))
        ++b;
    if (name != "ltrim")
      while (e > b && IsBlank(s[e - 1]))
        --e;
    return Value::String(FromCodePoints(s.substr(b, e - b)));
  }
  if (name == "lcase" || name == "ucase") {
    NeedArgs(name, args, 1, 1);
    return Value::String(name == "lcase" ? ToLowerText(args[0].ToString())
                                         : ToUpperText(args[0].ToString()));
  }
  if (name == "chr" || name == "chrw") {
    NeedArgs(name, args, 1, 1);
    std::int32_t code = LongOf(args[0]);
    if (name == "chrw" && code < 0)
      code += 65536;
    if (code < 0 || code > (name == "chr" ? 255 : 65535))
      InvalidCall(name);
    return Value::String(FromCodePoints(std::u32string(1, static_cast<char32_t>(code))));
  }
  if (name == "asc" || name == "ascw") {
    NeedArgs(name, args, 1, 1);
    const std::u32string s = Chars(args[0]);
    if (s.empty())
      InvalidCall(name);
    return Value::Long(static_cast<std::int32_t>(s[0]));
  }
  if (name == "cstr") {
    NeedArgs(name, args, 1, 1);
    return Value::String(args[0].ToString());
  }
  if (name == "clng") {
    NeedArgs(name, args, 1, 1);
    return Value::Long(args[0].ToLong());
  }
  if (name == "cint") {
    NeedArgs(name, args, 1, 1);
    return Value::Integer(args[0].ToInteger());
  }
  if (name == "cdbl") {
    NeedArgs(name, args, 1, 1);
    return Value::Double(args[0].ToDouble());
  }
  if (name == "cbool") {
    NeedArgs(name, args, 1, 1);
    return Value::Boolean(args[0].ToBoolean());
  }
  if (name == "val") {
    NeedArgs(name, args, 1, 1);
    return Value::Double(ValOf(args[0].ToString()));
  }
  if (name == "isnumeric") {
    NeedArgs(name, args, 1, 1);
    if (args[0].is_string()) {
      double d = 0;
      return Value::Boolean(ParseNumber(args[0].ToString(), d));
    }
    return Value::Boolean(args[0].is_numeric_type() && args[0].type() != Value::Type::kDate);
  }
  if (name == "now" || name == "date" || name == "time") {
    NeedArgs(name, args, 0, 0);
    const double now = NowSerial(true);
    if (name == "date")
      return Value::Date(std::floor(now));
    if (name == "time")
      return Value::Date(now - std::floor(now));
    return Value::Date(now);
  }
  if (name == "timer") {
    NeedArgs(name, args, 0, 0);
    const double now = NowSerial(true);
    return Value::Double((now - std::floor(now)) * 86400.0);
  }
  if (name == "year" || name == "month" || name == "day" || name == "hour" || name == "minute" ||
      name == "second") {
    NeedArgs(name, args, 1, 1);
    const Civil c = CivilOf(args[0].ToDouble());
    const int v = name == "year"     ? c.year
                  : name == "month"  ? c.month
                  : name == "day"    ? c.day
                  : name == "hour"   ? c.hour
                  : name == "minute" ? c.minute
                                     : c.second;
    return Value::Integer(static_cast<std::int16_t>(v));
  }
  if (name == "format") {
    NeedArgs(name, args, 1, 2);
    return Value::String(FormatValue(args[0], args.size() > 1 ? args[1].ToString() : ""));
  }
  if (name == "msgbox") {
    NeedArgs(name, args, 1, 5);
    if (env.log) {
      std::string line = "MsgBox: " + args[0].ToString();
      if (args.size() >= 3 && !args[2].is_empty())
        line = "MsgBox (" + args[2].ToString() + "): " + args[0].ToString();
      env.log(line);
    }
    return Value::Integer(1);  // vbOK: nobody is there to answer
  }
  if (name == "isempty") {
    NeedArgs(name, args, 1, 1);
    return Value::Boolean(args[0].is_empty());
  }
  if (name == "isnull") {
    NeedArgs(name, args, 1, 1);
    return Value::Boolean(args[0].type() == Value::Type::kNull);
  }
  if (name == "isobject") {
    NeedArgs(name, args, 1, 1);
    return Value::Boolean(args[0].is_object());
  }
  if (name == "isarray") {
    NeedArgs(name, args, 1, 1);
    return Value::Boolean(args[0].is_array());
  }
  if (name == "typename") {
    NeedArgs(name, args, 1, 1);
    return Value::String(args[0].TypeNameText());
  }
  if (name == "ubound" || name == "lbound") {
    NeedArgs(name, args, 1, 2);
    if (!args[0].is_array() || !args[0].array())
      ThrowTypeMismatch();
    const ArrayData& a = *args[0].array();
    const std::int32_t dim = args.size() == 2 ? LongOf(args[1]) : 1;
    if (dim < 1 || static_cast<std::size_t>(dim) > a.bounds.size())
      throw RuntimeError(kErrSubscript, "Subscript out of range");
    const auto& b = a.bounds[static_cast<std::size_t>(dim) - 1];
    return Value::Long(name == "ubound" ? b.second : b.first);
  }
  if (name == "split") {
    NeedArgs(name, args, 1, 4);
    const std::string text = args[0].ToString();
    const std::string delimiter =
        args.size() >= 2 && !args[1].is_empty() ? args[1].ToString() : " ";
    // At most `limit` parts; the last one keeps the rest of the text.
    std::int32_t limit = -1;
    if (args.size() >= 3 && !args[2].is_empty()) {
      limit = LongOf(args[2]);
      if (limit < -1)
        InvalidCall(name);
    }
    auto array = std::make_shared<ArrayData>();
    if (!text.empty() && limit != 0) {
      std::size_t pos = 0;
      while (true) {
        const bool last = limit > 0 && static_cast<std::int32_t>(array->items.size()) == limit - 1;
        const std::size_t at =
            delimiter.empty() || last ? std::string::npos : text.find(delimiter, pos);
        array->items.push_back(Value::String(
            text.substr(pos, at == std::string::npos ? std::string::npos : at - pos)));
        if (at == std::string::npos)
          break;
        pos = at + delimiter.size();
      }
    }
    array->bounds.emplace_back(0, static_cast<std::int32_t>(array->items.size()) - 1);
    return Value::Array(std::move(array));
  }
  if (name == "join") {
    NeedArgs(name, args, 1, 2);
    if (!args[0].is_array() || !args[0].array())
      ThrowTypeMismatch();
    const std::string delimiter = args.size() == 2 ? Scalar(args[1], env).ToString() : " ";
    std::string out;
    bool first = true;
    for (const Value& item : args[0].array()->items) {
      if (!first)
        out += delimiter;
      out += Scalar(item, env).ToString();
      first = false;
    }
    return Value::String(std::move(out));
  }
  if (name == "array") {
    auto array = std::make_shared<ArrayData>();
    array->items = args;
    array->bounds.emplace_back(0, static_cast<std::int32_t>(args.size()) - 1);
    return Value::Array(std::move(array));
  }
  if (name == "iif") {
    NeedArgs(name, args, 3, 3);
    return Scalar(args[0], env).ToBoolean() ? args[1] : args[2];
  }
  if (name == "space" || name == "string") {
    NeedArgs(name, args, name == "space" ? 1 : 2, name == "space" ? 1 : 2);
    const std::size_t n = Count(LongOf(args[0]), name);
    if (n > (1u << 26))
      throw RuntimeError(kErrOutOfMemory, "Out of memory");
    char32_t c = U' ';
    if (name == "string") {
      if (args[1].is_string()) {
        const std::u32string s = Chars(args[1]);
        if (s.empty())
          InvalidCall(name);
        c = s[0];
      } else {
        c = static_cast<char32_t>(LongOf(args[1]) & 0xFF);
      }
    }
    return Value::String(FromCodePoints(std::u32string(n, c)));
  }
  if (name == "strcomp") {
    NeedArgs(name, args, 2, 3);
    return Value::Integer(static_cast<std::int16_t>(
        CompareText(args[0].ToString(), args[1].ToString(), IgnoreCase(args, 2, env))));
  }
  if (name == "strreverse") {
    NeedArgs(name, args, 1, 1);
    std::u32string s = Chars(args[0]);
    return Value::String(FromCodePoints(std::u32string(s.rbegin(), s.rend())));
  }
  if (name == "abs" || name == "int" || name == "fix" || name == "sgn") {
    NeedArgs(name, args, 1, 1);
    const Value& v = args[0];
    const double d = v.ToDouble();
    double r = name == "abs"   ? std::fabs(d)
               : name == "int" ? std::floor(d)
               : name == "fix" ? std::trunc(d)
                               : (d > 0 ? 1 : (d < 0 ? -1 : 0));
    if (name == "sgn")
      return Value::Integer(static_cast<std::int16_t>(r));
    if ((v.type() == Value::Type::kInteger || v.type() == Value::Type::kLong) &&
        r <= std::numeric_limits<std::int32_t>::max())
      return Value::Whole(static_cast<long long>(r));
    return Value::Double(r);
  }
  if (name == "round") {
    NeedArgs(name, args, 1, 2);
    const std::int32_t places = args.size() == 2 ? LongOf(args[1]) : 0;
    if (places < 0 || places > 22)
      InvalidCall(name);
    const double scale = std::pow(10.0, places);
    return Value::Double(std::nearbyint(args[0].ToDouble() * scale) / scale);
  }
  throw RuntimeError(kErrNotDefined, "Sub or Function not defined: " + std::string(name));
}

bool LookupConstant(std::string_view n, Value& out) {
  static const std::unordered_map<std::string_view, Value> kConstants = [] {
    std::unordered_map<std::string_view, Value> m;
    m.emplace("vbcrlf", Value::String("\r\n"));
    m.emplace("vbnewline", Value::String("\r\n"));
    m.emplace("vbcr", Value::String("\r"));
    m.emplace("vblf", Value::String("\n"));
    m.emplace("vbtab", Value::String("\t"));
    m.emplace("vbverticaltab", Value::String("\v"));
    m.emplace("vbformfeed", Value::String("\f"));
    m.emplace("vbback", Value::String("\b"));
    m.emplace("vbnullstring", Value::String(""));
    m.emplace("vbnullchar", Value::String(std::string(1, '\0')));
    m.emplace("vbbinarycompare", Value::Long(0));
    m.emplace("vbtextcompare", Value::Long(1));
    m.emplace("vbokonly", Value::Long(0));
    m.emplace("vbokcancel", Value::Long(1));
    m.emplace("vbabortretryignore", Value::Long(2));
    m.emplace("vbyesnocancel", Value::Long(3));
    m.emplace("vbyesno", Value::Long(4));
    m.emplace("vbretrycancel", Value::Long(5));
    m.emplace("vbcritical", Value::Long(16));
    m.emplace("vbquestion", Value::Long(32));
    m.emplace("vbexclamation", Value::Long(48));
    m.emplace("vbinformation", Value::Long(64));
    m.emplace("vbok", Value::Long(1));
    m.emplace("vbcancel", Value::Long(2));
    m.emplace("vbabort", Value::Long(3));
    m.emplace("vbretry", Value::Long(4));
    m.emplace("vbignore", Value::Long(5));
    m.emplace("vbyes", Value::Long(6));
    m.emplace("vbno", Value::Long(7));
    // The word processor's own constants that the object model uses.
    m.emplace("wdreplacenone", Value::Long(0));
    m.emplace("wdreplaceone", Value::Long(1));
    m.emplace("wdreplaceall", Value::Long(2));
    m.emplace("wdfindstop", Value::Long(0));
    m.emplace("wdfindcontinue", Value::Long(1));
    m.emplace("wdfindask", Value::Long(2));
    m.emplace("wdheaderfooterprimary", Value::Long(1));
    m.emplace("wdheaderfooterfirstpage", Value::Long(2));
    m.emplace("wdheaderfooterevenpages", Value::Long(3));
    m.emplace("wddonotsavechanges", Value::Long(0));
    m.emplace("wdsavechanges", Value::Long(-1));
    m.emplace("wdprompttosavechanges", Value::Long(-2));
    m.emplace("wdformatdocument", Value::Long(0));
    m.emplace("wdformattext", Value::Long(2));
    m.emplace("wdformattextlinebreaks", Value::Long(3));
    m.emplace("wdformatdostext", Value::Long(4));
    m.emplace("wdformatdostextlinebreaks", Value::Long(5));
    m.emplace("wdformatrtf", Value::Long(6));
    m.emplace("wdformatunicodetext", Value::Long(7));
    m.emplace("wdformathtml", Value::Long(8));
    m.emplace("wdformatxmldocument", Value::Long(12));
    m.emplace("wdformatdocumentdefault", Value::Long(16));
    m.emplace("wdpropertytitle", Value::Long(1));
    m.emplace("wdpropertysubject", Value::Long(2));
    m.emplace("wdpropertyauthor", Value::Long(3));
    m.emplace("wdpropertykeywords", Value::Long(4));
    m.emplace("wdpropertycomments", Value::Long(5));
    m.emplace("wdcollapsestart", Value::Long(1));
    m.emplace("wdcollapseend", Value::Long(0));
    m.emplace("wdnoprotection", Value::Long(-1));
    return m;
  }();
  auto it = kConstants.find(n);
  if (it == kConstants.end())
    return false;
  out = it->second;
  return true;
}

}  // namespace quillon::docengine::macro
