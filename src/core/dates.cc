#include "core/dates.h"

#include <ctime>

#include "core/text.h"

namespace kvt {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The number written by the digits text[from, from + count); nothing when one is not a digit.
std::optional<int> Digits(std::string_view text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool IsDialogDateSeparator(char c) {
  return c == '/' || c == '.' || c == '-';
}
bool IsDialogTimeSeparator(char c) {
  return c == '.' || c == ':' || c == ',' || c == '-';
}

// Days from 1 March of year 0 in the proleptic Gregorian calendar (H. Hinnant's algorithm),
// shifted so that 1 January 1970 is 0.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int month, int year) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

bool IsValidDate(const Date& d) {
  return d.year >= 1 && d.year <= 9999 && d.day >= 1 && d.day <= DaysInMonth(d.month, d.year);
}

std::string FormatDate(const Date& d) {
  return Format("%02d/%02d/%04d", d.day, d.month, d.year);
}

std::optional<Date> ParseDateByPosition(std::string_view text) {
  if (text.size() != 10) return std::nullopt;
  auto day = Digits(text, 0, 2);
  auto month = Digits(text, 3, 2);
  auto year = Digits(text, 6, 4);
  if (!day || !month || !year) return std::nullopt;
  return Date{*day, *month, *year};
}

std::optional<Date> ParseDialogDate(std::string_view text) {
  if (text.size() != 10 && text.size() != 8) return std::nullopt;
  if (!IsDialogDateSeparator(text[2]) || !IsDialogDateSeparator(text[5])) return std::nullopt;
  auto day = Digits(text, 0, 2);
  auto month = Digits(text, 3, 2);
  auto year = Digits(text, 6, text.size() - 6);
  if (!day || !month || !year) return std::nullopt;
  Date d{*day, *month, text.size() == 8 ? 2000 + *year : *year};
  if (!IsValidDate(d)) return std::nullopt;
  return d;
}

int32_t DayNumber(const Date& d) {
  return d.year * 10000 + d.month * 100 + d.day;
}

Date FromDayNumber(int32_t n) {
  return Date{n % 100, n / 100 % 100, n / 10000};
}

int64_t DaysSinceEpoch(const Date& d) {
  return DaysFromCivil(d.year, d.month, d.day);
}

int Weekday(const Date& d) {
  // 1 January 1970 was a Thursday (code 4).
  int64_t days = DaysFromCivil(d.year, d.month, d.day);
  int64_t fromMonday = (days + 3) % 7;
  if (fromMonday < 0) fromMonday += 7;
  return static_cast<int>(fromMonday) + 1;
}

Date DayBefore(const Date& d) {
  if (d.day > 1) return Date{d.day - 1, d.month, d.year};
  if (d.month <= 1) return Date{31, 12, d.year - 1};
  return Date{DaysInMonth(d.month - 1, d.year), d.month - 1, d.year};
}

Date DayAfter(const Date& d) {
  if (d.day < DaysInMonth(d.month, d.year)) return Date{d.day + 1, d.month, d.year};
  if (d.month >= 12) return Date{1, 1, d.year + 1};
  return Date{1, d.month + 1, d.year};
}

namespace {
std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}
}  // namespace

Date Today() {
  std::tm tm = LocalNow();
  return Date{tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900};
}

std::string NowStamp() {
  std::tm tm = LocalNow();
  return Format("%02d/%02d/%04d %02d.%02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::optional<TimeOfDay> ParseDialogTime(std::string_view text) {
  if (text.size() != 4 && text.size() != 5) return std::nullopt;
  const size_t sep = text.size() - 3;
  if (!IsDialogTimeSeparator(text[sep])) return std::nullopt;
  auto hours = Digits(text, 0, sep);
  auto minutes = Digits(text, sep + 1, 2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  return TimeOfDay{*hours, *minutes};
}

}  // namespace kvt
