#include "db/database.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/file_engine.h"
#include "db/table.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Points the driver manager at a data-source file of the test's own for its lifetime.
class DataSourceFile {
 public:
  explicit DataSourceFile(const std::string& contents) {
    path_ = kvt::test::TempDir() + "/odbc.ini";
    WriteBytes(path_, contents);
    const char* old = std::getenv("ODBCINI");
    if (old) old_ = old;
    hadOld_ = old != nullptr;
    setenv("ODBCINI", path_.c_str(), 1);
  }
  ~DataSourceFile() {
    if (hadOld_)
      setenv("ODBCINI", old_.c_str(), 1);
    else
      unsetenv("ODBCINI");
  }

 private:
  std::string path_, old_;
  bool hadOld_ = false;
};

TEST(DatabaseConnectTest, DriverNameComesFromTheDataSourceDescription) {
  DataSourceFile sources(
      "[kvt_acc]\nDriver = Microsoft Access Driver (*.mdb, *.accdb)\n\n"
      "[kvt_other]\nDriver = Microsoft Access\n\n"
      "[kvt_short]\nDriver = Microsoft Acces\n");
  std::vector<std::string> names;
  for (const DataSource& source : Database::ListDataSources())
    if (source.name.starts_with("kvt_")) names.push_back(source.name);
  EXPECT_EQ(names, (std::vector<std::string>{"kvt_acc", "kvt_other", "kvt_short"}));
  ScriptedUi ui;
  std::string driver = "old";
  auto db = Database::ConnectOdbc(ui, "kvt_acc", &driver, 25, 1);
  EXPECT_EQ(driver, "Access");
  EXPECT_EQ(db->DriverName(), "Access");
  EXPECT_FALSE(db->IsConnected());
  EXPECT_TRUE(db->IsOdbc());
  EXPECT_FALSE(db->IsDao());
  db = Database::ConnectOdbc(ui, "kvt_other", &driver, 25, 1);
  EXPECT_EQ(driver, "Access");
  db = Database::ConnectOdbc(ui, "kvt_short", &driver, 25, 1);
  EXPECT_EQ(driver, "Microsoft Acces");
  db = Database::ConnectOdbc(ui, "KVT_ACC", &driver, 25, 1);  // names compare exactly
  EXPECT_EQ(driver, "");
  EXPECT_EQ(db->DriverName(), "");
  ASSERT_EQ(ui.messages.size(), 4u);
  for (const RecordedMessage& m : ui.messages) {
    EXPECT_EQ(m.icon, MsgIcon::Stop);
    EXPECT_TRUE(m.text.starts_with("Errore in fase di conessione al database \n\n[unixODBC]"))
        << m.text;
  }
}

TEST(DatabaseConnectTest, UnknownAndEmptyDataSourcesReportTheDriverManagersText) {
  DataSourceFile sources("");
  ScriptedUi ui;
  std::string driver = "old";
  auto db = Database::ConnectOdbc(ui, "kvt_missing", &driver, 40, 2);
  EXPECT_EQ(driver, "");
  EXPECT_FALSE(db->IsConnected());
  EXPECT_EQ(db->Dsn(), "kvt_missing");
  EXPECT_EQ(db->RowsetSizeOrdinary(), 40u);
  EXPECT_EQ(db->RowsetSizeBlob(), 2u);
  EXPECT_FALSE(db->Begin());
  EXPECT_FALSE(db->ExecuteSql("SELECT 1"));
  EXPECT_EQ(db->LastError().text, "????");
  auto empty = Database::ConnectOdbc(ui, "", nullptr, 25, 1);
  EXPECT_FALSE(empty->IsConnected());
  EXPECT_EQ(empty->Dsn(), "");
  const std::string text =
      "Errore in fase di conessione al database \n\n[unixODBC][Driver Manager]Data source "
      "name not found and no default driver specified";
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{text, text}));
  empty->Close();  // never connected: nothing to release, every field cleared
  EXPECT_FALSE(empty->IsConnected());
  EXPECT_EQ(empty->Dsn(), "");
  EXPECT_EQ(empty->DriverName(), "");
}

TEST(DatabaseFileTest, RefusesMissingAccessAndForeignFilesWithoutTouchingThem) {
  ScriptedUi ui;
  const std::string dir = kvt::test::TempDir();
  const std::string missing = dir + "/nuovo.db";
  auto db = Database::OpenFile(ui, missing);
  EXPECT_FALSE(db->IsConnected());
  EXPECT_TRUE(db->IsDao());
  EXPECT_FALSE(std::filesystem::exists(missing));  // opening never creates

  std::string jet(4096, '\0');
  jet.replace(4, 15, "Standard Jet DB");
  WriteBytes(dir + "/vecchio.mdb", jet);
  std::string ace(2048, '\x01');
  ace.replace(0, 19, std::string("\0\1\0\0Standard ACE DB", 19));
  WriteBytes(dir + "/nuovo.accdb", ace);
  EXPECT_TRUE(IsAccessFile(dir + "/vecchio.mdb"));
  EXPECT_TRUE(IsAccessFile(dir + "/nuovo.accdb"));
  Database::OpenFile(ui, dir + "/vecchio.mdb");
  Database::OpenFile(ui, dir + "/nuovo.accdb");
  EXPECT_EQ(ReadBytes(dir + "/vecchio.mdb"), jet);
  EXPECT_EQ(ReadBytes(dir + "/nuovo.accdb"), ace);

  const std::string text(3000, 'x');
  WriteBytes(dir + "/testo.txt", text);
  Database::OpenFile(ui, dir + "/testo.txt");
  EXPECT_EQ(ReadBytes(dir + "/testo.txt"), text);

  const std::string prefix = "Errore in fase di apertura del database\n\n";
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{
                prefix + "Impossibile trovare il file '" + missing + "'.",
                prefix + "Il file '" + dir +
                    "/vecchio.mdb' è un database Microsoft Access (Jet/ACE), che questo "
                    "programma non può aprire: il file non è stato modificato.",
                prefix + "Il file '" + dir +
                    "/nuovo.accdb' è un database Microsoft Access (Jet/ACE), che questo "
                    "programma non può aprire: il file non è stato modificato.",
                prefix + "[SQLite]file is not a database (26)"}));
}

TEST(DatabaseFileTest, FileMethodUsesRowsetsOfOne) {
  ScriptedUi ui;
  const std::string path = kvt::test::TempDir() + "/a.db";
  ASSERT_TRUE(FileEngine().Create(path));
  auto db = Database::OpenFile(ui, path);
  ASSERT_TRUE(db->IsConnected());
  EXPECT_TRUE(db->IsDao());
  EXPECT_FALSE(db->IsOdbc());
  EXPECT_EQ(db->RowsetSizeOrdinary(), 1u);
  EXPECT_EQ(db->RowsetSizeBlob(), 1u);
  EXPECT_EQ(db->Path(), path);
  EXPECT_EQ(db->DbmsName(), "SQLite");
  EXPECT_EQ(db->dialect().engine(), Engine::Sqlite);
  db->Close();
  EXPECT_FALSE(db->IsConnected());
  EXPECT_EQ(db->Path(), "");
  EXPECT_TRUE(ui.messages.empty());
}

TEST(DatabaseConnectTest, AnSqliteFileReachedByOdbcKeepsForeignKeys) {
  ScriptedUi ui;
  const std::string path = kvt::test::TempDir() + "/odbc.db";
  ASSERT_TRUE(FileEngine().Create(path));
  auto db = Database::ConnectOdbc(ui, "DRIVER=SQLite3;Database=" + path, nullptr, 25, 1);
  ASSERT_TRUE(db->IsConnected());
  EXPECT_TRUE(db->IsOdbc());
  EXPECT_EQ(db->dialect().engine(), Engine::Sqlite);
  ASSERT_TRUE(db->ExecuteSql("CREATE TABLE p (k INTEGER PRIMARY KEY)"));
  ASSERT_TRUE(db->ExecuteSql("CREATE TABLE c (k INTEGER PRIMARY KEY, p INTEGER REFERENCES p (k))"));
  EXPECT_FALSE(db->ExecuteSql("INSERT INTO c VALUES (1, 9)"));
  EXPECT_EQ(db->LastError().text, "[SQLite]FOREIGN KEY constraint failed (19)");
  EXPECT_TRUE(db->LastError().RowRefused());
  EXPECT_TRUE(ui.messages.empty());
}

class DatabaseTest : public kvt::test::EngineTest {
 protected:
  void CreateTable() { Exec("CREATE TABLE t (k INTEGER NOT NULL PRIMARY KEY)"); }
  void InsertRow(int k) {
    Table t(&db(), "t");
    ASSERT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("k", std::to_string(k)));
    ASSERT_TRUE(t.Update());
  }
};

TEST_P(DatabaseTest, TransactionsCommitRollBackAndNest) {
  CreateTable();
  ASSERT_TRUE(db().Begin());
  InsertRow(1);
  ASSERT_TRUE(db().Rollback());
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);

  ASSERT_TRUE(db().Begin());
  ASSERT_TRUE(db().Begin());
  InsertRow(2);
  EXPECT_TRUE(db().Commit());  // inner: nothing ends yet
  EXPECT_TRUE(db().InTransaction());
  ASSERT_TRUE(db().Rollback());
  EXPECT_FALSE(db().InTransaction());
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);

  ASSERT_TRUE(db().Begin());
  ASSERT_TRUE(db().Begin());
  InsertRow(3);
  ASSERT_TRUE(db().Rollback());  // inner rollback dooms the whole transaction
  EXPECT_FALSE(db().Commit());
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);

  {
    Transaction transaction(db());
    InsertRow(4);
  }  // not committed: rolled back
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);
  {
    Transaction transaction(db());
    InsertRow(5);
    EXPECT_TRUE(transaction.Commit());
  }
  auto other = Connect();  // visible to another connection once committed
  ASSERT_TRUE(other->IsConnected());
  EXPECT_TRUE(other->ExecuteSql("DELETE FROM t WHERE k = 5"));
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM t"), 0);
  EXPECT_FALSE(db().Commit());  // nothing open
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

TEST_P(DatabaseTest, ExecuteSqlGivesTheDriverTextWithoutAMessage) {
  CreateTable();
  EXPECT_FALSE(db().ExecuteSql("INSERT INTO nope VALUES (1)"));
  EXPECT_FALSE(db().LastError().RowRefused());  // a failed statement, not a refused row
  EXPECT_EQ(db().LastError().text, IsPostgres() ? "ERROR: relation \"nope\" does not exist;\nError while "
                                  "executing the query"
                                : "[SQLite]no such table: nope (1)");
  EXPECT_TRUE(db().ExecuteSql("DELETE FROM t WHERE k = 99"));  // no rows: still success
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(DatabaseTest, ListsItsTables) {
  CreateTable();
  Exec("CREATE TABLE geo_loc (ID INTEGER)");
  std::vector<std::string> tables = db().ListTables();
  std::sort(tables.begin(), tables.end());
  EXPECT_EQ(tables, (std::vector<std::string>{"geo_loc", "t"}));
  EXPECT_TRUE(db().TableExists("t"));
  EXPECT_TRUE(db().TableExists("GEO_LOC"));
  EXPECT_FALSE(db().TableExists("geoxloc"));
  EXPECT_FALSE(db().TableExists("sqlite_master"));
}

TEST_P(DatabaseTest, CommittedDataSurvivesReopening) {
  CreateTable();
  InsertRow(1);
  Reopen();
  EXPECT_EQ(QueryInt("SELECT k FROM t"), 1);
}

KVT_INSTANTIATE_ENGINES(DatabaseTest);

}  // namespace
}  // namespace kvt::db
