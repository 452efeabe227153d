// The basin file's export and import.
#include <map>

#include "core/text.h"
#include "db/database.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "refdata/basin_file.h"
#include "refdata/basins.h"
#include "refdata/lots.h"
#include "refdata/output.h"
#include "refdata/rows.h"

namespace kvt::refdata {

namespace {

// Every municipality's ID by its ISTAT code (trailing blanks trimmed).
std::optional<std::map<std::string, int>> MunicipalitiesByIstat(db::Database& db) {
  std::map<std::string, int> ids;
  const bool ok = ForEachRow(
      db,
      [](db::Selection& s) {
        s.AddColumn("comuni", "ID", db::kSqlSmallInt);
        s.AddColumn("comuni", "istat", db::kSqlChar);
        s.SetFrom("comuni");
      },
      [&](const db::Selection& s) { ids.emplace(TrimRight(s.GetText(1)), s.GetShort(0)); });
  if (!ok) return std::nullopt;
  return ids;
}

int UnmatchedCount(const std::vector<BasinGroup>& basins, const std::map<std::string, int>& ids) {
  int unmatched = 0;
  for (const BasinGroup& b : basins)
    for (const std::string& code : b.istat) unmatched += ids.count(code) == 0 ? 1 : 0;
  return unmatched;
}

// Inserts basin `id` and moves its known municipalities into it. False when the database
// failed or the user stopped.
bool ImportOne(db::Database& db, const ProgressScope& progress, const BasinGroup& basin, int id,
               const std::map<std::string, int>& ids, BasinImportCounts& counts) {
  db::Table t(&db, "bacini");
  const RowWrite inserted = InsertRow(t, {{"ID", Format("%d", id)}, {"denom", basin.name}});
  if (inserted == RowWrite::Failed) return false;
  if (inserted == RowWrite::Written) ++counts.inserted;
  for (const std::string& code : basin.istat) {
    if (progress.Stopped()) return false;
    const auto it = ids.find(code);
    if (it == ids.end()) {
      ++counts.unmatched;
      continue;
    }
    // A basin the database refused has no row to refer to: its municipalities stay as they are.
    if (inserted != RowWrite::Written) continue;
    const std::optional<long> n =
        SetColumnOnRows(db, &progress, "comuni", "bacino", Format("ID = %d", it->second), id);
    if (!n) return false;
    counts.assigned += static_cast<int>(*n);
  }
  return true;
}

}  // namespace

std::optional<BasinExportCounts> ExportBasins(db::Database& db, Ui& ui, const std::string& path) {
  OutputFile file;
  if (!file.Open(path)) {
    ui.Warning(CannotCreateMessage(path), kBasinExportTitle);
    return std::nullopt;
  }
  WaitScope wait(ui);
  BasinFileWriter writer;
  const bool ok = ForEachRow(
      db,
      [](db::Selection& s) {
        s.AddColumn("bacini", "ID", db::kSqlSmallInt);
        s.AddColumn("bacini", "denom", db::kSqlChar);
        s.AddColumn("comuni", "istat", db::kSqlChar);
        s.SetFrom("bacini, comuni");
        s.SetWhere("comuni.bacino = bacini.ID AND comuni.bacino <> 0");
        s.SetOrderBy("bacini.ID, comuni.istat");
      },
      [&](const db::Selection& s) { writer.Add(s.GetShort(0), s.GetText(1), s.GetText(2)); });
  FileSink sink(file);
  sink.Write(writer.Finish());
  if (!ok || !sink.Finish()) {
    ui.Stop(WriteFailedMessage(path));
    return std::nullopt;
  }
  return BasinExportCounts{writer.Basins(), writer.Municipalities()};
}

std::string BasinExportText(const BasinExportCounts& c) {
  return Format("Sono state esportati %d bacini (%d comuni)\n", c.basins, c.municipalities);
}

std::optional<BasinImportCounts> ImportBasins(db::Database& db, Ui& ui, const std::string& path) {
  const std::optional<std::string> bytes = ReadInputFile(ui, path);
  if (!bytes) return std::nullopt;
  const std::optional<std::vector<BasinGroup>> basins = ParseBasinFile(*bytes);
  if (!basins) {
    ui.Stop(kBasinIllegalFileMessage);
    return std::nullopt;
  }
  const std::optional<std::map<std::string, int>> ids = MunicipalitiesByIstat(db);
  if (!ids) return std::nullopt;
  if (UnmatchedCount(*basins, *ids) > 0 && !ui.Ask(kBasinUnknownQuestion)) return std::nullopt;
  const std::optional<int64_t> largest = LargestId(db, "bacini");
  if (!largest) return std::nullopt;
  if (*largest > 0 && !ui.Ask(kBasinAppendQuestion)) return std::nullopt;
  BasinImportCounts counts;
  counts.inFile = static_cast<int>(basins->size());
  WaitScope wait(ui);
  ProgressScope progress(ui, kBasinImportTitle, ProgressScope::Cancellable{});
  db::Transaction tx(db);
  // Numbered after the largest, and never 0 (the basin of "no basin") even in a table
  // that lost it.
  int next = static_cast<int>(std::max<int64_t>(*largest, 0)) + 1;
  for (size_t i = 0; i < basins->size(); ++i) {
    if (!ImportOne(db, progress, (*basins)[i], next++, *ids, counts)) {
      SayIfStopped(ui);
      return std::nullopt;
    }
    progress.Set(static_cast<long long>(i + 1), static_cast<long long>(basins->size()));
  }
  if (!tx.Commit()) return std::nullopt;
  return counts;
}

std::string BasinImportText(const BasinImportCounts& c) {
  std::string text = "Risultati dell'importazione dei bacini\n\n";
  text += Format("%d Bacini da importare\n\n", c.inFile);
  text += Format("%d Bacini inseriti.\n\n", c.inserted);
  text += Format("%d Comuni assegnati ai Bacini.\n\n", c.assigned);
  if (c.unmatched > 0)
    text += Format("%d Righe non importate (Comuni senza corrispondenza)", c.unmatched);
  return text;
}

}  // namespace kvt::refdata
