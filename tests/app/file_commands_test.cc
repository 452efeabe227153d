// Creating, duplicating and repairing database files through the menu commands.
#include "db/dialect.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "shell_fixture.h"

namespace kvt::app::test {
namespace {

// The first page of a genuine Access 2000 (Jet 4) file, as far as anyone checks it.
std::string AccessFileBytes() {
  std::string bytes(4096, '\0');
  const char signature[] = "\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00";
  bytes.replace(0, sizeof(signature) - 1, signature, sizeof(signature) - 1);
  return bytes;
}

class FileCommandsTest : public ShellTest {
 protected:
  // A marker row in a database file, so that a copy can be recognised.
  void Mark(const std::string& path, const std::string& text) {
    auto db = db::Database::OpenFile(ui, path);
    ASSERT_TRUE(db->IsConnected());
    std::string error;
    ASSERT_TRUE(db->ExecuteSql("CREATE TABLE marker (t VARCHAR(40))", &error)) << error;
    ASSERT_TRUE(db->ExecuteSql("INSERT INTO marker VALUES (" + db::SqlQuote(text) + ")", &error))
        << error;
  }
  // The marker of a file; empty when the file or the marker is missing.
  std::string MarkerOf(const std::string& path) {
    ScriptedUi quiet;
    auto db = db::Database::OpenFile(quiet, path);
    if (!db->IsConnected()) return "";
    db::Selection s(db.get());
    s.AddColumn("marker", "t", db::kSqlVarChar);
    s.SetFrom("marker");
    return s.Open() ? s.GetText(0) : "";
  }
};

TEST_F(FileCommandsTest, CreateRefusesAnExistingFileAndLeavesItAlone) {
  std::string path = CreateDatabase("new.mdb");
  Mark(path, "mine");
  ui.QueueFile(path);
  Run("db-create");
  EXPECT_EQ(ui.fileTitles, std::vector<std::string>{"Creazione Nuovo Database"});
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  EXPECT_EQ(ui.messages[0].caption, "Creazione database");
  EXPECT_EQ(ui.messages[0].text,
            "Errore durante la creazione del database \n\nIl file '" + path + "' esiste già.");
  EXPECT_EQ(MarkerOf(path), "mine");
}

TEST_F(FileCommandsTest, DuplicateMakesAWorkingCopyAndNeverOverwritesItsSource) {
  std::string source = CreateDatabase("source.mdb");
  Mark(source, "originale");
  std::string copy = Path("copy.mdb");

  ui.QueueFile(source);
  ui.QueueFile(copy);
  Run("db-duplicate");
  EXPECT_EQ(ui.fileTitles, (std::vector<std::string>{"Selezione del Database di origine",
                                                     "Selezione del Database di destinazione"}));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Il database " + source + " è stato duplicato in " + copy + "\n\n");
  EXPECT_EQ(ui.messages[0].caption, "Duplicazione database");
  EXPECT_EQ(MarkerOf(copy), "originale");
  ui.QueueFile(copy);  // the copy is a database the program connects to
  Run("db-connect-file");
  ASSERT_NE(shell().database(), nullptr);

  // Onto itself (by another name for the same file), or onto the open database: refused.
  ui.Clear();
  ui.QueueFile(source);
  ui.QueueFile(Path("./source.mdb"));
  Run("db-duplicate");
  ui.QueueFile(source);
  ui.QueueFile(copy);
  Run("db-duplicate");
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Errore durante la duplicazione del database\n\n"
                            "Il database di destinazione coincide con quello di origine.",
                            "Errore durante la duplicazione del database\n\n"
                            "Il database di destinazione è quello correntemente connesso."}));
  EXPECT_EQ(MarkerOf(source), "originale");
  EXPECT_TRUE(shell().database()->IsConnected());

  // Either chooser cancelled: nothing happens.
  ui.Clear();
  ui.QueueFile(source);
  Run("db-duplicate");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FileCommandsTest, RepairKeepsTheDataAndTheConnection) {
  std::string path = CreateDatabase("repair.mdb");
  Mark(path, "dati");
  ASSERT_TRUE(shell().ConnectFile(path));
  ui.QueueFile(path);
  Run("db-repair");
  EXPECT_EQ(ui.fileTitles, std::vector<std::string>{"Riparazione del Database"});
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Il database " + path + " è stato riparato con successo\n\n");
  EXPECT_EQ(ui.messages[0].caption, "Riparazione database");
  EXPECT_GE(ui.maxWaitDepth, 1);  // under the wait cursor, restored at the end
  EXPECT_EQ(ui.waitDepth, 0);
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsConnected());
  EXPECT_EQ(shell().settings().database, path);
  EXPECT_EQ(MarkerOf(path), "dati");
}

TEST_F(FileCommandsTest, GenuineAccessFileIsRefusedAndLeftUntouched) {
  const std::string access = Path("ardelio.mdb");
  std::ofstream(access, std::ios::binary) << AccessFileBytes();

  ui.QueueFile(access);
  Run("db-repair");
  ui.QueueFile(access);
  ui.QueueFile(Path("copy.mdb"));
  Run("db-duplicate");
  ui.QueueFile(access);
  Run("db-connect-file");

  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0].caption, "Riparazione database");
  EXPECT_EQ(ui.messages[0].text, "Errore durante la riparazione del database\n\nIl file '" +
                                     access + "' è un database Microsoft Access.");
  EXPECT_EQ(ui.messages[1].caption, "Duplicazione database");
  EXPECT_EQ(ui.messages[1].text, "Errore durante la duplicazione del database\n\nIl file '" +
                                     access + "' è un database Microsoft Access.");
  EXPECT_EQ(ui.messages[2].text,
            "Errore in fase di apertura del database\n\nIl file '" + access +
                "' è un database Microsoft Access (Jet/ACE), che questo programma non può "
                "aprire: il file non è stato modificato.");
  for (const auto& m : ui.messages) EXPECT_EQ(m.icon, MsgIcon::Stop);
  EXPECT_EQ(ReadFile(access), AccessFileBytes());
  EXPECT_FALSE(std::filesystem::exists(Path("copy.mdb")));
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().database, "");
}

}  // namespace
}  // namespace kvt::app::test
