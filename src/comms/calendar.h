// The execution calendar of trips, without the database: day strings of `mesi`, weekday
// codes of `giorni`, clearing a period out of a trip's months, and the in-memory model of
// the rebuild of a company's running days, which the database command feeds with rows and
// reads the day rows out of.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/dates.h"

namespace kvt::comms {

inline constexpr int kDayStringLength = 31;

// 31 characters "N" with "S" at every listed day d, 1 <= d <= 31 (others mark nothing).
std::string DayString(std::span<const int> days);
// The same from a bit set (bit d for day d).
std::string DayString(uint32_t days);
// The bit set of a day string: bit d when character d (from 1) is "S".
uint32_t DayBits(std::string_view giorni);
// Bits first..last (days 1..31), both included; none when first > last.
uint32_t DayRange(int first, int last);
// Number of days in a bit set.
int CountDays(uint32_t days);

// The weekday code of `giorni.giorno`: '1' Monday .. '7' Sunday.
char WeekdayCode(const Date& d);

// One month of one trip as declared by one communication.
struct MonthRecord {
  int32_t protoc = 0;
  int32_t anno = 0;
  int32_t mese = 0;
  uint32_t days = 0;  // bit d: the trip runs on day d
};

// Sets to "N" every day of the records that falls inside [first, last]: a record before
// the first month or after the last is left alone; the first month is cleared from the
// first day, the last month up to the last day, the months between entirely.
void ClearPeriod(std::vector<MonthRecord>& months, const Date& first, const Date& last);
// The same with the bounds as "GG/MM/AAAA" texts read by position; a text that cannot be
// read clears nothing.
void ClearPeriod(std::vector<MonthRecord>& months, std::string_view first, std::string_view last);

// A communication of type "P" or "A" as the rebuild sees it.
struct RebuildCommunication {
  int32_t protoc = 0;
  bool azzera = false;  // replaces the earlier communications inside its period
  Date datini, datfin;
};

// One running day to insert into `giorni`.
struct DayRow {
  int32_t ID = 0;
  int32_t protoc = 0;
  Date data;
  char giorno = '1';
};

// The rebuild of one company's running days from its months. Feed the communications in
// ascending number, each followed by its months ordered by trip, year and month:
//   for each communication: Begin(q); Month(...) for each of its month rows;
// then read Total() and the day rows with ForEachDay.
class CalendarRebuild {
 public:
  // Starts communication q; a replacing one clears its period in every trip seen so far.
  void Begin(const RebuildCommunication& q);
  // A month row of the current communication. An integrating communication first clears
  // its period in the trip (once per trip) when the trip came with an earlier one.
  void Month(int32_t tripId, int32_t anno, int32_t mese, std::string_view giorni);
  void Month(int32_t tripId, int32_t anno, int32_t mese, uint32_t days);

  // Number of "S" over all month records, including days that do not exist (30 February).
  int64_t Total() const;
  // Every running day, trips in order of first appearance, their months in order of
  // arrival, days 1..31. Days that do not exist in their month are skipped.
  void ForEachDay(const std::function<void(const DayRow&)>& visit) const;

  size_t TripCount() const { return trips_.size(); }
  // The month records of a trip (empty when unknown).
  std::span<const MonthRecord> MonthsOf(int32_t tripId) const;

 private:
  struct Trip {
    int32_t id = 0;
    std::vector<MonthRecord> months;
    int sequence = -1;  // the last communication (by feeding order) that mentioned it
  };
  std::vector<Trip> trips_;
  std::unordered_map<int32_t, size_t> index_;
  RebuildCommunication current_;
  int sequence_ = -1;  // feeding order of the current communication
};

}  // namespace kvt::comms
