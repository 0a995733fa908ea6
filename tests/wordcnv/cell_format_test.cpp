// Sheet values through the numbering styles the sheet library defines.

#include "wordcnv/cell_format.h"

#include <gtest/gtest.h>
#include <librevenge/librevenge.h>

namespace quillon::wordcnv {
namespace {

CellValue Number(double value) {
  CellValue cell;
  cell.has_number = true;
  cell.number = value;
  return cell;
}

CellValue Date(int year, int month, int day) {
  CellValue cell;
  cell.has_date = true;
  cell.year = year;
  cell.month = month;
  cell.day = day;
  return cell;
}

CellValue Time(int hours, int minutes, int seconds) {
  CellValue cell;
  cell.has_time = true;
  cell.hours = hours;
  cell.minutes = minutes;
  cell.seconds = seconds;
  return cell;
}

librevenge::RVNGPropertyList Style(const char* type) {
  librevenge::RVNGPropertyList style;
  style.insert("librevenge:value-type", type);
  return style;
}

librevenge::RVNGPropertyList Part(const char* type, bool long_form = false, bool textual = false) {
  librevenge::RVNGPropertyList part;
  part.insert("librevenge:value-type", type);
  if (long_form) {
    part.insert("number:style", "long");
  }
  if (textual) {
    part.insert("number:textual", true);
  }
  return part;
}

librevenge::RVNGPropertyList Literal(const char* text) {
  librevenge::RVNGPropertyList part = Part("text");
  part.insert("librevenge:text", text);
  return part;
}

std::string Show(const librevenge::RVNGPropertyList& style, const CellValue& value) {
  return FormatCellValue(NumberFormatFromStyle(style), value);
}

TEST(CellFormat, NumbersWithDecimalsSeparatorsPercentAndExponent) {
  librevenge::RVNGPropertyList fixed = Style("number");
  fixed.insert("number:decimal-places", 2);
  EXPECT_EQ(Show(fixed, Number(683.38)), "683.38");
  EXPECT_EQ(Show(fixed, Number(2.005)), "2.01");  // as shown, though binary 2.005 lies below
  EXPECT_EQ(Show(fixed, Number(99.995)), "100.00");
  EXPECT_EQ(Show(fixed, Number(0.004)), "0.00");
  EXPECT_EQ(Show(fixed, Number(0.005)), "0.01");
  EXPECT_EQ(Show(fixed, Number(-0.001)), "0.00");
  EXPECT_EQ(Show(fixed, Number(-12.5)), "-12.50");

  librevenge::RVNGPropertyList comma = fixed;
  comma.insert("number:grouping", true);
  EXPECT_EQ(Show(comma, Number(1234567.891)), "1,234,567.89");
  EXPECT_EQ(Show(comma, Number(-999)), "-999.00");
  EXPECT_EQ(Show(comma, Number(-1000)), "-1,000.00");

  librevenge::RVNGPropertyList leading = Style("number");
  leading.insert("number:decimal-places", 0);
  leading.insert("number:min-integer-digits", 3);
  EXPECT_EQ(Show(leading, Number(7)), "007");

  librevenge::RVNGPropertyList percent = Style("percentage");
  percent.insert("number:decimal-places", 1);
  EXPECT_EQ(Show(percent, Number(0.256)), "25.6%");

  librevenge::RVNGPropertyList scientific = Style("scientific");
  scientific.insert("number:decimal-places", 2);
  EXPECT_EQ(Show(scientific, Number(12345)), "1.23E+04");

  EXPECT_EQ(Show(Style("boolean"), Number(1)), "TRUE");
  EXPECT_EQ(Show(Style("boolean"), Number(0)), "FALSE");
  // No value at all shows nothing.
  EXPECT_EQ(Show(fixed, CellValue()), "");
}

TEST(CellFormat, GeneralNumbersKeepTheirDigitsWithoutNoise) {
  EXPECT_EQ(GeneralNumber(0.2515), "0.2515");
  EXPECT_EQ(GeneralNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(GeneralNumber(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(GeneralNumber(4001), "4001");
  EXPECT_EQ(GeneralNumber(-35792), "-35792");
  EXPECT_EQ(GeneralNumber(-0.0), "0");
  EXPECT_EQ(GeneralNumber(1.5e20), "1.5E+20");
  EXPECT_EQ(GeneralNumber(2.5e-12), "2.5E-12");
  // A style with no decimal places given is the general format.
  EXPECT_EQ(Show(Style("number"), Number(46.7)), "46.7");
}

TEST(CellFormat, CurrencyPutsItsSymbolWhereTheStyleDoes) {
  librevenge::RVNGPropertyList style = Style("currency");
  librevenge::RVNGPropertyListVector parts;
  librevenge::RVNGPropertyList symbol = Part("currency-symbol");
  symbol.insert("librevenge:currency", "$");
  librevenge::RVNGPropertyList digits = Part("number");
  digits.insert("number:decimal-places", 2);
  parts.append(symbol);
  parts.append(digits);
  style.insert("librevenge:format", parts);
  EXPECT_EQ(Show(style, Number(1234.5)), "$1,234.50");
  EXPECT_EQ(Show(style, Number(-3)), "-$3.00");

  librevenge::RVNGPropertyList after = Style("currency");
  librevenge::RVNGPropertyListVector after_parts;
  librevenge::RVNGPropertyList euro = Part("currency-symbol");
  euro.insert("librevenge:currency", " €");
  after_parts.append(digits);
  after_parts.append(euro);
  after.insert("librevenge:format", after_parts);
  EXPECT_EQ(Show(after, Number(5)), "5.00 €");
}

TEST(CellFormat, DatesAndTimesFromTheirParts) {
  librevenge::RVNGPropertyList date = Style("date");
  librevenge::RVNGPropertyListVector parts;
  for (const auto& part : {Part("month"), Literal("/"), Part("day"), Literal("/"), Part("year")}) {
    parts.append(part);
  }
  date.insert("librevenge:format", parts);
  EXPECT_EQ(Show(date, Date(1996, 7, 3)), "7/3/96");
  EXPECT_EQ(Show(date, Date(2005, 12, 25)), "12/25/05");

  librevenge::RVNGPropertyList named = Style("date");
  librevenge::RVNGPropertyListVector named_parts;
  for (const auto& part :
       {Part("day-of-week", true), Literal(", "), Part("day", true), Literal("-"),
        Part("month", false, true), Literal("-"), Part("year", true)}) {
    named_parts.append(part);
  }
  named.insert("librevenge:format", named_parts);
  EXPECT_EQ(Show(named, Date(1996, 7, 3)), "Wednesday, 03-Jul-1996");
  EXPECT_EQ(Show(named, Date(2000, 2, 29)), "Tuesday, 29-Feb-2000");

  librevenge::RVNGPropertyList clock = Style("time");
  librevenge::RVNGPropertyListVector clock_parts;
  for (const auto& part :
       {Part("hours"), Literal(":"), Part("minutes", true), Literal(" "), Part("am-pm")}) {
    clock_parts.append(part);
  }
  clock.insert("librevenge:format", clock_parts);
  EXPECT_EQ(Show(clock, Time(0, 5, 0)), "12:05 AM");
  EXPECT_EQ(Show(clock, Time(13, 30, 59)), "1:30 PM");

  // Without parts: month/day/year and a 24-hour clock.
  EXPECT_EQ(FormatCellValue(NumberFormatForValueType("date"), Date(2024, 1, 9)), "1/9/2024");
  EXPECT_EQ(FormatCellValue(NumberFormatForValueType("time"), Time(9, 7, 3)), "09:07:03");
}

}  // namespace
}  // namespace quillon::wordcnv
