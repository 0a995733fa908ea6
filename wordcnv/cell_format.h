#pragma once
// How a sheet shows a cell's value: the numbering styles a sheet reader
// defines (decimal places, thousands separators, percent, currency,
// scientific, dates and times built from parts) applied to the value the
// file stores, the cached result of a formula included.
//
// Pure functions; thread-safe.

#include <string>
#include <vector>

namespace librevenge {
class RVNGPropertyList;
}

namespace quillon::wordcnv {

// One piece of a date or time display.
struct DateTimePart {
  enum Kind { kText, kYear, kMonth, kDay, kDayOfWeek, kHours, kMinutes, kSeconds, kAmPm };
  Kind kind = kText;
  bool long_form = false;  // four-digit year, two-digit fields, full names
  bool textual = false;    // month by name
  std::string text;        // kText only
};

struct NumberFormat {
  enum Kind { kGeneral, kNumber, kScientific, kPercent, kCurrency, kBoolean, kDate, kTime };
  Kind kind = kGeneral;
  int decimals = -1;  // -1: as many as the value needs
  bool grouping = false;
  int min_integer_digits = 0;
  std::string currency_before;
  std::string currency_after;
  std::vector<DateTimePart> parts;  // kDate and kTime; empty: the default order
};

// A cell's stored value: a number, or a date and/or a time of day.
struct CellValue {
  bool has_number = false;
  double number = 0;
  bool has_date = false;
  int year = 0, month = 0, day = 0;
  bool has_time = false;
  int hours = 0, minutes = 0, seconds = 0;
};

// The format a numbering style's properties describe ("librevenge:value-type",
// "number:decimal-places", "librevenge:format", ...).
NumberFormat NumberFormatFromStyle(const librevenge::RVNGPropertyList& style);

// The format of a cell without a numbering style, from the cell's own
// "librevenge:value-type".
NumberFormat NumberFormatForValueType(const std::string& value_type);

// The value as the format shows it; "" when the cell holds no value.
std::string FormatCellValue(const NumberFormat& format, const CellValue& value);

// A number in the general format: up to 15 significant digits, no
// trailing zeros, an exponent only for very large or small magnitudes.
std::string GeneralNumber(double value);

}  // namespace quillon::wordcnv
