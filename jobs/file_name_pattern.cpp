#include "jobs/file_name_pattern.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <atomic>

#include "util/translate.h"

namespace quillon {
namespace {

std::atomic<const Clock*>& InstalledClock() {
  static std::atomic<const Clock*> clock{nullptr};
  return clock;
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) {
    return false;
  }
  for (size_t k = 0; k < prefix.size(); ++k) {
    if (AsciiUpper(text[at + k]) != AsciiUpper(prefix[k])) {
      return false;
    }
  }
  return true;
}

std::string Padded(int value, size_t width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (digits.size() < width) {
    digits.insert(0, width - digits.size(), '0');
  }
  return value < 0 ? "-" + digits : digits;
}

std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

// The first separator character of a locale date or time format: the first
// character outside quotes that is neither a letter nor a blank. Locales
// whose short format has none (the C locale writes "d MMM yyyy") fall back
// to the usual one.
std::string SeparatorOf(const QString& format, const char* fallback) {
  bool quoted = false;
  for (QChar ch : format) {
    if (ch == u'\'') {
      quoted = !quoted;
    } else if (!quoted && !ch.isLetter() && !ch.isSpace()) {
      return Utf8(QString(ch));
    }
  }
  return fallback;
}

// Qt's time formats may carry the time zone ("t"); the system time formats
// this language mirrors never do, and a zone name is of no use in a file name.
QString WithoutTimeZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    QChar ch = format[i];
    if (ch == u'\'') {
      quoted = !quoted;
    }
    if (!quoted && ch == u't') {
      while (!out.isEmpty() && out.back().isSpace()) {
        out.chop(1);
      }
      continue;
    }
    out += ch;
  }
  return out.trimmed();
}

// Does an am/pm specifier follow the hour ending at `from`, before the next
// hour specifier? Quoted text does not count.
bool TwelveHourFollows(std::string_view pattern, size_t from) {
  char quote = 0;
  for (size_t j = from; j < pattern.size(); ++j) {
    char c = pattern[j];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      }
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == 'h' || c == 'H') {
      return false;
    } else if (c == 'a' || c == 'A') {
      return StartsWithNoCase(pattern, j, "am/pm") || StartsWithNoCase(pattern, j, "a/p") ||
             StartsWithNoCase(pattern, j, "ampm");
    }
  }
  return false;
}

class PatternFormatter {
 public:
  PatternFormatter(const LocalDateTime& when, const QLocale& locale)
      : when_(when),
        locale_(locale),
        date_(when.year, when.month, when.day),
        time_(when.hour, when.minute, when.second, when.millisecond) {}

  std::string Format(std::string_view pattern) {
    std::string out;
    char last_letter = 0;  // upper case; 'N' once an "m" was read as the minute
    size_t i = 0;
    while (i < pattern.size()) {
      const char c = pattern[i];
      if (c == '\'' || c == '"') {
        size_t close = pattern.find(c, i + 1);
        if (close == std::string_view::npos) {
          close = pattern.size();
        }
        out.append(pattern.substr(i + 1, close - i - 1));
        i = close + 1;
        continue;
      }
      if (c == '/') {
        out += DateSeparator();
        ++i;
        continue;
      }
      if (c == ':') {
        out += TimeSeparator();
        ++i;
        continue;
      }
      if (!IsAsciiLetter(c)) {
        out += c;
        ++i;
        continue;
      }
      size_t count = 1;
      while (i + count < pattern.size() && pattern[i + count] == c) {
        ++count;
      }
      char token = AsciiUpper(c);
      if (token == 'M' && last_letter == 'H' && count <= 2) {
        token = 'N';
      }
      last_letter = token;
      switch (token) {
        case 'C':
          out += ShortDate() + " " + LongTime();
          break;
        case 'D':
          if (count <= 2) {
            out += Padded(when_.day, count);
          } else if (count == 3) {
            out += DayName(QLocale::ShortFormat);
          } else if (count == 4) {
            out += DayName(QLocale::LongFormat);
          } else if (count == 5) {
            out += ShortDate();
          } else {
            out += LongDate();
          }
          break;
        case 'M':
          if (count <= 2) {
            out += Padded(when_.month, count);
          } else {
            out += MonthName(count == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
          }
          break;
        case 'Y':
          out += count <= 2 ? Padded(when_.year % 100, 2) : Padded(when_.year, 4);
          break;
        case 'H': {
          int hour = when_.hour;
          if (TwelveHourFollows(pattern, i + count)) {
            hour %= 12;
            if (hour == 0) {
              hour = 12;
            }
          }
          out += Padded(hour, std::min<size_t>(count, 2));
          break;
        }
        case 'N':
          out += Padded(when_.minute, std::min<size_t>(count, 2));
          break;
        case 'S':
          out += Padded(when_.second, std::min<size_t>(count, 2));
          break;
        case 'Z':
          out += Padded(when_.millisecond, std::min<size_t>(count, 3));
          break;
        case 'T':
          out += count == 1 ? ShortTime() : LongTime();
          break;
        case 'A': {
          // One letter at a time: the rest of an am/pm specifier is consumed
          // here, anything else is plain text.
          const bool pm = when_.hour >= 12;
          if (StartsWithNoCase(pattern, i, "am/pm")) {
            out.append(pattern.substr(pm ? i + 3 : i, 2));
            i += 5;
          } else if (StartsWithNoCase(pattern, i, "a/p")) {
            out += pattern[pm ? i + 2 : i];
            i += 3;
          } else if (StartsWithNoCase(pattern, i, "ampm")) {
            out += Utf8(pm ? locale_.pmText() : locale_.amText());
            i += 4;
          } else {
            out += c;
            ++i;
          }
          continue;
        }
        default:
          // Not a specifier: copy the letter alone so that a following
          // letter still starts its own specifier.
          out += c;
          ++i;
          continue;
      }
      i += count;
    }
    return out;
  }

 private:
  std::string DateSeparator() { return SeparatorOf(locale_.dateFormat(QLocale::ShortFormat), "/"); }
  std::string TimeSeparator() { return SeparatorOf(locale_.timeFormat(QLocale::ShortFormat), ":"); }
  std::string ShortDate() { return Utf8(locale_.toString(date_, QLocale::ShortFormat)); }
  std::string LongDate() { return Utf8(locale_.toString(date_, QLocale::LongFormat)); }
  std::string ShortTime() {
    return Utf8(locale_.toString(time_, WithoutTimeZone(locale_.timeFormat(QLocale::ShortFormat))));
  }
  std::string LongTime() {
    return Utf8(locale_.toString(time_, WithoutTimeZone(locale_.timeFormat(QLocale::LongFormat))));
  }
  std::string DayName(QLocale::FormatType type) {
    return date_.isValid() ? Utf8(locale_.dayName(date_.dayOfWeek(), type)) : std::string();
  }
  std::string MonthName(QLocale::FormatType type) {
    return when_.month >= 1 && when_.month <= 12 ? Utf8(locale_.monthName(when_.month, type))
                                                 : std::string();
  }

  LocalDateTime when_;
  const QLocale& locale_;
  QDate date_;
  QTime time_;
};

}  // namespace

LocalDateTime SystemClock::Now() const {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate date = now.date();
  const QTime time = now.time();
  return {date.year(),   date.month(),  date.day(), time.hour(),
          time.minute(), time.second(), time.msec()};
}

const Clock& CurrentClock() {
  static const SystemClock system_clock;
  const Clock* installed = InstalledClock().load();
  return installed != nullptr ? *installed : system_clock;
}

void SetClock(const Clock* clock) {
  InstalledClock().store(clock);
}

std::string FormatFileNamePattern(std::string_view pattern, const LocalDateTime& when,
                                  const QLocale& locale) {
  return PatternFormatter(when, locale).Format(pattern);
}

std::string FileNamePatternPreview(std::string_view pattern) {
  if (pattern == "*") {
    return Tr("=the file name without file extension");
  }
  return "=" + FormatFileNamePattern(pattern, CurrentClock().Now());
}

const std::vector<std::string>& OfferedFileNamePatterns() {
  static const std::vector<std::string> patterns = {
      "*",
      "mmddyy*",
      "*mmddyy",
      "mmddyyyy*",
      "*mmddyyyy",
      "*mm_dd_yyyy",
      "\"dir1\"\\yyyy\\mm\\dd\\*-hh-nn-ss",
  };
  return patterns;
}

std::string FileNamePatternHelpText() {
  struct Line {
    const char* specifier;
    const char* meaning;
  };
  static const Line kLines[] = {
      {"*", TrNoop("the file name without file extension")},
      {"\\", TrNoop("the directory separator character")},
      {"c", TrNoop("the date in the short date format, then the time in the long time format")},
      {"d", TrNoop("the day as a number without a leading zero (1-31)")},
      {"dd", TrNoop("the day as a number with a leading zero (01-31)")},
      {"ddd", TrNoop("the day as an abbreviation (Sun-Sat)")},
      {"dddd", TrNoop("the day as a full name (Sunday-Saturday)")},
      {"ddddd", TrNoop("the date in the short date format")},
      {"dddddd", TrNoop("the date in the long date format")},
      {"m", TrNoop("the month as a number without a leading zero (1-12)")},
      {"mm", TrNoop("the month as a number with a leading zero (01-12)")},
      {"mmm", TrNoop("the month as an abbreviation (Jan-Dec)")},
      {"mmmm", TrNoop("the month as a full name (January-December)")},
      {"yy", TrNoop("the year as a two-digit number (00-99)")},
      {"yyyy", TrNoop("the year as a four-digit number (0000-9999)")},
      {"h", TrNoop("the hour without a leading zero (0-23)")},
      {"hh", TrNoop("the hour with a leading zero (00-23)")},
      {"n", TrNoop("the minute without a leading zero (0-59)")},
      {"nn", TrNoop("the minute with a leading zero (00-59)")},
      {"s", TrNoop("the second without a leading zero (0-59)")},
      {"ss", TrNoop("the second with a leading zero (00-59)")},
      {"z", TrNoop("the millisecond without leading zeros (0-999)")},
      {"zzz", TrNoop("the millisecond with leading zeros (000-999)")},
      {"t", TrNoop("the time in the short time format")},
      {"tt", TrNoop("the time in the long time format")},
      {"am/pm", TrNoop("12-hour clock for the preceding hour, followed by am or pm")},
      {"a/p", TrNoop("12-hour clock for the preceding hour, followed by a or p")},
      {"ampm",
       TrNoop("12-hour clock for the preceding hour, followed by the morning or afternoon text")},
      {"/", TrNoop("the date separator")},
      {":", TrNoop("the time separator")},
      {"'xx'/\"xx\"", TrNoop("text in single or double quotes is shown as it is")},
  };
  std::string text = Tr("You can use below formats to set the file name with date and time");
  for (const Line& line : kLines) {
    text += "\n";
    text += line.specifier;
    text += "\t";
    text += Tr(line.meaning);
  }
  return text;
}

}  // namespace quillon
