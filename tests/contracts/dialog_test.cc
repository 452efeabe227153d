// The dialog "Stampa dei Contratti di Servizio": its lists, its checks in order with their
// messages, the choices it remembers, and the command's end when nothing runs.
#include <gmock/gmock.h>

#include "contracts/commands.h"
#include "contracts/dialog.h"
#include "core/text.h"
#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;

class StatementDialog : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    ForgetChoices();
  }
  void TearDown() override {
    ForgetChoices();
    StatementTest::TearDown();
  }
  void LoadOneTrip() {
    auto c = comms::test::Plan(1);
    AddStatementNetwork(c);
    c.trips = {Trip(1, "C1", "L1", 'A', 2, 1000, 10)};
    c.days = {comms::test::Month(1, 2010, 3, {15})};
    Load(c, "one.txt");
  }
};

TEST_P(StatementDialog, ChecksInOrderAndRemembersTheChoices) {
  LoadOneTrip();
  const DialogLists lists = ReadDialogLists(db()).value();
  ASSERT_EQ(lists.authorities.size(), 1u);
  EXPECT_EQ(lists.authorities[0].substr(0, 7), "0002 - ");
  ASSERT_EQ(lists.companies.size(), 1u);
  EXPECT_EQ(lists.companies[0].substr(0, 7), "0101 - ");
  EXPECT_THAT(lists.lots, ElementsAre("0000 - *** lotto non assegnato ***"));

  const auto ok = [](std::map<std::string, std::string> values) {
    return [values](Form& f) {
      for (const auto& [id, v] : values) EXPECT_TRUE(f.SetFromText(id, v)) << id;
      return true;
    };
  };
  // The first opening: budget, everything, this year.
  std::vector<std::string> shown;
  ui.QueueForm([&](Form& f) {
    shown = {f.Title(),
             f.Text("contesto"),
             f.Checked("tutti_enti") ? "tutti" : "uno",
             f.Field("ente").enabled ? "lista" : "spenta",
             f.Checked("tutti_lotti") ? "tutti" : "uno",
             f.Field("dettaglio").entries[f.Selected("dettaglio")],
             f.Field("distanze").entries[f.Selected("distanze")],
             f.Field("uscita").entries[f.Selected("uscita")],
             f.Text("inizio")};
    f.Select("contesto", -1);
    return true;
  });
  ui.QueueForm(ok({{"contesto", "Piano di Esercizio (preventivo)"}, {"ente", "0009"}}));
  ui.QueueForm(ok({{"ente", "2"}}));
  ui.QueueForm(ok({{"ente", "0002"}, {"azienda", "0101"}, {"inizio", "31/02/2010"}}));
  ui.QueueForm(ok({{"inizio", "01.03.10"}, {"fine", "31/03/2010 "}}));
  ui.QueueForm(ok({{"fine", "31-03-2010"}, {"dettaglio", "Analitico (tutte le corse)"}}));
  RunStatementCommand(ui, db(), StatementKind::ByTrip);
  EXPECT_THAT(shown,
              ElementsAre("Stampa dei Contratti di Servizio", "Budget Contrattuale", "tutti",
                          "spenta", "tutti", "Sintetico (solo totali linea)", "Convenzionali",
                          "Anteprima di stampa", FormatDate({1, 1, Today().year})));
  const std::string ente =
      "ATTENZIONE: Il Codice Ente non è valido.\n\n"
      "Occorre selezionare un Codice Ente presente nella lista.\n\n";
  EXPECT_THAT(ui.Texts(),
              ElementsAre("ATTENZIONE: Il Tipo Contesto non è valido.\n\n"
                          "Occorre selezionare un Tipo Contesto presente nella lista.\n\n",
                          ente, ente,
                          "ATTENZIONE: la data di inizio periodo è espressa in un formato "
                          "illegale.\n\nLe date devono essere espresse nella forma "
                          "GG/MM/AAAA.\n\n",
                          "ATTENZIONE: la data di fine periodo è espressa in un formato "
                          "illegale.\n\nLe date devono essere espresse nella forma "
                          "GG/MM/AAAA.\n\n"));

  // The next opening offers context, authority, company and dates again; not the level.
  ui.Clear();
  ui.QueueForm([&](Form& f) {
    shown = {f.Text("contesto"),
             f.Text("ente").substr(0, 4),
             f.Checked("tutti_enti") ? "tutti" : "uno",
             f.Text("azienda").substr(0, 4),
             f.Text("inizio"),
             f.Text("fine"),
             f.Field("dettaglio").entries[f.Selected("dettaglio")]};
    return false;
  });
  EXPECT_FALSE(RunStatementCommand(ui, db(), StatementKind::ByRoute));
  EXPECT_THAT(shown, ElementsAre("Piano di Esercizio (preventivo)", "0002", "uno", "0101",
                                 "01/03/2010", "31/03/2010", "Sintetico (solo totali linea)"));
  EXPECT_THAT(ui.Texts(), ElementsAre());

  // A period in which nothing runs.
  ui.QueueForm(ok({{"inizio", "01/04/2010"}, {"fine", "30/04/2010"}}));
  EXPECT_FALSE(RunStatementCommand(ui, db(), StatementKind::ByTrip));
  EXPECT_THAT(ui.Texts(), ElementsAre("Non ci sono dati da stampare !!!"));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
}

// A month reading that fails ends the command with the database's message, not with a
// statement of nothing.
TEST_P(StatementDialog, FailedReadIsNotAnEmptyStatement) {
  LoadOneTrip();
  Exec("ALTER TABLE mesi RENAME TO mesi_altrove");
  ui.QueueFormValues({{"contesto", "Piano di Esercizio (preventivo)"},
                      {"inizio", "01/03/2010"},
                      {"fine", "31/03/2010"}});
  EXPECT_FALSE(RunStatementCommand(ui, db(), StatementKind::ByTrip));
  ASSERT_EQ(ui.messages.size(), 1u) << ::testing::PrintToString(ui.Texts());
  EXPECT_NE(ui.messages[0].icon, MsgIcon::Information);
  EXPECT_NE(ui.messages[0].text.find("mesi"), std::string::npos) << ui.messages[0].text;
}

KVT_INSTANTIATE_ENGINES(StatementDialog);

}  // namespace
}  // namespace kvt::contracts::test
