#include "schema/dictionary.h"

#include <strings.h>

#include <algorithm>
#include <vector>

#include "db/database.h"
#include "db/table.h"
#include "platform/ui.h"
#include "schema/sql_text.h"

namespace kvt::schema {
namespace {

struct SpecialColumn {
  std::string_view name;
  std::string_view type;  // "BIT" stands for a flag, written in the engine's flag type
  bool notNull;
};

struct SpecialTable {
  std::string_view name;
  std::vector<SpecialColumn> columns;
  std::string_view keyName;  // the primary index: "nome" or "elemento"
  std::vector<std::string_view> key;
};

const std::vector<SpecialTable>& SpecialTables() {
  static const std::vector<SpecialTable> tables = {
      {"tavole",
       {{"nome", "VARCHAR(8)", true},
        {"denom", "VARCHAR(30)", false},
        {"note", "VARCHAR(240)", false}},
       "nome",
       {"nome"}},
      {"campi",
       {{"tavola", "VARCHAR(8)", true},
        {"nome", "VARCHAR(8)", true},
        {"tipo", "VARCHAR(1)", true},
        {"size", "SMALLINT", true},
        {"obblig", "BIT", true},
        {"denom", "VARCHAR(30)", false},
        {"note", "VARCHAR(240)", false},
        {"regola", "VARCHAR(240)", false},
        {"mess", "VARCHAR(240)", false},
        {"posiz", "SMALLINT", true}},
       "nome",
       {"tavola", "nome"}},
      {"indici",
       {{"tavola", "VARCHAR(8)", true},
        {"nome", "VARCHAR(8)", true},
        {"primkey", "BIT", true},
        {"denom", "VARCHAR(30)", false},
        {"note", "VARCHAR(240)", false}},
       "nome",
       {"tavola", "nome"}},
      {"indici2",
       {{"tavola", "VARCHAR(8)", true},
        {"nome", "VARCHAR(8)", true},
        {"progr", "SMALLINT", true},
        {"campo", "VARCHAR(8)", true}},
       "elemento",
       {"tavola", "nome", "progr"}},
      {"relaz",
       {{"nome", "VARCHAR(16)", true},
        {"interna", "VARCHAR(8)", true},
        {"esterna", "VARCHAR(8)", true}},
       "nome",
       {"nome"}},
      {"relaz2",
       {{"nome", "VARCHAR(16)", true},
        {"progr", "SMALLINT", true},
        {"interno", "VARCHAR(8)", true},
        {"esterno", "VARCHAR(8)", true}},
       "elemento",
       {"nome", "progr"}},
      {"utenti",
       {{"nome", "VARCHAR(8)", true},
        {"denom", "VARCHAR(30)", false},
        {"passwd", "VARCHAR(9)", false},
        {"potere", "SMALLINT", true},
        {"progetto", "SMALLINT", false}},
       "nome",
       {"nome"}},
  };
  return tables;
}

const SpecialTable* FindSpecialTable(std::string_view name) {
  for (const SpecialTable& t : SpecialTables()) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

std::string ColumnLine(const SpecialColumn& c, const db::Dialect& dialect, bool sqlPath) {
  std::string type(c.type);
  if (type == "BIT") type = StripLeadingBlank(dialect.ColumnType('B', 0));
  // The file method never writes positions; the default keeps its rows insertable.
  if (!sqlPath && c.name == "posiz") type += " DEFAULT 0";
  return std::string(c.name) + " " + type + (c.notNull ? " NOT NULL" : " NULL") + ",\n";
}

constexpr std::string_view kAccessRefused =
    "ATTENZIONE: l'inizializzazione del database di tipo Access (*.MDB)\n"
    "tramite connessione ODBC non è consentita.\n\n"
    "Si consiglia di inizializzare il database Access tramite connessione\n"
    "DAO/JET e successivamente di utilizzarlo via ODBC.";

constexpr std::string_view kReservedPresent =
    "ATTENZIONE: una o più tavole riservate esistono già nel database.\n\n"
    "Dato che il database pare già creato non posso procedere oltre";

bool ReservedTablePresent(db::Database& db) {
  std::vector<std::string> names = db.ListTables();
  return std::any_of(names.begin(), names.end(), IsReservedTable);
}

}  // namespace

bool IsReservedTable(std::string_view name) {
  return std::any_of(kReservedTables.begin(), kReservedTables.end(), [&](std::string_view r) {
    return r.size() == name.size() && strncasecmp(r.data(), name.data(), r.size()) == 0;
  });
}

std::string SpecialTableSql(std::string_view table, const db::Dialect& dialect, bool sqlPath) {
  const SpecialTable* t = FindSpecialTable(table);
  if (t == nullptr) return {};
  std::string sql = "CREATE TABLE " + std::string(t->name) + " (\n";
  for (const SpecialColumn& c : t->columns) sql += ColumnLine(c, dialect, sqlPath);
  std::string keyName =
      sqlPath ? std::string(t->name) + "_" + std::string(t->keyName) : std::string(t->keyName);
  sql += "CONSTRAINT " + keyName + std::string(PrimaryKeyWords(dialect.engine())) + " (" +
         Join(t->key, ", ") + "))\n";
  return sql;
}

bool CreateSpecialTables(db::Database& db) {
  Ui& ui = db.ui();
  if (db.IsOdbc()) {
    if (db.DriverName() == "Access") {
      ui.Info(kAccessRefused);
      return false;
    }
    if (ReservedTablePresent(db)) {
      ui.Stop(kReservedPresent);
      return false;
    }
  }
  for (std::string_view name : kReservedTables) {
    if (!db.ExecuteSql(SpecialTableSql(name, db.dialect(), db.IsOdbc()))) {
      ui.Stop(WithDriverText("Errore in fase di inserimento tavola \"" + std::string(name) + "\"",
                             db.LastError().text),
              kSpecialTablesCaption);
      return false;
    }
  }
  return true;
}

// --- writers ---

DictionaryWriter::DictionaryWriter(db::Database& db)
    : db_(db),
      tavole_(std::make_unique<db::Table>(&db, "tavole")),
      campi_(std::make_unique<db::Table>(&db, "campi")),
      indici_(std::make_unique<db::Table>(&db, "indici")),
      indici2_(std::make_unique<db::Table>(&db, "indici2")),
      relaz_(std::make_unique<db::Table>(&db, "relaz")),
      relaz2_(std::make_unique<db::Table>(&db, "relaz2")) {}

DictionaryWriter::~DictionaryWriter() = default;

bool DictionaryWriter::IsOpen() const {
  return tavole_->IsOpen() && campi_->IsOpen() && indici_->IsOpen() && indici2_->IsOpen() &&
         relaz_->IsOpen() && relaz2_->IsOpen();
}

bool DictionaryWriter::WriteRow(db::Table& table, std::initializer_list<Field> fields) {
  if (!table.AddNew()) return false;
  for (const Field& f : fields) {
    if (!table.SetFieldText(f.column, f.text)) return false;
  }
  return table.Update();
}

bool DictionaryWriter::DefineTable(std::string_view name, std::string_view label,
                                   std::string_view description) {
  return WriteRow(*tavole_, {{"nome", std::string(name)},
                             {"denom", std::string(label)},
                             {"note", std::string(description)}});
}

bool DictionaryWriter::DefineColumn(std::string_view table, std::string_view column, char letter,
                                    int size, bool mandatory, std::string_view label,
                                    std::string_view description, std::string_view rule,
                                    std::string_view message) {
  if (table != positionTable_) {
    positionTable_ = std::string(table);
    position_ = 0;
  }
  int position = position_++;
  if (!campi_->AddNew()) return false;
  bool ok = campi_->SetFieldText("tavola", table) && campi_->SetFieldText("nome", column) &&
            campi_->SetFieldText("tipo", std::string(1, letter)) &&
            campi_->SetFieldText("size", std::to_string(size)) &&
            campi_->SetFieldText("obblig", mandatory ? "1" : "0") &&
            campi_->SetFieldText("denom", label) && campi_->SetFieldText("note", description) &&
            campi_->SetFieldText("regola", rule) && campi_->SetFieldText("mess", message);
  if (ok && db_.IsOdbc()) ok = campi_->SetFieldText("posiz", std::to_string(position));
  return ok && campi_->Update();
}

bool DictionaryWriter::DefineIndex(std::string_view table, std::string_view index, bool primaryKey,
                                   std::string_view label, std::string_view description) {
  return WriteRow(*indici_, {{"tavola", std::string(table)},
                             {"nome", std::string(index)},
                             {"primkey", primaryKey ? "1" : "0"},
                             {"denom", std::string(label)},
                             {"note", std::string(description)}});
}

bool DictionaryWriter::DefineIndexColumn(std::string_view table, std::string_view index,
                                         int position, std::string_view column) {
  return WriteRow(*indici2_, {{"tavola", std::string(table)},
                              {"nome", std::string(index)},
                              {"progr", std::to_string(position)},
                              {"campo", std::string(column)}});
}

bool DictionaryWriter::DefineRelation(std::string_view name, std::string_view parent,
                                      std::string_view child) {
  return WriteRow(*relaz_, {{"nome", std::string(name)},
                            {"interna", std::string(parent)},
                            {"esterna", std::string(child)}});
}

bool DictionaryWriter::DefineRelationColumn(std::string_view name, int position,
                                            std::string_view parentColumn,
                                            std::string_view childColumn) {
  return WriteRow(*relaz2_, {{"nome", std::string(name)},
                             {"progr", std::to_string(position)},
                             {"interno", std::string(parentColumn)},
                             {"esterno", std::string(childColumn)}});
}

}  // namespace kvt::schema
