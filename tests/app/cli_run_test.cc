// Whole commands run by the kvtbase executable, as a user types them.
#include <sys/wait.h>

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
    // In the test's folder: a file a command writes by mistake lands there.
    std::string cmd = "cd " + ShellQuote(Path("")) + " && KVTBASE_SETTINGS=" +
                      ShellQuote(Path("kvtbase.ini")) + " " +
                      ShellQuote(KVTBASE_EXE) + " " + args + " >" + ShellQuote(Path("out")) +
                      " 2>" + ShellQuote(Path("err")) + " </dev/null";
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadFile(Path("out")), ReadFile(Path("err"))};
  }
  static std::string About(const std::string& databaseLine) {
    return "INFORMAZIONE: KVT-BASE2\n" + AboutText(databaseLine) + "\n";
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

  // A PDF named for a command that prints nothing: said, and no file appears.
  r = Kvtbase("about --db " + ShellQuote(db) + " --pdf " + ShellQuote(Path("x.pdf")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "Il comando non ha stampato nulla: " + Path("x.pdf") + " non è stato scritto\n");
  EXPECT_FALSE(std::filesystem::exists(Path("x.pdf")));
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

TEST_F(CliRunTest, NoCommandWritesOverAFileItWasGivenToRead) {
  const std::string db = Path("kvt.mdb");
  ASSERT_EQ(Kvtbase("db-create " + ShellQuote(db)).status, 0);
  const std::string comm = Path("comm.txt");
  const std::string text = "questa non e' una comunicazione\n";
  std::ofstream(comm) << text;
  const std::string refused =
      "ERRORE: KVT-BASE2\n"
      "ATTENZIONE: L'importazione della Comunicazione Aziendale in formato KvtTxt V2\n"
      "non risulta possibile !!!\n\n"
      "Vuoi salvare il report degli errori riscontrati ?\n";

  // The report path first, options after the communication: each value stays with its option.
  Result r = Kvtbase("import-kvt --report " + ShellQuote(Path("rep.txt")) + " " +
                     ShellQuote(comm) + " --db " + ShellQuote(db) + " --yes");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, refused);
  EXPECT_EQ(ReadFile(comm), text);
  EXPECT_NE(ReadFile(Path("rep.txt")).find("Errori Riscontrati durante l'importazione del file " +
                                           comm + "\n"),
            std::string::npos);

  // --report without its path: a wrong command line, nothing read or written.
  r = Kvtbase("import-kvt " + ShellQuote(comm) + " --db " + ShellQuote(db) + " --report");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "L'opzione --report richiede un valore: --report=PERCORSO\n"
            "(kvtbase import-kvt --help elenca le opzioni del comando)\n");
  EXPECT_FALSE(std::filesystem::exists(Path("1")));

  // The communication named as its own report is refused, and kept.
  r = Kvtbase("import-kvt " + ShellQuote(comm) + " --db=" + ShellQuote(db) +
              " --report=" + ShellQuote(comm));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, refused +
                       "ERRORE: KVT-BASE2\n"
                       "ATTENZIONE: il report degli errori non può essere salvato\n"
                       "sul file della Comunicazione Aziendale che si sta importando !!!\n");
  EXPECT_EQ(ReadFile(comm), text);

  // A mistyped option stops the command before it runs.
  r = Kvtbase("db-disconnect --yes --colore=blu");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Opzione sconosciuta: --colore\n"
            "(kvtbase db-disconnect --help elenca le opzioni del comando)\n");
  EXPECT_EQ(r.out, "");

  r = Kvtbase("odbc-connect -h");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find("\n\nOpzioni comuni:")),
            "Uso: kvtbase odbc-connect [opzioni]\n"
            "Database > Metodo ODBC > Connetti\n\n"
            "Opzioni del comando:\n"
            "  --datasource=NOME         il data source ODBC (DSN)\n"
            "  --rowset-ordinary=N       RowsetSize per i dati di tipo ordinario\n"
            "  --rowset-blob=N           RowsetSize per i dati di tipo BLOB");
}

}  // namespace
}  // namespace kvt::app::test

#endif  // KVTBASE_EXE
