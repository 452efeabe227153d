// On which days of a period each trip runs under a context: the one reading that the
// statements, the profiles, the exports and the timetables share, so that their days and
// kilometres never disagree.
//
// The rules: a context counts its own communication type, and a plan context ('P') also
// the deviations from the plan ('A'); each month row is masked by the in-force map of those
// communications; when several communications declare the same month of a trip, a later one
// (higher number) replaces the earlier days only inside its own period within that month;
// only days that exist and lie in the period count (day 31 of a 30-day month never does);
// a month outside 1-12 is skipped.
#pragma once

#include <bit>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "comms/in_force.h"
#include "core/dates.h"

namespace kvt {
class ProgressScope;
}
namespace kvt::db {
class Database;
}

namespace kvt::comms {

// A trip, a stop or a communication within its company, as one number.
inline uint64_t TripKey(int azienda, int32_t id) {
  return (static_cast<uint64_t>(static_cast<uint16_t>(azienda)) << 32) | static_cast<uint32_t>(id);
}

// The communications of a context: the in-force map, and each communication's own period,
// which bounds what it replaces within a month.
struct ContextCommunications {
  InForceMap map;
  std::unordered_map<uint64_t, std::pair<Date, Date>> periods;  // TripKey(azienda, protoc)
  std::vector<int32_t> numbers;                                 // distinct protoc, sorted
};

// The condition on `proto.tipo` of the communications a context counts.
std::string ContextTypeCondition(char context);

// Reads the context's communications from `proto`; nothing when the database could not be
// read (the selection has shown why): a map of the rows read so far would tell trips out of
// force. A stored bound that is not a date is open.
std::optional<ContextCommunications> ReadContextCommunications(db::Database& db, char context);

// A set of days of a period: index 0 is its first day, Size() its number of days; one bit
// a day (a year is six 64-bit words).
class DaySet {
 public:
  DaySet() = default;
  explicit DaySet(int days) : size_(days), words_((days + 63) / 64, 0) {}

  int Size() const { return size_; }
  bool Has(int index) const {
    return index >= 0 && index < size_ && (words_[index / 64] >> (index % 64) & 1);
  }
  bool Empty() const;
  int Count() const;
  void Add(int index) {
    if (index >= 0 && index < size_) words_[index / 64] |= uint64_t{1} << (index % 64);
  }
  // Adds the days of a month from a bit set (bit d for day d), `dayOne` being the index of
  // its day 1 (negative for the first month of a period that starts later); days that fall
  // outside the set are not added.
  void AddMonth(int dayOne, uint32_t days);
  void Clear();

  // Calls visit(index) for every day in the set, in order.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (size_t w = 0; w < words_.size(); ++w)
      for (uint64_t bits = words_[w]; bits; bits &= bits - 1)
        visit(static_cast<int>(w * 64) + std::countr_zero(bits));
  }

  // Equal sets of the same period compare equal; the order lets sets key a map.
  friend auto operator<=>(const DaySet&, const DaySet&) = default;

 private:
  int size_ = 0;
  std::vector<uint64_t> words_;
};

// The number of days from `from` to `to`, both included (0 when `to` comes first).
int PeriodDays(const Date& from, const Date& to);
// The index of `day` in a period starting on `from` (negative before it).
int DayIndex(const Date& from, const Date& day);

// The trips whose running days are read: those of one authority, company and lot (-1: any;
// the conditions combine) and, when `trips` is not empty, only those listed (TripKey).
struct TripChoice {
  int ente = -1;
  int azienda = -1;
  int lotto = -1;
  std::vector<uint64_t> trips;
};

// One month in which a trip runs: the days it runs (bit d for day d; at least one).
struct RunningMonth {
  int anno = 0;
  int mese = 0;
  uint32_t days = 0;
};

// One trip's running days in the period: its months in calendar order, and the same days
// as a set over the period. Both are valid only during the call that hands them over.
struct TripRunningDays {
  int azienda = 0;
  int32_t id = 0;
  std::span<const RunningMonth> months;
  const DaySet& days;
};

enum class RunningDaysResult { Done, Stopped, Failed };

// Reads the months of the context's communications in the period [from, to] for the chosen
// trips and hands every trip that runs on at least one day of it to `visit`, in company and
// trip order. Streams: one trip's months and one day set are held at a time. `expected`
// (the number of trips the caller looks for) sizes the progress bar; the user may stop the
// work between two trips. Stopped and Failed (a read the database refused, as the selection
// has shown) leave the trips handed over so far a part, not the whole: drop them. A period
// whose dates are not calendar dates has no days.
[[nodiscard]] RunningDaysResult WalkRunningDays(
    db::Database& db, const ContextCommunications& communications, const Date& from, const Date& to,
    const TripChoice& choice, long long expected, ProgressScope& progress,
    const std::function<void(const TripRunningDays&)>& visit);

}  // namespace kvt::comms
