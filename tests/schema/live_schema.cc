#include "live_schema.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "db/catalog.h"
#include "db/sql_types.h"
#include "schema/catalogue.h"
#include "schema/dictionary.h"
#include "schema/model.h"
#include "schema/seed.h"
#include "support/engines.h"

namespace kvt::schema::test {
namespace {

using Strings = std::vector<std::string>;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Columns(const Strings& cols) {
  std::string out;
  for (const std::string& c : cols) out += Lower(c) + ",";
  return out;
}

// The type letter a live column stands for (flags are kept as small integers).
char LetterOf(int sqlType) {
  using namespace db;
  if (IsTextType(sqlType)) return 'A';
  if (IsDateType(sqlType)) return 'D';
  if (sqlType == kSqlBit || sqlType == kSqlTinyInt || sqlType == kSqlSmallInt) return 'I';
  if (sqlType == kSqlInteger) return 'L';
  if (sqlType == kSqlReal || sqlType == kSqlFloat || sqlType == kSqlDouble) return 'F';
  if (sqlType == kSqlLongVarBinary || sqlType == kSqlVarBinary || sqlType == kSqlBinary) return 'O';
  return '?';
}

// "name|u|cols" of the indices a table should have besides its key: its other indices and
// the idx_ indices of the relations whose parent columns no index covers.
std::set<std::string> ExpectedIndices(const DictTable& t) {
  std::set<std::string> out;
  for (const DictIndex& i : t.indices) {
    if (&i == t.PrimaryIndex() || i.duplicate) continue;
    out.insert(Lower(t.name + "_" + i.name) + (i.primaryKey ? "|u|" : "|n|") + Columns(i.columns));
  }
  for (const DictRelation& r : t.asParent) {
    if (!r.parentSetDuplicate)
      out.insert(Lower("idx_" + r.name) + "|u|" + Columns(r.parentColumns));
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
    EXPECT_EQ(LetterOf(l.sqlType), c.letter == 'B' ? 'I' : c.letter) << c.name << l.typeName;
    EXPECT_EQ(l.nullable, !c.mandatory) << c.name;
    if (c.letter == 'A') {
      EXPECT_EQ(l.size, c.size) << c.name;
    }
  }
  // Drivers differ in the order they list key columns; the key's own index keeps it.
  const Strings& key = t.PrimaryIndex()->columns;
  Strings liveKey = live.primaryKey, sortedKey = key;
  for (Strings* k : {&liveKey, &sortedKey}) {
    for (std::string& s : *k) s = Lower(s);
    std::sort(k->begin(), k->end());
  }
  EXPECT_EQ(liveKey, sortedKey);
  std::set<std::string> expected = ExpectedIndices(t), indices;
  bool keyIndex = false;
  for (const db::LiveIndex& i : live.indices) {
    std::string text = Lower(i.name) + (i.unique ? "|u|" : "|n|") + Columns(i.columns);
    if (!keyIndex && i.unique && Columns(i.columns) == Columns(key) && !expected.count(text)) {
      keyIndex = true;
    } else {
      indices.insert(text);
    }
  }
  EXPECT_EQ(indices, expected);
  EXPECT_TRUE(keyIndex);
  std::set<std::string> fks, expectedFks;
  for (const db::LiveForeignKey& fk : live.foreignKeys)
    fks.insert(Lower(fk.parentTable) + "|" + Columns(fk.parentColumns) + Columns(fk.childColumns));
  for (const DictRelation& r : t.asChild)
    expectedFks.insert(Lower(r.parent) + "|" + Columns(r.parentColumns) + Columns(r.childColumns));
  EXPECT_EQ(fks, expectedFks);
}

// Rows of a query as kvt::test::QueryRows gives them, sorted.
Strings Rows(db::Database& db, const std::string& sql, int columns) {
  Strings rows = kvt::test::QueryRows(db, sql, columns);
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace

void ExpectLiveSchemaMatchesCatalogue(db::Database& db) {
  Dictionary d = DictionaryFromCatalogue();
  MarkDuplicates(d);
  std::map<std::string, db::LiveTable> live;
  for (db::LiveTable& t : db::ReadLiveSchema(db)) live[Lower(t.name)] = std::move(t);
  std::set<std::string> names, expectedNames;
  for (const auto& [name, t] : live) names.insert(name);
  for (const DictTable& t : d.tables) {
    expectedNames.insert(Lower(t.name));
    if (live.count(Lower(t.name))) ExpectTable(live[Lower(t.name)], t);
  }
  // The dictionary tables, whose statements the statement tests pin, and nothing else.
  for (std::string_view name : kReservedTables) expectedNames.insert(std::string(name));
  EXPECT_EQ(names, expectedNames);
  EXPECT_EQ(names.size(), 45u);
}

void ExpectDictionaryMatchesCatalogue(db::Database& db) {
  std::optional<Dictionary> read = ReadDictionary(db);
  ASSERT_TRUE(read.has_value());
  EXPECT_TRUE(*read == DictionaryFromCatalogue());
  // The texts byte for byte, the NULL rules and the positions (written by the ODBC method).
  Strings tables, columns, indices;
  for (const TableDef& t : ApplicationTables()) {
    std::string name(t.name);
    tables.push_back(name + "|" + std::string(t.label) + "|" + std::string(t.description));
    int position = 0;
    for (const ColumnDef& c : t.columns) {
      columns.push_back(name + "|" + std::string(c.name) + "|" + std::string(c.label) + "|" +
                        std::string(c.description) + "|NULL|NULL|" +
                        std::to_string(db.IsOdbc() ? position++ : 0));
    }
    for (const IndexDef& i : t.indices)
      indices.push_back(name + "|" + std::string(i.name) + "|" + std::string(i.label) + "|NULL");
  }
  for (Strings* v : {&tables, &columns, &indices}) std::sort(v->begin(), v->end());
  EXPECT_EQ(Rows(db, "SELECT nome, denom, note FROM tavole", 3), tables);
  EXPECT_EQ(Rows(db, "SELECT tavola, nome, denom, note, regola, mess, posiz FROM campi", 7),
            columns);
  EXPECT_EQ(Rows(db, "SELECT tavola, nome, denom, note FROM indici", 4), indices);
}

void ExpectSeedRows(db::Database& db) {
  auto texts = [](const std::vector<SeedEntry>& list) {
    Strings out;
    for (const SeedEntry& e : list) out.push_back(std::to_string(e.code) + "|" + e.name);
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(Rows(db, "SELECT codice, denom FROM regazi", 2), texts(SeedCompanies()));
  EXPECT_EQ(Rows(db, "SELECT codice, denom FROM regent", 2), texts(SeedAuthorities()));
  EXPECT_EQ(Rows(db, "SELECT ID, denom FROM bacini", 2), Strings{"0|*** bacino non assegnato ***"});
  EXPECT_EQ(Rows(db, "SELECT ID, denom FROM lotti", 2), Strings{"0|*** lotto non assegnato ***"});
  // The one-blank codes are kept without their trailing blank.
  EXPECT_EQ(Rows(db, "SELECT ID, denom, provin, istat, bacino, centro_x, centro_y FROM comuni", 7),
            Strings{"0|*** comune non assegnato ***|||0|0|0"});
  EXPECT_EQ(Rows(db, "SELECT ID, denom, istat, nucleo, abitanti, centro_x, centro_y FROM local", 7),
            Strings{"0|*** località non assegnata ***||0|0|0|0"});
}

}  // namespace kvt::schema::test
