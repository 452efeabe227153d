// The assignment file's export and import.
#include <algorithm>
#include <cstdio>

#include "core/text.h"
#include "db/database.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "refdata/lot_file.h"
#include "refdata/lots.h"
#include "refdata/output.h"
#include "refdata/rows.h"

namespace kvt::refdata {

namespace {

// The lots trips use, by name, without lot 0; then every trip by company and number.
bool ReadAssignment(db::Database& db, const ProgressScope& progress, std::string& lots,
                    std::vector<TripLot>& trips) {
  const bool lotsOk = ForEachRow(
      db,
      [](db::Selection& s) {
        s.AddColumn("lotti", "ID", db::kSqlSmallInt);
        s.AddColumn("lotti", "denom", db::kSqlChar);
        s.SetFrom("lotti, corse");
        s.SetWhere("corse.lotto = lotti.ID");
        s.SetGroupBy("lotti.ID, lotti.denom");
        s.SetOrderBy("lotti.denom");
      },
      [&](const db::Selection& s) {
        if (s.GetShort(0) != 0) lots += LotLine(s.GetShort(0), s.GetText(1));
      });
  if (!lotsOk || progress.Stopped()) return false;
  db::Selection s(&db);
  s.AddColumn("corse", "azienda", db::kSqlSmallInt);
  s.AddColumn("corse", "ID", db::kSqlInteger);
  s.AddColumn("corse", "lotto", db::kSqlSmallInt);
  s.SetFrom("corse");
  s.SetOrderBy("corse.azienda, corse.ID");
  for (db::Fetch f = s.Open(); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error || progress.Stopped()) return false;
    trips.push_back({s.GetShort(0), s.GetLong(1), s.GetShort(2)});
  }
  return true;
}

// Inserts the file's lots: one that exists already (an import without the clean-up) is
// reported by the table and skipped. False when the database itself failed.
bool InsertLots(db::Database& db, const std::vector<LotName>& lots) {
  db::Table t(&db, "lotti");
  for (const LotName& lot : lots) {
    bool ok = t.AddNew() && t.SetFieldText("ID", Format("%lld", static_cast<long long>(lot.id))) &&
              t.SetFieldText("denom", lot.name) && t.Update();
    if (!ok && !t.LastError().RowRefused()) return false;
  }
  return true;
}

// Every trip of the database the file names gets the file's lot; the others keep theirs.
std::optional<long> ApplyTrips(db::Database& db, const ProgressScope& progress,
                               std::vector<TripLot> trips) {
  std::sort(trips.begin(), trips.end());
  db::EditSelection e(&db);
  e.AddColumn("corse", "azienda", db::kSqlSmallInt);
  e.AddColumn("corse", "ID", db::kSqlInteger);
  e.AddColumn("corse", "lotto", db::kSqlSmallInt);
  e.SetFrom("corse");
  long updated = 0;
  for (db::Fetch f = e.Open(); f != db::Fetch::End; f = e.MoveNext()) {
    if (f == db::Fetch::Error || progress.Stopped()) return std::nullopt;
    std::string azienda, id, lotto;
    if (!e.GetFieldText("azienda", azienda) || !e.GetFieldText("ID", id) ||
        !e.GetFieldText("lotto", lotto))
      return std::nullopt;
    const TripLot key{LeadingInt(azienda), LeadingInt(id), INT64_MIN};
    const auto it = std::lower_bound(trips.begin(), trips.end(), key);
    if (it == trips.end() || it->azienda != key.azienda || it->id != key.id) continue;
    if (it->lotto == LeadingInt(lotto)) {
      ++updated;  // already so: the update would change nothing
      continue;
    }
    const RowWrite w = WriteRow(e, {{"lotto", Format("%lld", static_cast<long long>(it->lotto))}});
    if (w == RowWrite::Failed) return std::nullopt;
    if (w == RowWrite::Written) ++updated;
  }
  return updated;
}

}  // namespace

std::optional<long> ExportLotAssignment(db::Database& db, Ui& ui, const std::string& path) {
  OutputFile file;
  if (!file.Open(path)) {
    ui.Warning(CannotCreateMessage(path), kLotExportTitle);
    return std::nullopt;
  }
  std::string lots;
  std::vector<TripLot> trips;
  WaitScope wait(ui);
  ProgressScope progress(ui, kLotExportTitle, ProgressScope::Cancellable{});
  bool ok = ReadAssignment(db, progress, lots, trips);
  FileSink sink(file);
  sink.Write(std::string(kLotsOpenTag) + '\n' + lots + std::string(kLotsCloseTag) + '\n' +
             std::string(kTripsOpenTag) + '\n');
  for (size_t i = 0; ok && i < trips.size(); ++i) {
    sink.Write(TripLotLine(trips[i]));
    progress.Set(static_cast<long long>(i + 1), static_cast<long long>(trips.size()));
    ok = !progress.Stopped();
  }
  sink.Write(std::string(kTripsCloseTag) + '\n');
  if (!ok || !sink.Finish()) {
    SayUnfinished(ui, kCancelledFileMessage, WriteFailedMessage(path));
    return std::nullopt;
  }
  return static_cast<long>(trips.size());
}

std::optional<long> ImportLotAssignment(db::Database& db, Ui& ui, const std::string& path) {
  const std::optional<std::string> bytes = ReadInputFile(ui, path);
  if (!bytes) return std::nullopt;
  LotAssignment file = ParseLotAssignment(*bytes);
  WaitScope wait(ui);
  ProgressScope progress(ui, kLotImportTitle, ProgressScope::Cancellable{});
  db::Transaction tx(db);
  std::optional<long> updated;
  if (InsertLots(db, file.lots) && !progress.Stopped())
    updated = ApplyTrips(db, progress, std::move(file.trips));
  if (!updated || !tx.Commit()) {
    SayIfStopped(ui);
    return std::nullopt;
  }
  return updated;
}

}  // namespace kvt::refdata
