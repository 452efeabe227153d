#include "comms/calendar.h"

#include <algorithm>
#include <bit>

namespace kvt::comms {

std::string DayString(std::span<const int> days) {
  std::string out(kDayStringLength, 'N');
  for (int d : days) {
    if (d >= 1 && d <= kDayStringLength) out[d - 1] = 'S';
  }
  return out;
}

std::string DayString(uint32_t days) {
  std::string out(kDayStringLength, 'N');
  for (int d = 1; d <= kDayStringLength; ++d) {
    if (days & (uint32_t{1} << d)) out[d - 1] = 'S';
  }
  return out;
}

uint32_t DayBits(std::string_view giorni) {
  uint32_t days = 0;
  const size_t n = std::min<size_t>(giorni.size(), kDayStringLength);
  for (size_t i = 0; i < n; ++i) {
    if (giorni[i] == 'S') days |= uint32_t{1} << (i + 1);
  }
  return days;
}

int CountDays(uint32_t days) {
  return std::popcount(days & ~uint32_t{1});
}

char WeekdayCode(const Date& d) {
  return static_cast<char>('0' + Weekday(d));
}

uint32_t DayRange(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, kDayStringLength);
  if (first > last) return 0;
  const uint64_t upTo = (uint64_t{1} << (last + 1)) - 1;
  const uint64_t below = (uint64_t{1} << first) - 1;
  return static_cast<uint32_t>(upTo & ~below);
}

void ClearPeriod(std::vector<MonthRecord>& months, const Date& first, const Date& last) {
  const int from = first.year * 12 + first.month;
  const int to = last.year * 12 + last.month;
  for (MonthRecord& m : months) {
    const int at = m.anno * 12 + m.mese;
    if (at < from || at > to) continue;
    const int firstDay = at == from ? first.day : 1;
    const int lastDay = at == to ? last.day : kDayStringLength;
    m.days &= ~DayRange(firstDay, lastDay);
  }
}

void ClearPeriod(std::vector<MonthRecord>& months, std::string_view first, std::string_view last) {
  auto d1 = ParseDateByPosition(first);
  auto d2 = ParseDateByPosition(last);
  if (d1 && d2) ClearPeriod(months, *d1, *d2);
}

void CalendarRebuild::Begin(const RebuildCommunication& q) {
  current_ = q;
  ++sequence_;
  if (!q.azzera) return;
  for (Trip& trip : trips_) ClearPeriod(trip.months, q.datini, q.datfin);
}

void CalendarRebuild::Month(int32_t tripId, int32_t anno, int32_t mese, std::string_view giorni) {
  Month(tripId, anno, mese, DayBits(giorni));
}

void CalendarRebuild::Month(int32_t tripId, int32_t anno, int32_t mese, uint32_t days) {
  auto [it, isNew] = index_.try_emplace(tripId, trips_.size());
  if (isNew) trips_.push_back(Trip{tripId, {}, -1});
  Trip& trip = trips_[it->second];
  // An integrating communication replaces the days of the trips it mentions, once per trip
  // and before its own months are added.
  if (trip.sequence != sequence_) {
    if (!isNew && !current_.azzera) ClearPeriod(trip.months, current_.datini, current_.datfin);
    trip.sequence = sequence_;
  }
  trip.months.push_back(MonthRecord{current_.protoc, anno, mese, days});
}

int64_t CalendarRebuild::Total() const {
  int64_t total = 0;
  for (const Trip& trip : trips_) {
    for (const MonthRecord& m : trip.months) total += CountDays(m.days);
  }
  return total;
}

void CalendarRebuild::ForEachDay(const std::function<void(const DayRow&)>& visit) const {
  for (const Trip& trip : trips_) {
    for (const MonthRecord& m : trip.months) {
      for (int d = 1; d <= kDayStringLength; ++d) {
        if (!(m.days & (uint32_t{1} << d))) continue;
        const Date date{d, m.mese, m.anno};
        if (!IsValidDate(date)) continue;
        visit(DayRow{trip.id, m.protoc, date, WeekdayCode(date)});
      }
    }
  }
}

std::span<const MonthRecord> CalendarRebuild::MonthsOf(int32_t tripId) const {
  auto it = index_.find(tripId);
  if (it == index_.end()) return {};
  return trips_[it->second].months;
}

}  // namespace kvt::comms
