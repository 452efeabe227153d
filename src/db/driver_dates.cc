#include "db/driver_dates.h"

#include <climits>
#include <cstdint>
#include <ctime>
#include <string>

namespace kvt::db {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The driver's day count: 0 for a month below 1, months past 12 counted round again.
int MonthDays(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1) return 0;
  const int days = kDays[(month - 1) % 12];
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return days == 28 && leap ? 29 : days;
}

// A text as the driver sees it: a C string, with NUL bytes wherever it looks past the end.
class DriverText {
 public:
  explicit DriverText(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}
  char operator[](size_t at) const { return at < text_.size() ? text_[at] : '\0'; }

  // strtol(text + at, &end, 10): `end` is `at` when no digit follows the blanks and sign.
  long Long(size_t at, size_t& end) const {
    size_t p = at;
    while (IsSpace((*this)[p])) ++p;
    const bool negative = (*this)[p] == '-';
    if ((*this)[p] == '+' || (*this)[p] == '-') ++p;
    end = at;
    if (!IsDigit((*this)[p])) return 0;
    const unsigned long long limit = negative ? 1ULL + LLONG_MAX : LLONG_MAX;
    unsigned long long magnitude = 0;
    bool overflow = false;
    for (; IsDigit((*this)[p]); ++p) {
      const unsigned digit = static_cast<unsigned>((*this)[p] - '0');
      overflow = overflow || magnitude > (limit - digit) / 10;
      if (!overflow) magnitude = magnitude * 10 + digit;
    }
    end = p;
    if (overflow) return negative ? LONG_MIN : LONG_MAX;
    if (negative) return magnitude > LLONG_MAX ? LONG_MIN : -static_cast<long>(magnitude);
    return static_cast<long>(magnitude);
  }

 private:
  std::string_view text_;
};

// The driver's reading, step by step. Fields take values as the driver's struct does:
// a C conversion of its int, which keeps the low bits.
class TimestampReading {
 public:
  explicit TimestampReading(std::string_view text) : text_(text) {}

  bool Read(SQL_TIMESTAMP_STRUCT& out) {
    size_t p = 0;
    while (text_[p] != '\0' && !IsDigit(text_[p])) ++p;
    size_t digits = 0;
    while (IsDigit(text_[p + digits])) ++digits;
    if (digits >= 14) {
      Packed(p, digits);
    } else if (Fields(p)) {
      Zone();
    }
    const bool ok = Finish();
    out = t_;
    return ok;
  }

 private:
  static constexpr unsigned kDate = 1, kTime = 2, kFraction = 4, kDateFirst = 8;

  // "YYYYMMDDhhmmss" and any further digits as the fraction, in nanoseconds.
  void Packed(size_t p, size_t digits) {
    auto number = [&](size_t from, size_t count) {
      long value = 0;
      for (size_t i = 0; i < count; ++i) value = value * 10 + (text_[p + from + i] - '0');
      return static_cast<int>(value);
    };
    t_.year = static_cast<SQLSMALLINT>(number(0, 4));
    t_.month = static_cast<SQLUSMALLINT>(number(4, 2));
    t_.day = static_cast<SQLUSMALLINT>(number(6, 2));
    t_.hour = static_cast<SQLUSMALLINT>(number(8, 2));
    t_.minute = static_cast<SQLUSMALLINT>(number(10, 2));
    t_.second = static_cast<SQLUSMALLINT>(number(12, 2));
    if (digits > 14) {
      std::string fraction;
      for (size_t i = 14; i < digits; ++i) fraction += text_[p + i];
      if (fraction.size() < 9) fraction.append(9 - fraction.size(), '0');
      size_t end = 0;
      t_.fraction = static_cast<SQLUINTEGER>(DriverText(fraction).Long(0, end));
    }
    flags_ = kDate | kTime | kFraction;
  }

  void SetDatePart(int index, int n) {
    if (index == 0) t_.year = static_cast<SQLSMALLINT>(n);
    if (index == 1) t_.month = static_cast<SQLUSMALLINT>(n);
    if (index == 2) t_.day = static_cast<SQLUSMALLINT>(n);
  }
  void SetTimePart(int index, int n) {
    if (index == 0) t_.hour = static_cast<SQLUSMALLINT>(n);
    if (index == 1) t_.minute = static_cast<SQLUSMALLINT>(n);
    if (index == 2) t_.second = static_cast<SQLUSMALLINT>(n);
  }

  // Past blanks and letters to the next digit, noting "am" or "pm" on the way.
  size_t SkipToDigit(size_t q) {
    while (text_[q] != '\0' && !IsDigit(text_[q])) {
      const char a = text_[q], b = text_[q + 1];
      const bool m = b == 'm' || b == 'M';
      if (m && (a == 'a' || a == 'A')) {
        ampm_ = 0;
        ++q;
      } else if (m && (a == 'p' || a == 'P')) {
        ampm_ = 1;
        ++q;
      }
      ++q;
    }
    return q;
  }

  // The mode a number's separator opens, when none is open: '-' or '/' for a date, ':' for
  // a time; a blank or a point leave none open.
  char Mode(char separator, int& index) const {
    switch (separator) {
      case '-':
      case '/':
        if (flags_ & kDate) return '\0';
        index = 0;
        return separator;
      case ':':
        if (flags_ & kTime) return '\0';
        index = 0;
        return ':';
      case ' ':
      case '.':
        return '\0';
      default:
        index = 0;
        return '\0';
    }
  }

  // Numbers one after the other until date, time and fraction are all read. False when
  // the text ran out first.
  bool Fields(size_t p) {
    char mode = '\0';
    int index = 0;
    while ((flags_ & 7) != 7) {
      size_t q = p;
      const int n = static_cast<int>(text_.Long(p, q));
      if (q == p && text_[q] == '\0') {
        if (flags_ < 1) error_ = true;
        return false;
      }
      if (mode == '\0') mode = Mode(text_[q], index);
      bool keepMode = false;
      if (mode == '-' || mode == '/') {
        if (!separator_) separator_ = mode;
        SetDatePart(index, n);
        if (++index < 3) {
          p = q + 1;  // past the separator, or past the end
          continue;
        }
        index = 0;
        flags_ |= kDate | ((flags_ & kTime) ? 0 : kDateFirst);
      } else if (mode == ':') {
        SetTimePart(index, n);
        if (++index < 3) {
          p = q + 1;
          continue;
        }
        index = 0;
        flags_ |= kTime;
        // A fraction follows a point, or a blank unless a date follows it.
        keepMode = text_[q] == '.' || (text_[q] == ' ' && !DateFollows(q));
      } else if (mode == '.') {
        t_.fraction = Fraction(p, q, n);
        flags_ |= kFraction;
        index = 0;
      }
      mode = keepMode ? '.' : '\0';
      p = SkipToDigit(q);
    }
    end_ = p;
    return true;
  }

  bool DateFollows(size_t blank) const {
    if (flags_ & kDate) return false;
    size_t end = blank + 1;
    text_.Long(blank + 1, end);
    return text_[end] == '-';
  }

  // The digits read as nanoseconds: "5" is 500000000.
  SQLUINTEGER Fraction(size_t p, size_t q, int n) const {
    size_t digits = q - p;
    if (text_[p] == '+' || text_[p] == '-') --digits;
    auto value = static_cast<uint32_t>(n);
    for (; digits < 9; ++digits) value *= 10;
    return value;
  }

  // A zone after the fraction ("+01:00"): the time is taken back to UTC.
  void Zone() {
    if ((flags_ & 7) <= 1 || !(flags_ & kDateFirst)) return;
    const size_t p = end_;
    if (p == 0 || !IsDigit(text_[p]) || (text_[p - 1] != '+' && text_[p - 1] != '-')) return;
    const int sign = text_[p - 1] == '+' ? -1 : 1;
    size_t q = p;
    const int hours = static_cast<int>(text_.Long(p, q));
    if (text_[q] != ':' || !IsDigit(text_[q + 1])) return;
    size_t end = q + 1;
    const int minutes = static_cast<int>(text_.Long(q + 1, end));
    t_.minute = static_cast<SQLUSMALLINT>(t_.minute + static_cast<long long>(minutes) * sign);
    if (static_cast<SQLSMALLINT>(t_.minute) < 0) {
      t_.hour = static_cast<SQLUSMALLINT>(t_.hour - 1);
      t_.minute = static_cast<SQLUSMALLINT>(t_.minute + 60);
    } else if (t_.minute >= 60) {
      t_.hour = static_cast<SQLUSMALLINT>(t_.hour + 1);
      t_.minute = static_cast<SQLUSMALLINT>(t_.minute - 60);
    }
    t_.hour = static_cast<SQLUSMALLINT>(t_.hour + static_cast<long long>(hours) * sign);
    if (static_cast<SQLSMALLINT>(t_.hour) < 0) {
      t_.day = static_cast<SQLUSMALLINT>(t_.day - 1);
      t_.hour = static_cast<SQLUSMALLINT>(t_.hour + 24);
    } else if (t_.hour >= 24) {
      t_.day = static_cast<SQLUSMALLINT>(t_.day + 1);
      t_.hour = static_cast<SQLUSMALLINT>(t_.hour - 24);
    }
    CarryDay();
  }

  // A day moved past either end of its month by the zone.
  void CarryDay() {
    if (static_cast<SQLSMALLINT>(t_.day) >= 1 && t_.day < 28) return;
    const int days = MonthDays(t_.year, t_.month);
    const int previous = t_.month - 1 < 1 ? 12 : t_.month - 1;
    if (static_cast<SQLSMALLINT>(t_.day) < 1) {
      t_.month = static_cast<SQLUSMALLINT>(t_.month - 1);
      t_.day = static_cast<SQLUSMALLINT>(MonthDays(t_.year, previous));
    } else if (t_.day > days) {
      t_.month = static_cast<SQLUSMALLINT>(t_.month + 1);
      t_.day = 1;
    }
    if (static_cast<SQLSMALLINT>(t_.month) < 1) {
      t_.year = static_cast<SQLSMALLINT>(t_.year - 1);
      t_.month = 12;
    } else if (t_.month > 12) {
      t_.year = static_cast<SQLSMALLINT>(t_.year + 1);
      t_.month = 1;
    }
  }

  bool ValidDate() const {
    return t_.month >= 1 && t_.month <= 12 && t_.day >= 1 && t_.day <= MonthDays(t_.year, t_.month);
  }

  bool Finish() {
    if ((flags_ & kDate) && !ValidDate() && separator_ == '/') {
      const SQLSMALLINT year = t_.year;  // read again as MM/DD/YYYY
      t_.year = static_cast<SQLSMALLINT>(t_.day);
      t_.day = t_.month;
      t_.month = static_cast<SQLUSMALLINT>(year);
    }
    if (!error_ && !(flags_ & kDate)) Today();
    if (error_ || !ValidDate() || t_.hour > 23 || t_.minute > 59 || t_.second > 59) return false;
    if ((flags_ & 7) > 1 && ampm_ == 1 && t_.hour < 12)
      t_.hour = static_cast<SQLUSMALLINT>(t_.hour + 12);
    if ((flags_ & 7) > 1 && ampm_ == 0 && t_.hour == 12) t_.hour = 0;
    return (flags_ & 7) >= 1;
  }

  void Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    t_.year = static_cast<SQLSMALLINT>(local.tm_year + 1900);
    t_.month = static_cast<SQLUSMALLINT>(local.tm_mon + 1);
    t_.day = static_cast<SQLUSMALLINT>(local.tm_mday);
  }

  DriverText text_;
  SQL_TIMESTAMP_STRUCT t_{};
  unsigned flags_ = 0;
  bool error_ = false;
  int ampm_ = -1;  // 0 am, 1 pm
  char separator_ = '\0';
  size_t end_ = 0;  // where the numbers ended
};

}  // namespace

bool ReadDriverTimestamp(std::string_view text, SQL_TIMESTAMP_STRUCT& out) {
  return TimestampReading(text).Read(out);
}

}  // namespace kvt::db
