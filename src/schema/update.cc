// Completing existing tables and relations from the dictionary.
#include <algorithm>
#include <functional>
#include <optional>

#include "db/catalog.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"
#include "schema/build.h"
#include "schema/ddl.h"
#include "schema/generator.h"
#include "schema/sql_text.h"

namespace kvt::schema {
namespace {

const db::LiveColumn* FindLiveColumn(const db::LiveTable& live, std::string_view name) {
  for (const db::LiveColumn& c : live.columns) {
    if (SameName(c.name, name)) return &c;
  }
  return nullptr;
}

bool HasForeignKey(const db::LiveTable& live, const DictRelation& r) {
  return std::any_of(
      live.foreignKeys.begin(), live.foreignKeys.end(), [&](const db::LiveForeignKey& fk) {
        return SameName(fk.parentTable, r.parent) && SameNames(fk.parentColumns, r.parentColumns) &&
               SameNames(fk.childColumns, r.childColumns);
      });
}

bool HasIndexOn(const db::LiveTable& live, const std::vector<std::string>& columns) {
  if (SameNames(live.primaryKey, columns)) return true;
  return std::any_of(live.indices.begin(), live.indices.end(),
                     [&](const db::LiveIndex& i) { return SameNames(i.columns, columns); });
}

bool HasIndexNamed(const db::LiveTable& live, std::string_view name) {
  return std::any_of(live.indices.begin(), live.indices.end(),
                     [&](const db::LiveIndex& i) { return SameName(i.name, name); });
}

// The value given to a new mandatory column in rows that already exist.
std::string ZeroLiteral(char letter, const db::Dialect& dialect) {
  switch (letter) {
    case 'A':
    case 'M':
      return "''";
    case 'D':
      return dialect.DateLiteral(1, 1, 1600);  // the "no lower bound" date
    default:
      return "0";
  }
}

std::string LiveColumnDefinition(const db::LiveColumn& c) {
  std::string type = c.typeName;
  if (type.find('(') == std::string::npos && db::IsTextType(c.sqlType) && c.size > 0) {
    type += "(" + std::to_string(c.size) + ")";
  }
  return c.name + " " + type + (c.nullable ? " NULL" : " NOT NULL");
}

std::string LiveForeignKeyClause(const db::LiveForeignKey& fk) {
  std::string sql = fk.name.empty() ? "" : "CONSTRAINT " + fk.name + " ";
  return sql + "FOREIGN KEY (" + Join(fk.childColumns, ", ") + ") REFERENCES " + fk.parentTable +
         " (" + Join(fk.parentColumns, ", ") + ")";
}

struct Rebuild {
  std::string create;
  std::string copy;
  std::vector<std::string> indices;
};

// The statements that rebuild `live` with the dictionary columns it lacks (addColumns), the
// dictionary key when it has none, and the relations `add`; existing columns, keys, foreign
// keys and indices are kept as they are.
Rebuild PlanRebuild(const DictTable& dict, const db::LiveTable& live, bool addColumns,
                    const std::vector<DictRelation>& add, const db::Dialect& dialect) {
  std::string t = live.name, work = live.name + "_kvtnew";
  std::vector<std::string> defs, targets, sources;
  for (const db::LiveColumn& c : live.columns) {
    defs.push_back(LiveColumnDefinition(c));
    targets.push_back(c.name);
    sources.push_back(c.name);
  }
  for (const DictColumn& c : dict.columns) {
    if (!addColumns || FindLiveColumn(live, c.name)) continue;
    defs.push_back(ColumnDefinition(c, dialect));
    if (!c.mandatory) continue;
    targets.push_back(c.name);
    sources.push_back(ZeroLiteral(c.letter, dialect));
  }
  const DictIndex* key = dict.PrimaryIndex();
  if (!live.primaryKey.empty()) {
    defs.push_back("CONSTRAINT " + std::string(key ? key->name : "codice") + " PRIMARY KEY (" +
                   Join(live.primaryKey, ", ") + ")");
  } else if (key) {
    defs.push_back("CONSTRAINT " + key->name + " PRIMARY KEY (" + Join(key->columns, ", ") + ")");
  }
  for (const db::LiveForeignKey& fk : live.foreignKeys) defs.push_back(LiveForeignKeyClause(fk));
  for (const DictRelation& r : add) {
    defs.push_back(ForeignKeyClause(r, dialect).substr(2));  // without its leading ",\n"
  }
  Rebuild plan;
  plan.create = "CREATE TABLE " + work + " (\n" + Join(defs, ",\n") + "\n)";
  plan.copy = "INSERT INTO " + work + " (" + Join(targets, ", ") + ") SELECT " +
              Join(sources, ", ") + " FROM " + t;
  for (const db::LiveIndex& i : live.indices) {
    if (i.name.rfind("sqlite_autoindex_", 0) == 0) continue;
    plan.indices.push_back(std::string("CREATE ") + (i.unique ? "UNIQUE " : "") + "INDEX " +
                           i.name + " ON " + t + " (" + Join(i.columns, ", ") + ")");
  }
  return plan;
}

bool RebuildTable(db::Database& db, const DictTable& dict, const db::LiveTable& live,
                  bool addColumns, const std::vector<DictRelation>& add, const std::string& failure,
                  std::string_view caption) {
  Rebuild plan = PlanRebuild(dict, live, addColumns, add, db.dialect());
  std::vector<std::string> steps = {plan.create, plan.copy, "DROP TABLE " + live.name,
                                    "ALTER TABLE " + live.name + "_kvtnew RENAME TO " + live.name};
  steps.insert(steps.end(), plan.indices.begin(), plan.indices.end());
  for (const std::string& sql : steps) {
    if (!Execute(db, sql, failure, caption)) return false;
  }
  return true;
}

// Rows of the child that the relation would refuse (their parent row is missing); nullopt
// when the count could not be read.
std::optional<long> CountBrokenRows(db::Database& db, const DictRelation& r) {
  std::vector<std::string> on, where;
  for (size_t i = 0; i < r.childColumns.size(); ++i) {
    std::string c = r.child + "." + r.childColumns[i], p = r.parent + "." + r.parentColumns[i];
    on.push_back(c + " = " + p);
    where.push_back("NOT (" + db.dialect().IsNull(c) + ")");
  }
  where.push_back(db.dialect().IsNull(r.parent + "." + r.parentColumns[0]));
  db::Selection s(&db);
  s.AddColumn(r.child, r.childColumns[0], db::kSqlInteger);
  s.SetFrom(r.child + " LEFT JOIN " + r.parent + " ON " + Join(on, " AND "));
  s.SetWhere(Join(where, " AND "));
  long rows = 0;
  if (db::ForEachRow(s, [&] { ++rows; }) != db::Walk::End) return std::nullopt;
  return rows;
}

bool RefuseBrokenRelation(db::Database& db, const DictRelation& r, std::string_view caption) {
  const std::optional<long> counted = CountBrokenRows(db, r);
  if (!counted) return true;  // the read's failure has been shown
  const long broken = *counted;
  if (broken == 0) return false;
  db.ui().Stop(
      WithDriverText("Errore creazione relazione \"" + r.name + "\"",
                     "Righe della tavola \"" + r.child + "\" senza corrispondenza nella tavola \"" +
                         r.parent + "\": " + std::to_string(broken)),
      caption);
  return true;
}

// The relations where `t` is the child that the live table lacks; a relation whose parent
// table does not exist (yet) waits.
bool AddForeignKeys(db::Database& db, const DictTable& t, std::string_view caption) {
  db::LiveTable live = db::ReadLiveTable(db, t.name);
  if (live.name.empty()) return true;
  std::vector<DictRelation> missing;
  for (const DictRelation& r : t.asChild) {
    if (!HasForeignKey(live, r) && db.TableExists(r.parent)) missing.push_back(r);
  }
  for (const DictRelation& r : missing) {
    if (RefuseBrokenRelation(db, r, caption)) return false;
  }
  if (missing.empty()) return true;
  if (db.dialect().ForeignKeysInCreateTable()) {
    return RebuildTable(db, t, live, false, missing,
                        "Errore creazione relazione \"" + missing.front().name + "\"", caption);
  }
  for (const DictRelation& r : missing) {
    if (!Execute(db, ForeignKeySql(r, db.dialect()),
                 "Errore creazione relazione \"" + r.name + "\"", caption)) {
      return false;
    }
  }
  return true;
}

bool AddParentIndices(db::Database& db, const DictTable& t, std::string_view caption) {
  bool needed = std::any_of(t.asParent.begin(), t.asParent.end(),
                            [](const DictRelation& r) { return !r.parentSetDuplicate; });
  if (!needed) return true;
  db::LiveTable live = db::ReadLiveTable(db, t.name);
  if (live.name.empty()) return true;
  for (const DictRelation& r : t.asParent) {
    if (r.parentSetDuplicate || HasIndexNamed(live, "idx_" + r.name)) continue;
    if (!Execute(db, RelationIndexSql(r, db.dialect()),
                 "Errore creazione indice \"idx_" + r.name + "\" tavola \"" + t.name + "\"",
                 caption)) {
      return false;
    }
  }
  return true;
}

// Runs `work` as one schema change: outside a transaction it gets its own, with foreign-key
// checks off on SQLite (they cannot be switched inside one).
bool AsSchemaChange(db::Database& db, const std::function<bool()>& work) {
  if (db.InTransaction()) return work();
  ForeignKeyChecksOff off(db);
  db::Transaction tx(db);
  return work() && tx.Commit();
}

// Engines with ALTER TABLE: the missing columns (a mandatory one gets the zero value in the
// rows that exist), then the key if the table has none.
bool AlterInPlace(db::Database& db, const DictTable& dict, const db::LiveTable& live,
                  const std::vector<const DictColumn*>& missing) {
  std::string caption = TableCaption(dict.name);
  for (const DictColumn* c : missing) {
    std::string def = !c->mandatory
                          ? ColumnDefinition(*c, db.dialect())
                          : c->name + db.dialect().ColumnType(c->letter, c->size) + " DEFAULT " +
                                ZeroLiteral(c->letter, db.dialect()) + " NOT NULL";
    if (!Execute(db, "ALTER TABLE " + dict.name + " ADD " + def,
                 "Errore in fase di inserimento campo \"" + c->name + "\"", caption)) {
      return false;
    }
  }
  const DictIndex* key = dict.PrimaryIndex();
  if (!key || !live.primaryKey.empty()) return true;
  return Execute(db,
                 "ALTER TABLE " + dict.name + " ADD CONSTRAINT " + dict.name + "_" + key->name +
                     std::string(PrimaryKeyWords(db.dialect().engine())) + " (" +
                     Join(key->columns, ", ") + ")",
                 "Tavola \"" + dict.name + "\": errore creazione indice \"" + key->name + "\"",
                 caption);
}

// The secondary indices whose column list no live index has.
bool AddMissingIndices(db::Database& db, const DictTable& dict) {
  db::LiveTable live = db::ReadLiveTable(db, dict.name);
  const DictIndex* key = dict.PrimaryIndex();
  for (const DictIndex& i : dict.indices) {
    if (&i == key || i.duplicate || HasIndexOn(live, i.columns)) continue;
    if (!Execute(db, CreateIndexSql(dict.name, i, db.dialect()),
                 "Tavola \"" + dict.name + "\": errore creazione indice \"" + i.name + "\"",
                 TableCaption(dict.name))) {
      return false;
    }
  }
  return true;
}

// Creates the table, or appends the columns, key and indices it lacks.
bool CompleteTable(db::Database& db, const DictTable& dict) {
  db::LiveTable live = db::ReadLiveTable(db, dict.name);
  if (live.name.empty()) return CreateFileTable(db, dict);
  std::vector<const DictColumn*> missing;
  for (const DictColumn& c : dict.columns) {
    if (!FindLiveColumn(live, c.name)) missing.push_back(&c);
  }
  bool needKey = dict.PrimaryIndex() && live.primaryKey.empty();
  bool needMandatory =
      std::any_of(missing.begin(), missing.end(), [](const DictColumn* c) { return c->mandatory; });
  bool done = db.dialect().AddsConstraintsByRebuild() && (needKey || needMandatory)
                  ? RebuildTable(db, dict, live, true, {},
                                 "Errore in fase di inserimento tavola \"" + dict.name + "\"",
                                 TableCaption(dict.name))
                  : AlterInPlace(db, dict, live, missing);
  return done && AddMissingIndices(db, dict);
}

}  // namespace

ForeignKeyChecksOff::ForeignKeyChecksOff(db::Database& db)
    : db_(db),
      active_(!db.dialect().ForeignKeyChecksSql(false).empty() && !db.InTransaction()) {
  // Not switched off: the checks then refuse the step that needed them off, with its message.
  if (active_) active_ = db_.ExecuteSql(db_.dialect().ForeignKeyChecksSql(false));
}

ForeignKeyChecksOff::~ForeignKeyChecksOff() {
  if (active_) (void)db_.ExecuteSql(db_.dialect().ForeignKeyChecksSql(true));
}

bool EnsureRelations(db::Database& db, const Dictionary& dictionary, std::string_view caption) {
  for (const DictTable& t : dictionary.tables) {
    if (!AddParentIndices(db, t, caption)) return false;
  }
  for (const DictTable& t : dictionary.tables) {
    if (!AddForeignKeys(db, t, caption)) return false;
  }
  return true;
}

bool UpdateTableFromDictionary(db::Database& db, std::string_view table) {
  std::optional<Dictionary> d = ReadDictionary(db);
  if (d) MarkDuplicates(*d);
  const DictTable* t = d ? d->Find(table) : nullptr;
  if (t == nullptr) {
    db.ui().Stop("Errore inizializzazione tavola \"" + std::string(table) + "\"",
                 TableCaption(table));
    return false;
  }
  return AsSchemaChange(db, [&] { return CompleteTable(db, *t); });
}

bool UpdateRelationsFromDictionary(db::Database& db) {
  std::optional<Dictionary> d = ReadDictionary(db);
  if (!d) return false;
  MarkDuplicates(*d);
  return AsSchemaChange(db, [&] { return EnsureRelations(db, *d, kRelationsCaption); });
}

}  // namespace kvt::schema
