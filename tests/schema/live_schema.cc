#include "live_schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "db/catalog.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "schema/catalogue.h"
#include "schema/model.h"
#include "schema/seed.h"

namespace kvt::schema::test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Columns(const std::vector<std::string>& cols) {
  std::string out;
  for (const std::string& c : cols) out += Lower(c) + ",";
  return out;
}

enum class Kind { Text, Small, Integer, Float, Date, Binary, Other };

Kind KindOf(int sqlType) {
  using namespace db;
  if (IsTextType(sqlType)) return Kind::Text;
  if (IsDateType(sqlType)) return Kind::Date;
  switch (sqlType) {
    case kSqlBit:
    case kSqlTinyInt:
    case kSqlSmallInt:
      return Kind::Small;
    case kSqlInteger:
      return Kind::Integer;
    case kSqlReal:
    case kSqlFloat:
    case kSqlDouble:
      return Kind::Float;
    case kSqlLongVarBinary:
    case kSqlVarBinary:
    case -2:
      return Kind::Binary;  // BINARY
    default:
      return Kind::Other;
  }
}

Kind KindOf(char letter) {
  switch (letter) {
    case 'A':
      return Kind::Text;
    case 'B':
    case 'I':
      return Kind::Small;
    case 'L':
      return Kind::Integer;
    case 'F':
      return Kind::Float;
    case 'D':
      return Kind::Date;
    case 'O':
      return Kind::Binary;
    default:
      return Kind::Other;
  }
}

// "name|unique|cols" of the indices a table should have besides its key.
std::set<std::string> ExpectedIndices(const DictTable& t) {
  std::set<std::string> out;
  const DictIndex* key = t.PrimaryIndex();
  for (const DictIndex& i : t.indices) {
    if (&i == key || i.duplicate) continue;
    out.insert(Lower(t.name + "_" + i.name) + (i.primaryKey ? "|u|" : "|n|") + Columns(i.columns));
  }
  for (const DictRelation& r : t.asParent) {
    if (!r.parentSetDuplicate)
      out.insert(Lower("idx_" + r.name) + "|u|" + Columns(r.parentColumns));
  }
  return out;
}

// The live indices except the one that implements the key (the key's columns in key order).
std::set<std::string> LiveIndices(const db::LiveTable& live, const std::set<std::string>& expected,
                                  const std::string& keyColumns, bool* keySeen) {
  std::set<std::string> out;
  *keySeen = false;
  for (const db::LiveIndex& i : live.indices) {
    std::string text = Lower(i.name) + (i.unique ? "|u|" : "|n|") + Columns(i.columns);
    if (i.unique && Columns(i.columns) == keyColumns && !expected.count(text) && !*keySeen) {
      *keySeen = true;
      continue;
    }
    out.insert(text);
  }
  return out;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  for (std::string& s : v) s = Lower(s);
  std::sort(v.begin(), v.end());
  return v;
}

std::set<std::string> ExpectedForeignKeys(const DictTable& t) {
  std::set<std::string> out;
  for (const DictRelation& r : t.asChild) {
    out.insert(Lower(r.parent) + "|" + Columns(r.parentColumns) + "|" + Columns(r.childColumns));
  }
  return out;
}

std::set<std::string> LiveForeignKeys(const db::LiveTable& live) {
  std::set<std::string> out;
  for (const db::LiveForeignKey& fk : live.foreignKeys) {
    out.insert(Lower(fk.parentTable) + "|" + Columns(fk.parentColumns) + "|" +
               Columns(fk.childColumns));
  }
  return out;
}

void ExpectTable(const db::LiveTable& live, const DictTable& t) {
  SCOPED_TRACE(t.name);
  ASSERT_EQ(live.columns.size(), t.columns.size());
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const db::LiveColumn& l = live.columns[i];
    const DictColumn& c = t.columns[i];
    EXPECT_EQ(Lower(l.name), Lower(c.name));
    EXPECT_EQ(KindOf(l.sqlType), KindOf(c.letter)) << c.name << " " << l.typeName;
    EXPECT_EQ(l.nullable, !c.mandatory) << c.name;
    if (c.letter == 'A') {
      EXPECT_EQ(l.size, c.size) << c.name;
    }
  }
  // The key's columns, and the index that keeps them in key order (drivers differ in the
  // order they list key columns).
  const std::vector<std::string>& key = t.PrimaryIndex()->columns;
  EXPECT_EQ(Sorted(live.primaryKey), Sorted(key));
  std::set<std::string> expected = ExpectedIndices(t);
  bool keyIndex = false;
  EXPECT_EQ(LiveIndices(live, expected, Columns(key), &keyIndex), expected);
  EXPECT_TRUE(keyIndex);
  EXPECT_EQ(LiveForeignKeys(live), ExpectedForeignKeys(t));
}

struct Reserved {
  std::string name;
  size_t columns;
  std::vector<std::string> key;
};

const std::vector<Reserved>& ReservedTables() {
  static const std::vector<Reserved> tables = {{"tavole", 3, {"nome"}},
                                               {"campi", 10, {"tavola", "nome"}},
                                               {"indici", 5, {"tavola", "nome"}},
                                               {"indici2", 4, {"tavola", "nome", "progr"}},
                                               {"relaz", 3, {"nome"}},
                                               {"relaz2", 4, {"nome", "progr"}},
                                               {"utenti", 5, {"nome"}}};
  return tables;
}

// Rows of a selection as "a|b|c" texts.
std::vector<std::string> Rows(db::Database& db, std::string_view table,
                              const std::vector<std::pair<std::string, int>>& columns,
                              std::string_view order, std::string_view where = {}) {
  db::Selection s(&db);
  for (const auto& [c, type] : columns) s.AddColumn(table, c, type);
  s.SetFrom(table);
  if (!where.empty()) s.SetWhere(where);
  s.SetOrderBy(order);
  std::vector<std::string> rows;
  if (!s.Open()) return rows;
  do {
    std::string row;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) row += "|";
      row += s.IsNull(static_cast<int>(i))
                 ? "<NULL>"
                 : s.GetTextByName(std::string(table) + "." + columns[i].first);
    }
    rows.push_back(row);
  } while (s.MoveNext());
  return rows;
}

}  // namespace

void ExpectLiveSchemaMatchesCatalogue(db::Database& db) {
  Dictionary d = DictionaryFromCatalogue();
  MarkDuplicates(d);
  std::vector<db::LiveTable> live = db::ReadLiveSchema(db);
  std::map<std::string, const db::LiveTable*> byName;
  for (const db::LiveTable& t : live) byName[Lower(t.name)] = &t;
  std::set<std::string> names, expectedNames;
  for (const auto& [name, t] : byName) names.insert(name);
  for (const DictTable& t : d.tables) {
    expectedNames.insert(Lower(t.name));
    auto it = byName.find(Lower(t.name));
    if (it == byName.end()) continue;
    ExpectTable(*it->second, t);
  }
  for (const Reserved& r : ReservedTables()) {
    expectedNames.insert(r.name);
    auto it = byName.find(r.name);
    if (it == byName.end()) continue;
    EXPECT_EQ(it->second->columns.size(), r.columns) << r.name;
    EXPECT_EQ(Columns(it->second->primaryKey), Columns(r.key)) << r.name;
    EXPECT_TRUE(it->second->foreignKeys.empty()) << r.name;
  }
  EXPECT_EQ(names, expectedNames);
  EXPECT_EQ(names.size(), 45u);
  // The cases that matter, spelled out rather than derived.
  std::map<std::string, std::set<std::string>> named;
  for (const std::string table : {"comuni", "local", "lotti", "polferma", "symday"}) {
    for (const db::LiveIndex& i : db::ReadLiveTable(db, table).indices) {
      named[table].insert(Lower(i.name) + (i.unique ? "|u|" : "|n|") + Columns(i.columns));
    }
  }
  EXPECT_TRUE(named["comuni"].count("comuni_istat|u|istat,"));
  EXPECT_TRUE(named["comuni"].count("idx_fermate_comune|u|id,"));
  EXPECT_FALSE(named["comuni"].count("idx_local_comune|u|istat,"));
  EXPECT_TRUE(named["local"].count("idx_fermate_local|u|id,"));
  EXPECT_TRUE(named["lotti"].count("idx_corse_lotto|u|id,"));
  EXPECT_TRUE(named["polferma"].count("polferma_polo|n|id,"));
  EXPECT_TRUE(named["symday"].count("symday_data|n|tipo,data,"));
}

void ExpectDictionaryMatchesCatalogue(db::Database& db) {
  std::optional<Dictionary> read = ReadDictionary(db);
  ASSERT_TRUE(read.has_value());
  EXPECT_TRUE(*read == DictionaryFromCatalogue());
  std::vector<std::string> tables, columns, indices;
  for (const TableDef& t : ApplicationTables()) {
    tables.push_back(std::string(t.name) + "|" + std::string(t.label) + "|" +
                     std::string(t.description));
    int position = 0;
    for (const ColumnDef& c : t.columns) {
      columns.push_back(std::string(t.name) + "|" + std::string(c.name) + "|" +
                        std::string(c.label) + "|" + std::string(c.description) +
                        "|<NULL>|<NULL>|" + std::to_string(db.IsOdbc() ? position : 0));
      ++position;
    }
    for (const IndexDef& i : t.indices) {
      indices.push_back(std::string(t.name) + "|" + std::string(i.name) + "|" +
                        std::string(i.label) + "|<NULL>");
    }
  }
  std::sort(tables.begin(), tables.end());
  std::sort(columns.begin(), columns.end());
  std::sort(indices.begin(), indices.end());
  using db::kSqlSmallInt, db::kSqlVarChar;
  EXPECT_EQ(Rows(db, "tavole",
                 {{"nome", kSqlVarChar}, {"denom", kSqlVarChar}, {"note", kSqlVarChar}}, "nome"),
            tables);
  std::vector<std::string> liveColumns = Rows(db, "campi",
                                              {{"tavola", kSqlVarChar},
                                               {"nome", kSqlVarChar},
                                               {"denom", kSqlVarChar},
                                               {"note", kSqlVarChar},
                                               {"regola", kSqlVarChar},
                                               {"mess", kSqlVarChar},
                                               {"posiz", kSqlSmallInt}},
                                              "tavola, nome");
  std::sort(liveColumns.begin(), liveColumns.end());
  EXPECT_EQ(liveColumns, columns);
  std::vector<std::string> liveIndices = Rows(db, "indici",
                                              {{"tavola", kSqlVarChar},
                                               {"nome", kSqlVarChar},
                                               {"denom", kSqlVarChar},
                                               {"note", kSqlVarChar}},
                                              "tavola, nome");
  std::sort(liveIndices.begin(), liveIndices.end());
  EXPECT_EQ(liveIndices, indices);
}

void ExpectSeedRows(db::Database& db) {
  using db::kSqlDouble, db::kSqlInteger, db::kSqlSmallInt, db::kSqlVarChar;
  std::vector<SeedEntry> companies = SeedCompanies(), authorities = SeedAuthorities();
  auto texts = [](std::vector<SeedEntry> list) {
    std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.code < b.code; });
    std::vector<std::string> out;
    for (const SeedEntry& e : list) out.push_back(std::to_string(e.code) + "|" + e.name);
    return out;
  };
  EXPECT_EQ(Rows(db, "regazi", {{"codice", kSqlSmallInt}, {"denom", kSqlVarChar}}, "codice"),
            texts(companies));
  EXPECT_EQ(Rows(db, "regent", {{"codice", kSqlSmallInt}, {"denom", kSqlVarChar}}, "codice"),
            texts(authorities));
  EXPECT_EQ(Rows(db, "bacini", {{"ID", kSqlSmallInt}, {"denom", kSqlVarChar}}, "ID"),
            std::vector<std::string>{"0|*** bacino non assegnato ***"});
  EXPECT_EQ(Rows(db, "lotti", {{"ID", kSqlSmallInt}, {"denom", kSqlVarChar}}, "ID"),
            std::vector<std::string>{"0|*** lotto non assegnato ***"});
  EXPECT_EQ(Rows(db, "comuni",
                 {{"ID", kSqlSmallInt},
                  {"denom", kSqlVarChar},
                  {"provin", kSqlVarChar},
                  {"istat", kSqlVarChar},
                  {"bacino", kSqlSmallInt},
                  {"centro_x", kSqlDouble},
                  {"centro_y", kSqlDouble}},
                 "ID"),
            std::vector<std::string>{
                "0|*** comune non assegnato ***|||0|000000000000000,0000|000000000000000,0000"});
  EXPECT_EQ(Rows(db, "local",
                 {{"ID", kSqlSmallInt},
                  {"denom", kSqlVarChar},
                  {"istat", kSqlVarChar},
                  {"nucleo", kSqlSmallInt},
                  {"abitanti", kSqlInteger},
                  {"centro_x", kSqlDouble},
                  {"centro_y", kSqlDouble}},
                 "ID"),
            std::vector<std::string>{
                "0|*** località non assegnata ***||0|0|000000000000000,0000|000000000000000,0000"});
}

}  // namespace kvt::schema::test
