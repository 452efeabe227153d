// Start-up, connection and the settings they leave behind.
#include <sys/utsname.h>

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

const std::string kGraveAnomaly =
    "ATTENZIONE: è stata riscontrata una anomalia grave\n"
    "che rende impossibile il corretto funzionamento di\n"
    "questo programma.\n\n"
    "Ipotesi A) Il prodotto non è stato installato nella\n"
    "           maniera corretta, utilizzando Setup.\n\n"
    "Ipotesi B) Il registro di configurazione di Windows\n"
    "           si è corrotto e deve essere ripristinato.\n\n";

const std::string kConnectError = "Errore in fase di conessione al database \n\n";

TEST_F(ShellTest, FirstStartAnsweredCancelRunsWithoutDatabase) {
  ui.QueueAnswer(MsgResult::Cancel);
  ASSERT_TRUE(shell().Startup());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, kFirstStartQuestion);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(ShownAbout(), AboutText("Nessuno"));

  // The operating-system line names the running system.
  struct utsname u {};
  ASSERT_EQ(uname(&u), 0);
  EXPECT_NE(OperatingSystemLine().find(std::string(u.sysname) + " " + u.release),
            std::string::npos);

  shell().Shutdown();
  EXPECT_EQ(StoredSettings(), Settings{});
  ui.Clear();
  ui.QueueAnswer(MsgResult::Cancel);
  Restart().Startup();  // still nothing configured: asked again
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{kFirstStartQuestion});
}

TEST_F(ShellTest, FirstStartAnsweredOkCreatesTheDefaultDatabaseAndKeepsIt) {
  WriteSettings("Directory=" + Path("install/kvt") + "\n");
  const std::string expected = Path("install/kvt/KVTBASE.MDB");
  ASSERT_TRUE(shell().Startup());
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, kFirstStartQuestion);
  EXPECT_EQ(ui.messages[1].text, "Il database " + expected + " è stato creato con successo\n\n");
  EXPECT_EQ(ui.messages[1].caption, "Creazione database");
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsDao());
  EXPECT_EQ(ShownAbout(), AboutText(expected + " (Jet " + db::EngineVersion() + ")"));
  shell().Shutdown();
  EXPECT_EQ(StoredSettings().database, expected);
  EXPECT_EQ(StoredSettings().directory, Path("install/kvt"));

  // The next start connects to it without asking.
  ui.Clear();
  ASSERT_TRUE(Restart().Startup());
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsConnected());

  // Settings lost but the default file still there: it is taken, not recreated or refused.
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
  ASSERT_GE(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0].text, kFirstStartQuestion);
  EXPECT_EQ(ui.messages[1].text.rfind("Errore durante la creazione del database \n\n", 0), 0u)
      << ui.messages[1].text;
  EXPECT_EQ(ui.messages.back().text,
            "Non è stato possibile associare un database valido.\n\n"
            "Non è pertanto possibile procedere oltre !!!\n\n");
  EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
  EXPECT_EQ(shell().database(), nullptr);
}

TEST_F(ShellTest, DamagedSettingsAreReportedAndDefaultsUsed) {
  WriteSettings("Database=/somewhere.mdb\nRowSzAlfa=molti\n");
  ui.QueueAnswer(MsgResult::Cancel);
  ASSERT_TRUE(shell().Startup());
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, kGraveAnomaly);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  EXPECT_EQ(ui.messages[1].text, kFirstStartQuestion);
  EXPECT_EQ(shell().settings(), Settings{});
  // The damaged file is kept aside, not lost, when the settings are written.
  shell().Shutdown();
  EXPECT_EQ(ReadFile(Path("kvtbase.ini.bak")),
            "[Software\\KVTBASE\\KVTBASE\\1.00]\nDatabase=/somewhere.mdb\nRowSzAlfa=molti\n");
}

TEST_F(ShellTest, StoredDsnThatNoLongerConnectsIsClearedAndSavedEmpty) {
  WriteSettings("DsnOdbc=kvt_gone_away\nRowSzAlfa=40\n");
  ASSERT_TRUE(shell().Startup());
  ASSERT_EQ(ui.messages.size(), 1u);  // no first-start question: a DSN was configured
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  EXPECT_EQ(ui.messages[0].text.rfind(kConnectError, 0), 0u) << ui.messages[0].text;
  EXPECT_NE(ui.messages[0].text.find("Data source name not found"), std::string::npos)
      << ui.messages[0].text;
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().dsnOdbc, "");
  EXPECT_EQ(ShownAbout(), AboutText("Nessuno"));
  shell().Shutdown();
  Settings stored = StoredSettings();
  EXPECT_EQ(stored.dsnOdbc, "");
  EXPECT_EQ(stored.rowSzAlfa, 40u);
}

TEST_F(ShellTest, StoredFileThatCannotBeOpenedIsCleared) {
  std::ofstream(Path("notes.mdb")) << "just some notes, not a database\n";
  WriteSettings("Database=" + Path("notes.mdb") + "\n");
  ASSERT_TRUE(shell().Startup());
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text.rfind("Errore in fase di apertura del database\n\n", 0), 0u)
      << ui.messages[0].text;
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().database, "");
  EXPECT_EQ(ReadFile(Path("notes.mdb")), "just some notes, not a database\n");
}

// Fills the DSN dialog like a user would and presses OK.
ScriptedUi::FormFiller Fill(std::string ordinary, std::string blob, std::string dsn) {
  return [=](Form& form) {
    form.SetFromText(kRowsetOrdinaryField, ordinary);
    form.SetFromText(kRowsetBlobField, blob);
    form.SetFromText(kDsnField, dsn);
    return true;
  };
}

TEST_F(ShellTest, DsnDialogRefusesInTheWrittenOrderAndStaysOpen) {
  std::vector<std::string> presets;
  ui.QueueForm([&](Form& form) {
    presets = {form.Text(kRowsetOrdinaryField), form.Text(kRowsetBlobField), form.Text(kDsnField)};
    EXPECT_EQ(form.Field(kDsnField).caption, "DSN:");
    EXPECT_EQ(form.Field(kRowsetOrdinaryField).maxLength, 4);
    EXPECT_EQ(form.Field(kRowsetBlobField).maxLength, 4);
    form.SetText(kRowsetOrdinaryField, "");
    form.SetText(kRowsetBlobField, "0");
    return true;
  });
  ui.QueueForm(Fill("0", "0", ""));
  ui.QueueForm(Fill("-5", "1", "x"));  // a negative size is no size
  ui.QueueForm(Fill("25", "", ""));
  ui.QueueForm(Fill("25", "abc", "x"));
  ui.QueueForm(Fill("25", "1", ""));
  ui.QueueForm(Fill("12", "3", "kvt_gone_away"));
  Run("odbc-connect");

  EXPECT_EQ(presets, (std::vector<std::string>{"25", "1", ""}));
  EXPECT_EQ(ui.formTitles, std::vector<std::string>{"Selezione DataSource"});  // one dialog
  const std::string ordinary =
      "Occorre indicare la dimensione del rowset per dati di tipo ordinario !!!";
  const std::string blob = "Occorre indicare la dimensione del rowset per dati di tipo BLOB !!!";
  const std::string dsn = "Occorre specificare il DSN per potere effettuare la connessione ODBC.";
  std::vector<std::string> texts = ui.Texts();
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 6),
            (std::vector<std::string>{ordinary, ordinary, ordinary, blob, blob, dsn}));
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(ui.messages[i].icon, MsgIcon::Stop);
  // The dialog closed on the last filling; the DSN it named does not connect.
  EXPECT_EQ(texts[6].rfind(kConnectError, 0), 0u) << texts[6];
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().dsnOdbc, "");
  EXPECT_EQ(shell().settings().rowSzAlfa, 12u);
  EXPECT_EQ(shell().settings().rowSzBlob, 3u);
}

TEST_F(ShellTest, DsnDialogCancelledChangesNothing) {
  std::string path = CreateDatabase("keep.mdb");
  ASSERT_TRUE(shell().ConnectFile(path));
  ui.QueueForm([](Form&) { return false; });
  Run("odbc-connect");
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().database, path);
}

TEST(RowsetSizeTest, ParsesTheLeadingNumberAndRefusesTheRest) {
  EXPECT_EQ(ParseRowsetSize("25"), 25u);
  EXPECT_EQ(ParseRowsetSize(" 9x"), 9u);
  EXPECT_EQ(ParseRowsetSize("+7"), 7u);
  EXPECT_EQ(ParseRowsetSize("-5"), 0u);
  EXPECT_EQ(ParseRowsetSize(""), 0u);
  EXPECT_EQ(ParseRowsetSize("x9"), 0u);
  EXPECT_EQ(ParseRowsetSize("99999999999"), 0u);
}

TEST_F(ShellTest, DisconnectAnsweredCancelChangesNothing) {
  std::string path = CreateDatabase("a.mdb");
  ui.QueueFile(path);
  Run("db-connect-file");
  ASSERT_NE(shell().database(), nullptr);
  ui.Clear();

  ui.QueueAnswer(MsgResult::Cancel);
  Run("db-disconnect");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Confermi sconnessione database ?");
  EXPECT_EQ(ui.messages[0].caption, "Sconnessione Database");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsConnected());
  EXPECT_EQ(shell().settings().database, path);

  ui.QueueAnswer(MsgResult::Ok);
  Run("db-disconnect");
  EXPECT_EQ(shell().database(), nullptr);
  EXPECT_EQ(shell().settings().database, "");
  EXPECT_EQ(ShownAbout(), AboutText("Nessuno"));
}

TEST_F(ShellTest, ConnectFileChoosesTheFileMethodAndForgetsTheDsn) {
  WriteSettings("DsnOdbc=kvt_gone_away\n");
  shell().LoadSettings();
  std::string path = CreateDatabase("b.mdb");

  Run("db-connect-file");  // chooser cancelled: nothing changes
  EXPECT_EQ(ui.fileTitles, std::vector<std::string>{"Selezione del Database"});
  EXPECT_EQ(shell().settings().dsnOdbc, "kvt_gone_away");

  ui.QueueFile(path);
  Run("db-connect-file");
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_NE(shell().database(), nullptr);
  EXPECT_TRUE(shell().database()->IsDao());
  EXPECT_EQ(shell().settings().dsnOdbc, "");
  EXPECT_EQ(ShownAbout(), AboutText(path + " (Jet " + db::EngineVersion() + ")"));

  shell().Shutdown();
  EXPECT_EQ(StoredSettings().database, path);
  EXPECT_EQ(StoredSettings().dsnOdbc, "");
}

TEST_F(ShellTest, ExitAsksBeforeEnding) {
  const std::string question =
      "E' stata richiesta l'uscita da KVT-BASE2.\n\nIntendi veramente uscire dal programma ?";
  ui.QueueAnswer(MsgResult::Cancel);
  Run("exit");
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{question});
  EXPECT_FALSE(shell().exitRequested());
  ui.QueueAnswer(MsgResult::Ok);
  Run("exit");
  EXPECT_TRUE(shell().exitRequested());
}

TEST_F(ShellTest, InitialiseNeedsAnOdbcConnection) {
  std::string path = CreateDatabase("c.mdb");
  Run("odbc-init");
  ASSERT_TRUE(shell().ConnectFile(path));
  Run("odbc-init");
  const std::string refusal =
      "Occorre essere connessi ad un database con il Metodo ODBC\nper poterlo inizializzare.";
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{refusal, refusal}));
  EXPECT_EQ(ui.messages[0].caption, "Inizializzazione database");
}

}  // namespace
}  // namespace kvt::app::test
