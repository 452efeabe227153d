// Emptying the basins, the municipalities and the localities with the references to them.
#include "core/text.h"
#include "db/database.h"
#include "platform/ui.h"
#include "refdata/basins.h"
#include "refdata/output.h"
#include "refdata/rows.h"

namespace kvt::refdata {

namespace {

// A table whose rows block the deletion, and the message that says so.
struct Blocker {
  std::string_view table, where, message;
};

// True when no blocker has rows; false after its message or a database error.
bool NothingBlocks(db::Database& db, Ui& ui, std::initializer_list<Blocker> blockers) {
  for (const Blocker& b : blockers) {
    const std::optional<bool> any = AnyRow(db, b.table, b.where);
    if (!any) return false;
    if (*any) {
      ui.Stop(b.message);
      return false;
    }
  }
  return true;
}

// What one territorial table's deletion does: the stops' column set to 0, the boundary
// rows deleted, the table's rows other than 0 deleted.
struct TerritorialDeletion {
  std::string_view stopColumn, boundaries, table, caption;
};

struct DeletionCounts {
  long stops = 0, areas = 0, rows = 0;
};

std::optional<DeletionCounts> DeleteTerritorial(db::Database& db, Ui& ui,
                                                const TerritorialDeletion& d) {
  WaitScope wait(ui);
  ProgressScope progress(ui, d.caption, ProgressScope::Cancellable{});
  db::Transaction tx(db);
  const std::string stopWhere = std::string(d.stopColumn) + " <> 0";
  const std::optional<long> stops =
      SetColumnOnRows(db, &progress, "fermate", d.stopColumn, stopWhere, 0);
  std::optional<long> areas, rows;
  if (stops && !progress.Stopped()) areas = DeleteRows(db, d.boundaries, "ID", "");
  if (areas && !progress.Stopped()) rows = DeleteRows(db, d.table, "ID", "ID <> 0");
  if (!rows || progress.Stopped() || !tx.Commit()) {
    SayIfStopped(ui);
    return std::nullopt;
  }
  return DeletionCounts{*stops, *areas, *rows};
}

}  // namespace

bool DeleteBasins(db::Database& db, Ui& ui) {
  if (!ui.Ask(kDeleteBasinsQuestion)) return false;
  std::optional<long> references, deleted;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Eliminazione Bacini", ProgressScope::Cancellable{});
    db::Transaction tx(db);
    references = SetColumnOnRows(db, &progress, "comuni", "bacino", "", 0);
    if (references && !progress.Stopped()) deleted = DeleteRows(db, "bacini", "ID", "ID <> 0");
    if (!deleted || progress.Stopped() || !tx.Commit()) {
      SayIfStopped(ui);
      return false;
    }
  }
  ui.Info(
      Format("Risultati dell'eliminazione dei Bacini\n\n"
             "Sono state invalidati %ld riferimenti sui Comuni\n"
             "Sono state eliminati %ld Bacini",
             *references, *deleted));
  return true;
}

bool DeleteMunicipalities(db::Database& db, Ui& ui) {
  if (!NothingBlocks(db, ui,
                     {{"local", "ID <> 0", kMunicipalitiesHaveLocalitiesMessage},
                      {"detmcm", "", kMunicipalitiesHaveMatricesMessage}}))
    return false;
  if (!ui.Ask(kDeleteMunicipalitiesQuestion)) return false;
  const std::optional<DeletionCounts> c =
      DeleteTerritorial(db, ui, {"comune", "geocom", "comuni", "Eliminazione Comuni"});
  if (!c) return false;
  ui.Info(
      Format("Risultati dell'eliminazione dei Comuni\n\n"
             "Sono state eliminati i riferimenti al Comune su %ld fermate\n"
             "Sono state eliminate %ld Aree Comunali\n"
             "Sono state eliminate %ld Comuni",
             c->stops, c->areas, c->rows));
  return true;
}

bool DeleteLocalities(db::Database& db, Ui& ui) {
  if (!NothingBlocks(db, ui, {{"detmat", "", kLocalitiesHaveMatricesMessage}})) return false;
  if (!ui.Ask(kDeleteLocalitiesQuestion)) return false;
  const std::optional<DeletionCounts> c =
      DeleteTerritorial(db, ui, {"local", "geoloc", "local", "Eliminazione Località"});
  if (!c) return false;
  ui.Info(
      Format("Risultati dell'eliminazione delle Località\n\n"
             "Sono state eliminati i riferimenti alla Località su %ld fermate\n"
             "Sono state eliminate %ld Aree di Località\n"
             "Sono state eliminate %ld Località",
             c->stops, c->areas, c->rows));
  return true;
}

}  // namespace kvt::refdata
