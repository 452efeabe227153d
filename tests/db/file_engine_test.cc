#include "db/file_engine.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/table.h"
#include "support/engines.h"

namespace kvt::db {
namespace {

constexpr int kRows = 3000;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A database file like the application's: a keyed table with an index, kRows rows.
std::string MakeFile(const std::string& name) {
  const std::string path = kvt::test::TempDir() + "/" + name;
  EXPECT_TRUE(FileEngine().Create(path));
  ScriptedUi ui;
  auto db = Database::OpenFile(ui, path);
  EXPECT_TRUE(db->IsConnected());
  EXPECT_TRUE(db->ExecuteSql(
      "CREATE TABLE fermate (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, denom "
      "VARCHAR(40) NOT NULL, PRIMARY KEY (azienda, ID))"));
  EXPECT_TRUE(db->ExecuteSql("CREATE INDEX fermate_denom ON fermate (denom)"));
  Table t(db.get(), "fermate", true);
  for (int id = 1; id <= kRows; ++id) {
    EXPECT_TRUE(t.AddNew());
    EXPECT_TRUE(t.SetFieldText("azienda", "1"));
    EXPECT_TRUE(t.SetFieldText("ID", std::to_string(id)));
    EXPECT_TRUE(t.SetFieldText("denom", "Fermata numero " + std::to_string(id) + " di via Roma"));
    EXPECT_TRUE(t.Update());
  }
  return path;
}

// Runs one query with the SQLite library; the first column of every row as text, or the
// error message.
std::vector<std::string> Query(const std::string& path, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(stmt, 0);
      rows.push_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    if (rc != SQLITE_DONE) rows.push_back(std::string("error: ") + sqlite3_errmsg(db));
  } else {
    rows.push_back(std::string("error: ") + sqlite3_errmsg(db));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

// Overwrites page `page` (1-based) with garbage.
void Damage(const std::string& path, long page) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp((page - 1) * 4096);
  const std::string garbage(4096, '\xA5');
  f.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
}

long LeafPage(const std::string& path, const std::string& name, int which) {
  auto pages = Query(path, "SELECT pageno FROM dbstat WHERE name = '" + name +
                               "' AND pagetype = 'leaf' ORDER BY pageno");
  return std::stol(pages.at(static_cast<size_t>(which)));
}

TEST(FileEngineTest, CreatesANewFileAndNeverOverwritesOne) {
  const std::string path = kvt::test::TempDir() + "/nuovo.db";
  FileEngine files;
  ASSERT_TRUE(files.Create(path)) << files.LastError().text;
  EXPECT_EQ(std::filesystem::file_size(path), 4096u);
  EXPECT_FALSE(IsAccessFile(path));
  EXPECT_FALSE(files.Create(path));
  EXPECT_EQ(files.LastError().text, "Il file '" + path + "' esiste già.");
  // The engine's own failure: its text and its result code.
  EXPECT_FALSE(files.Create(kvt::test::TempDir() + "/manca/nuovo.db"));
  EXPECT_EQ(files.LastError().text, "unable to open database file");
  EXPECT_EQ(files.LastError().native, SQLITE_CANTOPEN);
  ScriptedUi ui;
  EXPECT_TRUE(Database::OpenFile(ui, path)->IsConnected());
  EXPECT_TRUE(EngineVersion().starts_with("SQLite 3.")) << EngineVersion();
  EXPECT_FALSE(IsAccessFile(kvt::test::TempDir() + "/nope"));
}

TEST(FileEngineTest, RepairLeavesASoundFileAlone) {
  const std::string path = MakeFile("sano.db");
  const std::string before = ReadBytes(path);
  FileEngine files;
  EXPECT_TRUE(files.Repair(path)) << files.LastError().text;
  EXPECT_EQ(ReadBytes(path), before);
}

TEST(FileEngineTest, RepairRebuildsADamagedIndexKeepingEveryRow) {
  const std::string path = MakeFile("indice.db");
  Damage(path, LeafPage(path, "fermate_denom", 3));
  ASSERT_NE(Query(path, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  FileEngine files;
  ASSERT_TRUE(files.Repair(path)) << files.LastError().text;
  EXPECT_EQ(Query(path, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM fermate"), std::vector<std::string>{"3000"});
  EXPECT_EQ(Query(path, "SELECT ID FROM fermate WHERE denom = 'Fermata numero 1234 di via Roma'"),
            std::vector<std::string>{"1234"});
  EXPECT_EQ(Query(path, "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"),
            std::vector<std::string>{"fermate_denom"});
  ScriptedUi ui;
  EXPECT_TRUE(Database::OpenFile(ui, path)->IsConnected());
}

TEST(FileEngineTest, RepairKeepsTheReadableRowsOfADamagedTable) {
  const std::string path = MakeFile("tavola.db");
  const long page = LeafPage(path, "fermate", 5);
  const long lost = std::stol(
      Query(path, "SELECT ncell FROM dbstat WHERE pageno = " + std::to_string(page)).at(0));
  Damage(path, page);
  FileEngine files;
  ASSERT_TRUE(files.Repair(path)) << files.LastError().text;
  EXPECT_EQ(Query(path, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  const long rows = std::stol(Query(path, "SELECT COUNT(*) FROM fermate").at(0));
  EXPECT_EQ(rows, kRows - lost);  // only the rows of the damaged page are gone
  EXPECT_EQ(Query(path, "SELECT COUNT(*) FROM fermate WHERE ID IN (1, 3000)"),
            std::vector<std::string>{"2"});
  EXPECT_EQ(Query(path,
                  "SELECT COUNT(*) FROM fermate WHERE denom <> 'Fermata numero ' || ID "
                  "|| ' di via Roma'"),
            std::vector<std::string>{"0"});
}

TEST(FileEngineTest, RepairAndCompactRefuseWhatTheyCannotRead) {
  const std::string dir = kvt::test::TempDir();
  FileEngine files;
  EXPECT_FALSE(files.Repair(dir + "/nope.db"));
  EXPECT_EQ(files.LastError().text, "Impossibile trovare il file '" + dir + "/nope.db'.");
  std::string jet(4096, '\0');
  jet.replace(4, 15, "Standard Jet DB");
  std::ofstream(dir + "/a.mdb", std::ios::binary) << jet;
  EXPECT_FALSE(files.Repair(dir + "/a.mdb"));
  EXPECT_EQ(files.LastError().text, "Il file '" + dir + "/a.mdb' è un database Microsoft Access.");
  EXPECT_FALSE(files.Compact(dir + "/a.mdb", dir + "/b.db"));
  EXPECT_EQ(ReadBytes(dir + "/a.mdb"), jet);
  EXPECT_FALSE(std::filesystem::exists(dir + "/b.db"));
  EXPECT_FALSE(files.Compact(dir + "/nope.db", dir + "/b.db"));
  EXPECT_EQ(files.LastError().text, "Impossibile trovare il file '" + dir + "/nope.db'.");
}

TEST(FileEngineTest, CompactWritesACheckedSmallerCopy) {
  const std::string path = MakeFile("pieno.db");
  {
    ScriptedUi ui;
    auto db = Database::OpenFile(ui, path);
    ASSERT_TRUE(db->ExecuteSql("DELETE FROM fermate WHERE ID > 100"));
  }
  const std::string before = ReadBytes(path);
  const std::string copy = kvt::test::TempDir() + "/copia.db";
  std::ofstream(copy) << "old contents";  // replaced
  FileEngine files;
  ASSERT_TRUE(files.Compact(path, copy)) << files.LastError().text;
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_LT(std::filesystem::file_size(copy), std::filesystem::file_size(path) / 4);
  EXPECT_EQ(Query(copy, "SELECT COUNT(*) FROM fermate"), std::vector<std::string>{"100"});
  EXPECT_EQ(Query(copy, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  ScriptedUi ui;
  EXPECT_TRUE(Database::OpenFile(ui, copy)->IsConnected());
}

}  // namespace
}  // namespace kvt::db
