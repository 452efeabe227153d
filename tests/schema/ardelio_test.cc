// Files produced by Ardelio (file method only): completion, orphan removal before the
// relations, the route renumbering, and files that must be left alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "db/catalog.h"
#include "db/database.h"
#include "db/file_engine.h"
#include "platform/scripted_ui.h"
#include "schema/ardelio.h"
#include "support/engines.h"

namespace kvt::schema {
namespace {

constexpr std::string_view kStarting =
    "Il database MDB correntemente associato risulta essere stato\n"
    "generato da ARDELIO.\n\n"
    "Stanno per essere generate tutte le strutture necessarie\n"
    "per il corretto funzionamento del DB\n\n"
    "L'operazione potrebbe impiegare alcuni secondi/minuti ...";
constexpr std::string_view kCompleted =
    "Il database MDB generato da ARDELIO è stato completato ed sarà pronto per l'uso\n"
    "al termine dell'importazione degli Shapefiles correlati";
constexpr std::string_view kFailed =
    "Si sono verificati errori durante il completamento del MDB di Ardelio ...";
constexpr std::string_view kShifted =
    "Il database MDB correntemente associato risulta essere stato\n"
    "generato da ARDELIO e presenta il problema [bug] relativo\n"
    "alle \"progressive km slittate\".\n\n"
    "Il bug verrà ora corretto.\n\n"
    "L'operazione potrebbe impiegare alcuni secondi/minuti ...";
constexpr std::string_view kMended = "Il bug è stato sanato.\n\n";

// Records the route shapefiles the completion hands over.
class RecordingHost : public OwnedConnection {
 public:
  using OwnedConnection::OwnedConnection;
  void ImportArdelioRouteShapefiles(const std::vector<std::string>& names) override {
    imported = names;
  }
  std::vector<std::string> imported;
};

class ArdelioTest : public ::testing::Test {
 protected:
  // A database file holding what the statements make.
  std::unique_ptr<RecordingHost> MakeFile(const std::vector<std::string>& statements,
                                          const std::string& name = "ardelio.mdb") {
    dir_ = kvt::test::TempDir();
    path_ = dir_ + "/" + name;
    db::FileEngine files;
    EXPECT_TRUE(files.Create(path_)) << files.LastError().text;
    std::unique_ptr<db::Database> d = db::Database::OpenFile(ui, path_);
    {
      db::Transaction tx(*d);
      for (const std::string& sql : statements) {
        EXPECT_TRUE(d->ExecuteSql(sql)) << sql << d->LastError().text;
      }
      EXPECT_TRUE(tx.Commit());
    }
    return std::make_unique<RecordingHost>(ui, std::move(d));
  }

  std::vector<std::string> Column(db::Database& d, const std::string& table,
                                  const std::string& column, const std::string& order) {
    return kvt::test::QueryRows(d, "SELECT " + column + " FROM " + table + " ORDER BY " + order, 1);
  }

  // Only the database itself: no work file left behind.
  bool AloneInItsFolder() {
    auto files = std::filesystem::directory_iterator(dir_);
    return std::distance(begin(files), end(files)) == 1 && std::filesystem::exists(path_);
  }

  ScriptedUi ui;
  std::string dir_, path_;
};

std::vector<std::string> ArdelioStatements() {
  std::string month = "'" + std::string(31, 'S') + "'";
  return {
      "CREATE TABLE ardelio (convert SMALLINT, itin_shp VARCHAR(12))",
      "INSERT INTO ardelio VALUES (1, 'PERCORSI')",
      // No key: the completion adds it.
      "CREATE TABLE regazi (codice SMALLINT NOT NULL, denom VARCHAR(40) NOT NULL)",
      "INSERT INTO regazi VALUES (101, 'Autolinee Velmoresi S.p.A.'), (102, 'Trasporti Urbani')",
      // Only the key columns: the completion adds the others with their defaults.
      "CREATE TABLE proto (azienda SMALLINT NOT NULL, protoc INTEGER NOT NULL, "
      "PRIMARY KEY (azienda, protoc))",
      "INSERT INTO proto VALUES (101, 1), (102, 1)",
      "CREATE TABLE fermate (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, protoc INTEGER)",
      "INSERT INTO fermate VALUES (101, 1, 1), (101, 2, 1)",
      "CREATE TABLE archi (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, protoc INTEGER NOT "
      "NULL, inizio INTEGER NOT NULL, fine INTEGER NOT NULL, lung INTEGER NOT NULL)",
      // Arc 11 starts and arc 12 ends at a stop that does not exist.
      "INSERT INTO archi VALUES (101, 10, 1, 1, 2, 5400), (101, 11, 1, 99, 2, 300), "
      "(101, 12, 1, 1, 98, 200)",
      // Lacks the optional column denom.
      "CREATE TABLE tesitine (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, protoc INTEGER NOT "
      "NULL, codperc VARCHAR(20) NOT NULL)",
      "INSERT INTO tesitine VALUES (101, 20, 1, 'P20'), (101, 21, 1, 'P21')",
      "CREATE TABLE detitine (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, sub SMALLINT NOT "
      "NULL, protoc INTEGER NOT NULL, arco INTEGER NOT NULL, dist INTEGER NOT NULL)",
      // Route 21 runs over arc 11, which goes with its missing stop.
      "INSERT INTO detitine VALUES (101, 20, 1, 1, 10, 5400), (101, 20, 2, 1, 10, 10800), "
      "(101, 21, 1, 1, 11, 300)",
      // Lacks every mandatory column from lung to mm_a, and the optional ones.
      "CREATE TABLE corse (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, protoc INTEGER NOT "
      "NULL, codcorsa VARCHAR(20) NOT NULL, codlinea VARCHAR(10) NOT NULL, verso VARCHAR(1) NOT "
      "NULL, ente SMALLINT NOT NULL, lotto SMALLINT NOT NULL, mezzo VARCHAR(1) NOT NULL)",
      "INSERT INTO corse VALUES (101, 30, 1, 'C30', 'L1', 'A', 1, 0, 'X'), "
      "(101, 31, 1, 'C31', 'L1', 'R', 1, 0, 'X'), (102, 31, 1, 'C31', 'L9', 'A', 1, 0, 'U')",
      "CREATE TABLE mesi (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, protoc INTEGER NOT "
      "NULL, anno SMALLINT NOT NULL, mese SMALLINT NOT NULL, giorni VARCHAR(31) NOT NULL)",
      // Trip 31 of company 101 has none; the months of company 102's trip 31 do not save it.
      "INSERT INTO mesi VALUES (101, 30, 1, 2024, 1, " + month + "), (102, 31, 1, 2024, 1, " +
          month + ")",
      "CREATE TABLE orari (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, sub SMALLINT NOT NULL, "
      "protoc INTEGER NOT NULL, fermata INTEGER NOT NULL, hh SMALLINT NOT NULL, mm SMALLINT NOT "
      "NULL, sosta SMALLINT NOT NULL, primaria SMALLINT NOT NULL, facolt SMALLINT NOT NULL, "
      "nonferma SMALLINT NOT NULL)",
      "INSERT INTO orari VALUES (101, 30, 0, 1, 1, 7, 30, 0, 1, 0, 0), "
      "(101, 30, 1, 1, 2, 7, 55, 0, 1, 0, 0), (101, 31, 0, 1, 1, 8, 30, 0, 1, 0, 0)",
  };
}

TEST_F(ArdelioTest, CompletionBuildsTheSchemaAfterRemovingOrphans) {
  std::unique_ptr<RecordingHost> host = MakeFile(ArdelioStatements());
  ASSERT_TRUE(CompleteArdelioDatabase(*host));
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{std::string(kStarting), std::string(kCompleted)}));
  EXPECT_EQ(host->imported, std::vector<std::string>{"PERCORSI"});
  db::Database& d = *host->Current();
  ASSERT_TRUE(d.IsConnected());
  EXPECT_EQ(Column(d, "corse", "ID", "ID"), (std::vector<std::string>{"30", "31"}));
  EXPECT_EQ(Column(d, "corse", "azienda", "ID"),
            (std::vector<std::string>{"101", "102"}));
  EXPECT_EQ(Column(d, "orari", "ID", "ID, sub"), (std::vector<std::string>{"30", "30"}));
  EXPECT_EQ(Column(d, "archi", "ID", "ID"), std::vector<std::string>{"10"});
  EXPECT_EQ(Column(d, "tesitine", "ID", "ID"), std::vector<std::string>{"20"});
  EXPECT_EQ(Column(d, "detitine", "sub", "ID, sub"),
            (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Column(d, "ardelio", "convert", "convert"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(Column(d, "tavole", "nome", "nome").size(), 38u);
  EXPECT_EQ(Column(d, "regazi", "codice", "codice"),
            (std::vector<std::string>{"101", "102"}));  // existing companies: not seeded again
  EXPECT_EQ(Column(d, "regent", "codice", "codice").size(), 5u);
  EXPECT_EQ(Column(d, "lotti", "ID", "ID"), std::vector<std::string>{"0"});
  // Trip 30 got the mandatory columns it lacked, and the key and relations hold.
  db::LiveTable corse = db::ReadLiveTable(d, "corse");
  EXPECT_EQ(corse.columns.size(), 23u);
  EXPECT_EQ(corse.primaryKey, (std::vector<std::string>{"azienda", "ID"}));
  EXPECT_EQ(corse.foreignKeys.size(), 3u);
  EXPECT_EQ(Column(d, "corse", "ct_lung", "ID"), (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(db::ReadLiveTable(d, "regazi").primaryKey, std::vector<std::string>{"codice"});
  // A mandatory date is added as the stored no-lower-bound date (shown as 00/00/0000).
  EXPECT_EQ(Column(d, "proto", "datini", "azienda"),
            (std::vector<std::string>{"1600-01-01", "1600-01-01"}));
  EXPECT_FALSE(d.ExecuteSql("DELETE FROM lotti WHERE ID = 0"));
  EXPECT_FALSE(
      d.ExecuteSql("INSERT INTO archi (azienda, ID, protoc, inizio, fine, lung) "
                   "VALUES (101, 13, 1, 1, 97, 100)"));
  EXPECT_TRUE(AloneInItsFolder());
  ui.Clear();
  // The routes of the file start at 1: mended once the file is complete.
  EXPECT_TRUE(FixArdelioRouteNumbering(d));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{std::string(kShifted), std::string(kMended)}));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
  EXPECT_EQ(Column(d, "detitine", "sub", "ID, sub"),
            (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(Column(d, "detitine", "dist", "ID, sub"), (std::vector<std::string>{"5400", "10800"}));
  ui.Clear();
  // Next connection: nothing left to do.
  EXPECT_TRUE(CompleteArdelioDatabase(*host));
  EXPECT_TRUE(FixArdelioRouteNumbering(*host->Current()));
  EXPECT_TRUE(ui.messages.empty());
}

// Rows that a relation would refuse, and that are not orphans the completion removes, stop
// it: the file keeps its data and its marker, ready for another attempt.
TEST_F(ArdelioTest, ARelationBrokenByExistingRowsLeavesTheFileAsItWas) {
  std::unique_ptr<RecordingHost> host = MakeFile(
      {"CREATE TABLE ardelio (convert SMALLINT, itin_shp VARCHAR(12))",
       "INSERT INTO ardelio VALUES (1, 'PERCORSI')",
       "CREATE TABLE fermate (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, protoc INTEGER NOT "
       "NULL, denom VARCHAR(40) NOT NULL, comune SMALLINT NOT NULL, local SMALLINT NOT NULL, "
       "okcoord SMALLINT NOT NULL)",
       "INSERT INTO fermate VALUES (101, 1, 1, 'Velmora Stazione', 7, 0, 0)"});
  EXPECT_FALSE(CompleteArdelioDatabase(*host));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            std::string(kStarting),
                            "Errore creazione relazione \"fermate_comune\"\n\n"
                            "Righe della tavola \"fermate\" senza corrispondenza nella tavola "
                            "\"comuni\": 1",
                            std::string(kFailed)}));
  EXPECT_EQ(ui.messages[1].caption, "Creazione relazioni");
  EXPECT_TRUE(host->imported.empty());
  db::Database& d = *host->Current();
  EXPECT_FALSE(d.TableExists("tavole"));
  EXPECT_FALSE(d.TableExists("comuni"));
  EXPECT_EQ(db::ReadLiveTable(d, "fermate").columns.size(), 7u);
  EXPECT_EQ(Column(d, "ardelio", "convert", "convert"),
            std::vector<std::string>{"1"});
  EXPECT_TRUE(AloneInItsFolder());
}

constexpr std::string_view kRoutes =
    "CREATE TABLE detitine (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, sub SMALLINT NOT "
    "NULL, protoc INTEGER NOT NULL, arco INTEGER NOT NULL, dist INTEGER NOT NULL, "
    "PRIMARY KEY (azienda, ID, sub))";

// A completed file is not completed again, and its routes are renumbered only when every one
// starts above 0; a file without the marker is not Ardelio's and is left alone.
TEST_F(ArdelioTest, CompletedFilesAreRenumberedOnlyWhenEveryRouteStartsAboveZero) {
  std::unique_ptr<RecordingHost> host =
      MakeFile({"CREATE TABLE ardelio (convert SMALLINT, itin_shp VARCHAR(12))",
                "INSERT INTO ardelio VALUES (0, 'PERCORSI')", std::string(kRoutes),
                "INSERT INTO detitine VALUES (101, 20, 0, 1, 10, 500), (101, 20, 1, 1, 11, 900), "
                "(102, 20, 1, 1, 12, 700), (102, 20, 2, 1, 13, 1500)"});
  EXPECT_TRUE(CompleteArdelioDatabase(*host));
  db::Database& d = *host->Current();
  EXPECT_FALSE(d.TableExists("tavole"));
  EXPECT_TRUE(FixArdelioRouteNumbering(d));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(Column(d, "detitine", "sub", "azienda, ID, sub"),
            (std::vector<std::string>{"0", "1", "1", "2"}));
  ASSERT_TRUE(d.ExecuteSql("UPDATE detitine SET sub = sub + 10 WHERE azienda = 101"));
  ASSERT_TRUE(d.ExecuteSql("UPDATE detitine SET sub = sub - 9 WHERE azienda = 101"));
  EXPECT_TRUE(FixArdelioRouteNumbering(d));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{std::string(kShifted), std::string(kMended)}));
  EXPECT_EQ(Column(d, "detitine", "sub", "azienda, ID, sub"),
            (std::vector<std::string>{"0", "1", "0", "1"}));
  EXPECT_EQ(Column(d, "detitine", "arco", "azienda, ID, sub"),
            (std::vector<std::string>{"10", "11", "12", "13"}));
  // Not yet completed: the numbering waits for the completion.
  ui.Clear();
  ASSERT_TRUE(d.ExecuteSql("UPDATE ardelio SET convert = 1"));
  ASSERT_TRUE(d.ExecuteSql("UPDATE detitine SET sub = sub + 10"));
  ASSERT_TRUE(d.ExecuteSql("UPDATE detitine SET sub = sub - 9"));
  EXPECT_TRUE(FixArdelioRouteNumbering(d));
  EXPECT_TRUE(ui.messages.empty());

  std::unique_ptr<RecordingHost> foreign = MakeFile(
      {std::string(kRoutes), "INSERT INTO detitine VALUES (101, 20, 1, 1, 10, 500)"}, "rete.mdb");
  EXPECT_TRUE(CompleteArdelioDatabase(*foreign));
  EXPECT_TRUE(FixArdelioRouteNumbering(*foreign->Current()));
  EXPECT_FALSE(foreign->Current()->TableExists("tavole"));
  EXPECT_EQ(Column(*foreign->Current(), "detitine", "sub", "sub"),
            std::vector<std::string>{"1"});
  EXPECT_TRUE(ui.messages.empty());
}

TEST(ArdelioWorkFile, LiesNextToTheDatabaseWithTheFirstFreeNumber) {
  std::string dir = kvt::test::TempDir();
  std::string first = dir + "/wkArdl_" + std::to_string(getpid()) + "_0.mdb";
  EXPECT_EQ(ArdelioWorkFile(dir + "/rete.mdb"), first);
  std::ofstream(first) << "x";
  EXPECT_EQ(ArdelioWorkFile(dir + "/rete.mdb"),
            dir + "/wkArdl_" + std::to_string(getpid()) + "_1.mdb");
}

}  // namespace
}  // namespace kvt::schema
