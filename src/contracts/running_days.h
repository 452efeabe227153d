// The pieces the contract outputs share to tell on which days a trip runs: the context's
// communications with the in-force map, the month masks worked out once per communication
// and month, and the day bits of a month (bit d for day d). Internal to contracts/: the
// statement's extraction and the service profiles read the same months the same way, so
// that their kilometres never disagree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "comms/in_force.h"
#include "core/dates.h"
#include "db/selection.h"
#include "platform/ui.h"

namespace kvt::db {
class Database;
}

namespace kvt::contracts {

inline uint64_t TripKey(int azienda, int32_t id) {
  return (static_cast<uint64_t>(static_cast<uint16_t>(azienda)) << 32) | static_cast<uint32_t>(id);
}

// The period of a statement and the day positions of one of its months.
struct Period {
  Date from, to;

  bool Skips(int anno, int mese) const {
    return (anno == from.year && mese < from.month) || (anno == to.year && mese > to.month);
  }
  // Day positions [first, last] of the month that count (1-based), limited to the days the
  // month has: a day string may mark day 31 of a 30-day month, which never happens.
  void Range(int anno, int mese, int& first, int& last) const {
    first = (anno == from.year && mese == from.month) ? from.day : 1;
    last = (anno == to.year && mese == to.month) ? to.day : 31;
    last = std::min(last, DaysInMonth(mese, anno));
  }
};

// The communication types a context counts: the operating plan includes the deviations
// from it ('A'), which the running calendar treats as plan days.
std::string TypeCondition(char context);

// The communications of a context (see TypeCondition): the in-force map, and each
// communication's own period, which bounds what it replaces within a month.
struct Communications {
  comms::InForceMap map;
  std::unordered_map<uint64_t, std::pair<Date, Date>> periods;  // (azienda, protoc)
  std::vector<int32_t> numbers;                                 // distinct protoc, sorted
};
// False when the database could not be read (the selection has shown why).
bool ReadCommunications(db::Database& db, char context, Communications& out);

// Bit d for every day d marked "S".
inline uint32_t DayStringBits(std::string_view giorni) {
  uint32_t bits = 0;
  const size_t n = std::min<size_t>(giorni.size(), 31);
  for (size_t i = 0; i < n; ++i) bits |= uint32_t{giorni[i] == 'S'} << (i + 1);
  return bits;
}

// Bits first..last (1-based days), both included.
inline uint32_t DayRangeBits(int first, int last) {
  if (first > last) return 0;
  const uint64_t upTo = (uint64_t{1} << (last + 1)) - 1;
  const uint64_t below = (uint64_t{1} << first) - 1;
  return static_cast<uint32_t>(upTo & ~below);
}

// The window in which a later communication's month replaces the earlier ones: from its
// first day when that falls in this month (else day 1) to its last day when that falls in
// this month (else day 31).
inline uint32_t MergeWindow(const Date& datini, const Date& datfin, int anno, int mese) {
  const int first = (datini.year == anno && datini.month == mese) ? datini.day : 1;
  const int last = (datfin.year == anno && datfin.month == mese) ? datfin.day : 31;
  return DayRangeBits(first, last);
}

// Which days of each month of the period the context's communications keep in force (bit
// d for day d). Months repeat over thousands of trips, and rows of one trip mostly come
// from one communication: each month is worked out once, and the last communication found
// is kept at hand.
class MonthMasks {
 public:
  struct Entry {
    const comms::InForceCompany* company = nullptr;
    int32_t protoc = 0;
    Date datini, datfin;
    std::vector<int64_t> masks;  // by month of the period; -1 not worked out yet
  };

  MonthMasks(const Communications& communications, const Period& period);

  // Null when the communication is not one of the context's.
  Entry* Find(int azienda, int32_t protoc) {
    const uint64_t key = TripKey(azienda, protoc);
    if (last_ && key == lastKey_) return last_;
    auto it = entries_.find(key);
    if (it == entries_.end()) return nullptr;
    lastKey_ = key;
    return last_ = &it->second;
  }

  uint32_t Mask(Entry& e, int anno, int mese) {
    const int at = (anno - firstYear_) * 12 + mese - 1;
    if (at < 0 || at >= months_) return Compute(e, anno, mese);
    if (e.masks[at] < 0) e.masks[at] = Compute(e, anno, mese);
    return static_cast<uint32_t>(e.masks[at]);
  }

 private:
  static uint32_t Compute(const Entry& e, int anno, int mese);

  int firstYear_;
  int months_;
  std::unordered_map<uint64_t, Entry> entries_;
  Entry* last_ = nullptr;
  uint64_t lastKey_ = 0;
};

// Sets `s` to read the months (azienda, ID, anno, mese, giorni, protoc) of the period's
// years in trip, month and communication order. `tripConditions`, when not empty, joins the
// trips and limits them (" AND corse.ente = 3 ..."); else `azienda` (-1: every company) does.
void SelectMonths(db::Selection& s, const Period& period, const Communications& communications,
                  const std::string& tripConditions, int azienda);

// Reads the months of the context's communications in the period and hands each month of a
// chosen trip, masked by the in-force map, to `counter`: Begin(find(TripKey)) when a trip
// starts (null: not chosen, its months are skipped), Month(anno, mese, days, datini, datfin)
// in month and communication order, Begin(nullptr) after the last. `trips` (the number
// chosen) sizes the progress bar. False when the database could not be read or the user
// stopped the work.
template <typename Counter, typename Find>
bool CountMonths(db::Database& db, const Period& period, const Communications& communications,
                 const std::string& tripConditions, int azienda, long long trips,
                 ProgressScope& progress, Counter& counter, Find find) {
  if (communications.numbers.empty() || trips == 0) return true;
  db::Selection s(&db);
  SelectMonths(s, period, communications, tripConditions, azienda);
  MonthMasks masks(communications, period);
  bool started = false;
  int tripAzienda = 0;
  int32_t id = 0;
  long long seen = 0;
  for (db::Fetch f = s.Open(); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error) return false;
    const int rowAzienda = s.GetShort(0);
    const int32_t rowId = s.GetLong(1);
    if (!started || rowAzienda != tripAzienda || rowId != id) {
      started = true;
      tripAzienda = rowAzienda;
      id = rowId;
      if (progress.Stopped()) return false;
      counter.Begin(find(TripKey(tripAzienda, id)));
      progress.Set(++seen, trips + 1);
    }
    if (!counter.Counting()) continue;
    const int anno = s.GetShort(2);
    const int mese = s.GetShort(3);
    if (mese < 1 || mese > 12 || period.Skips(anno, mese)) continue;
    MonthMasks::Entry* own = masks.Find(tripAzienda, s.GetLong(5));
    if (!own) continue;  // a communication of another type
    const uint32_t days = DayStringBits(s.GetText(4)) & masks.Mask(*own, anno, mese);
    counter.Month(anno, mese, days, own->datini, own->datfin);
  }
  counter.Begin(nullptr);
  return true;
}

}  // namespace kvt::contracts
