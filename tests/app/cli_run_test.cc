// Whole commands run by the kvtbase executable, as a user types them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/shell.h"
#include "db/file_engine.h"
#include "platform/settings.h"

#ifdef KVTBASE_EXE

namespace kvt::app::test {
namespace {

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class CliRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt cli-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  Result Kvtbase(const std::string& args) {
    std::string cmd = "KVTBASE_SETTINGS=" + ShellQuote(Path("kvtbase.ini")) + " " +
                      ShellQuote(KVTBASE_EXE) + " " + args + " >" + ShellQuote(Path("out")) +
                      " 2>" + ShellQuote(Path("err")) + " </dev/null";
    int rc = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = Slurp(Path("out"));
    r.err = Slurp(Path("err"));
    return r;
  }
  Settings Stored() const {
    Settings s;
    SettingsFile(Path("kvtbase.ini")).Load(&s);
    return s;
  }
  static std::string About(const std::string& databaseLine) {
    return "INFORMAZIONE: KVT-BASE2\n"
           "INFORMAZIONI SUL PROGRAMMA\n\n"
           "KVTBASE - \"Gestione Trasvia - Regione Velmora\"\n"
           "Sistema operativo " +
           OperatingSystemLine() + "\n\nDatabase: " + databaseLine + "\n";
  }

  std::string dir_;
};

TEST_F(CliRunTest, CreateThenUseADatabaseFromTheCommandLine) {
  const std::string db = Path("linea 1.mdb");  // a blank in the path, as users have
  Result r = Kvtbase("db-create " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "INFORMAZIONE: Creazione database\nIl database " + db +
                       " è stato creato con successo\n\n");
  EXPECT_EQ(r.err, "");

  // --db is for one run: the settings keep no database.
  r = Kvtbase("about --db " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, About(db + " (Jet " + db::EngineVersion() + ")"));
  EXPECT_EQ(Stored().database, "");

  // Connecting is remembered, like in the window; the next run uses it.
  r = Kvtbase("db-connect-file --file " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Stored().database, db);
  r = Kvtbase("about");
  EXPECT_EQ(r.out, About(db + " (Jet " + db::EngineVersion() + ")"));

  // Questions answer Annulla unless --yes is given.
  r = Kvtbase("db-disconnect");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out,
            "DOMANDA: Sconnessione Database\nConfermi sconnessione database ?\n"
            "-> Annulla (--yes per rispondere OK)\n");
  EXPECT_EQ(Stored().database, db);
  r = Kvtbase("db-disconnect --yes");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Stored().database, "");
}

TEST_F(CliRunTest, RefusalsAndMistakesGiveTheirExitStatus) {
  Result r = Kvtbase("odbc-connect --rowset-ordinary=0 --datasource=kvt_pg");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "ERRORE: KVT-BASE2\n"
            "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!\n");

  r = Kvtbase("about --db " + ShellQuote(Path("missing.mdb")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "ERRORE: KVT-BASE2\nErrore in fase di apertura del database\n\n"
            "Impossibile trovare il file '" +
                Path("missing.mdb") + "'.\n");
  EXPECT_EQ(r.out, "");  // the command did not run on the missing database

  r = Kvtbase("db-create");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Nessun file indicato per \"Creazione Nuovo Database\" (--file PERCORSO)\n");

  r = Kvtbase("db-connect");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Comando sconosciuto: db-connect (kvtbase --list elenca i comandi)\n");

  r = Kvtbase("--list");  // every menu command, id and path
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 65);
  EXPECT_EQ(r.out.rfind("db-create                     Database > Metodo DAO/JET > Crea\n", 0), 0u);
  EXPECT_NE(r.out.find("\nodbc-connect                  Database > Metodo ODBC > Connetti\n"),
            std::string::npos);
}

TEST_F(CliRunTest, OptionsACommandReadsItselfAreNotCalledUnused) {
  const std::string db = Path("kvt.mdb");
  ASSERT_EQ(Kvtbase("db-create " + ShellQuote(db)).status, 0);
  // A communication that cannot be opened is refused; its (empty) report goes where asked.
  Result r = Kvtbase("import-kvt --db " + ShellQuote(db) + " " + ShellQuote(Path("none.txt")) +
                     " --report " + ShellQuote(Path("errori.txt")));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::filesystem::exists(Path("errori.txt")));
  EXPECT_EQ(r.err.find("Opzione non usata"), std::string::npos) << r.err;
  r = Kvtbase("about --db " + ShellQuote(db) + " --colore=blu");
  EXPECT_NE(r.err.find("Opzione non usata: --colore\n"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kvt::app::test

#endif  // KVTBASE_EXE
