// The running-day reading: the context's communications, then the months of the chosen
// trips in trip, month and communication order, each masked by the in-force map, merged
// with the other communications' rows of the same month and counted inside the period.
// Months of communications outside the context are left out while reading rather than by a
// join with `proto`: the reading stays as light as a plain read of `mesi`.
#include "comms/running_days.h"

#include <algorithm>

#include "comms/calendar.h"
#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"

namespace kvt::comms {

namespace {

Date StoredDate(const std::string& text, const Date& open) {
  auto d = ParseDateByPosition(text);
  return d && IsValidDate(*d) ? *d : open;
}

// The window in which a later communication's month replaces the earlier ones: from its
// first day when that falls in this month (else day 1) to its last day when that falls in
// this month (else day 31).
uint32_t MergeWindow(const Date& datini, const Date& datfin, int anno, int mese) {
  const int first = (datini.year == anno && datini.month == mese) ? datini.day : 1;
  const int last = (datfin.year == anno && datfin.month == mese) ? datfin.day : 31;
  return DayRange(first, last);
}

// Which days of each month of the period the context's communications keep in force (bit
// d for day d). Months repeat over thousands of trips, and rows of one trip mostly come
// from one communication: each month is worked out once, and the last communication found
// is kept at hand.
class MonthMasks {
 public:
  struct Entry {
    const InForceCompany* company = nullptr;
    int32_t protoc = 0;
    Date datini, datfin;
    std::vector<int64_t> masks;  // by month of the period; -1 not worked out yet
  };

  MonthMasks(const ContextCommunications& communications, const Date& from, const Date& to)
      : firstYear_(from.year), months_(std::max(0, (to.year - from.year + 1) * 12)) {
    for (const auto& [key, dates] : communications.periods) {
      Entry e;
      e.company = communications.map.FindCompany(static_cast<int>(key >> 32));
      e.protoc = static_cast<int32_t>(key & 0xffffffffu);
      e.datini = dates.first;
      e.datfin = dates.second;
      e.masks.assign(months_, -1);
      entries_.emplace(key, std::move(e));
    }
  }

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
  static uint32_t Compute(const Entry& e, int anno, int mese) {
    std::string all(kDayStringLength, 'S');
    MaskMonth(e.company, e.protoc, anno, mese, all);
    return DayBits(all);
  }

  int firstYear_;
  int months_;
  std::unordered_map<uint64_t, Entry> entries_;
  Entry* last_ = nullptr;
  uint64_t lastKey_ = 0;
};

// The months of one trip as they arrive: rows of the same month merged, each month closed
// into the trip's running months and day set when the next one starts.
class TripMonths {
 public:
  TripMonths(const Date& from, const Date& to)
      : from_(from), to_(to), epoch_(DaysSinceEpoch(from)), days_(PeriodDays(from, to)) {}

  // The months of a period's boundary years outside it.
  bool Skips(int anno, int mese) const {
    return (anno == from_.year && mese < from_.month) || (anno == to_.year && mese > to_.month);
  }

  void Start(int azienda, int32_t id, bool chosen) {
    azienda_ = azienda;
    id_ = id;
    chosen_ = chosen;
    open_ = false;
    if (!months_.empty()) days_.Clear();
    months_.clear();
  }
  bool Chosen() const { return chosen_; }

  // One masked month row; rows of a month come in communication order and each copies its
  // days only inside its own period.
  void Month(int anno, int mese, uint32_t days, const Date& datini, const Date& datfin) {
    if (!open_ || anno != anno_ || mese != mese_) {
      Close();
      open_ = true;
      anno_ = anno;
      mese_ = mese;
      merged_ = 0;
    }
    const uint32_t window = MergeWindow(datini, datfin, anno, mese);
    merged_ = (merged_ & ~window) | (days & window);
  }

  // Closes the open month and hands the trip over when it runs.
  void Finish(const std::function<void(const TripRunningDays&)>& visit) {
    Close();
    if (chosen_ && !months_.empty()) visit(TripRunningDays{azienda_, id_, months_, days_});
  }

 private:
  // Counts the open month: the days of the period that the month has.
  void Close() {
    if (!open_) return;
    open_ = false;
    const int first = (anno_ == from_.year && mese_ == from_.month) ? from_.day : 1;
    int last = (anno_ == to_.year && mese_ == to_.month) ? to_.day : 31;
    last = std::min(last, DaysInMonth(mese_, anno_));
    const uint32_t counted = merged_ & DayRange(first, last);
    if (!counted) return;
    months_.push_back(RunningMonth{anno_, mese_, counted});
    days_.AddMonth(static_cast<int>(DaysSinceEpoch(Date{1, mese_, anno_}) - epoch_), counted);
  }

  const Date from_, to_;
  const int64_t epoch_;
  int azienda_ = 0;
  int32_t id_ = 0;
  bool chosen_ = false;
  bool open_ = false;
  int anno_ = 0, mese_ = 0;
  uint32_t merged_ = 0;
  std::vector<RunningMonth> months_;
  DaySet days_;
};

// The conditions on the chosen trips' `corse` row (" AND corse.ente = %d", ...).
std::string TripConditions(const TripChoice& c) {
  std::string where;
  if (c.ente >= 0) where += Format(" AND corse.ente = %d", c.ente);
  if (c.azienda >= 0) where += Format(" AND corse.azienda = %d", c.azienda);
  if (c.lotto >= 0) where += Format(" AND corse.lotto = %d", c.lotto);
  return where;
}

// A list of numbers short enough for an IN list, joined by ","; empty when too long.
constexpr size_t kListed = 500;
template <typename Each>
std::string NumberList(size_t count, Each each) {
  if (count > kListed) return {};
  std::string list;
  for (size_t i = 0; i < count; ++i) list += (i ? "," : "") + std::to_string(each(i));
  return list;
}

// A short list of trips of one company lets the database skip the other months.
std::string ListedTrips(const std::vector<uint64_t>& trips) {
  if (trips.empty()) return {};
  const uint64_t company = trips.front() >> 32;
  for (uint64_t key : trips)
    if (key >> 32 != company) return {};
  const std::string list = NumberList(
      trips.size(), [&trips](size_t i) { return static_cast<int32_t>(trips[i] & 0xffffffffu); });
  if (list.empty()) return {};
  return Format(" AND mesi.azienda = %d", static_cast<int16_t>(company)) + " AND mesi.ID IN (" +
         list + ")";
}

// Sets `s` to read the months (azienda, ID, anno, mese, giorni, protoc) of the period's
// years in trip, month and communication order.
void SelectMonths(db::Selection& s, const Date& from, const Date& to,
                  const ContextCommunications& communications, const TripChoice& choice) {
  s.AddColumn("mesi", "azienda", db::kSqlSmallInt);
  s.AddColumn("mesi", "ID", db::kSqlInteger);
  s.AddColumn("mesi", "anno", db::kSqlSmallInt);
  s.AddColumn("mesi", "mese", db::kSqlSmallInt);
  s.AddColumn("mesi", "giorni", db::kSqlChar);
  s.AddColumn("mesi", "protoc", db::kSqlInteger);
  std::string where = Format("mesi.anno >= %d AND mesi.anno <= %d", from.year, to.year);
  if (from.year == to.year && (from.month > 1 || to.month < 12))
    where += Format(" AND mesi.mese >= %d AND mesi.mese <= %d", from.month, to.month);
  const std::vector<int32_t>& numbers = communications.numbers;
  const std::string protocs =
      NumberList(numbers.size(), [&numbers](size_t i) { return numbers[i]; });
  if (!protocs.empty()) where += " AND mesi.protoc IN (" + protocs + ")";
  if (choice.ente >= 0 || choice.lotto >= 0) {
    s.SetFrom("mesi, corse");
    where += " AND corse.azienda = mesi.azienda AND corse.ID = mesi.ID" + TripConditions(choice);
  } else {
    s.SetFrom("mesi");
    if (choice.azienda >= 0) where += Format(" AND mesi.azienda = %d", choice.azienda);
  }
  s.SetWhere(where + ListedTrips(choice.trips));
  s.SetOrderBy("mesi.azienda, mesi.ID, mesi.anno, mesi.mese, mesi.protoc");
}

}  // namespace

bool DaySet::Empty() const {
  return std::all_of(words_.begin(), words_.end(), [](uint64_t w) { return w == 0; });
}

int DaySet::Count() const {
  int n = 0;
  for (uint64_t w : words_) n += std::popcount(w);
  return n;
}

void DaySet::AddMonth(int dayOne, uint32_t days) {
  uint64_t bits = days >> 1;  // bit 0 for day 1
  if (dayOne < 0) {
    if (dayOne <= -32) return;
    bits >>= -dayOne;
    dayOne = 0;
  }
  if (dayOne >= size_) return;
  if (size_ - dayOne < 31) bits &= (uint64_t{1} << (size_ - dayOne)) - 1;
  const size_t word = static_cast<size_t>(dayOne) / 64;
  const int shift = dayOne % 64;
  words_[word] |= bits << shift;
  if (shift > 0 && word + 1 < words_.size()) words_[word + 1] |= bits >> (64 - shift);
}

void DaySet::Clear() {
  std::fill(words_.begin(), words_.end(), 0);
}

int PeriodDays(const Date& from, const Date& to) {
  return static_cast<int>(std::max<int64_t>(0, DaysSinceEpoch(to) - DaysSinceEpoch(from) + 1));
}

int DayIndex(const Date& from, const Date& day) {
  return static_cast<int>(DaysSinceEpoch(day) - DaysSinceEpoch(from));
}

std::string ContextTypeCondition(char context) {
  if (context == 'P') return "(proto.tipo = 'P' OR proto.tipo = 'A')";
  return "proto.tipo = " + db::SqlQuote(std::string(1, context));
}

std::optional<ContextCommunications> ReadContextCommunications(db::Database& db, char context) {
  ContextCommunications out;
  db::Selection sel(&db);
  sel.AddColumn("proto", "azienda", db::kSqlSmallInt);
  sel.AddColumn("proto", "protoc", db::kSqlInteger);
  sel.AddColumn("proto", "azzera", db::kSqlSmallInt);
  sel.AddColumn("proto", "datini", db::kSqlTypeDate);
  sel.AddColumn("proto", "datfin", db::kSqlTypeDate);
  sel.SetFrom("proto");
  sel.SetWhere(ContextTypeCondition(context));
  sel.SetOrderBy("proto.azienda, proto.protoc");
  for (db::Fetch f = sel.Open(); f != db::Fetch::End; f = sel.MoveNext()) {
    if (f == db::Fetch::Error) return std::nullopt;
    const int azienda = sel.GetShort(0);
    const int32_t protoc = sel.GetLong(1);
    const Date datini = StoredDate(sel.GetText(3), kLowerBoundDate);
    const Date datfin = StoredDate(sel.GetText(4), kUpperBoundDate);
    out.map.Add(azienda, protoc, sel.GetShort(2) != 0, datini, datfin);
    out.periods[TripKey(azienda, protoc)] = {datini, datfin};
    out.numbers.push_back(protoc);
  }
  std::sort(out.numbers.begin(), out.numbers.end());
  out.numbers.erase(std::unique(out.numbers.begin(), out.numbers.end()), out.numbers.end());
  return out;
}

std::optional<InForceMap> BuildInForceMap(db::Database& db, char context) {
  std::optional<ContextCommunications> read = ReadContextCommunications(db, context);
  if (!read) return std::nullopt;
  return std::move(read->map);
}

RunningDaysResult WalkRunningDays(db::Database& db, const ContextCommunications& communications,
                                  const Date& from, const Date& to, const TripChoice& choice,
                                  long long expected, ProgressScope& progress,
                                  const std::function<void(const TripRunningDays&)>& visit) {
  if (!IsValidDate(from) || !IsValidDate(to) || communications.numbers.empty())
    return RunningDaysResult::Done;
  db::Selection s(&db);
  SelectMonths(s, from, to, communications, choice);
  MonthMasks masks(communications, from, to);
  TripMonths trip(from, to);
  std::vector<uint64_t> listed = choice.trips;
  std::sort(listed.begin(), listed.end());
  bool started = false;
  int azienda = 0;
  int32_t id = 0;
  long long seen = 0;
  for (db::Fetch f = s.Open(); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error) return RunningDaysResult::Failed;
    const int rowAzienda = s.GetShort(0);
    const int32_t rowId = s.GetLong(1);
    if (!started || rowAzienda != azienda || rowId != id) {
      if (progress.Stopped()) return RunningDaysResult::Stopped;
      if (started) trip.Finish(visit);
      started = true;
      azienda = rowAzienda;
      id = rowId;
      trip.Start(
          azienda, id,
          listed.empty() || std::binary_search(listed.begin(), listed.end(), TripKey(azienda, id)));
      progress.Set(++seen, expected + 1);
    }
    if (!trip.Chosen()) continue;
    const int anno = s.GetShort(2);
    const int mese = s.GetShort(3);
    if (mese < 1 || mese > 12 || trip.Skips(anno, mese)) continue;
    MonthMasks::Entry* own = masks.Find(azienda, s.GetLong(5));
    if (!own) continue;  // a communication of another type
    const uint32_t days = DayBits(s.GetText(4)) & masks.Mask(*own, anno, mese);
    trip.Month(anno, mese, days, own->datini, own->datfin);
  }
  if (started) trip.Finish(visit);
  return RunningDaysResult::Done;
}

}  // namespace kvt::comms
