// Whole commands run by the kvtbase executable, as a user types them.
#include <sys/wait.h>

#include "app/version.h"
#include "db/file_engine.h"
#include "shell_fixture.h"

#ifdef KVTBASE_EXE

namespace kvt::app::test {
namespace {

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class CliRunTest : public ShellTest {
 protected:
  // kvtbase with these arguments, on the private settings file.
  Result Kvtbase(const std::string& args) {
    std::string cmd = "KVTBASE_SETTINGS=" + ShellQuote(Path("kvtbase.ini")) + " " +
                      ShellQuote(KVTBASE_EXE) + " " + args + " >" + ShellQuote(Path("out")) +
                      " 2>" + ShellQuote(Path("err")) + " </dev/null";
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(Path("out")), ReadFile(Path("err"))};
  }
  static std::string About(const std::string& databaseLine) {
    return "INFORMAZIONE: KVT-BASE2 " + std::string(kVersion) + "\n" + AboutText(databaseLine) +
           "\n";
  }
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
  EXPECT_EQ(StoredSettings().database, "");

  // Connecting is remembered, like in the window; the next run uses it.
  r = Kvtbase("db-connect-file --file " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(StoredSettings().database, db);
  EXPECT_EQ(Kvtbase("about").out, About(db + " (Jet " + db::EngineVersion() + ")"));

  // Questions answer Annulla unless --yes is given.
  r = Kvtbase("db-disconnect");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out,
            "DOMANDA: Sconnessione Database\nConfermi sconnessione database ?\n"
            "-> Annulla (--yes per rispondere OK)\n");
  EXPECT_EQ(StoredSettings().database, db);
  EXPECT_EQ(Kvtbase("db-disconnect --yes").status, 0);
  EXPECT_EQ(StoredSettings().database, "");
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

  r = Kvtbase("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "kvtbase (KVT-BASE2) " + std::string(kVersion) + "\n");

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
  EXPECT_EQ(r.err,  // and --report is not called unused
            "ERRORE: KVT-BASE2\n"
            "ATTENZIONE: non risulta possibile aprire il file KvtTxt V2 selezionato !!!\n"
            "ERRORE: KVT-BASE2\n"
            "ATTENZIONE: L'importazione della Comunicazione Aziendale in formato KvtTxt V2\n"
            "non risulta possibile !!!\n\n"
            "Vuoi salvare il report degli errori riscontrati ?\n");
  r = Kvtbase("about --db " + ShellQuote(db) + " --colore=blu");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Opzione non usata: --colore\n");
}

}  // namespace
}  // namespace kvt::app::test

#endif  // KVTBASE_EXE
