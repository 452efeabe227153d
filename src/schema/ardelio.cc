#include "schema/ardelio.h"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <set>

#include "db/database.h"
#include "db/file_engine.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/ui.h"
#include "schema/dictionary.h"
#include "schema/generator.h"
#include "schema/init.h"
#include "schema/model.h"
#include "schema/seed.h"
#include "schema/sql_text.h"

namespace kvt::schema {
namespace {

constexpr std::string_view kStarting =
    "Il database MDB correntemente associato risulta essere stato\n"
    "generato da ARDELIO.\n\n"
    "Stanno per essere generate tutte le strutture necessarie\n"
    "per il corretto funzionamento del DB\n\n"
    "L'operazione potrebbe impiegare alcuni secondi/minuti ...";
constexpr std::string_view kCompleted =
    "Il database MDB generato da ARDELIO è stato completato ed sarà pronto per l'uso\n"
    "al termine dell'importazione degli Shapefiles correlati";
constexpr std::string_view kFailed =
    "Si sono verificati errori durante il completamento del MDB di Ardelio ...";
constexpr std::string_view kShiftedRoutes =
    "Il database MDB correntemente associato risulta essere stato\n"
    "generato da ARDELIO e presenta il problema [bug] relativo\n"
    "alle \"progressive km slittate\".\n\n"
    "Il bug verrà ora corretto.\n\n"
    "L'operazione potrebbe impiegare alcuni secondi/minuti ...";
constexpr std::string_view kShiftMended = "Il bug è stato sanato.\n\n";

// The `itin_shp` of every marker row still to convert; nullopt when the read failed.
std::optional<std::vector<std::string>> PendingConversions(db::Database& db) {
  std::vector<std::string> names;
  db::Selection s(&db);
  s.AddColumn("ardelio", "convert", db::kSqlSmallInt);
  s.AddColumn("ardelio", "itin_shp", db::kSqlVarChar);
  s.SetFrom("ardelio");
  s.SetWhere("convert = " + db.dialect().TrueLiteral());
  if (db::ForEachRow(s, [&] { names.push_back(s.GetText(1)); }) != db::Walk::End)
    return std::nullopt;
  return names;
}

// Renames the file to the work file and compacts that back into place. On failure the
// original file is put back.
bool CompactThroughWorkFile(const std::string& path, std::string* error) {
  std::string work = ArdelioWorkFile(path);
  std::error_code ec;
  std::filesystem::rename(path, work, ec);
  if (ec) {
    *error = ec.message();
    return false;
  }
  db::FileEngine files;
  if (!files.Compact(work, path)) {
    *error = files.LastError().text;
    std::filesystem::remove(path, ec);
    std::filesystem::rename(work, path, ec);
    return false;
  }
  std::filesystem::remove(work, ec);
  return true;
}

// Every dictionary table: completed when present, created otherwise. `created` receives the
// names of the new ones.
bool CompleteTables(db::Database& db, std::set<std::string>* created) {
  std::optional<Dictionary> d = ReadDictionary(db);
  if (!d) return false;
  for (const DictTable& t : d->tables) {
    bool exists = db.TableExists(t.name);
    if (!exists) created->insert(t.name);
    if (!(exists ? UpdateTableFromDictionary(db, t.name) : CreateTableFromDictionary(db, t.name))) {
      return false;
    }
  }
  return true;
}

// New tables get the rows a new database starts with, so that the relations hold.
bool WriteMissingSeeds(db::Database& db, const std::set<std::string>& created) {
  if (created.count("regazi") && !WriteSeedList(db, "regazi", SeedCompanies())) return false;
  if (created.count("regent") && !WriteSeedList(db, "regent", SeedAuthorities())) return false;
  return WritePlaceholderRows(db, true);
}

bool CompleteSchema(db::Database& db, std::string* error) {
  ForeignKeyChecksOff off(db);
  db::Transaction tx(db);
  std::set<std::string> created;
  if (!(CreateSpecialTables(db) && WriteDictionary(db) && CompleteTables(db, &created) &&
        WriteMissingSeeds(db, created) && RemoveOrphans(db) && UpdateRelationsFromDictionary(db)))
    return false;
  if (!db.ExecuteSql("UPDATE ardelio SET convert=0")) {
    *error = db.LastError().text;
    return false;
  }
  return tx.Commit();
}

struct OrphanStep {
  std::string_view from;
  std::string_view table;       // whose (azienda, id) the step reads
  std::string_view nullColumn;  // missing partner
  std::vector<std::string_view> deleteFrom;
};

// Joined on the company as well: identifiers are unique only within a company.
const std::vector<OrphanStep>& OrphanSteps() {
  static const std::vector<OrphanStep> steps = {
      {"corse LEFT JOIN mesi ON corse.azienda = mesi.azienda AND corse.id = mesi.id",
       "corse",
       "mesi.anno",
       {"orari", "corse"}},
      {"archi LEFT JOIN fermate ON archi.azienda = fermate.azienda AND archi.inizio = fermate.id",
       "archi",
       "fermate.id",
       {"archi"}},
      {"archi LEFT JOIN fermate ON archi.azienda = fermate.azienda AND archi.fine = fermate.id",
       "archi",
       "fermate.id",
       {"archi"}},
      {"detitine LEFT JOIN archi ON detitine.azienda = archi.azienda AND detitine.arco = archi.id",
       "detitine",
       "archi.id",
       {"detitine", "tesitine"}},
  };
  return steps;
}

bool DeleteWhere(db::Database& db, std::string_view table, const std::string& condition) {
  db::DeleteSelection d(&db);
  d.SetColumns("azienda");
  d.SetFrom(table);
  if (!condition.empty()) d.SetWhere(condition);
  return db::DeleteRows(d).has_value();
}

bool RunOrphanStep(db::Database& db, const OrphanStep& step) {
  std::set<std::pair<int, long>> keys;  // read first: rows are deleted afterwards
  db::Selection s(&db);
  s.AddColumn(step.table, "azienda", db::kSqlSmallInt);
  s.AddColumn(step.table, "id", db::kSqlInteger);
  s.SetFrom(step.from);
  s.SetWhere(db.dialect().IsNull(step.nullColumn));
  // A failed read is not "no orphans": the step must not go on.
  if (db::ForEachRow(s, [&] { keys.insert({s.GetShort(0), s.GetLong(1)}); }) != db::Walk::End)
    return false;
  for (const auto& [azienda, id] : keys) {
    std::string condition =
        "azienda = " + std::to_string(azienda) + " AND id = " + std::to_string(id);
    for (std::string_view table : step.deleteFrom) {
      if (!DeleteWhere(db, table, condition)) return false;
    }
  }
  return true;
}

struct RouteRow {
  int azienda, sub;
  long id, protoc, arco, dist;
};

// Every route row; nullopt when the read failed (the rows are rewritten from this list).
std::optional<std::vector<RouteRow>> ReadRouteRows(db::Database& db) {
  std::vector<RouteRow> rows;
  db::Selection s(&db);
  for (const char* c : {"azienda", "id", "protoc", "sub", "arco", "dist"}) {
    bool small = std::string_view(c) == "azienda" || std::string_view(c) == "sub";
    s.AddColumn("detitine", c, small ? db::kSqlSmallInt : db::kSqlInteger);
  }
  s.SetFrom("detitine");
  s.SetOrderBy("azienda, id, sub");
  if (db::ForEachRow(s, [&] {
        rows.push_back(
            {s.GetShort(0), s.GetShort(3), s.GetLong(1), s.GetLong(2), s.GetLong(4), s.GetLong(5)});
      }) != db::Walk::End)
    return std::nullopt;
  return rows;
}

// At least one route, and every route's first row numbered above 0.
bool RoutesShifted(const std::vector<RouteRow>& rows) {
  for (size_t i = 0; i < rows.size(); ++i) {
    bool first = i == 0 || rows[i].azienda != rows[i - 1].azienda || rows[i].id != rows[i - 1].id;
    if (first && rows[i].sub <= 0) return false;
  }
  return !rows.empty();
}

bool RewriteRouteRows(db::Database& db, const std::vector<RouteRow>& rows) {
  db::Transaction tx(db);
  if (!DeleteWhere(db, "detitine", "")) return false;
  {
    db::Table t(&db, "detitine", true);
    if (!t.IsOpen()) return false;
    for (const RouteRow& r : rows) {
      bool ok = t.AddNew() && t.SetFieldText("azienda", std::to_string(r.azienda)) &&
                t.SetFieldText("ID", std::to_string(r.id)) &&
                t.SetFieldText("sub", std::to_string(r.sub - 1)) &&
                t.SetFieldText("protoc", std::to_string(r.protoc)) &&
                t.SetFieldText("arco", std::to_string(r.arco)) &&
                t.SetFieldText("dist", std::to_string(r.dist)) && t.Update();
      if (!ok) return false;
    }
    if (!t.Flush()) return false;
  }
  return tx.Commit();
}

// Whether the marker says the conversion is complete; nullopt when it could not be read.
std::optional<bool> MarkerSaysCompleted(db::Database& db) {
  if (!db.TableExists("ardelio")) return false;
  const std::optional<std::vector<std::string>> pending = PendingConversions(db);
  if (!pending) return std::nullopt;
  return pending->empty();
}

}  // namespace

OwnedConnection::OwnedConnection(Ui& ui, std::unique_ptr<db::Database> db)
    : ui_(ui), db_(std::move(db)) {}

OwnedConnection::~OwnedConnection() = default;

void OwnedConnection::Disconnect() {
  db_.reset();
}

bool OwnedConnection::Reconnect(const std::string& path) {
  db_ = db::Database::OpenFile(ui_, path);
  return db_ && db_->IsConnected();
}

std::string ArdelioWorkFile(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  for (int n = 0;; ++n) {
    std::string name = "wkArdl_" + std::to_string(getpid()) + "_" + std::to_string(n) + ".mdb";
    std::filesystem::path work = folder / name;
    std::error_code ec;
    // A name that cannot be checked is taken as free: the rename to it then says why.
    if (!std::filesystem::exists(work, ec)) return work.string();
  }
}

bool CompleteArdelioDatabase(ConnectionHost& host) {
  db::Database* db = host.Current();
  if (db == nullptr || !db->IsConnected() || !db->TableExists("ardelio")) return true;
  const std::optional<std::vector<std::string>> pending = PendingConversions(*db);
  if (!pending) return false;  // the read's failure has been shown
  const std::vector<std::string>& shapefiles = *pending;
  if (shapefiles.empty()) return true;
  Ui& ui = db->ui();
  ui.Info(kStarting);
  WaitScope wait(ui);
  std::string path = db->Path(), error;
  host.Disconnect();
  bool compacted = CompactThroughWorkFile(path, &error);
  if (!host.Reconnect(path) || !compacted || !CompleteSchema(*host.Current(), &error)) {
    ui.Stop(WithDriverText(std::string(kFailed), error));
    return false;
  }
  ui.Info(kCompleted);
  host.ImportArdelioRouteShapefiles(shapefiles);
  return true;
}

bool RemoveOrphans(db::Database& db) {
  for (const OrphanStep& step : OrphanSteps()) {
    if (!RunOrphanStep(db, step)) return false;
  }
  return true;
}

bool FixArdelioRouteNumbering(db::Database& db) {
  const std::optional<bool> completed = MarkerSaysCompleted(db);
  if (!completed) return false;  // the read's failure has been shown
  if (!*completed || !db.TableExists("detitine")) return true;
  const std::optional<std::vector<RouteRow>> read = ReadRouteRows(db);
  if (!read) return false;
  const std::vector<RouteRow>& rows = *read;
  if (!RoutesShifted(rows)) return true;
  db.ui().Warning(kShiftedRoutes);
  WaitScope wait(db.ui());
  if (!RewriteRouteRows(db, rows)) return false;
  db.ui().Info(kShiftMended);
  return true;
}

}  // namespace kvt::schema
