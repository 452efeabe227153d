// Whole commands run by the kvtbase executable, as a user types them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/version.h"
#include "db/file_engine.h"
#include "shell_fixture.h"
#include "support/run_program.h"

#ifdef KVTBASE_EXE

namespace kvt::app::test {
namespace {

using kvt::test::RunResult;
using kvt::test::ShellQuote;

class CliRunTest : public ShellTest {
 protected:
  // kvtbase with these arguments, on the private settings file (or `settings`), started
  // after `prefix` (a command that runs it: another user, a time limit).
  RunResult Kvtbase(const std::string& args, const std::string& settings = "",
                    const kvt::test::AnotherUser& as = {KVTBASE_EXE, ""}) {
    // In the test's folder: a file a command writes by mistake lands there.
    return kvt::test::RunProgram(as.exe, args, Path(""),
                                 settings.empty() ? Path("kvtbase.ini") : settings, as.prefix);
  }
  // The "&?" box of a run on the database file `db`, and the message that created it.
  static std::string AboutFile(const std::string& db) {
    return "INFORMAZIONE: KVT-BASE2 " + std::string(kVersion) + "\n" +
           AboutText(db + " (Jet " + db::EngineVersion() + ")") + "\n";
  }
  static std::string Created(const std::string& db) {
    return "INFORMAZIONE: Creazione database\nIl database " + db +
           " è stato creato con successo\n\n";
  }
};

// The refusal of a file that is no communication, as the command line prints it.
const std::string kRefused =
    "ERRORE: KVT-BASE2\n"
    "ATTENZIONE: L'importazione della Comunicazione Aziendale in formato KvtTxt V2\n"
    "non risulta possibile !!!\n\n"
    "Vuoi salvare il report degli errori riscontrati ?\n";

TEST_F(CliRunTest, CreateThenUseADatabaseFromTheCommandLine) {
  const std::string db = Path("linea 1.mdb");  // a blank in the path, as users have
  RunResult r = Kvtbase("db-create " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, Created(db));
  EXPECT_EQ(r.err, "");

  // --db is for one run: the settings keep no database.
  r = Kvtbase("about --db " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, AboutFile(db));
  EXPECT_EQ(StoredSettings().database, "");

  // Connecting is remembered, like in the window; the next run uses it.
  r = Kvtbase("db-connect-file --file " + ShellQuote(db));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(StoredSettings().database, db);
  EXPECT_EQ(Kvtbase("about").out, AboutFile(db));

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
  RunResult r = Kvtbase("odbc-connect --rowset-ordinary=0 --datasource=kvt_pg");
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

TEST_F(CliRunTest, NoCommandWritesOverAFileItWasGivenToRead) {
  const std::string db = Path("kvt.mdb");
  ASSERT_EQ(Kvtbase("db-create " + ShellQuote(db)).status, 0);
  const std::string comm = Path("comm.txt");
  const std::string text = "questa non e' una comunicazione\n";
  std::ofstream(comm) << text;

  // The report path first, options after the communication: each value stays with its option.
  RunResult r = Kvtbase("import-kvt --report " + ShellQuote(Path("rep.txt")) + " " +
                     ShellQuote(comm) + " --db " + ShellQuote(db) + " --yes");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kRefused);
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
  EXPECT_EQ(r.err, kRefused +
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

  // Common options before the command; nothing but them is no command.
  r = Kvtbase("--db " + ShellQuote(db) + " -y about");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, AboutFile(db));
  r = Kvtbase("--db " + ShellQuote(db));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Manca il comando (kvtbase --list elenca i comandi)\n");

  r = Kvtbase("odbc-connect -h");  // the command's options, and it does not run
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Uso: kvtbase odbc-connect [opzioni]\n", 0), 0u) << r.out;
}

// The SQLite driver ends its Database value at the first ';' and knows no braces: names with
// these characters could be created (the engine opens them directly) but never opened.
TEST_F(CliRunTest, EveryLegalFileNameIsADatabaseEveryCommandCanUse) {
  for (const std::string name : {"a;b.mdb", "a{b}.mdb", "}{.mdb", "50%;x=1?#y'z .mdb",
                                  "a;NoCreat=0;b.mdb", "riga\nnuova.mdb"}) {
    const std::string db = Path(name);
    const std::string copy = Path("copia " + name);
    RunResult r = Kvtbase("db-create " + ShellQuote(db));
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_EQ(r.out, Created(db));
    r = Kvtbase("about --db " + ShellQuote(db));
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_EQ(r.out, AboutFile(db));
    r = Kvtbase("db-duplicate " + ShellQuote(db) + " " + ShellQuote(copy));
    EXPECT_EQ(r.status, 0) << name << r.err;
    r = Kvtbase("db-repair " + ShellQuote(copy));
    EXPECT_EQ(r.out, "INFORMAZIONE: Riparazione database\nIl database " + copy +
                         " è stato riparato con successo\n\n");
    r = Kvtbase("db-connect-file " + ShellQuote(copy));
    EXPECT_EQ(r.status, 0) << name << r.err;
    EXPECT_EQ(StoredSettings().database, copy);
  }
  // Only files this program made exist: a name cut at its ';' was never created instead.
  EXPECT_FALSE(std::filesystem::exists(Path("a")));
  EXPECT_FALSE(std::filesystem::exists(Path("50%")));

  // A path the driver would cut short is refused, not opened as another file.
  std::string deep = Path("");
  while (deep.size() < 300) {  // the engine takes it; written for the driver, it passes 510
    deep += std::string(40, ';');
    std::filesystem::create_directory(deep);
    deep += "/";
  }
  const std::string longName = deep + "lungo.mdb";
  EXPECT_EQ(Kvtbase("db-create " + ShellQuote(longName)).err,
            "ERRORE: KVT-BASE2\nErrore in fase di apertura del database\n\n"
            "Il percorso del file '" + longName + "' è troppo lungo per il driver del database.\n"
            "ERRORE: Creazione database\nErrore durante la creazione del database \n\n"
            "Il database " + longName + " non è stato creato.\n");
  EXPECT_FALSE(std::filesystem::exists(longName));
}

TEST_F(CliRunTest, SettingsFileIsReadOnlyWhenUsedAndItsWarningDoesNotFailTheCommand) {
  const std::string db = Path("kvt.mdb");
  ASSERT_EQ(Kvtbase("db-create " + ShellQuote(db)).status, 0);
  // With --db the settings are not read: a pipe in their place blocked the run forever.
  const std::string pipe = Path("pipe.ini");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  RunResult r = Kvtbase("about --db " + ShellQuote(db), pipe, {KVTBASE_EXE, "timeout 60"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, AboutFile(db));
  if (const char* dsn = std::getenv("KVT_TEST_PG_DSN")) {  // and with --dsn
    r = Kvtbase("about --dsn " + ShellQuote(dsn), pipe, {KVTBASE_EXE, "timeout 60"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nRowsetSize (Dati ordinari): 25\n"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));

  // A damaged file is reported at the start; the command then succeeds, and says so.
  const std::string binary = std::string("\x7f" "ELF\x02=\x00\x01", 8);
  std::ofstream(Path("kvtbase.ini"), std::ios::binary) << binary;
  r = Kvtbase("db-connect-file " + ShellQuote(db));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "ERRORE: KVT-BASE2\n" + kGraveAnomaly);
  EXPECT_EQ(ReadFile(Path("kvtbase.ini.bak")), binary);
  EXPECT_EQ(StoredSettings().database, db);
}

// Every command that takes a path, given what is not the file it expects. Run as another
// user when we are root, so that permissions count.
TEST_F(CliRunTest, EveryCommandThatTakesAPathRefusesOddFilesWithItsMessage) {
  const std::string dir = kvt::test::SharedTempDir("kvt-odd");
  ASSERT_FALSE(dir.empty());
  const kvt::test::AnotherUser as = kvt::test::AsAnotherUser(KVTBASE_EXE, dir);
  const auto At = [&dir](const std::string& name) { return dir + "/" + name; };
  const std::string good = At("good.mdb");
  const std::string settings = At("kvtbase.ini");
  ASSERT_EQ(Kvtbase("db-create " + ShellQuote(good)).status, 0);
  std::ofstream(At("bad.txt")) << "non una comunicazione\n";
  std::filesystem::create_directory(At("folder"));
  std::filesystem::create_directory(At("ro"));
  ASSERT_EQ(mkfifo(At("pipe").c_str(), 0666), 0);
  std::ofstream(At("unreadable")) << "x";
  chmod(At("unreadable").c_str(), 0);
  chmod(At("ro").c_str(), 0555);
  for (const char* f : {"good.mdb", "bad.txt", "pipe"}) chmod(At(f).c_str(), 0666);
  const std::string before = ReadFile(good);

  const std::string p = ShellQuote(good);
  const std::string cannotOpen =
      "ERRORE: KVT-BASE2\n"
      "ATTENZIONE: non risulta possibile aprire il file KvtTxt V2 selezionato !!!\n";
  for (const std::string odd : {"folder", "pipe", "missing", "unreadable"}) {
    const std::string path = At(odd);
    const std::string why = odd == "missing"      ? "Impossibile trovare il file '" + path + "'."
                            : odd == "unreadable" ? "Impossibile leggere il file '" + path + "'."
                                                  : "'" + path + "' non è un file di database.";
    const std::pair<std::string, std::string> cases[] = {
        {"about --db " + ShellQuote(path),
         "ERRORE: KVT-BASE2\nErrore in fase di apertura del database\n\n" + why + "\n"},
        {"db-connect-file --db " + p + " " + ShellQuote(path),
         "ERRORE: KVT-BASE2\nErrore in fase di apertura del database\n\n" + why + "\n"},
        {"db-repair " + ShellQuote(path),
         "ERRORE: Riparazione database\nErrore durante la riparazione del database\n\n" + why +
             "\n"},
        {"db-duplicate " + ShellQuote(path) + " " + ShellQuote(At("copy.mdb")),
         "ERRORE: Duplicazione database\nErrore durante la duplicazione del database\n\n" + why +
             "\n"},
        {"import-kvt --db " + p + " " + ShellQuote(path),
         cannotOpen + kRefused + "-> Annulla (--yes per rispondere OK)\n"},
    };
    for (const auto& [args, err] : cases) {
      RunResult r = Kvtbase(args, settings, as);
      EXPECT_EQ(r.status, 1) << args;
      EXPECT_EQ(r.err, err) << args;
    }
  }

  // Destinations that cannot be written: a read-only folder, a folder, a pipe nobody reads
  // (writing the report to it blocked forever).
  const std::string ro = At("ro");
  RunResult r = Kvtbase("db-create " + ShellQuote(ro + "/new.mdb"), settings, as);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "ERRORE: Creazione database\nErrore durante la creazione del database \n\n"
            "unable to open database file\n");
  r = Kvtbase("db-duplicate " + p + " " + ShellQuote(ro + "/copy.mdb"), settings, as);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("ERRORE: Duplicazione database\nErrore durante la duplicazione del "
                        "database\n\nunable to open database: " + ro + "/copy.mdb.compact-",
                        0),
            0u)
      << r.err;
  r = Kvtbase("db-duplicate --yes " + p + " " + ShellQuote(At("folder")), settings, as);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ERRORE: Duplicazione database\nErrore durante la duplicazione del database\n\n"
                   "Il database di destinazione è una cartella.\n");
  for (const std::string& report : {ro + "/rep.txt", At("folder"), At("pipe")}) {
    r = Kvtbase("import-kvt --db " + p + " " + ShellQuote(At("bad.txt")) + " --report " +
                    ShellQuote(report),
                settings, as);
    EXPECT_EQ(r.status, 1) << report;
    EXPECT_EQ(r.err, kRefused + "ERRORE: KVT-BASE2\n"
                               "ATTENZIONE: non risulta possibile salvare il report degli "
                               "errori !!!\n")
        << report;
  }
  r = Kvtbase("db-connect-file " + p, ro + "/kvtbase.ini", as);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ERRORE: KVT-BASE2\nImpossibile salvare le impostazioni del programma.\n\n" +
                       ro + "/kvtbase.ini.tmp: Permission denied\n");

  // Nothing was written anywhere, nothing given was changed.
  EXPECT_EQ(ReadFile(good), before);
  EXPECT_TRUE(std::filesystem::is_empty(ro));
  EXPECT_TRUE(std::filesystem::is_empty(At("folder")));
  EXPECT_TRUE(std::filesystem::is_fifo(At("pipe")));
  EXPECT_FALSE(std::filesystem::exists(At("copy.mdb")));
  chmod(ro.c_str(), 0755);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvt::app::test

#endif  // KVTBASE_EXE
