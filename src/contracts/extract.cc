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
#include "comms/running_days.h"
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

using comms::TripKey;

// The trips the parameters choose.
comms::TripChoice Choice(const StatementParams& p) {
  comms::TripChoice c;
  c.ente = p.ente;
  c.azienda = p.azienda;
  c.lotto = p.lotto;
  return c;
}

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

// Reading 2: the running months of the context's communications in the period, counted
// into the trips of reading 1 (a trip that reading 1 did not choose is passed over).
bool CountDays(db::Database& db, const StatementParams& p, const Date& from, const Date& to,
               const comms::ContextCommunications& communications, std::vector<StatementRow>& trips,
               ProgressScope& progress) {
  if (trips.empty()) return true;
  std::unordered_map<uint64_t, StatementRow*> index;
  index.reserve(trips.size());
  for (StatementRow& r : trips) index.emplace(TripKey(r.azienda, r.ID), &r);
  const auto count = [&index](const comms::TripRunningDays& t) {
    auto it = index.find(TripKey(t.azienda, t.id));
    if (it == index.end()) return;
    for (const comms::RunningMonth& m : t.months)
      it->second->months.push_back(MonthFigures{m.anno, m.mese, std::popcount(m.days),
                                                std::countr_zero(m.days),
                                                31 - std::countl_zero(m.days)});
  };
  return comms::WalkRunningDays(db, communications, from, to, Choice(p),
                                static_cast<long long>(trips.size()), progress,
                                count) == comms::RunningDaysResult::Done;
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

  WaitScope wait(ui);
  ProgressScope progress(ui, "Lettura Comunicazioni in Vigore", ProgressScope::Cancellable{});
  const std::optional<comms::ContextCommunications> communications =
      comms::ReadContextCommunications(db, params.context);
  if (!communications) return std::nullopt;

  progress.Caption("Lettura Corse");
  std::vector<StatementRow> trips;
  if (!ReadTrips(db, params, kind, trips)) return std::nullopt;

  progress.Caption("Conteggio Giorni di Effettuazione");
  if (!CountDays(db, params, *from, *to, *communications, trips, progress)) return std::nullopt;

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
