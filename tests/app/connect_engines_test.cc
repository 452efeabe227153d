// Connecting by either method to a real engine, and initialising an empty data source.
#include <cstdlib>

#include "app/commands.h"
#include "app/odbc_dialog.h"
#include "app/shell.h"
#include "db/file_engine.h"
#include "support/engines.h"

namespace kvt::app {
namespace {

class ConnectEnginesTest : public kvt::test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    shell_ = std::make_unique<Shell>(ui, SettingsFile(kvt::test::TempDir() + "/kvtbase.ini"));
    RegisterAllCommands(registry_);
  }
  void TearDown() override {
    shell_.reset();
    EngineTest::TearDown();
  }
  void Run(const std::string& id) {
    AppContext ctx{ui, *shell_, nullptr};
    (*registry_.Find(id))(ctx);
  }
  std::string About() {
    ui.Clear();
    Run("about");
    return ui.messages.empty() ? "" : ui.messages.back().text;
  }
  static std::string AboutText(const std::string& line) {
    return "INFORMAZIONI SUL PROGRAMMA\n\nKVTBASE - \"Gestione Trasvia - Regione Velmora\"\n"
           "Sistema operativo " +
           OperatingSystemLine() + "\n\nDatabase: " + line;
  }
  // Connects through the "Selezione DataSource" dialog.
  void ConnectOdbc(const std::string& dsn, const std::string& ordinary, const std::string& blob) {
    ui.QueueFormValues(
        {{kDsnField, dsn}, {kRowsetOrdinaryField, ordinary}, {kRowsetBlobField, blob}});
    Run("odbc-connect");
  }

  std::unique_ptr<Shell> shell_;
  Registry registry_;
};

TEST_P(ConnectEnginesTest, ConnectsAndInitialisesByTheMethodOfTheEngine) {
  const std::string refusal =
      "Occorre essere connessi ad un database con il Metodo ODBC\nper poterlo inizializzare.";
  if (!IsPostgres()) {
    ui.QueueFile(Target());
    Run("db-connect-file");
    ASSERT_NE(shell_->database(), nullptr);
    EXPECT_EQ(About(), AboutText(Target() + " (Jet " + db::EngineVersion() + ")"));
    ui.Clear();
    Run("odbc-init");
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{refusal});
    return;
  }
  ConnectOdbc(Target(), "30", "2");
  ASSERT_NE(shell_->database(), nullptr) << ::testing::PrintToString(ui.Texts());
  EXPECT_TRUE(shell_->database()->IsOdbc());
  EXPECT_EQ(shell_->settings().dsnOdbc, Target());
  EXPECT_EQ(shell_->database()->RowsetSizeOrdinary(), 30u);
  EXPECT_EQ(shell_->database()->RowsetSizeBlob(), 2u);
  EXPECT_EQ(About(), AboutText("ODBC via DSN \"" + Target() + "\" Driver: " + shell_->driverName() +
                               "\nRowsetSize (Dati ordinari): 30\nRowsetSize (Dati Blob): 2"));

  ui.Clear();
  Run("odbc-init");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Le tavole del database \"" + shell_->database()->Dsn() +
                                     "\" sono state inizializzate con successo\n\n");
  EXPECT_EQ(ui.messages[0].caption, "Inizializzazione database");
  EXPECT_GT(QueryInt("SELECT COUNT(*) FROM regazi"), 0);
}

TEST_P(ConnectEnginesTest, RegisteredDsnIsListedWithItsDriver) {
  if (!IsPostgres()) GTEST_SKIP() << "data source names are an ODBC matter";
  const char* dsn = std::getenv("KVT_TEST_PG_DSN");
  ASSERT_NE(dsn, nullptr);
  std::vector<std::string> listed;
  ui.QueueForm([&](Form& form) {
    listed = form.Field(kDsnField).entries;
    form.SetFromText(kDsnField, dsn);
    return true;
  });
  Run("odbc-connect");
  EXPECT_NE(std::find(listed.begin(), listed.end(), dsn), listed.end());
  ASSERT_NE(shell_->database(), nullptr) << ::testing::PrintToString(ui.Texts());
  EXPECT_EQ(About(), AboutText("ODBC via DSN \"" + std::string(dsn) +
                               "\" Driver: PostgreSQL Unicode\n"
                               "RowsetSize (Dati ordinari): 25\nRowsetSize (Dati Blob): 1"));
  // The next start reconnects the same way, without a question.
  shell_->Shutdown();
  ui.Clear();
  Shell again(ui, SettingsFile(kvt::test::TempDir() + "/kvtbase.ini"));
  ASSERT_TRUE(again.Startup());
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  ASSERT_NE(again.database(), nullptr);
  EXPECT_EQ(again.driverName(), "PostgreSQL Unicode");
}

KVT_INSTANTIATE_ENGINES(ConnectEnginesTest);

}  // namespace
}  // namespace kvt::app
