#include "core/dates.h"

#include <gtest/gtest.h>

#include <regex>

namespace kvt {
namespace {

TEST(Dates, MonthLengthsFollowTheGregorianRule) {
  EXPECT_EQ(DaysInMonth(2, 2000), 29);
  EXPECT_EQ(DaysInMonth(2, 2100), 28);
  EXPECT_EQ(DaysInMonth(4, 2010), 30);
  EXPECT_EQ(DaysInMonth(0, 2010), 0);
  EXPECT_EQ(DaysInMonth(13, 2010), 0);
  EXPECT_TRUE(IsValidDate(Date{29, 2, 2400}));
  EXPECT_FALSE(IsValidDate(Date{0, 1, 2010}));
  EXPECT_FALSE(IsValidDate(Date{31, 4, 2010}));
}

TEST(Dates, DialogDatesOfEightAndTenCharactersWithAnySeparator) {
  EXPECT_EQ(ParseDialogDate("01.03.10"), (Date{1, 3, 2010}));
  EXPECT_EQ(ParseDialogDate("01/03/2010"), (Date{1, 3, 2010}));
  EXPECT_EQ(ParseDialogDate("31-12-1999"), (Date{31, 12, 1999}));
  EXPECT_EQ(ParseDialogDate("29/02.12"), (Date{29, 2, 2012}));
  EXPECT_EQ(ParseDialogDate("15-06/99"), (Date{15, 6, 2099}));
  // Not in the calendar, wrong length, wrong separator, not digits.
  for (const char* bad :
       {"31/02/2010", "29/02/2100", "00/01/2010", "01/13/2010", "1/03/2010", "01/03/201",
        "01 03 2010", "01:03:2010", "0a/03/2010", "01/03/20 0", "", "01/03/2010 "}) {
    EXPECT_FALSE(ParseDialogDate(bad).has_value()) << bad;
  }
  // Written back in the stored form.
  EXPECT_EQ(FormatDate(ParseDialogDate("01.03.10").value()), "01/03/2010");
}

TEST(Dates, StoredDatesAreReadByPositionWithoutCalendarCheck) {
  EXPECT_EQ(ParseDateByPosition("05/12/2026"), (Date{5, 12, 2026}));
  EXPECT_EQ(ParseDateByPosition("31/02/2010"), (Date{31, 2, 2010}));
  EXPECT_EQ(ParseDateByPosition("00/00/0000"), (Date{0, 0, 0}));
  EXPECT_EQ(ParseDateByPosition("05-12.2026"), (Date{5, 12, 2026}));
  EXPECT_FALSE(ParseDateByPosition("5/12/2026").has_value());
  EXPECT_FALSE(ParseDateByPosition("05/12/20266").has_value());
  EXPECT_FALSE(ParseDateByPosition("aa/12/2026").has_value());
  EXPECT_EQ(FormatDate(Date{5, 12, 2026}), "05/12/2026");
  EXPECT_EQ(FormatDate(Date{1, 1, 600}), "01/01/0600");
}

// Explicit days at the edges the walk below crosses; the walk then checks every day between.
TEST(Dates, DayNumbersWeekdaysAndNeighbouringDays) {
  EXPECT_EQ(DayNumber(Date{31, 12, 2010}), 20101231);
  EXPECT_EQ(FromDayNumber(20100301), (Date{1, 3, 2010}));
  EXPECT_EQ(Weekday(Date{4, 1, 2010}), 1);
  EXPECT_EQ(Weekday(Date{1, 1, 1600}), 6);
  EXPECT_EQ(Weekday(Date{31, 12, 2400}), 7);
  EXPECT_EQ(DayBefore(Date{1, 3, 2100}), (Date{28, 2, 2100}));  // 2100 is not a leap year
  EXPECT_EQ(DayBefore(Date{1, 3, 2000}), (Date{29, 2, 2000}));
  EXPECT_EQ(DayBefore(Date{1, 1, 2010}), (Date{31, 12, 2009}));
  EXPECT_EQ(DayAfter(Date{28, 2, 2012}), (Date{29, 2, 2012}));
  EXPECT_EQ(DayAfter(Date{30, 4, 2010}), (Date{1, 5, 2010}));

  // Walking day by day: every step is one weekday on, and the two walks are inverse.
  Date d{1, 1, 1999};
  int days = 0;
  while (DayNumber(d) < DayNumber(Date{1, 1, 2102})) {
    const Date next = DayAfter(d);
    ASSERT_TRUE(IsValidDate(next)) << FormatDate(d);
    ASSERT_EQ(DayBefore(next), d) << FormatDate(d);
    ASSERT_EQ(Weekday(next), Weekday(d) % 7 + 1) << FormatDate(d);
    ASSERT_LT(DayNumber(d), DayNumber(next));
    d = next;
    ++days;
  }
  // 1999..2101: 103 years, of which 25 leap (2000 included, 2100 not).
  EXPECT_EQ(days, 103 * 365 + 25);
}

TEST(Dates, DialogTimes) {
  EXPECT_EQ(ParseDialogTime("7.05"), (TimeOfDay{7, 5}));
  EXPECT_EQ(ParseDialogTime("07:05"), (TimeOfDay{7, 5}));
  EXPECT_EQ(ParseDialogTime("23,59"), (TimeOfDay{23, 59}));
  EXPECT_EQ(ParseDialogTime("0-00"), (TimeOfDay{0, 0}));
  EXPECT_EQ(ParseDialogTime("13.45")->Minutes(), 13 * 60 + 45);
  EXPECT_EQ(ParseDialogTime("13.45")->Hhmm(), 1345);
  for (const char* bad :
       {"24.00", "12.60", "12.5", "123.45", "ab.cd", "12 30", "12/30", "", "1.5"}) {
    EXPECT_FALSE(ParseDialogTime(bad).has_value()) << bad;
  }
}

TEST(Dates, NowStampAndToday) {
  EXPECT_TRUE(std::regex_match(NowStamp(), std::regex(R"(\d\d/\d\d/\d{4} \d\d\.\d\d:\d\d)")))
      << NowStamp();
  EXPECT_TRUE(IsValidDate(Today()));
}

}  // namespace
}  // namespace kvt
