#include "schema/model.h"

#include <algorithm>
#include <map>
#include <optional>

#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "schema/catalogue.h"

namespace kvt::schema {
namespace {

// The key index first, then the others by name: the order the dictionary reader asks for,
// so that "the first index flagged primary key" is `codice` on every engine.
constexpr std::string_view kIndexOrder =
    "tavola, CASE WHEN nome = 'codice' THEN 0 ELSE 1 END, nome";

bool IndexBefore(const DictIndex& a, const DictIndex& b) {
  bool aKey = a.name == "codice", bKey = b.name == "codice";
  if (aKey != bKey) return aKey;
  return a.name < b.name;
}

bool RelationBefore(const DictRelation& a, const DictRelation& b) {
  return a.name < b.name;
}

// Runs the selection and calls `row` on every row; false when a read failed (shown), which
// leaves the dictionary incomplete.
template <typename RowFn>
[[nodiscard]] bool ReadRows(db::Selection& s, RowFn row) {
  return db::ForEachRow(s, [&] { row(s); }) == db::Walk::End;
}

std::optional<std::map<std::string, DictTable>> ReadTables(db::Database& db) {
  std::map<std::string, DictTable> tables;
  db::Selection s(&db);
  s.AddColumn("tavole", "nome", db::kSqlVarChar);
  s.SetFrom("tavole");
  const bool read = ReadRows(s, [&](db::Selection& r) {
    std::string name = r.GetText(0);
    tables[name].name = name;
  });
  if (!read) return std::nullopt;
  return tables;
}

bool ReadColumns(db::Database& db, std::map<std::string, DictTable>& tables) {
  db::Selection s(&db);
  s.AddColumn("campi", "tavola", db::kSqlVarChar);
  s.AddColumn("campi", "nome", db::kSqlVarChar);
  s.AddColumn("campi", "tipo", db::kSqlVarChar);
  s.AddColumn("campi", "size", db::kSqlSmallInt);
  s.AddColumn("campi", "obblig", db::kSqlSmallInt);
  s.SetFrom("campi");
  // The file method writes no positions: there the rows come in the order they were written
  // (SQLite's rowid, also the tie-break for a file read over ODBC).
  std::string order = db.IsOdbc() ? "tavola, posiz" : "tavola";
  if (const std::string inserted = db.dialect().InsertionOrder(); !inserted.empty())
    order += ", " + inserted;
  s.SetOrderBy(order);
  return ReadRows(s, [&](db::Selection& r) {
    auto t = tables.find(r.GetText(0));
    if (t == tables.end()) return;
    std::string type = r.GetText(2);
    t->second.columns.push_back(
        {r.GetText(1), type.empty() ? '\0' : type[0], r.GetShort(3), r.GetShort(4) != 0});
  });
}

bool ReadIndices(db::Database& db, std::map<std::string, DictTable>& tables) {
  db::Selection s(&db);
  s.AddColumn("indici", "tavola", db::kSqlVarChar);
  s.AddColumn("indici", "nome", db::kSqlVarChar);
  s.AddColumn("indici", "primkey", db::kSqlSmallInt);
  s.SetFrom("indici");
  s.SetOrderBy(kIndexOrder);
  const bool read = ReadRows(s, [&](db::Selection& r) {
    auto t = tables.find(r.GetText(0));
    if (t != tables.end()) t->second.indices.push_back({r.GetText(1), r.GetShort(2) != 0, {}});
  });
  if (!read) return false;
  db::Selection c(&db);
  c.AddColumn("indici2", "tavola", db::kSqlVarChar);
  c.AddColumn("indici2", "nome", db::kSqlVarChar);
  c.AddColumn("indici2", "campo", db::kSqlVarChar);
  c.SetFrom("indici2");
  c.SetOrderBy("tavola, nome, progr");
  return ReadRows(c, [&](db::Selection& r) {
    auto t = tables.find(r.GetText(0));
    if (t == tables.end()) return;
    std::string index = r.GetText(1);
    for (DictIndex& i : t->second.indices) {
      if (i.name == index) i.columns.push_back(r.GetText(2));
    }
  });
}

std::optional<std::vector<DictRelation>> ReadRelations(db::Database& db) {
  std::vector<DictRelation> relations;
  db::Selection s(&db);
  s.AddColumn("relaz", "nome", db::kSqlVarChar);
  s.AddColumn("relaz", "interna", db::kSqlVarChar);
  s.AddColumn("relaz", "esterna", db::kSqlVarChar);
  s.SetFrom("relaz");
  s.SetOrderBy("nome");
  const bool read = ReadRows(s, [&](db::Selection& r) {
    relations.push_back({r.GetText(0), r.GetText(1), r.GetText(2), {}, {}});
  });
  if (!read) return std::nullopt;
  db::Selection c(&db);
  c.AddColumn("relaz2", "nome", db::kSqlVarChar);
  c.AddColumn("relaz2", "interno", db::kSqlVarChar);
  c.AddColumn("relaz2", "esterno", db::kSqlVarChar);
  c.SetFrom("relaz2");
  c.SetOrderBy("nome, progr");
  const bool readColumns = ReadRows(c, [&](db::Selection& r) {
    std::string name = r.GetText(0);
    for (DictRelation& rel : relations) {
      if (rel.name != name) continue;
      rel.parentColumns.push_back(r.GetText(1));
      rel.childColumns.push_back(r.GetText(2));
    }
  });
  if (!readColumns) return std::nullopt;
  return relations;
}

// Hangs every relation on its child and its parent table.
Dictionary Assemble(std::map<std::string, DictTable> tables,
                    const std::vector<DictRelation>& relations) {
  for (const DictRelation& r : relations) {
    if (auto c = tables.find(r.child); c != tables.end()) c->second.asChild.push_back(r);
    if (auto p = tables.find(r.parent); p != tables.end()) p->second.asParent.push_back(r);
  }
  Dictionary d;
  for (auto& [name, table] : tables) {
    std::stable_sort(table.indices.begin(), table.indices.end(), IndexBefore);
    std::stable_sort(table.asChild.begin(), table.asChild.end(), RelationBefore);
    std::stable_sort(table.asParent.begin(), table.asParent.end(), RelationBefore);
    d.tables.push_back(std::move(table));
  }
  return d;
}

}  // namespace

const DictIndex* DictTable::PrimaryIndex() const {
  for (const DictIndex& i : indices) {
    if (i.primaryKey) return &i;
  }
  return nullptr;
}

const DictTable* Dictionary::Find(std::string_view table) const {
  for (const DictTable& t : tables) {
    if (t.name == table) return &t;
  }
  return nullptr;
}

Dictionary DictionaryFromCatalogue() {
  std::map<std::string, DictTable> tables;
  for (const TableDef& def : ApplicationTables()) {
    DictTable& t = tables[std::string(def.name)];
    t.name = def.name;
    for (const ColumnDef& c : def.columns) {
      t.columns.push_back({std::string(c.name), c.letter, c.size, c.mandatory});
    }
    for (const IndexDef& i : def.indices) {
      t.indices.push_back(
          {std::string(i.name), i.primaryKey, {i.columns.begin(), i.columns.end()}});
    }
  }
  std::vector<DictRelation> relations;
  for (const RelationDef& def : ApplicationRelations()) {
    DictRelation r{std::string(def.name), std::string(def.parent), std::string(def.child), {}, {}};
    for (const auto& [parent, child] : def.pairs) {
      r.parentColumns.emplace_back(parent);
      r.childColumns.emplace_back(child);
    }
    relations.push_back(std::move(r));
  }
  std::sort(relations.begin(), relations.end(), RelationBefore);
  return Assemble(std::move(tables), relations);
}

void MarkDuplicates(Dictionary& dictionary) {
  for (DictTable& t : dictionary.tables) {
    for (size_t i = 0; i < t.indices.size(); ++i) {
      for (size_t j = 0; j < i; ++j) {
        if (t.indices[j].columns == t.indices[i].columns) t.indices[i].duplicate = true;
      }
    }
    for (size_t i = 0; i < t.asParent.size(); ++i) {
      const std::vector<std::string>& cols = t.asParent[i].parentColumns;
      bool dup = std::any_of(t.indices.begin(), t.indices.end(),
                             [&](const DictIndex& x) { return x.columns == cols; });
      for (size_t j = 0; j < i && !dup; ++j) dup = t.asParent[j].parentColumns == cols;
      t.asParent[i].parentSetDuplicate = dup;
    }
  }
}

std::optional<Dictionary> ReadDictionary(db::Database& db) {
  std::optional<std::map<std::string, DictTable>> tables = ReadTables(db);
  if (!tables || tables->empty()) return std::nullopt;
  if (!ReadColumns(db, *tables) || !ReadIndices(db, *tables)) return std::nullopt;
  std::optional<std::vector<DictRelation>> relations = ReadRelations(db);
  if (!relations) return std::nullopt;
  return Assemble(std::move(*tables), *relations);
}

}  // namespace kvt::schema
