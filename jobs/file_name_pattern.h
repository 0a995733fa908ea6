#pragma once
// File-name patterns: a date-and-time format in which "*" stands for the
// source file's name without its extension and "\" separates sub-folders.
//
// Specifiers (letters in either case; a run of the same character is one
// specifier):
//   c            short date, a blank, long time
//   d dd         day of the month without / with leading zero
//   ddd dddd     short / long day name
//   ddddd        short date;  dddddd long date
//   m mm         month without / with leading zero; directly after h or hh
//                (only non-letters between) they are the minute
//   mmm mmmm     short / long month name
//   yy yyyy      two-digit / four-digit year
//   h hh         hour, 0-23 unless an am/pm specifier follows before the
//                next hour
//   n nn  s ss   minute, second without / with leading zero
//   z zzz        millisecond without / with leading zeros
//   t tt         short / long time
//   am/pm a/p    "am"/"pm" or "a"/"p" in the case written; the preceding
//                hour becomes a 12-hour clock
//   ampm         the locale's morning / afternoon text, 12-hour clock
//   /  :         the locale's date / time separator
//   '...' "..."  copied without the quotes
// Every other character, "*" and "\" included, is copied as it stands.
// Dates, times, names and separators come from the locale passed in (the
// user's locale, QLocale::system(), unless told otherwise).
//
// Thread: any; the clock is read through CurrentClock().

#include <QLocale>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A local wall-clock reading.
struct LocalDateTime {
  int year = 2000;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;   // 0-23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Where naming gets "now" from; tests install a fixed one so that they never
// wait for the clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
};

// The local time of the machine.
class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override;
};

// The process-wide clock: a SystemClock until another is installed. The
// caller keeps ownership of what it sets and resets it (SetClock(nullptr))
// before destroying it.
const Clock& CurrentClock();
void SetClock(const Clock* clock);

// Formats `pattern` for the moment `when`. "*" and "\" stay as they are.
std::string FormatFileNamePattern(std::string_view pattern, const LocalDateTime& when,
                                  const QLocale& locale = QLocale::system());

// The text of the preview label beside a pattern box: for exactly "*" the
// translated "=the file name without file extension", otherwise "=" and the
// pattern formatted for CurrentClock().Now() ("*" shows as "*").
std::string FileNamePatternPreview(std::string_view pattern);

// The choices offered in the pattern boxes, in order ("*" first).
const std::vector<std::string>& OfferedFileNamePatterns();

// The help text listing the specifiers, one per line, translated.
std::string FileNamePatternHelpText();

}  // namespace quillon
