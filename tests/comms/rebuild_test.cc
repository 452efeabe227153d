// The rebuild of a company's running days from its months, on both engines.
#include "comms/rebuild.h"

#include <gtest/gtest.h>

#include "import_fixture.h"
#include "platform/scripted_ui.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kInvalidCompany =
    "ATTENZIONE: Il Codice Azienda non è valido.\n\n"
    "Occorre selezionare un Codice Azienda presente nella lista.\n\n";

class RebuildTest : public CommsDbTest {
 protected:
  // Plan 1 (March 2010) runs trip 1 on 1, 5, 10, 14, 15, 20, 31 March and trip 2 on 2, 16,
  // 30 March. Plan 2 replaces 15-31 March and runs trip 1 on 10, 16, 18, 25 March (the 10th
  // lies outside its period and is also in plan 1).
  void SetUp() override {
    CommsDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Communication first = Plan(1, {1, 3, 2010}, {31, 3, 2010});
    AddNetwork(first);
    AddTrip(first, 1);
    AddTrip(first, 2);
    first.days.push_back(Month(1, 2010, 3, {1, 5, 10, 14, 15, 20, 31}));
    first.days.push_back(Month(2, 2010, 3, {2, 16, 30}));
    ASSERT_TRUE(Import(Write(first, "first.txt")));
    Communication second = Plan(2, {15, 3, 2010}, {31, 3, 2010});
    second.protocol.azzera = true;
    second.days.push_back(Month(1, 2010, 3, {10, 16, 18, 25}));
    ASSERT_TRUE(Import(Write(second, "second.txt")));
    // The import itself: 5 days of 15-31 March went, the 10th was there already.
    ASSERT_EQ(Count("giorni"), 8);
    ui.Clear();
  }

  Strings Days() {
    return Rows("SELECT ID, protoc, giorno FROM giorni WHERE azienda = 101 ORDER BY ID, data", 3);
  }
};

TEST_P(RebuildTest, ReplacingPlanKeepsTheEarlierDaysBeforeItsPeriodAndAddsAllOfItsOwn) {
  // Lose the day rows, as deleting a communication would leave them out of step.
  Exec("DELETE FROM giorni WHERE ID = 2");
  ui.QueueFormValues({{"azienda", "0101 - Autolinee Velmoresi S.p.A."}});
  ASSERT_TRUE(RebuildRunningDaysCommand(db(), ui));
  // Trip 1: 1, 5, 10, 14 of plan 1, then 16, 18, 25 of plan 2 (its 10th was already there:
  // refused, one fewer inserted). Trip 2: only the 2nd survives plan 2's period.
  EXPECT_EQ(Days(),
            (Strings{"1|1|1", "1|1|5", "1|1|3", "1|1|7", "1|2|2", "1|2|4", "1|2|4", "2|1|2"}));
  ASSERT_EQ(ui.Texts().size(), 2u);
  EXPECT_EQ(ui.Texts()[0].rfind("Errore scarico buffer tavola (giorni)\n\n - ", 0), 0u)
      << ui.Texts()[0];
  EXPECT_EQ(ui.Texts()[1],
            "Risultati della rigenerazione della Tavola Giorni Effettuazione Corse:\n\n"
            "Giorni preesistenti eliminati: 7\n"
            "Giorni inseriti: 8 di 9\n");
  EXPECT_EQ(ui.messages[1].icon, MsgIcon::Information);
  EXPECT_EQ(ui.formTitles, Strings{"Ripristino Giorni di Effettuazione Corse"});
  EXPECT_EQ(ui.progressCaptions, (Strings{"Eliminazione Giorni Effettuazione Esistenti",
                                          "Determinazione Giorni Effettuazione",
                                          "Inserimento Giorni Effettuazione Corse"}));
  EXPECT_EQ(ui.lastProgress, 100);
}

TEST_P(RebuildTest, ChooserOffersOnlyPlansAndAnomaliesAndRefusesAnUnlistedCode) {
  // Company 102 has only a budget: not offered, and its day rows are not touched.
  Communication budget = Plan(1);
  budget.protocol.azienda = 102;
  budget.protocol.tipo = 'B';
  ASSERT_TRUE(Import(Write(budget, "budget.txt")));
  ui.Clear();
  EXPECT_EQ(RebuildCompanyEntries(db()), Strings{"0101 - Autolinee Velmoresi S.p.A."});

  // "0102" is not listed, "101" is not four digits: the chooser stays open each time.
  ui.QueueFormValues({{"azienda", "0102"}});
  ui.QueueFormValues({{"azienda", "101"}});
  ui.QueueFormValues({{"azienda", "0101"}});
  ASSERT_TRUE(RebuildRunningDaysCommand(db(), ui));
  ASSERT_GE(ui.Texts().size(), 3u);
  EXPECT_EQ(ui.Texts()[0], kInvalidCompany);
  EXPECT_EQ(ui.Texts()[1], kInvalidCompany);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  EXPECT_EQ(ui.Texts().back(),
            "Risultati della rigenerazione della Tavola Giorni Effettuazione Corse:\n\n"
            "Giorni preesistenti eliminati: 8\n"
            "Giorni inseriti: 8 di 9\n");

  // Cancel: nothing happens.
  ui.Clear();
  EXPECT_FALSE(RebuildRunningDaysCommand(db(), ui));
  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Count("giorni"), 8);
}

KVT_INSTANTIATE_ENGINES(RebuildTest);

}  // namespace
}  // namespace kvt::comms::test
