// The extraction of a contract statement. Two readings:
//  1. the trips of the chosen authority, company and lot, one row each, in print order;
//  2. the months of the context's communications in the period, ordered by trip, month and
//     communication number, each masked by the in-force map; the months that two
//     communications declare are merged, then the running days of the period are counted.
// A trip becomes a statement row when it runs on at least one day of the period.
#include <algorithm>
#include <bit>
#include <unordered_map>

#include "carto/geometry.h"
#include "comms/in_force.h"
#include "contracts/running_days.h"
#include "contracts/statement.h"
#include "core/dates.h"
#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"

namespace kvt::contracts {

namespace {

Date StoredDate(const std::string& text, const Date& open) {
  auto d = ParseDateByPosition(text);
  return d && IsValidDate(*d) ? *d : open;
}

}  // namespace

std::string TypeCondition(char context) {
  if (context == 'P') return "(proto.tipo = 'P' OR proto.tipo = 'A')";
  return "proto.tipo = " + db::SqlQuote(std::string(1, context));
}

bool ReadCommunications(db::Database& db, char context, Communications& out) {
  db::Selection sel(&db);
  sel.AddColumn("proto", "azienda", db::kSqlSmallInt);
  sel.AddColumn("proto", "protoc", db::kSqlInteger);
  sel.AddColumn("proto", "azzera", db::kSqlSmallInt);
  sel.AddColumn("proto", "datini", db::kSqlTypeDate);
  sel.AddColumn("proto", "datfin", db::kSqlTypeDate);
  sel.SetFrom("proto");
  sel.SetWhere(TypeCondition(context));
  sel.SetOrderBy("proto.azienda, proto.protoc");
  if (db::ForEachRow(sel, [&] {
        const int azienda = sel.GetShort(0);
        const int32_t protoc = sel.GetLong(1);
        const Date datini = StoredDate(sel.GetText(3), kLowerBoundDate);
        const Date datfin = StoredDate(sel.GetText(4), kUpperBoundDate);
        out.map.Add(azienda, protoc, sel.GetShort(2) != 0, datini, datfin);
        out.periods[TripKey(azienda, protoc)] = {datini, datfin};
        out.numbers.push_back(protoc);
      }) != db::Walk::End)
    return false;
  std::sort(out.numbers.begin(), out.numbers.end());
  out.numbers.erase(std::unique(out.numbers.begin(), out.numbers.end()), out.numbers.end());
  return true;
}

void SelectMonths(db::Selection& s, const Period& period, const Communications& communications,
                  const std::string& tripConditions, int azienda) {
  s.AddColumn("mesi", "azienda", db::kSqlSmallInt);
  s.AddColumn("mesi", "ID", db::kSqlInteger);
  s.AddColumn("mesi", "anno", db::kSqlSmallInt);
  s.AddColumn("mesi", "mese", db::kSqlSmallInt);
  s.AddColumn("mesi", "giorni", db::kSqlChar);
  s.AddColumn("mesi", "protoc", db::kSqlInteger);
  std::string where =
      Format("mesi.anno >= %d AND mesi.anno <= %d", period.from.year, period.to.year);
  // A short list of the context's numbers lets the database skip the other months.
  constexpr size_t kListedNumbers = 500;
  if (communications.numbers.size() <= kListedNumbers) {
    std::string list;
    for (int32_t n : communications.numbers) list += (list.empty() ? "" : ",") + std::to_string(n);
    where += " AND mesi.protoc IN (" + list + ")";
  }
  if (!tripConditions.empty()) {
    s.SetFrom("mesi, corse");
    where += " AND corse.azienda = mesi.azienda AND corse.ID = mesi.ID" + tripConditions;
  } else {
    s.SetFrom("mesi");
    if (azienda >= 0) where += Format(" AND mesi.azienda = %d", azienda);
  }
  s.SetWhere(where);
  s.SetOrderBy("mesi.azienda, mesi.ID, mesi.anno, mesi.mese, mesi.protoc");
}

MonthMasks::MonthMasks(const Communications& communications, const Period& period)
    : firstYear_(period.from.year),
      months_(std::max(0, (period.to.year - period.from.year + 1) * 12)) {
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

uint32_t MonthMasks::Compute(const Entry& e, int anno, int mese) {
  std::string all(31, 'S');
  comms::MaskMonth(e.company, e.protoc, anno, mese, all);
  return DayStringBits(all);
}

namespace {

// The conditions on the trips the parameters choose (" AND corse.ente = %d", ...).
std::string TripConditions(const StatementParams& p) {
  std::string where;
  if (p.ente >= 0) where += Format(" AND corse.ente = %d", p.ente);
  if (p.azienda >= 0) where += Format(" AND corse.azienda = %d", p.azienda);
  if (p.lotto >= 0) where += Format(" AND corse.lotto = %d", p.lotto);
  return where;
}

// Reading 1: the trips, one row each, in print order.
bool ReadTrips(db::Database& db, const StatementParams& p, StatementKind kind,
               std::vector<StatementRow>& trips) {
  db::Selection s(&db);
  s.AddColumn("corse", "ID", db::kSqlInteger);
  s.AddColumn("corse", "ente", db::kSqlSmallInt);
  s.AddColumn("corse", "azienda", db::kSqlSmallInt);
  s.AddColumn("corse", "codlinea", db::kSqlChar);
  s.AddColumn("corse", "verso", db::kSqlChar);
  s.AddColumn("corse", "codcorsa", db::kSqlChar);
  s.AddColumn("corse", "lung", db::kSqlInteger);
  s.AddColumn("corse", "tempo", db::kSqlSmallInt);
  s.AddColumn("corse", "ct_lung", db::kSqlInteger);
  s.AddColumn("corse", "ct_tempo", db::kSqlSmallInt);
  s.AddColumn("corse", "hh_p", db::kSqlSmallInt);
  s.AddColumn("corse", "mm_p", db::kSqlSmallInt);
  s.AddColumn("corse", "capol_p", db::kSqlInteger);
  s.AddColumn("corse", "hh_a", db::kSqlSmallInt);
  s.AddColumn("corse", "mm_a", db::kSqlSmallInt);
  s.AddColumn("corse", "capol_a", db::kSqlInteger);
  s.AddColumn("corse", "codperc", db::kSqlInteger);
  s.AddColumn("corse", "mezzo", db::kSqlChar);
  const bool byRoute = kind == StatementKind::ByRoute;
  if (byRoute) s.AddColumn("tesitine", "codperc", db::kSqlChar);
  std::string where = "corse.azienda >= 0" + TripConditions(p);
  if (byRoute) {
    s.SetFrom("corse, tesitine");
    where += " AND tesitine.azienda = corse.azienda AND tesitine.ID = corse.codperc";
    s.SetOrderBy(
        "corse.ente, corse.azienda, corse.codlinea, corse.verso, tesitine.codperc, corse.hh_p,"
        " corse.mm_p, corse.codcorsa, corse.ID");
  } else {
    s.SetFrom("corse");
    s.SetOrderBy(
        "corse.ente, corse.azienda, corse.codlinea, corse.verso, corse.codcorsa, corse.hh_p,"
        " corse.mm_p, corse.ID");
  }
  s.SetWhere(where);
  const db::Walk walk = db::ForEachRow(s, [&] {
    StatementRow& r = trips.emplace_back();
    r.ID = s.GetLong(0);
    r.ente = s.GetShort(1);
    r.azienda = s.GetShort(2);
    r.codlinea = TrimRight(s.GetText(3));
    const std::string verso = s.GetText(4);
    r.verso = verso.empty() ? ' ' : verso[0];
    r.codcorsa = TrimRight(s.GetText(5));
    r.lung = s.GetLong(6);
    r.tempo = s.GetShort(7);
    r.contractLength = s.GetLong(8);
    r.ct_tempo = s.GetShort(9);
    r.departure = s.GetShort(10) * 60 + s.GetShort(11);
    r.capol_p = s.GetLong(12);
    r.arrival = s.GetShort(13) * 60 + s.GetShort(14);
    r.capol_a = s.GetLong(15);
    r.codperc = s.GetLong(16);
    const std::string mezzo = s.GetText(17);
    r.mezzo = mezzo.empty() ? ' ' : mezzo[0];
    if (byRoute) r.percorso = TrimRight(s.GetText(18));
  });
  return walk == db::Walk::End;
}

// The running days of one trip, month by month, as the months arrive.
class TripDays {
 public:
  explicit TripDays(const Period& period) : period_(period) {}

  // Starts a trip (null: a trip the first reading did not choose; its months are ignored),
  // counting the previous one's last month.
  void Begin(StatementRow* trip) {
    Close();
    trip_ = trip;
    open_ = false;
  }
  // One month row, masked. Rows of the same month come in communication order: a later one
  // replaces the earlier days inside its own period within the month.
  void Month(int anno, int mese, uint32_t days, const Date& datini, const Date& datfin) {
    if (!trip_) return;
    if (open_ && anno == anno_ && mese == mese_) {
      const uint32_t window = MergeWindow(datini, datfin, anno, mese);
      days_ = (days_ & ~window) | (days & window);
      return;
    }
    Close();
    open_ = true;
    anno_ = anno;
    mese_ = mese;
    days_ = days;
  }
  bool Counting() const { return trip_ != nullptr; }
  // Counts the open month into the trip.
  void Close() {
    if (!trip_ || !open_) return;
    open_ = false;
    int first = 0, last = 0;
    period_.Range(anno_, mese_, first, last);
    const uint32_t counted = days_ & DayRangeBits(first, last);
    if (!counted) return;
    MonthFigures m{anno_, mese_, std::popcount(counted), std::countr_zero(counted),
                   31 - std::countl_zero(counted)};
    trip_->months.push_back(m);
  }

 private:
  const Period& period_;
  StatementRow* trip_ = nullptr;
  bool open_ = false;
  int anno_ = 0, mese_ = 0;
  uint32_t days_ = 0;
};

// Reading 2: the months, counted into the trips of reading 1. Months of communications
// outside the context are left out while reading rather than by a join with `proto`: the
// reading stays as light as a plain read of `mesi`.
bool CountDays(db::Database& db, const StatementParams& p, const Period& period,
               const Communications& communications, std::vector<StatementRow>& trips,
               ProgressScope& progress) {
  std::unordered_map<uint64_t, StatementRow*> index;
  index.reserve(trips.size());
  for (StatementRow& r : trips) index.emplace(TripKey(r.azienda, r.ID), &r);
  TripDays counter(period);
  return CountMonths(db, period, communications,
                     p.ente >= 0 || p.lotto >= 0 ? TripConditions(p) : std::string(), p.azienda,
                     static_cast<long long>(trips.size()), progress, counter,
                     [&index](uint64_t key) -> StatementRow* {
                       auto it = index.find(key);
                       return it == index.end() ? nullptr : it->second;
                     });
}

// Days, first and last date of a trip from its months.
void Summarise(StatementRow& r) {
  std::sort(r.months.begin(), r.months.end(), [](const MonthFigures& a, const MonthFigures& b) {
    return a.anno != b.anno ? a.anno < b.anno : a.mese < b.mese;
  });
  r.days = 0;
  for (const MonthFigures& m : r.months) r.days += m.days;
  if (r.months.empty()) return;
  const MonthFigures& a = r.months.front();
  const MonthFigures& b = r.months.back();
  r.firstDate = FormatDate(Date{a.first, a.mese, a.anno});
  r.lastDate = FormatDate(Date{b.last, b.mese, b.anno});
}

std::string TimeText(int minute) {
  return Format("%d:%02d", minute / 60, minute % 60);
}

// The names of the termini, company by company, in groups of stop IDs.
bool ReadTermini(db::Database& db, StatementKind kind, std::vector<StatementRow>& rows) {
  std::unordered_map<int, std::vector<int32_t>> stops;
  for (const StatementRow& r : rows) {
    stops[r.azienda].push_back(r.capol_p);
    stops[r.azienda].push_back(r.capol_a);
  }
  std::unordered_map<uint64_t, std::string> names;
  constexpr size_t kGroup = 500;
  for (auto& [azienda, ids] : stops) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    for (size_t at = 0; at < ids.size(); at += kGroup) {
      std::string list;
      for (size_t i = at; i < std::min(ids.size(), at + kGroup); ++i)
        list += (i > at ? "," : "") + std::to_string(ids[i]);
      db::Selection s(&db);
      s.AddColumn("fermate", "ID", db::kSqlInteger);
      s.AddColumn("fermate", "denom", db::kSqlChar);
      s.SetFrom("fermate");
      s.SetWhere(Format("azienda = %d", azienda) + " AND ID IN (" + list + ")");
      const int company = azienda;  // a structured binding cannot be captured before C++20's fix
      if (db::ForEachRow(s, [&] {
            names[TripKey(company, s.GetLong(0))] = TrimRight(s.GetText(1));
          }) != db::Walk::End)
        return false;
    }
  }
  const bool byRoute = kind == StatementKind::ByRoute;
  for (StatementRow& r : rows) {
    if (auto it = names.find(TripKey(r.azienda, r.capol_p)); it != names.end())
      r.departureText = byRoute ? TimeText(r.departure) : TimeText(r.departure) + " " + it->second;
    if (auto it = names.find(TripKey(r.azienda, r.capol_a)); it != names.end())
      r.arrivalText = byRoute ? TimeText(r.arrival) : TimeText(r.arrival) + " " + it->second;
  }
  return true;
}

// Drawn lengths of the routes; a corrupt line is reported and left out.
bool ReadRouteLengths(db::Database& db, Ui& ui, const StatementParams& p,
                      std::vector<StatementRow>& rows) {
  std::unordered_map<uint64_t, int32_t> lengths;
  db::Selection s(&db);
  s.AddColumn("geoitine", "azienda", db::kSqlSmallInt);
  s.AddColumn("geoitine", "ID", db::kSqlInteger);
  s.AddColumn("geoitine", "punti", db::kSqlSmallInt);
  s.AddColumn("geoitine", "coord", db::kSqlLongVarBinary);
  s.AddColumn("geoitine", "minx", db::kSqlDouble);
  s.AddColumn("geoitine", "miny", db::kSqlDouble);
  s.AddColumn("geoitine", "maxx", db::kSqlDouble);
  s.AddColumn("geoitine", "maxy", db::kSqlDouble);
  s.SetFrom("geoitine");
  if (p.azienda >= 0) s.SetWhere(Format("geoitine.azienda = %d", p.azienda));
  std::vector<uint8_t> block;
  if (db::ForEachRow(s, [&] {
        const int azienda = s.GetShort(0);
        const int32_t id = s.GetLong(1);
        block.clear();
        s.GetBlob(3, block);
        const std::optional<carto::Ring> line = carto::RingFromBlock(block, s.GetShort(2));
        if (!line) {
          ui.Warning(Format("Percorsi: Entità lineare corrotta %d/%ld !!!", azienda,
                            static_cast<long>(id)));
          return;
        }
        lengths[TripKey(azienda, id)] = static_cast<int32_t>(carto::LineLength(*line));
      }) != db::Walk::End)
    return false;
  for (StatementRow& r : rows) {
    auto it = lengths.find(TripKey(r.azienda, r.codperc));
    r.contractLength = it == lengths.end() ? 0 : it->second;
  }
  return true;
}

}  // namespace

std::optional<std::vector<StatementRow>> ExtractTrips(db::Database& db, Ui& ui,
                                                      const StatementParams& params,
                                                      StatementKind kind) {
  const std::optional<Date> from = ParseDateByPosition(params.startDate);
  const std::optional<Date> to = ParseDateByPosition(params.endDate);
  if (!from || !to) return std::vector<StatementRow>{};
  const Period period{*from, *to};

  WaitScope wait(ui);
  ProgressScope progress(ui, "Lettura Comunicazioni in Vigore", ProgressScope::Cancellable{});
  Communications communications;
  if (!ReadCommunications(db, params.context, communications)) return std::nullopt;

  progress.Caption("Lettura Corse");
  std::vector<StatementRow> trips;
  if (!ReadTrips(db, params, kind, trips)) return std::nullopt;

  progress.Caption("Conteggio Giorni di Effettuazione");
  if (!CountDays(db, params, period, communications, trips, progress)) return std::nullopt;

  std::vector<StatementRow> rows;
  for (StatementRow& r : trips) {
    Summarise(r);
    if (r.days > 0) rows.push_back(std::move(r));
  }
  trips.clear();
  trips.shrink_to_fit();

  if (params.detail == DetailLevel::Analytic && !rows.empty()) {
    progress.Caption("Lettura Capolinea");
    if (!ReadTermini(db, kind, rows)) return std::nullopt;
  }
  if (params.distance == DistanceType::Cartographic && !rows.empty()) {
    progress.Caption("Lettura Percorsi Cartografici");
    if (!ReadRouteLengths(db, ui, params, rows)) return std::nullopt;
  }
  return rows;
}

std::optional<std::vector<StatementRow>> Extract(db::Database& db, Ui& ui,
                                                 const StatementParams& params,
                                                 StatementKind kind) {
  auto rows = ExtractTrips(db, ui, params, kind);
  if (rows) InsertTotals(*rows, kind);
  return rows;
}

}  // namespace kvt::contracts
