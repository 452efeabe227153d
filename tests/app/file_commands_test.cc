// Creating, duplicating and repairing database files through the menu commands.
#include <algorithm>
#include <filesystem>

#include "shell_fixture.h"

namespace kvt::app::test {
namespace {

TEST_F(ShellTest, DuplicateMakesAWorkingCopyAndNeverOverwritesItsSource) {
  const std::string source = CreateDatabase("source.mdb");
  const std::string bytes = ReadFile(source);
  const std::string copy = Path("copy.mdb");
  ui.QueueFile(source);
  ui.QueueFile(copy);
  Run("db-duplicate");
  EXPECT_EQ(ui.fileTitles, (std::vector<std::string>{"Selezione del Database di origine",
                                                     "Selezione del Database di destinazione"}));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Il database " + source +
                                                 " è stato duplicato in " + copy + "\n\n"});
  EXPECT_EQ(ui.messages[0].caption, "Duplicazione database");
  ASSERT_TRUE(shell().ConnectFile(copy));  // the copy is a database the program connects to

  // Onto itself (by another name), or onto the open database: refused, nothing touched.
  ui.Clear();
  for (const std::string& target : {Path("./source.mdb"), copy}) {
    ui.QueueFile(source);
    ui.QueueFile(target);
    Run("db-duplicate");
  }
  ui.QueueFile(source);  // second chooser cancelled: nothing happens
  Run("db-duplicate");
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Errore durante la duplicazione del database\n\n"
                            "Il database di destinazione coincide con quello di origine.",
                            "Errore durante la duplicazione del database\n\n"
                            "Il database di destinazione è quello correntemente connesso."}));
  for (const RecordedMessage& m : ui.messages) EXPECT_EQ(m.caption, "Duplicazione database");
  EXPECT_EQ(ReadFile(source), bytes);
  EXPECT_TRUE(shell().database()->IsConnected());
}

TEST_F(ShellTest, RepairOfTheOpenDatabaseReconnectsIt) {
  std::string path = CreateDatabase("repair.mdb");
  ASSERT_TRUE(shell().ConnectFile(path));
  ui.QueueFile(path);
  Run("db-repair");
  EXPECT_EQ(ui.fileTitles, std::vector<std::string>{"Riparazione del Database"});
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"Il database " + path + " è stato riparato con successo\n\n"});
  EXPECT_EQ(ui.messages[0].caption, "Riparazione database");
  EXPECT_EQ(ui.waitDepth, 0);  // the wait cursor is back
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsConnected());
}

TEST_F(ShellTest, FilesTheEngineCannotTakeAreRefusedAndLeftUntouched) {
  // The first bytes of a Jet 4 file, as far as anyone checks them.
  std::string bytes(4096, '\0');
  bytes.replace(0, 19, std::string("\x00\x01\x00\x00Standard Jet DB", 19));
  const std::string access = Path("ardelio.mdb");
  std::ofstream(access, std::ios::binary) << bytes;

  ui.QueueFile(access);
  Run("db-repair");
  ui.QueueFile(access);
  ui.QueueFile(Path("copy.mdb"));
  Run("db-duplicate");
  ui.QueueFile(access);
  Run("db-connect-file");
  ui.QueueFile(access);
  Run("db-create");  // an existing file is never replaced
  EXPECT_EQ(
      ui.Texts(),
      (std::vector<std::string>{
          "Errore durante la riparazione del database\n\nIl file '" + access +
              "' è un database Microsoft Access.",
          "Errore durante la duplicazione del database\n\nIl file '" + access +
              "' è un database Microsoft Access.",
          "Errore in fase di apertura del database\n\nIl file '" + access +
              "' è un database Microsoft Access (Jet/ACE), che questo programma non può "
              "aprire: il file non è stato modificato.",
          "Errore durante la creazione del database \n\nIl file '" + access + "' esiste già."}));
  std::vector<std::string> captions;
  for (const RecordedMessage& m : ui.messages) captions.push_back(m.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Riparazione database", "Duplicazione database",
                                                "KVT-BASE2", "Creazione database"}));
  EXPECT_EQ(ReadFile(access), bytes);
  EXPECT_FALSE(std::filesystem::exists(Path("copy.mdb")));
  EXPECT_EQ(shell().database(), nullptr);
  // Every chooser of these commands offers the JET files first.
  ASSERT_EQ(ui.fileDialogs.size(), 5u);
  EXPECT_EQ(ui.fileDialogs.back().title, "Creazione Nuovo Database");
  for (const FileDialogSpec& d : ui.fileDialogs) {
    EXPECT_EQ(d.filter, "Database JET (*.mdb)|*.mdb|Tutti i files (*.*)|*.*||") << d.title;
    EXPECT_EQ(d.defaultExt, "MDB") << d.title;
  }
}

// "Annulla" during a duplication or a repair: every file as it was, the folder holds no
// partial copy, and the user is told.
TEST_F(ShellTest, StoppedDuplicationAndRepairLeaveEveryFileAsItWas) {
  const std::string source = CreateDatabase("stop.mdb");
  const std::string old = CreateDatabase("old.mdb");
  const std::string bytes = ReadFile(source), oldBytes = ReadFile(old);
  auto folder = [this] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(Path("")))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> before = folder();
  for (const std::string& target : {Path("new.mdb"), old}) {
    ui.Clear();
    ui.cancelRequested = false;
    ui.cancelAtCaption = "*";
    ui.QueueFile(source);
    ui.QueueFile(target);
    Run("db-duplicate");
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Operazione annullata: nessun file è stato scritto."});
    EXPECT_EQ(ui.messages[0].caption, "Duplicazione database");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
  }
  ui.Clear();
  ui.cancelRequested = false;
  ui.QueueFile(source);
  Run("db-repair");
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"Operazione annullata: il database non è stato modificato."});
  EXPECT_EQ(ui.messages[0].caption, "Riparazione database");
  EXPECT_EQ(ui.progressCaptions, std::vector<std::string>{"Verifica dell'integrità del database"});
  EXPECT_EQ(folder(), before);
  EXPECT_EQ(ReadFile(source), bytes);
  EXPECT_EQ(ReadFile(old), oldBytes);
  EXPECT_EQ(ui.waitDepth, 0);
  EXPECT_FALSE(ui.cancellable);

  // Not stopped, the duplication shows its step and measures the copy in bytes.
  ui.Clear();
  ui.cancelRequested = false;
  ui.cancelAtCaption.clear();
  ui.QueueFile(source);
  ui.QueueFile(Path("new.mdb"));
  Run("db-duplicate");
  EXPECT_EQ(ui.progressCaptions.front(), "Duplicazione del database");
  EXPECT_EQ(ui.progressCaptions.back(), "Verifica del database duplicato");
  ASSERT_FALSE(ui.progressTexts.empty());
  EXPECT_EQ(ui.progressTexts.front(), "0 MB scritti su 1 MB");
  EXPECT_EQ(ui.progressTexts.back(), "");  // the band is cleared at the end
  EXPECT_TRUE(std::filesystem::exists(Path("new.mdb")));
}

}  // namespace
}  // namespace kvt::app::test
