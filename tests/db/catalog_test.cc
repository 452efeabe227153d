#include "db/catalog.h"

#include <algorithm>
#include <string>
#include <vector>

#include "db/sql_types.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

class CatalogTest : public kvt::test::EngineTest {
 protected:
  void CreateSchema() {
    const Dialect& d = db().dialect();
    Exec("CREATE TABLE comuni (ID SMALLINT NOT NULL, istat INTEGER NOT NULL, denom" +
         d.ColumnType('A', 40) + " NULL" + d.PrimaryKeyClause("comuni_codice", {"ID"}) + ")");
    Exec(d.CreateIndex("comuni_istat", "comuni", {"istat"}, true));
    std::string fermate =
        "CREATE TABLE fermate (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, "
        "comune SMALLINT NOT NULL, datini" +
        d.ColumnType('D', 0) + " NULL, coord" + d.ColumnType('O', 0) + " NULL" +
        d.PrimaryKeyClause("fermate_codice", {"azienda", "ID"});
    if (d.ForeignKeysInCreateTable())
      fermate += d.ForeignKeyClause("fermate_comune", {"comune"}, "comuni", {"ID"});
    Exec(fermate + ")");
    if (!d.ForeignKeysInCreateTable())
      Exec(d.AddForeignKey("fermate", "fermate_comune", {"comune"}, "comuni", {"ID"}));
    Exec(d.CreateIndex("fermate_comune", "fermate", {"comune", "azienda"}, false));
  }
};

TEST_P(CatalogTest, DescribesColumnsKeysIndicesAndForeignKeys) {
  CreateSchema();
  const LiveTable fermate = ReadLiveTable(db(), "fermate");
  ASSERT_EQ(fermate.name, "fermate");
  std::vector<std::string> names;
  for (const LiveColumn& c : fermate.columns) names.push_back(c.name);
  // PostgreSQL folds the unquoted ID to lower case.
  EXPECT_EQ(names, (std::vector<std::string>{"azienda", IsPostgres() ? "id" : "ID", "comune",
                                             "datini", "coord"}));
  EXPECT_EQ(fermate.columns[0].sqlType, kSqlSmallInt);
  EXPECT_EQ(fermate.columns[1].sqlType, kSqlInteger);
  EXPECT_EQ(fermate.columns[3].sqlType, kSqlTypeDate);
  EXPECT_EQ(fermate.columns[4].sqlType, IsPostgres() ? kSqlLongVarBinary : kSqlBinary);
  EXPECT_FALSE(fermate.columns[0].nullable);
  EXPECT_TRUE(fermate.columns[3].nullable);
  EXPECT_EQ(fermate.primaryKey, (std::vector<std::string>{"azienda", IsPostgres() ? "id" : "ID"}));

  auto index = std::find_if(fermate.indices.begin(), fermate.indices.end(),
                            [](const LiveIndex& i) { return i.name == "fermate_comune"; });
  ASSERT_NE(index, fermate.indices.end());
  EXPECT_FALSE(index->unique);
  EXPECT_EQ(index->columns, (std::vector<std::string>{"comune", "azienda"}));

  ASSERT_EQ(fermate.foreignKeys.size(), 1u);
  const LiveForeignKey& key = fermate.foreignKeys[0];
  EXPECT_EQ(key.name, IsPostgres() ? "fermate_comune" : "");  // SQLite keeps no names
  EXPECT_EQ(key.parentTable, "comuni");
  EXPECT_EQ(key.parentColumns, (std::vector<std::string>{IsPostgres() ? "id" : "ID"}));
  EXPECT_EQ(key.childColumns, (std::vector<std::string>{"comune"}));

  const LiveTable comuni = ReadLiveTable(db(), "comuni");
  auto istat = std::find_if(comuni.indices.begin(), comuni.indices.end(),
                            [](const LiveIndex& i) { return i.name == "comuni_istat"; });
  ASSERT_NE(istat, comuni.indices.end());
  EXPECT_TRUE(istat->unique);
  EXPECT_EQ(comuni.columns[2].size, 40);
  EXPECT_TRUE(comuni.foreignKeys.empty());
}

TEST_P(CatalogTest, ListsEveryUserTableAndNothingElse) {
  CreateSchema();
  std::vector<std::string> names;
  for (const LiveTable& t : ReadLiveSchema(db())) names.push_back(t.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"comuni", "fermate"}));
  EXPECT_EQ(ReadLiveTable(db(), "nope").name, "");
}

KVT_INSTANTIATE_ENGINES(CatalogTest);

}  // namespace
}  // namespace kvt::db
