// The statements the generators execute. The SQL Server text is the historical one, byte for
// byte; PostgreSQL and SQLite get the same objects in words their engines accept.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "db/dialect.h"
#include "schema/ddl.h"
#include "schema/dictionary.h"
#include "schema/model.h"

namespace kvt::schema {
namespace {

using db::Dialect;
using db::Engine;

std::vector<PlannedStatement> Plan(Engine engine) {
  Dictionary d = DictionaryFromCatalogue();
  MarkDuplicates(d);
  return SchemaStatements(d, Dialect(engine));
}

// The statements that mention `table` right after their verb.
std::vector<std::string> StatementsOn(const std::vector<PlannedStatement>& plan,
                                      const std::string& table) {
  std::vector<std::string> out;
  for (const PlannedStatement& s : plan) {
    if (s.sql.rfind("CREATE TABLE " + table + "(", 0) == 0 ||
        s.sql.find(" ON " + table + "\n") != std::string::npos ||
        s.sql.rfind("ALTER TABLE " + table + " ", 0) == 0) {
      out.push_back(s.sql);
    }
  }
  return out;
}

TEST(SchemaStatements, SqlServerTextIsTheHistoricalOne) {
  std::vector<PlannedStatement> plan = Plan(Engine::SqlServer);
  EXPECT_EQ(StatementsOn(plan, "regazi"),
            std::vector<std::string>{"CREATE TABLE regazi(\n"
                                     "codice SMALLINT NOT NULL,\n"
                                     "denom CHAR(40) NOT NULL,\n"
                                     "CONSTRAINT regazi_codice PRIMARY KEY CLUSTERED\n"
                                     "(\n"
                                     "codice\n"
                                     ")\n"
                                     ")\n"});
  // A second unique index, the idx_ index of a relation naming `id`, and a foreign key; the
  // relations on `ID` and `istat` reuse the key and the istat index.
  std::vector<std::string> comuni = {
      "CREATE TABLE comuni(\n"
      "ID SMALLINT NOT NULL,\n"
      "denom CHAR(40) NOT NULL,\n"
      "provin CHAR(4) NOT NULL,\n"
      "istat CHAR(6) NOT NULL,\n"
      "bacino SMALLINT NOT NULL,\n"
      "centro_x FLOAT NOT NULL,\n"
      "centro_y FLOAT NOT NULL,\n"
      "CONSTRAINT comuni_codice PRIMARY KEY CLUSTERED\n"
      "(\n"
      "ID\n"
      ")\n"
      ")\n",
      "CREATE UNIQUE NONCLUSTERED INDEX comuni_istat ON comuni\n(\nistat\n)\n",
      "CREATE UNIQUE NONCLUSTERED INDEX idx_fermate_comune ON comuni\n(\nid\n)\n",
      "ALTER TABLE comuni ADD CONSTRAINT comune_bacino FOREIGN KEY\n"
      "(\n"
      "bacino\n"
      ")REFERENCES bacini\n"
      "(\n"
      "ID\n"
      ")\n"};
  EXPECT_EQ(StatementsOn(plan, "comuni"), comuni);
  EXPECT_EQ(StatementsOn(plan, "polferma")[1],
            "CREATE NONCLUSTERED INDEX polferma_polo ON polferma\n(\nID\n)\n");
  EXPECT_EQ(StatementsOn(plan, "geoitine")[0],
            "CREATE TABLE geoitine(\nazienda SMALLINT NOT NULL,\nID INTEGER NOT NULL,\n"
            "punti SMALLINT NOT NULL,\ncoord IMAGE NULL,\nminx FLOAT NOT NULL,\n"
            "miny FLOAT NOT NULL,\nmaxx FLOAT NOT NULL,\nmaxy FLOAT NOT NULL,\n"
            "CONSTRAINT geoitine_codice PRIMARY KEY CLUSTERED\n(\nazienda,\nID\n)\n)\n");
}

TEST(SchemaStatements, OrderAndCountsOfTheWholeSchema) {
  std::vector<PlannedStatement> plan = Plan(Engine::SqlServer);
  ASSERT_EQ(plan.size(), 38u + 6u + 3u + 47u);
  EXPECT_EQ(plan.front().sql.substr(0, 19), "CREATE TABLE archi(");
  std::vector<std::string> idx, failures;
  for (const PlannedStatement& s : plan) {
    if (s.sql.find("INDEX idx_") != std::string::npos) {
      idx.push_back(s.sql.substr(0, s.sql.find('\n')));
      failures.push_back(s.failure);
    }
  }
  EXPECT_EQ(idx, (std::vector<std::string>{
                     "CREATE UNIQUE NONCLUSTERED INDEX idx_fermate_comune ON comuni",
                     "CREATE UNIQUE NONCLUSTERED INDEX idx_fermate_local ON local",
                     "CREATE UNIQUE NONCLUSTERED INDEX idx_corse_lotto ON lotti"}));
  EXPECT_EQ(failures[2], "Errore creazione indice \"idx_corse_lotto\" tavola \"lotti\"");
  // Every foreign key after every table.
  auto firstAlter = std::find_if(plan.begin(), plan.end(), [](const PlannedStatement& s) {
    return s.sql.rfind("ALTER TABLE", 0) == 0;
  });
  EXPECT_EQ(firstAlter - plan.begin(), 47);
  EXPECT_EQ(firstAlter->failure, "Errore relazione \"archi_fine\"");
  EXPECT_EQ(plan[44].failure, "Errore creazione indice \"cod2\" tavola \"tesmzn\"");
  EXPECT_EQ(plan[0].failure, "Errore in fase di inserimento tavola \"archi\"");
}

TEST(SpecialTables, SqlServerStatementsAreVerbatim) {
  Dialect ss(Engine::SqlServer);
  EXPECT_EQ(SpecialTableSql("campi", ss, true),
            "CREATE TABLE campi (\ntavola VARCHAR(8) NOT NULL,\nnome VARCHAR(8) NOT NULL,\n"
            "tipo VARCHAR(1) NOT NULL,\nsize SMALLINT NOT NULL,\nobblig BIT NOT NULL,\n"
            "denom VARCHAR(30) NULL,\nnote VARCHAR(240) NULL,\nregola VARCHAR(240) NULL,\n"
            "mess VARCHAR(240) NULL,\nposiz SMALLINT NOT NULL,\n"
            "CONSTRAINT campi_nome PRIMARY KEY CLUSTERED (tavola, nome))\n");
  EXPECT_EQ(SpecialTableSql("indici2", ss, true),
            "CREATE TABLE indici2 (\ntavola VARCHAR(8) NOT NULL,\nnome VARCHAR(8) NOT NULL,\n"
            "progr SMALLINT NOT NULL,\ncampo VARCHAR(8) NOT NULL,\n"
            "CONSTRAINT indici2_elemento PRIMARY KEY CLUSTERED (tavola, nome, progr))\n");
  EXPECT_EQ(SpecialTableSql("relaz2", ss, true),
            "CREATE TABLE relaz2 (\nnome VARCHAR(16) NOT NULL,\nprogr SMALLINT NOT NULL,\n"
            "interno VARCHAR(8) NOT NULL,\nesterno VARCHAR(8) NOT NULL,\n"
            "CONSTRAINT relaz2_elemento PRIMARY KEY CLUSTERED (nome, progr))\n");
}

// Flags become the engine's flag type; a reserved name in any letter case is taken.
TEST(SpecialTables, FlagTypeAndReservedNames) {
  EXPECT_EQ(SpecialTableSql("indici", Dialect(Engine::PostgreSql), true),
            "CREATE TABLE indici (\ntavola VARCHAR(8) NOT NULL,\nnome VARCHAR(8) NOT NULL,\n"
            "primkey SMALLINT NOT NULL,\ndenom VARCHAR(30) NULL,\nnote VARCHAR(240) NULL,\n"
            "CONSTRAINT indici_nome PRIMARY KEY (tavola, nome))\n");
  EXPECT_TRUE(IsReservedTable("relaz"));
  EXPECT_TRUE(IsReservedTable("RELAZ"));
  EXPECT_FALSE(IsReservedTable("relazi"));
}

}  // namespace
}  // namespace kvt::schema
