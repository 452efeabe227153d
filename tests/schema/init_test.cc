// Creating and initialising databases on the engines we run: the live schema is the
// catalogue's, relations are enforced, and a second initialisation changes nothing. (Orphan
// removal is exercised by the Ardelio completion, the only place that runs it.)
#include <gtest/gtest.h>

#include "db/database.h"
#include "db/dialect.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "live_schema.h"
#include "schema/init.h"
#include "support/engines.h"

namespace kvt::schema {
namespace {

constexpr std::string_view kReservedPresent =
    "ATTENZIONE: una o più tavole riservate esistono già nel database.\n\n"
    "Dato che il database pare già creato non posso procedere oltre";
constexpr std::string_view kPrimaryTablesFailed =
    "Si sono verificati errori durante la creazione delle tavole\n"
    "primarie del database.\n\n"
    "Non risulta possibile inizializzare il database";

class SchemaInitTest : public kvt::test::EngineTest {
 protected:
  // A database made ready the way its method does it: a new file (file method) or the
  // fixture's empty data source (ODBC method).
  db::Database& Initialise() {
    if (IsPostgres()) {
      EXPECT_TRUE(InitialiseDatabase(db()));
      EXPECT_EQ(ui.Texts(),
                std::vector<std::string>{"Le tavole del database \"" + db().Dsn() +
                                         "\" sono state inizializzate con successo\n\n"});
      EXPECT_EQ(ui.messages.at(0).caption, "Inizializzazione database");
      ui.Clear();
      return db();
    }
    path_ = kvt::test::TempDir() + "/nuovo.mdb";
    EXPECT_TRUE(CreateDatabase(ui, path_));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Il database " + path_ +
                                                   " è stato creato con successo\n\n"});
    EXPECT_EQ(ui.messages.at(0).caption, "Creazione database");
    ui.Clear();
    file_ = db::Database::OpenFile(ui, path_);
    EXPECT_TRUE(file_->IsConnected());
    return *file_;
  }

  bool Exec(db::Database& d, const std::string& sql) {
    std::string error;
    return d.ExecuteSql(sql, &error);
  }

  void InsertTrip(db::Database& d, int azienda, int id, int lotto, bool expectOk = true) {
    std::string sql =
        "INSERT INTO corse (azienda, ID, protoc, codcorsa, codlinea, verso, ente, lung, tempo, "
        "ct_lung, ct_tempo, codperc, capol_p, hh_p, mm_p, capol_a, hh_a, mm_a, lotto, mezzo) "
        "VALUES (" +
        std::to_string(azienda) + ", " + std::to_string(id) +
        ", 1, 'C1', 'L1', 'A', 1, 12500, 25, 12500, 25, 1, 1, 7, 30, 2, 7, 55, " +
        std::to_string(lotto) + ", 'X')";
    EXPECT_EQ(Exec(d, sql), expectOk) << sql;
  }

  long long Count(db::Database& d, const std::string& where) {
    db::Selection s(&d);
    s.AddColumn("corse", "ID", db::kSqlInteger);
    s.SetFrom("corse");
    s.SetWhere(where);
    long long n = 0;
    for (bool row = s.Open(); row; row = s.MoveNext()) ++n;
    return n;
  }

  void InsertProtocol(db::Database& d, int azienda) {
    ASSERT_TRUE(Exec(d,
                     "INSERT INTO proto (azienda, protoc, datini, datfin, primacom, tipo, azzera) "
                     "VALUES (" +
                         std::to_string(azienda) + ", 1, " + d.dialect().DateLiteral(1, 1, 2024) +
                         ", " + d.dialect().DateLiteral(31, 12, 2024) + ", 1, 'P', 0)"));
  }

  std::string path_;
  std::unique_ptr<db::Database> file_;
};

TEST_P(SchemaInitTest, NewDatabaseHoldsTheCatalogueAndASecondAttemptChangesNothing) {
  db::Database& d = Initialise();
  test::ExpectLiveSchemaMatchesCatalogue(d);
  test::ExpectDictionaryMatchesCatalogue(d);
  test::ExpectSeedRows(d);
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts().front();
  size_t tables = d.ListTables().size();
  if (IsPostgres()) {
    EXPECT_FALSE(InitialiseDatabase(d));
    EXPECT_EQ(ui.Texts(), (std::vector<std::string>{std::string(kReservedPresent),
                                                    std::string(kPrimaryTablesFailed)}));
  } else {
    // The file method never reuses a file: the existing one is refused and left intact.
    EXPECT_FALSE(CreateDatabase(ui, path_));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore durante la creazione del database "
                                                   "\n\nIl file '" +
                                                   path_ + "' esiste già."});
    EXPECT_EQ(ui.messages[0].caption, "Creazione database");
  }
  EXPECT_EQ(d.ListTables().size(), tables);
  ui.Clear();
  test::ExpectSeedRows(d);
}

TEST_P(SchemaInitTest, RelationsAreEnforced) {
  db::Database& d = Initialise();
  InsertProtocol(d, 101);
  ASSERT_TRUE(Exec(d, "INSERT INTO lotti (ID, denom) VALUES (5, 'Lotto Nord')"));
  ASSERT_TRUE(Exec(d, "INSERT INTO lotti (ID, denom) VALUES (6, 'Lotto Sud')"));
  InsertTrip(d, 101, 1, 5);
  InsertTrip(d, 101, 2, 0);         // the placeholder lot stands for "not assigned"
  InsertTrip(d, 101, 3, 9, false);  // no such lot
  InsertTrip(d, 999, 4, 0, false);  // no such company
  EXPECT_FALSE(Exec(d, "DELETE FROM lotti WHERE ID = 5"));  // trip 1 uses it
  EXPECT_TRUE(Exec(d, "DELETE FROM lotti WHERE ID = 6"));
  EXPECT_EQ(Count(d, "lotto = 5"), 1);
  EXPECT_FALSE(Exec(d, "DELETE FROM regazi WHERE codice = 101"));
  EXPECT_FALSE(Exec(d,
                    "INSERT INTO orari (azienda, ID, sub, protoc, fermata, hh, mm, sosta, "
                    "primaria, facolt, nonferma) VALUES (101, 1, 0, 1, 77, 7, 30, 0, 1, 0, 0)"));
  EXPECT_TRUE(ui.messages.empty());
}

KVT_INSTANTIATE_ENGINES(SchemaInitTest);

// The ODBC method on an SQLite file: the SQL generator with foreign keys inside CREATE TABLE
// gives the same schema as the file method.
TEST(SqliteThroughOdbc, InitialisationBuildsTheCatalogueAndRefusesASecondTime) {
  ScriptedUi ui;
  std::string path = kvt::test::TempDir() + "/vuoto.sqlite";
  std::unique_ptr<db::Database> d = db::Database::ConnectOdbc(
      ui, "DRIVER=SQLite3;Database=" + path + ";FKSupport=1;StepAPI=1", nullptr, 25, 1);
  ASSERT_TRUE(d->IsConnected());
  ASSERT_TRUE(d->IsOdbc());
  EXPECT_TRUE(InitialiseDatabase(*d));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Le tavole del database \"" + d->Dsn() +
                                                 "\" sono state inizializzate con successo\n\n"});
  ui.Clear();
  test::ExpectLiveSchemaMatchesCatalogue(*d);
  test::ExpectDictionaryMatchesCatalogue(*d);
  test::ExpectSeedRows(*d);
  EXPECT_FALSE(InitialiseDatabase(*d));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{std::string(kReservedPresent),
                                                  std::string(kPrimaryTablesFailed)}));
}

}  // namespace
}  // namespace kvt::schema
