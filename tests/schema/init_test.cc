// Creating and initialising databases on the engines we run: the live schema is the
// catalogue's (foreign keys included; that they hold, the placeholder rows ID 0 satisfying
// them, is shown by the completion tests) and a second initialisation changes nothing.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "db/database.h"
#include "db/native_sqlite.h"
#include "db/odbc.h"
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

// Refuses every insertion into the companies' table: the seed rows cannot be written.
int RefuseCompanies(void*, int action, const char* table, const char*, const char*, const char*) {
  return action == SQLITE_INSERT && table && std::string_view(table) == "regazi" ? SQLITE_DENY
                                                                                 : SQLITE_OK;
}

TEST_P(SchemaInitTest, SeedRowsThatFailLeaveNoTableBehind) {
  if (IsPostgres()) {
    // Each new table of companies gets a trigger that refuses its rows.
    Exec("CREATE FUNCTION kvt_refuse() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION "
         "'seed refused' USING ERRCODE = '53100'; END $$ LANGUAGE plpgsql");
    Exec("CREATE FUNCTION kvt_arm() RETURNS event_trigger AS $$ BEGIN IF EXISTS (SELECT 1 "
         "FROM pg_tables WHERE tablename = 'regazi') AND NOT EXISTS (SELECT 1 FROM pg_trigger "
         "WHERE tgname = 'kvt_refuse_seed') THEN CREATE TRIGGER kvt_refuse_seed BEFORE INSERT "
         "ON regazi FOR EACH ROW EXECUTE FUNCTION kvt_refuse(); END IF; END $$ "
         "LANGUAGE plpgsql");
    Exec("CREATE EVENT TRIGGER kvt_arm_seed ON ddl_command_end WHEN TAG IN ('CREATE TABLE') "
         "EXECUTE FUNCTION kvt_arm()");
  } else {
    const auto& link = db().connection()->sqlite();
    if (!link) GTEST_SKIP() << "no native SQLite connection (KVT_SQLITE_NATIVE=0)";
    sqlite3_set_authorizer(link->db(), RefuseCompanies, nullptr);
  }
  const size_t tables = db().ListTables().size();
  EXPECT_FALSE(InitialiseDatabase(db()));
  ASSERT_FALSE(ui.Texts().empty());
  EXPECT_EQ(ui.Texts().back(), "Si sono verificati errori durante l'inizializzazione del "
                               "database \"" +
                                   db().Dsn() + "\".\n\nIl database non è stato modificato.");
  EXPECT_EQ(ui.Texts().front().rfind("Errore aggiornamento tavola (regazi)\n\n", 0), 0u)
      << ui.Texts().front();
  // As the message says: not one table of the schema, nor of the dictionary, is left.
  EXPECT_EQ(db().ListTables().size(), tables);
  EXPECT_FALSE(db().TableExists("regazi"));
  EXPECT_FALSE(db().TableExists("tavole"));
  if (IsPostgres()) {
    Exec("DROP EVENT TRIGGER kvt_arm_seed");
  } else {
    sqlite3_set_authorizer(db().connection()->sqlite()->db(), nullptr, nullptr);
  }
  ui.Clear();
  EXPECT_TRUE(InitialiseDatabase(db()));
  test::ExpectSeedRows(db());
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
