#include "schema/generator.h"

#include "db/database.h"
#include "platform/ui.h"
#include "schema/build.h"
#include "schema/ddl.h"
#include "schema/model.h"
#include "schema/sql_text.h"

namespace kvt::schema {
namespace {

std::optional<Dictionary> ReadMarked(db::Database& db) {
  std::optional<Dictionary> d = ReadDictionary(db);
  if (d) MarkDuplicates(*d);
  return d;
}

bool HasUnknownType(db::Database& db, const DictTable& table) {
  for (const DictColumn& c : table.columns) {
    if (db.dialect().ColumnType(c.letter, c.size).empty()) {
      db.ui().Stop("Errore in fase di inserimento campo \"" + c.name + "\"",
                   TableCaption(table.name));
      return true;
    }
  }
  return false;
}

}  // namespace

bool Execute(db::Database& db, const std::string& sql, const std::string& failure,
             std::string_view caption) {
  if (db.ExecuteSql(sql)) return true;
  db.ui().Stop(WithDriverText(failure, db.LastError().text),
               caption.empty() ? kAppCaption : caption);
  return false;
}

bool GenerateSchemaSql(db::Database& db) {
  std::optional<Dictionary> d = ReadMarked(db);
  if (!d) return false;
  for (const PlannedStatement& s : SchemaStatements(*d, db.dialect())) {
    if (!Execute(db, s.sql, s.failure)) return false;
  }
  return true;
}

bool CreateFileTable(db::Database& db, const DictTable& table) {
  std::string caption = TableCaption(table.name);
  if (table.columns.empty()) {
    db.ui().Stop("Errore inizializzazione tavola \"" + table.name + "\"", caption);
    return false;
  }
  if (HasUnknownType(db, table)) return false;
  if (!Execute(db, CreateTableSql(table, db.dialect(), KeyNaming::AsIndex),
               "Errore in fase di inserimento tavola \"" + table.name + "\"", caption)) {
    return false;
  }
  const DictIndex* key = table.PrimaryIndex();
  for (const DictIndex& i : table.indices) {
    if (&i == key || i.duplicate) continue;
    if (!Execute(db, CreateIndexSql(table.name, i, db.dialect()),
                 "Tavola \"" + table.name + "\": errore creazione indice \"" + i.name + "\"",
                 caption)) {
      return false;
    }
  }
  return true;
}

bool CreateTableFromDictionary(db::Database& db, std::string_view table) {
  std::optional<Dictionary> d = ReadMarked(db);
  const DictTable* t = d ? d->Find(table) : nullptr;
  if (t == nullptr) {
    db.ui().Stop("Errore inizializzazione tavola \"" + std::string(table) + "\"",
                 TableCaption(table));
    return false;
  }
  return CreateFileTable(db, *t);
}

bool CreateRelationsFromDictionary(db::Database& db) {
  std::optional<Dictionary> d = ReadMarked(db);
  return d && EnsureRelations(db, *d, kRelationsCaption);
}

bool CreateSchemaFromDictionary(db::Database& db) {
  std::optional<Dictionary> d = ReadMarked(db);
  if (!d) return false;
  for (const DictTable& t : d->tables) {
    if (!CreateFileTable(db, t)) return false;
  }
  return EnsureRelations(db, *d, kRelationsCaption);
}

}  // namespace kvt::schema
