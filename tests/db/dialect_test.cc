#include "db/dialect.h"

#include <string>
#include <vector>

#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

TEST(DialectTextTest, SqlServerKeepsTheHistoricalStatementsByteForByte) {
  const Dialect d(Engine::SqlServer);
  std::string types;
  for (char letter : std::string("ABDFILMNOX")) types += "[" + d.ColumnType(letter, 40) + "]";
  EXPECT_EQ(types,
            "[ CHAR(40)][ BIT][ DATETIME][ FLOAT][ SMALLINT][ INTEGER][ TEXT][ DECIMAL][ IMAGE][]");
  EXPECT_EQ("CREATE TABLE regazi(\ncodice SMALLINT NOT NULL,\ndenom CHAR(40) NOT NULL" +
                d.PrimaryKeyClause("regazi_codice", {"codice"}) + "\n)\n",
            "CREATE TABLE regazi(\ncodice SMALLINT NOT NULL,\ndenom CHAR(40) NOT NULL,\n"
            "CONSTRAINT regazi_codice PRIMARY KEY CLUSTERED\n(\ncodice\n)\n)\n");
  EXPECT_EQ(d.CreateIndex("comuni_istat", "comuni", {"istat"}, true),
            "CREATE UNIQUE NONCLUSTERED INDEX comuni_istat ON comuni\n(\nistat\n)\n");
  EXPECT_EQ(d.CreateIndex("polferma_polo", "polferma", {"ID", "polo"}, false),
            "CREATE NONCLUSTERED INDEX polferma_polo ON polferma\n(\nID,\npolo\n)\n");
  EXPECT_EQ(d.AddForeignKey("corse", "corse_lotto", {"lotto"}, "lotti", {"id"}),
            "ALTER TABLE corse ADD CONSTRAINT corse_lotto FOREIGN KEY\n(\nlotto\n)REFERENCES "
            "lotti\n(\nid\n)\n");
  EXPECT_EQ(d.DateLiteral(5, 3, 2010), "'20100305'");
  EXPECT_EQ(d.IsNull("mesi.anno"), "mesi.anno IS NULL");
}

TEST(DialectTextTest, EngineSpecificPieces) {
  const Dialect sqlite(Engine::Sqlite), pg(Engine::PostgreSql), access(Engine::Access);
  EXPECT_EQ(sqlite.ColumnType('A', 8) + sqlite.ColumnType('B', 0) + sqlite.ColumnType('D', 0) +
                sqlite.ColumnType('O', 0),
            " VARCHAR(8) SMALLINT DATE BLOB");
  EXPECT_EQ(pg.ColumnType('A', 8) + pg.ColumnType('B', 0) + pg.ColumnType('D', 0) +
                pg.ColumnType('F', 0) + pg.ColumnType('O', 0),
            " VARCHAR(8) SMALLINT DATE DOUBLE PRECISION BYTEA");
  EXPECT_EQ(pg.PrimaryKeyClause("t_codice", {"a", "b"}),
            ",\nCONSTRAINT t_codice PRIMARY KEY\n(\na,\nb\n)");
  EXPECT_EQ(sqlite.CreateIndex("t_x", "t", {"x"}, true), "CREATE UNIQUE INDEX t_x ON t\n(\nx\n)\n");
  EXPECT_TRUE(sqlite.ForeignKeysInCreateTable());
  EXPECT_EQ(sqlite.AddForeignKey("c", "c_p", {"p"}, "p", {"id"}), "");
  EXPECT_EQ(sqlite.ForeignKeyClause("c_p", {"p"}, "p", {"id"}),
            ",\nCONSTRAINT c_p FOREIGN KEY\n(\np\n) REFERENCES p\n(\nid\n)");
  EXPECT_EQ(sqlite.DateLiteral(5, 3, 2010), "'2010-03-05'");
  EXPECT_EQ(pg.DateLiteral(31, 12, 2400), "'2400-12-31'");
  EXPECT_EQ(access.DateLiteral(5, 3, 2010), "#03/05/2010#");
  EXPECT_EQ(access.IsNull("mesi.anno"), "IsNull(mesi.anno) = TRUE");
  EXPECT_EQ(access.Contains("denom", "l'Aq*"), "denom LIKE '*l''Aq[*]*'");
  EXPECT_EQ(pg.Contains("denom", "50%_a"), "denom ILIKE '%50\\%\\_a%' ESCAPE '\\'");
  EXPECT_EQ(sqlite.TrueLiteral(), "1");
  EXPECT_EQ(access.TrueLiteral(), "TRUE");
  EXPECT_EQ(Dialect::FromDbmsName("Microsoft SQL Server").engine(), Engine::SqlServer);
  EXPECT_EQ(Dialect::FromDbmsName("ACCESS").engine(), Engine::Access);
  EXPECT_EQ(Dialect::FromDbmsName("Oracle").engine(), Engine::Other);
}

TEST(DialectTextTest, QuotingDoublesApostrophes) {
  EXPECT_EQ(SqlQuote("l'Aquila"), "'l''Aquila'");
  EXPECT_EQ(SqlQuote("''"), "''''''");
  EXPECT_EQ(SqlQuote(""), "''");
  EXPECT_EQ(SqlQuote(std::string("a\0b", 3)), "'ab'");
}

class DialectTest : public kvt::test::EngineTest {
 protected:
  long long Count(const std::string& where) {
    return QueryInt("SELECT COUNT(*) FROM v WHERE " + where);
  }
};

// Dates written through the layer and compared with the dialect's literal select the same
// rows on every engine.
TEST_P(DialectTest, DateLiteralsSelectTheSameRowsOnEveryEngine) {
  const Dialect& d = db().dialect();
  {
    Exec("CREATE TABLE v (k INTEGER NOT NULL, d" + d.ColumnType('D', 0) + " NULL, flag" +
         d.ColumnType('B', 0) + " NULL" + d.PrimaryKeyClause("v_codice", {"k"}) + ")");
    Table t(&db(), "v", true);
    const std::vector<std::string> dates{
        "00/00/0000", "31/12/2009", "01/01/2010", "02/01/2010", "29/02/2012", "99/99/9999", ""};
    for (size_t i = 0; i < dates.size(); ++i) {
      EXPECT_TRUE(t.AddNew());
      EXPECT_TRUE(t.SetFieldText("k", std::to_string(i + 1)));
      EXPECT_TRUE(t.SetFieldText("d", dates[i]));
      EXPECT_TRUE(t.SetFieldText("flag", i % 2 ? "1" : "0"));
      EXPECT_TRUE(t.Update());
    }
  }
  EXPECT_EQ(Count("d < " + d.DateLiteral(1, 1, 2010)), 2);
  EXPECT_EQ(Count("d <= " + d.DateLiteral(1, 1, 2010)), 3);
  EXPECT_EQ(Count("d = " + d.DateLiteral(1, 1, 2010)), 1);
  EXPECT_EQ(Count("d > " + d.DateLiteral(1, 1, 2010)), 3);
  EXPECT_EQ(Count("d >= " + d.DateLiteral(2, 1, 2010) + " AND d <= " + d.DateLiteral(1, 3, 2012)),
            2);
  EXPECT_EQ(Count("d BETWEEN " + d.DateLiteral(1, 1, 1600) + " AND " + d.DateLiteral(31, 12, 2400)),
            6);
  EXPECT_EQ(Count("d > " + d.DateLiteral(31, 12, 2399)), 1);
  EXPECT_EQ(Count(d.IsNull("d")), 1);
  EXPECT_EQ(Count("flag = " + d.TrueLiteral()), 3);

  Selection s(&db());
  s.AddColumn("v", "d", kSqlDate);
  s.SetFrom("v");
  s.SetWhere("v.d >= " + d.DateLiteral(31, 12, 2009) + " AND v.d < " + d.DateLiteral(1, 1, 2400));
  s.SetOrderBy("v.d DESC");
  std::vector<std::string> seen;
  for (Fetch f = s.Open(); f == Fetch::Row; f = s.MoveNext()) seen.push_back(s.GetText(0));
  EXPECT_EQ(seen,
            (std::vector<std::string>{"29/02/2012", "02/01/2010", "01/01/2010", "31/12/2009"}));
}

TEST_P(DialectTest, ContainsMatchesWildcardsLiterallyAndIgnoresCase) {
  const Dialect& d = db().dialect();
  Exec("CREATE TABLE f (k INTEGER NOT NULL PRIMARY KEY, denom" + d.ColumnType('A', 40) + ")");
  const std::vector<std::string> names{"100% bio", "100 bio",         "a_b",
                                       "axb",      "L'Aquila Centro", "Via 5_%"};
  for (size_t i = 0; i < names.size(); ++i)
    Exec("INSERT INTO f VALUES (" + std::to_string(i) + ", " + SqlQuote(names[i]) + ")");
  auto matches = [&](const std::string& text) {
    return QueryInt("SELECT COUNT(*) FROM f WHERE " + d.Contains("denom", text));
  };
  EXPECT_EQ(matches("100%"), 1);
  EXPECT_EQ(matches("a_b"), 1);
  EXPECT_EQ(matches("l'aquila"), 1);
  EXPECT_EQ(matches("5_%"), 1);
  EXPECT_EQ(matches("BIO"), 2);
  EXPECT_EQ(matches("\\"), 0);
  EXPECT_EQ(matches(""), 6);
}

TEST_P(DialectTest, GeneratedKeysIndicesAndForeignKeysAreEnforced) {
  const Dialect& d = db().dialect();
  Exec("CREATE TABLE lotti (ID SMALLINT NOT NULL, nome" + d.ColumnType('A', 20) + " NOT NULL" +
       d.PrimaryKeyClause("lotti_codice", {"ID"}) + ")");
  Exec(d.CreateIndex("lotti_nome", "lotti", {"nome"}, true));
  std::string corse =
      "CREATE TABLE corse (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, "
      "lotto SMALLINT NOT NULL" +
      d.PrimaryKeyClause("corse_codice", {"azienda", "ID"});
  if (d.ForeignKeysInCreateTable())
    corse += d.ForeignKeyClause("corse_lotto", {"lotto"}, "lotti", {"ID"});
  Exec(corse + ")");
  if (!d.ForeignKeysInCreateTable())
    Exec(d.AddForeignKey("corse", "corse_lotto", {"lotto"}, "lotti", {"ID"}));
  Exec("INSERT INTO lotti VALUES (1, 'uno')");
  EXPECT_TRUE(db().ExecuteSql("INSERT INTO corse VALUES (1, 1, 1)"));
  EXPECT_FALSE(db().ExecuteSql("INSERT INTO corse VALUES (1, 2, 9)"));   // no lot 9
  EXPECT_FALSE(db().ExecuteSql("INSERT INTO corse VALUES (1, 1, 1)"));   // key
  EXPECT_FALSE(db().ExecuteSql("INSERT INTO lotti VALUES (2, 'uno')"));  // unique index
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse"), 1);
}

KVT_INSTANTIATE_ENGINES(DialectTest);

}  // namespace
}  // namespace kvt::db
