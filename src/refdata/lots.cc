#include "refdata/lots.h"

#include <algorithm>
#include <cstdio>

#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "refdata/lot_file.h"
#include "refdata/output.h"
#include "refdata/rows.h"
#include "schema/pick_lists.h"

namespace kvt::refdata {

namespace {

// Generous: a file of every trip of a large network is a few megabytes.
constexpr int64_t kMaxInputBytes = int64_t{1} << 30;

std::optional<int> ChosenCode(std::string_view listText) {
  if (listText.size() < 4) return std::nullopt;
  for (size_t i = 0; i < 4; ++i)
    if (listText[i] < '0' || listText[i] > '9') return std::nullopt;
  return static_cast<int>(LeadingInt(listText.substr(0, 4)));
}

}  // namespace

std::optional<std::string> ReadInputFile(Ui& ui, const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path, kMaxInputBytes);
  if (!bytes)
    ui.Stop("ATTENZIONE: non risulta possibile aprire il file selezionato !!!\n\n" + path);
  return bytes;
}

std::optional<std::vector<std::string>> LotEntries(db::Database& db) {
  return schema::ReadPickList(db, {.table = schema::PickTable::Lots});
}

bool SaveLot(db::Database& db, Ui& ui, std::string_view listText, std::string_view name) {
  const std::string_view trimmed = Trim(name);
  if (trimmed.empty()) {
    ui.Stop(kLotNameMissingMessage);
    return false;
  }
  const std::optional<int> chosen = ChosenCode(listText);
  if (!chosen) {
    const std::optional<int64_t> largest = LargestId(db, "lotti");
    if (!largest) return false;
    db::Table t(&db, "lotti");
    return InsertRow(t, {{"ID", Format("%lld", static_cast<long long>(*largest + 1))},
                         {"denom", std::string(trimmed)}}) == RowWrite::Written;
  }
  db::EditSelection e(&db);
  e.AddColumn("lotti", "denom", db::kSqlChar);
  e.SetFrom("lotti");
  e.SetWhere(Format("ID = %d", *chosen));
  const db::Fetch f = e.Open();
  if (f != db::Fetch::Row) return false;  // a lot no longer there changes nothing
  return WriteRow(e, {{"denom", std::string(trimmed)}}) == RowWrite::Written;
}

bool DeleteLot(db::Database& db, Ui& ui, std::string_view listText,
               const std::vector<std::string>& entries) {
  const std::optional<int> code = PickCode(listText, entries);
  if (!code) {
    ui.Stop(kLotInvalidMessage);
    return false;
  }
  if (*code == 0) {
    ui.Stop(kLotZeroDeleteMessage);
    return false;
  }
  if (!ui.Ask(kLotDeleteQuestion)) return false;
  const std::optional<long> deleted = DeleteRows(db, "lotti", "ID", Format("ID = %d", *code));
  return deleted && *deleted > 0;
}

std::optional<long> AssignLot(db::Database& db, int azienda, const std::optional<std::string>& line,
                              int lotto) {
  std::string where = Format("azienda = %d", azienda);
  if (line) where += " AND codlinea = " + db::SqlQuote(*line);
  return SetColumnOnRows(db, nullptr, "corse", "lotto", where, lotto);
}

std::optional<long> ClearLotAssignment(db::Database& db, Ui& ui) {
  WaitScope wait(ui);
  ProgressScope progress(ui, "Pulizia Assegnazione Lotti", ProgressScope::Cancellable{});
  db::Transaction tx(db);
  const std::optional<long> trips = SetColumnOnRows(db, &progress, "corse", "lotto", "", 0);
  if (!trips || progress.Stopped() || !DeleteRows(db, "lotti", "ID", "ID <> 0") || !tx.Commit()) {
    SayIfStopped(ui);
    return std::nullopt;
  }
  return trips;
}

std::string LotsAssignedText(long trips) {
  return Format("Sono state associate %ld Corse al Lotto di Gara", trips);
}

std::string TripsProcessedText(long trips) {
  return Format("Elaborate %ld Corse", trips);
}

std::string LotExportText(long trips) {
  return Format("Esportazione Assegnazione Corse/Lotti terminata\n\nEsportate %ld corse/lotto",
                trips);
}

}  // namespace kvt::refdata
