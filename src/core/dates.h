// Calendar dates and times of day as the program writes, reads and counts them.
// Pure functions: no I/O, no database, no locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvt {

struct Date {
  int day = 0;
  int month = 0;
  int year = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

// Sentinel texts for an open lower and upper bound, and the dates they are stored as.
inline constexpr std::string_view kNoLowerBound = "00/00/0000";
inline constexpr std::string_view kNoUpperBound = "99/99/9999";
inline constexpr Date kLowerBoundDate{1, 1, 1600};
inline constexpr Date kUpperBoundDate{31, 12, 2400};

bool IsLeapYear(int year);          // Gregorian rule
int DaysInMonth(int month, int year);  // 0 for a month outside 1..12
bool IsValidDate(const Date& d);

// "%02d/%02d/%04d" (day, month, year).
std::string FormatDate(const Date& d);

// A stored date text "GG/MM/AAAA" read by position (characters 1-2, 4-5, 7-10). Nothing
// when the text is not exactly 10 characters or a part is not a number. The calendar is
// not checked here.
std::optional<Date> ParseDateByPosition(std::string_view text);

// A date typed in a dialog: 10 characters dd?mm?yyyy or 8 characters dd?mm?yy (year 2000 +
// yy), each ? one of '/', '.', '-'; it must exist in the calendar.
std::optional<Date> ParseDialogDate(std::string_view text);

// Day number yyyymmdd (year * 10000 + month * 100 + day), compared as an integer.
int32_t DayNumber(const Date& d);
Date FromDayNumber(int32_t n);

// Days since 1 January 1970 in the proleptic Gregorian calendar: the difference of two
// dates counts the days between them.
int64_t DaysSinceEpoch(const Date& d);

// Weekday code 1 (Monday) .. 7 (Sunday) of a valid Gregorian date.
int Weekday(const Date& d);

// The calendar day before and after a valid date.
Date DayBefore(const Date& d);
Date DayAfter(const Date& d);

// Today in local time, and now as "%02d/%02d/%04d %02d.%02d:%02d".
Date Today();
std::string NowStamp();

// A time of day typed in a dialog: "H.MM" or "HH.MM" with '.', ':', ',' or '-' as
// separator, hours 0-23, minutes 0-59.
struct TimeOfDay {
  int hours = 0;
  int minutes = 0;
  int Minutes() const { return hours * 60 + minutes; }
  int Hhmm() const { return hours * 100 + minutes; }
  friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};
std::optional<TimeOfDay> ParseDialogTime(std::string_view text);

}  // namespace kvt
