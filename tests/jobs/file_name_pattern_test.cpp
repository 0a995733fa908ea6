#include "jobs/file_name_pattern.h"

#include <gtest/gtest.h>

#include "tests/support/fake_clock.h"

namespace quillon {
namespace {

// Saturday, 7 March 2026, 14:05:09.042
constexpr LocalDateTime kAfternoon{2026, 3, 7, 14, 5, 9, 42};

std::string Format(std::string_view pattern, const LocalDateTime& when = kAfternoon,
                   const QLocale& locale = QLocale::c()) {
  return FormatFileNamePattern(pattern, when, locale);
}

TEST(FileNamePattern, OfferedPatterns) {
  const std::vector<std::string>& offered = OfferedFileNamePatterns();
  ASSERT_EQ(offered.size(), 7u);
  const char* expected[] = {"*",
                            "030726*",
                            "*030726",
                            "03072026*",
                            "*03072026",
                            "*03_07_2026",
                            "dir1\\2026\\03\\07\\*-14-05-09"};
  for (size_t i = 0; i < offered.size(); ++i) {
    EXPECT_EQ(Format(offered[i]), expected[i]) << offered[i];
  }
}

TEST(FileNamePattern, NumbersWithAndWithoutLeadingZeros) {
  const LocalDateTime morning{2009, 3, 7, 4, 5, 9, 42};
  EXPECT_EQ(Format("d-dd-m-mm-yy-yyyy", morning), "7-07-3-03-09-2009");
  EXPECT_EQ(Format("h-hh-n-nn-s-ss-z-zzz", morning), "4-04-5-05-9-09-42-042");
  // Specifier letters in either case; longer runs than listed clamp.
  EXPECT_EQ(Format("YYYY_MM_DD HH_NN_SS", morning), "2009_03_07 04_05_09");
  EXPECT_EQ(Format("y yyy hhh nnn", morning), "09 2009 04 05");
  // A run is one character repeated: "Mm" is two one-letter months.
  EXPECT_EQ(Format("Mm", morning), "33");
}

TEST(FileNamePattern, MonthLettersAfterAnHourAreTheMinute) {
  EXPECT_EQ(Format("hh:mm"), "14:05");
  EXPECT_EQ(Format("hh-mm-ss"), "14-05-09");
  EXPECT_EQ(Format("h m"), "14 5");
  EXPECT_EQ(Format("h'x'mm"), "14x05");
  // Only non-letters may stand between: otherwise it is the month again.
  EXPECT_EQ(Format("hh x mm"), "14 x 03");
  EXPECT_EQ(Format("mm hh"), "03 14");
  EXPECT_EQ(Format("hh:mm:mm"), "14:05:03");
  EXPECT_EQ(Format("hh mmm"), "14 Mar");
}

TEST(FileNamePattern, AmPmMakesThePrecedingHourTwelveHour) {
  EXPECT_EQ(Format("hh:nn am/pm"), "02:05 pm");
  EXPECT_EQ(Format("hh AM/PM"), "02 PM");
  EXPECT_EQ(Format("hhAm/Pm"), "02Pm");
  EXPECT_EQ(Format("h a/p"), "2 p");
  EXPECT_EQ(Format("h A/P"), "2 P");
  EXPECT_EQ(Format("h ampm"), "2 PM");
  EXPECT_EQ(Format("h:mm am/pm"), "2:05 pm");

  const LocalDateTime midnight{2026, 3, 7, 0, 30, 0, 0};
  const LocalDateTime noon{2026, 3, 7, 12, 0, 0, 0};
  const LocalDateTime morning{2026, 3, 7, 9, 0, 0, 0};
  EXPECT_EQ(Format("h am/pm", midnight), "12 am");
  EXPECT_EQ(Format("h am/pm", noon), "12 pm");
  EXPECT_EQ(Format("hh A/P", morning), "09 A");
  EXPECT_EQ(Format("hh ampm", morning), "09 AM");

  // Quoted, after the hour, or behind another hour: no 12-hour clock.
  EXPECT_EQ(Format("hh 'am/pm'"), "14 am/pm");
  EXPECT_EQ(Format("am/pm hh"), "pm 14");
  EXPECT_EQ(Format("hh hh am/pm"), "14 02 pm");
  EXPECT_EQ(Format("hh a"), "14 a");
}

TEST(FileNamePattern, QuotedTextAndOtherCharactersAreCopied) {
  EXPECT_EQ(Format("'day' dd \"month\" mm"), "day 07 month 03");
  EXPECT_EQ(Format("\"it's\"_yy"), "it's_26");
  EXPECT_EQ(Format("'unclosed dd"), "unclosed dd");
  EXPECT_EQ(Format("''yy"), "26");
  EXPECT_EQ(Format("x*e\\g"), "x*e\\g");
  EXPECT_EQ(Format("Büro_yyyy"), "Büro_2026");
}

TEST(FileNamePattern, LocaleTextsUnderTheCLocale) {
  EXPECT_EQ(Format("ddd dddd mmm mmmm"), "Sat Saturday Mar March");
  EXPECT_EQ(Format("ddddd"), "7 Mar 2026");
  EXPECT_EQ(Format("dddddd"), "Saturday, 7 March 2026");
  EXPECT_EQ(Format("t|tt"), "14:05:09|14:05:09");  // no time zone in a file name
  EXPECT_EQ(Format("c"), "7 Mar 2026 14:05:09");
  EXPECT_EQ(Format("mm/dd hh:nn"), "03/07 14:05");
}

TEST(FileNamePattern, LocaleTextsFollowTheLocale) {
  const QLocale german(QLocale::German, QLocale::Germany);
  EXPECT_EQ(Format("dd/mm/yy", kAfternoon, german), "07.03.26");
  EXPECT_EQ(Format("dddd mmmm", kAfternoon, german), "Samstag März");
  EXPECT_EQ(Format("ddddd", kAfternoon, german), "07.03.26");
  EXPECT_EQ(Format("t", kAfternoon, german), "14:05");
  EXPECT_EQ(Format("tt", kAfternoon, german), "14:05:09");
  EXPECT_EQ(Format("hh:nn", kAfternoon, german), "14:05");
}

TEST(FileNamePattern, PreviewUsesTheCurrentClock) {
  {
    testing::FakeClock clock(kAfternoon);
    EXPECT_EQ(FileNamePatternPreview("mmddyy*"), "=030726*");
    EXPECT_EQ(FileNamePatternPreview("*"), "=the file name without file extension");
    EXPECT_EQ(FileNamePatternPreview("  *"), "=  *");
    clock.Set({1999, 12, 31, 23, 59, 58, 0});
    EXPECT_EQ(FileNamePatternPreview("mmddyy*"), "=123199*");
    EXPECT_EQ(FileNamePatternPreview("*-hh-nn-ss"), "=*-23-59-58");
  }
  // The fake is gone: the machine's clock answers again.
  EXPECT_GE(CurrentClock().Now().year, 2024);
}

}  // namespace
}  // namespace quillon
