// The ODBC method on a real server: the registered data sources, the dialog, the "&?" box,
// the initialisation of an empty data source and the reconnection at the next start.
#include <cstdlib>

#include "app/commands.h"
#include "app/odbc_dialog.h"
#include "app/shell.h"
#include "support/engines.h"

namespace kvt::app {
namespace {

class OdbcShellTest : public kvt::test::EngineTest {
 protected:
  void Run(Shell& shell, const std::string& id) {
    ui.Clear();
    Registry r;
    RegisterAllCommands(r);
    AppContext ctx{ui, shell, nullptr};
    (*r.Find(id))(ctx);
  }
};

TEST_P(OdbcShellTest, ConnectsThroughTheDialogAndInitialises) {
  const std::string dsn = std::getenv("KVT_TEST_PG_DSN");
  const std::string settings = kvt::test::TempDir() + "/kvtbase.ini";
  Shell shell(ui, SettingsFile(settings));
  std::vector<std::string> listed;
  ui.QueueForm([&](Form& form) {
    listed = form.Field(kDsnField).entries;
    return form.SetFromText(kDsnField, dsn) && form.SetFromText(kRowsetOrdinaryField, "30") &&
           form.SetFromText(kRowsetBlobField, "2");
  });
  Run(shell, "odbc-connect");
  EXPECT_NE(std::find(listed.begin(), listed.end(), dsn), listed.end());
  ASSERT_NE(shell.database(), nullptr) << ::testing::PrintToString(ui.Texts());
  EXPECT_EQ(shell.database()->RowsetSizeOrdinary(), 30u);
  Run(shell, "about");
  EXPECT_EQ(ui.Texts(),
            std::vector<std::string>{"INFORMAZIONI SUL PROGRAMMA\n\nKVTBASE - \"Gestione Trasvia - "
                                     "Regione Velmora\"\nSistema operativo " +
                                     OperatingSystemLine() + "\n\nDatabase: ODBC via DSN \"" + dsn +
                                     "\" Driver: PostgreSQL Unicode\n"
                                     "RowsetSize (Dati ordinari): 30\nRowsetSize (Dati Blob): 2"});
  shell.Shutdown();

  // This test's own empty database, reached by a connection string in place of a DSN.
  Shell fresh(ui, SettingsFile(settings));
  ASSERT_TRUE(fresh.ConnectOdbc(Target(), "", 25, 1));
  Run(fresh, "odbc-init");
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Le tavole del database \"" + Target() +
                                                 "\" sono state inizializzate con successo\n\n"});
  EXPECT_EQ(ui.messages[0].caption, "Inizializzazione database");
  EXPECT_GT(QueryInt("SELECT COUNT(*) FROM regazi"), 0);

  // The next start reconnects the stored DSN without a question.
  ui.Clear();
  Shell again(ui, SettingsFile(settings));
  ASSERT_TRUE(again.Startup());
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  ASSERT_NE(again.database(), nullptr);
  EXPECT_EQ(again.driverName(), "PostgreSQL Unicode");
}

// Data sources are an ODBC matter: the server only.
INSTANTIATE_TEST_SUITE_P(Engines, OdbcShellTest,
                         ::testing::Values(::kvt::test::TestEngine::Postgres),
                         ::kvt::test::EngineName);

}  // namespace
}  // namespace kvt::app
