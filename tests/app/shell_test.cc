// Start-up, connection and the settings they leave behind.
#include "app/odbc_dialog.h"
#include "db/file_engine.h"
#include "shell_fixture.h"

namespace kvt::app::test {
namespace {

const std::string kFirstStartQuestion =
    "L'applicazione KVT-BASE2 non è associata ad un database.\n\n"
    "Prima di iniziare ad operare con KVT-BASE2 è necessario\n"
    "creare un database vuoto oppure occorre associare un\n"
    "database già esistente.\n\n"
    "Intendi procedere alla creazione di un nuovo database ?";

const std::string kConnectError =
    "Errore in fase di conessione al database \n\n"
    "[unixODBC][Driver Manager]Data source name not found and no default driver specified";

TEST_F(ShellTest, FirstStartAnsweredCancelRunsWithoutDatabase) {
  // A damaged settings file is reported first; its defaults mean a first start.
  WriteSettings("Database=/somewhere.mdb\nRowSzAlfa=molti\n");
  ui.QueueAnswer(MsgResult::Cancel);
  ASSERT_TRUE(shell().Startup());
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{kGraveAnomaly, kFirstStartQuestion}));
  EXPECT_EQ(ui.messages[1].buttons, MsgButtons::OkCancel);
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(ShownAbout(), AboutText("Nessuno"));
  shell().Shutdown();  // the damaged file is kept aside, not lost
  EXPECT_EQ(ReadFile(Path("kvtbase.ini.bak")),
            "[Software\\KVTBASE\\KVTBASE\\1.00]\nDatabase=/somewhere.mdb\nRowSzAlfa=molti\n");
  EXPECT_EQ(StoredSettings(), Settings{});
}

TEST_F(ShellTest, FirstStartAnsweredOkCreatesTheDefaultDatabaseAndKeepsIt) {
  WriteSettings("Directory=" + Path("install/kvt") + "\n");
  const std::string expected = Path("install/kvt/KVTBASE.MDB");
  ASSERT_TRUE(shell().Startup());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            kFirstStartQuestion,
                            "Il database " + expected + " è stato creato con successo\n\n"}));
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_EQ(ShownAbout(), AboutText(expected + " (Jet " + db::EngineVersion() + ")"));
  shell().Shutdown();
  EXPECT_EQ(StoredSettings().database, expected);

  ui.Clear();  // the next start connects to it without asking
  ASSERT_TRUE(Restart().Startup());
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_NE(shell().database(), nullptr);

  // Settings lost but the default file still there: it is taken, not refused as existing.
  shell().Disconnect();
  WriteSettings("Directory=" + Path("install/kvt") + "\n");
  ASSERT_TRUE(Restart().Startup());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{kFirstStartQuestion});
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().database, expected);
}

TEST_F(ShellTest, FirstStartThatCannotCreateEndsTheProgram) {
  std::ofstream(Path("plainfile")) << "x";
  WriteSettings("Directory=" + Path("plainfile/sub") + "\n");
  EXPECT_FALSE(shell().Startup());
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{kFirstStartQuestion,
                                      "Errore durante la creazione del database \n\n"
                                      "unable to open database file",
                                      "Non è stato possibile associare un database valido.\n\n"
                                      "Non è pertanto possibile procedere oltre !!!\n\n"}));
  EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
}

TEST_F(ShellTest, StoredTargetThatNoLongerConnectsIsClearedAndSavedEmpty) {
  WriteSettings("DsnOdbc=kvt_gone_away\nRowSzAlfa=40\n");
  ASSERT_TRUE(shell().Startup());  // no first-start question: a DSN was configured
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{kConnectError});
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(ShownAbout(), AboutText("Nessuno"));
  shell().Shutdown();
  EXPECT_EQ(StoredSettings().dsnOdbc, "");
  EXPECT_EQ(StoredSettings().rowSzAlfa, 40u);

  std::ofstream(Path("notes.mdb")) << "just some notes\n";
  WriteSettings("Database=" + Path("notes.mdb") + "\n");
  ui.Clear();
  ASSERT_TRUE(Restart().Startup());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Errore in fase di apertura del database\n\n"
                                                 "[SQLite]file is not a database (26)"});
  EXPECT_EQ(shell().settings().database, "");
  EXPECT_EQ(ReadFile(Path("notes.mdb")), "just some notes\n");
}

ScriptedUi::FormFiller Fill(std::string ordinary, std::string blob, std::string dsn) {
  return [=](Form& form) {
    form.SetFromText(kRowsetOrdinaryField, ordinary);
    form.SetFromText(kRowsetBlobField, blob);
    form.SetFromText(kDsnField, dsn);
    return true;
  };
}

TEST_F(ShellTest, DsnDialogRefusesInTheWrittenOrderAndStaysOpen) {
  std::vector<std::string> shown;  // caption, preset and length limit of each field
  ui.QueueForm([&](Form& form) {
    for (const FormField& f : form.Fields())
      shown.push_back(f.caption + "=" + f.text + "/" + std::to_string(f.maxLength));
    return Fill("", "0", "")(form);
  });
  ui.QueueForm(Fill("0", "0", ""));
  ui.QueueForm(Fill("-5", "1", "x"));  // a negative size is no size
  ui.QueueForm(Fill("25", "", ""));
  ui.QueueForm(Fill("25", "abc", "x"));
  ui.QueueForm(Fill("25", "1", ""));
  ui.QueueForm(Fill("12", "3", "kvt_gone_away"));
  Run("odbc-connect");

  EXPECT_EQ(shown, (std::vector<std::string>{"DSN:=/0", "RowsetSize (Dati Ordinari)=25/4",
                                             "RowsetSize (Dati BLOB)=1/4"}));
  EXPECT_EQ(ui.formTitles, std::vector<std::string>{"Selezione DataSource"});  // one dialog
  const std::string ordinary =
      "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!";
  const std::string blob = "Occorre indicare la dimensione del rowset per dati di tipo BLOB !!!";
  const std::string dsn = "Occorre specificare il DSN per potere effettuare la connessione ODBC.";
  // The dialog closed on the last filling; the DSN it named does not connect.
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{ordinary, ordinary, ordinary, blob, blob, dsn,
                                                  kConnectError}));
  for (const auto& m : ui.messages) EXPECT_EQ(m.icon, MsgIcon::Stop);
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().dsnOdbc, "");
  EXPECT_EQ(shell().settings().rowSzAlfa, 12u);
  EXPECT_EQ(shell().settings().rowSzBlob, 3u);
}

TEST_F(ShellTest, DisconnectAnsweredCancelChangesNothing) {
  std::string path = CreateDatabase("a.mdb");
  ui.QueueFile(path);
  Run("db-connect-file");
  ASSERT_NE(shell().database(), nullptr);
  Run("odbc-init");  // a file database is not an ODBC data source
  ui.QueueAnswer(MsgResult::Cancel);
  Run("db-disconnect");
  EXPECT_EQ(ui.Texts(),
            (std::vector<std::string>{"Occorre essere connessi ad un database con il Metodo ODBC\n"
                                      "per poterlo inizializzare.",
                                      "Confermi sconnessione database ?"}));
  EXPECT_EQ(ui.messages[1].caption, "Sconnessione Database");
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsConnected());
  EXPECT_EQ(shell().settings().database, path);

  ui.QueueAnswer(MsgResult::Ok);
  Run("db-disconnect");
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().database, "");
  EXPECT_EQ(ShownAbout(), AboutText("Nessuno"));
}

}  // namespace
}  // namespace kvt::app::test
