#include "wordcnv/cell_format.h"

#include <librevenge/librevenge.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillon::wordcnv {
namespace {

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

std::string Text(const librevenge::RVNGPropertyList& list, const char* name) {
  const librevenge::RVNGProperty* property = list[name];
  return property != nullptr ? std::string(property->getStr().cstr()) : std::string();
}

bool Flag(const librevenge::RVNGPropertyList& list, const char* name) {
  const librevenge::RVNGProperty* property = list[name];
  if (property == nullptr) {
    return false;
  }
  const std::string text = property->getStr().cstr();
  return text == "true" || text == "1" || property->getInt() != 0;
}

int Integer(const librevenge::RVNGPropertyList& list, const char* name, int fallback) {
  const librevenge::RVNGProperty* property = list[name];
  return property != nullptr ? property->getInt() : fallback;
}

std::string Padded(int value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

// Thousands separators into the integer part of a plain decimal text.
std::string Grouped(const std::string& digits) {
  const std::size_t start = digits.size() > 0 && digits[0] == '-' ? 1 : 0;
  std::size_t end = digits.find('.');
  if (end == std::string::npos) {
    end = digits.size();
  }
  std::string out = digits.substr(0, start);
  for (std::size_t i = start; i < end; ++i) {
    if (i > start && (end - i) % 3 == 0) {
      out += ',';
    }
    out += digits[i];
  }
  out += digits.substr(end);
  return out;
}

// The value rounded half away from zero to `decimals` places, from its 15
// significant digits as a sheet keeps them: 2.005 shows as 2.01 although
// its binary value lies just below.
std::string Fixed(double value, int decimals) {
  if (!std::isfinite(value)) {
    return GeneralNumber(value);
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  std::string mantissa(1, buffer[0]);
  mantissa.append(buffer + 2, 14);
  const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  // The digits of round(|value| * 10^decimals).
  const int keep = exponent + 1 + decimals;
  std::string digits;
  if (keep <= 0) {
    digits = keep == 0 && mantissa[0] >= '5' ? "1" : "0";
  } else {
    digits = mantissa.substr(0, std::min<std::size_t>(static_cast<std::size_t>(keep), 15));
    digits.resize(static_cast<std::size_t>(keep), '0');
    if (static_cast<std::size_t>(keep) < mantissa.size() &&
        mantissa[static_cast<std::size_t>(keep)] >= '5') {
      std::size_t i = digits.size();
      while (i > 0 && digits[i - 1] == '9') {
        digits[--i] = '0';
      }
      if (i == 0) {
        digits.insert(0, 1, '1');
      } else {
        ++digits[i - 1];
      }
    }
  }
  const auto places = static_cast<std::size_t>(decimals);
  if (digits.size() <= places) {
    digits.insert(0, places + 1 - digits.size(), '0');
  }
  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  std::string text = (value < 0 && !zero ? "-" : "") + digits.substr(0, digits.size() - places);
  if (places > 0) {
    text += "." + digits.substr(digits.size() - places);
  }
  return text;
}

std::string Digits(const NumberFormat& format, double value) {
  std::string text =
      format.decimals >= 0 ? Fixed(value, std::min(format.decimals, 30)) : GeneralNumber(value);
  if (format.min_integer_digits > 1) {
    const std::size_t sign = text[0] == '-' ? 1 : 0;
    std::size_t integer_end = text.find_first_of(".eE", sign);
    if (integer_end == std::string::npos) {
      integer_end = text.size();
    }
    const std::size_t have = integer_end - sign;
    const auto want = static_cast<std::size_t>(std::min(format.min_integer_digits, 30));
    if (have < want) {
      text.insert(sign, want - have, '0');
    }
  }
  return format.grouping ? Grouped(text) : text;
}

// Day of the week of a Gregorian date, 0 = Sunday.
int DayOfWeek(int year, int month, int day) {
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) {
    --year;
  }
  const int index =
      (year + year / 4 - year / 100 + year / 400 + kOffsets[(month + 11) % 12] + day) % 7;
  return index < 0 ? index + 7 : index;
}

std::string DateTimeText(const NumberFormat& format, const CellValue& value) {
  std::vector<DateTimePart> parts = format.parts;
  if (parts.empty()) {
    auto part = [](DateTimePart::Kind kind, bool long_form, std::string text = {}) {
      DateTimePart p;
      p.kind = kind;
      p.long_form = long_form;
      p.text = std::move(text);
      return p;
    };
    if (value.has_date) {
      parts = {part(DateTimePart::kMonth, false), part(DateTimePart::kText, false, "/"),
               part(DateTimePart::kDay, false), part(DateTimePart::kText, false, "/"),
               part(DateTimePart::kYear, true)};
    }
    if (value.has_time) {
      if (!parts.empty()) {
        parts.push_back(part(DateTimePart::kText, false, " "));
      }
      for (auto kind : {DateTimePart::kHours, DateTimePart::kMinutes, DateTimePart::kSeconds}) {
        if (kind != DateTimePart::kHours) {
          parts.push_back(part(DateTimePart::kText, false, ":"));
        }
        parts.push_back(part(kind, true));
      }
    }
  }
  bool twelve_hours = false;
  for (const DateTimePart& part : parts) {
    twelve_hours = twelve_hours || part.kind == DateTimePart::kAmPm;
  }
  std::string out;
  for (const DateTimePart& part : parts) {
    switch (part.kind) {
      case DateTimePart::kText:
        out += part.text;
        break;
      case DateTimePart::kYear:
        out += part.long_form ? std::to_string(value.year)
                              : Padded(((value.year % 100) + 100) % 100, 2);
        break;
      case DateTimePart::kMonth:
        if (part.textual && value.month >= 1 && value.month <= 12) {
          const std::string name = kMonthNames[value.month - 1];
          out += part.long_form ? name : name.substr(0, 3);
        } else {
          out += Padded(value.month, part.long_form ? 2 : 1);
        }
        break;
      case DateTimePart::kDay:
        out += Padded(value.day, part.long_form ? 2 : 1);
        break;
      case DateTimePart::kDayOfWeek: {
        const std::string name = kDayNames[DayOfWeek(value.year, value.month, value.day)];
        out += part.long_form ? name : name.substr(0, 3);
        break;
      }
      case DateTimePart::kHours: {
        int hours = value.hours;
        if (twelve_hours) {
          hours %= 12;
          if (hours == 0) {
            hours = 12;
          }
        }
        out += Padded(hours, part.long_form ? 2 : 1);
        break;
      }
      case DateTimePart::kMinutes:
        out += Padded(value.minutes, part.long_form ? 2 : 1);
        break;
      case DateTimePart::kSeconds:
        out += Padded(value.seconds, part.long_form ? 2 : 1);
        break;
      case DateTimePart::kAmPm:
        out += value.hours < 12 ? "AM" : "PM";
        break;
    }
  }
  return out;
}

DateTimePart PartFromProperties(const librevenge::RVNGPropertyList& list) {
  DateTimePart part;
  const std::string type = Text(list, "librevenge:value-type");
  part.long_form = Text(list, "number:style") == "long";
  part.textual = Flag(list, "number:textual");
  if (type == "year") {
    part.kind = DateTimePart::kYear;
  } else if (type == "month") {
    part.kind = DateTimePart::kMonth;
  } else if (type == "day") {
    part.kind = DateTimePart::kDay;
  } else if (type == "day-of-week") {
    part.kind = DateTimePart::kDayOfWeek;
  } else if (type == "hours") {
    part.kind = DateTimePart::kHours;
  } else if (type == "minutes") {
    part.kind = DateTimePart::kMinutes;
  } else if (type == "seconds") {
    part.kind = DateTimePart::kSeconds;
  } else if (type == "am-pm") {
    part.kind = DateTimePart::kAmPm;
  } else {
    part.kind = DateTimePart::kText;
    part.text = Text(list, "librevenge:text");
  }
  return part;
}

}  // namespace

std::string GeneralNumber(double value) {
  if (!std::isfinite(value)) {
    return std::isnan(value) ? "NaN" : (value > 0 ? "Inf" : "-Inf");
  }
  if (value == 0) {
    return "0";
  }
  char buffer[64];
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e15 || magnitude < 1e-9) {
    std::snprintf(buffer, sizeof buffer, "%.14E", value);
    std::string text = buffer;
    // Drop the zeros that end the mantissa.
    const std::size_t e = text.find('E');
    std::size_t last = e;
    while (last > 0 && text[last - 1] == '0') {
      --last;
    }
    if (last > 0 && text[last - 1] == '.') {
      --last;
    }
    return text.substr(0, last) + text.substr(e);
  }
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

NumberFormat NumberFormatForValueType(const std::string& value_type) {
  NumberFormat format;
  if (value_type == "percentage") {
    format.kind = NumberFormat::kPercent;
  } else if (value_type == "scientific") {
    format.kind = NumberFormat::kScientific;
  } else if (value_type == "currency") {
    format.kind = NumberFormat::kCurrency;
  } else if (value_type == "boolean") {
    format.kind = NumberFormat::kBoolean;
  } else if (value_type == "date") {
    format.kind = NumberFormat::kDate;
  } else if (value_type == "time") {
    format.kind = NumberFormat::kTime;
  }
  return format;
}

NumberFormat NumberFormatFromStyle(const librevenge::RVNGPropertyList& style) {
  const std::string type = Text(style, "librevenge:value-type");
  NumberFormat format = NumberFormatForValueType(type);
  if (type == "number" || type == "float") {
    format.kind = NumberFormat::kNumber;
  }
  format.decimals = Integer(style, "number:decimal-places", -1);
  format.grouping = Flag(style, "number:grouping");
  format.min_integer_digits = Integer(style, "number:min-integer-digits", 0);
  if (format.kind == NumberFormat::kNumber && format.decimals < 0 && !format.grouping &&
      format.min_integer_digits <= 1) {
    format.kind = NumberFormat::kGeneral;
  }
  const librevenge::RVNGPropertyListVector* pieces = style.child("librevenge:format");
  if (pieces == nullptr) {
    return format;
  }
  bool number_seen = false;
  for (unsigned long i = 0; i < pieces->count(); ++i) {
    const librevenge::RVNGPropertyList& piece = (*pieces)[i];
    const std::string piece_type = Text(piece, "librevenge:value-type");
    if (format.kind == NumberFormat::kCurrency) {
      if (piece_type == "currency-symbol") {
        (number_seen ? format.currency_after : format.currency_before) +=
            Text(piece, "librevenge:currency");
      } else if (piece_type == "number") {
        number_seen = true;
        format.decimals = Integer(piece, "number:decimal-places", format.decimals);
        format.grouping = true;
      } else if (piece_type == "text") {
        (number_seen ? format.currency_after : format.currency_before) +=
            Text(piece, "librevenge:text");
      }
    } else if (format.kind == NumberFormat::kDate || format.kind == NumberFormat::kTime) {
      format.parts.push_back(PartFromProperties(piece));
    }
  }
  return format;
}

std::string FormatCellValue(const NumberFormat& format, const CellValue& value) {
  if (value.has_date || value.has_time) {
    return DateTimeText(format, value);
  }
  if (!value.has_number) {
    return {};
  }
  const double number = value.number;
  switch (format.kind) {
    case NumberFormat::kGeneral:
      return GeneralNumber(number);
    case NumberFormat::kNumber:
      return Digits(format, number);
    case NumberFormat::kPercent:
      return Digits(format, number * 100) + "%";
    case NumberFormat::kScientific: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.*E", std::clamp(format.decimals, 0, 30), number);
      return buffer;
    }
    case NumberFormat::kCurrency: {
      NumberFormat digits = format;
      digits.grouping = true;
      if (digits.decimals < 0) {
        digits.decimals = 2;
      }
      std::string text = Digits(digits, std::fabs(number));
      return (number < 0 && text.find_first_not_of("0.,") != std::string::npos ? "-" : "") +
             format.currency_before + text + format.currency_after;
    }
    case NumberFormat::kBoolean:
      return number != 0 ? "TRUE" : "FALSE";
    case NumberFormat::kDate:
    case NumberFormat::kTime:
      // A date style over a plain number (a sheet stores days since its
      // epoch): the reader already turned real dates into parts.
      return GeneralNumber(number);
  }
  return GeneralNumber(number);
}

}  // namespace quillon::wordcnv
