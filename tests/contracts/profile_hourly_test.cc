// The hourly profile on small databases built through the import: minute counters worked
// out by hand, the in-force rule, one chart page per contract, the dialog's date check.
#include <gmock/gmock.h>

#include "contracts/dialog.h"
#include "contracts/profile.h"
#include "contracts/profile_commands.h"
#include "contracts/profile_dialog.h"
#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;

comms::CorsaRow Timed(int32_t id, int ente, int hp, int mp, int ha, int ma) {
  comms::CorsaRow r = Trip(id, "C", "L1", 'A', ente, 1000, 10);
  r.hh_p = hp, r.mm_p = mp, r.hh_a = ha, r.mm_a = ma;
  return r;
}

class HourlyProfileTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    ForgetChoices();
    ForgetReferenceDate();
  }
  void TearDown() override {
    ForgetChoices();
    ForgetReferenceDate();
    StatementTest::TearDown();
  }

  // Contract (1, 101): N1 23:30-00:30 and N2 7:00-7:10 on 15 March; N3 8:00-9:00 on 15 March
  //   and 5 April, both declared by a plan in force in April only; N5 10:00-11:00 on 15 March
  //   by the first plan, but a later plan for March (in force too) runs it on the 16th only.
  // Contract (2, 101): D1 7:05-7:20 and D2 7:10-7:30 on 15 March.
  void LoadNetwork() {
    auto plan = comms::test::Plan(1);
    AddStatementNetwork(plan);
    plan.trips = {Timed(1, 1, 23, 30, 0, 30), Timed(2, 1, 7, 0, 7, 10), Timed(3, 1, 8, 0, 9, 0),
                  Timed(4, 1, 12, 0, 12, 5),  Timed(5, 2, 7, 5, 7, 20), Timed(6, 2, 7, 10, 7, 30),
                  Timed(7, 1, 10, 0, 11, 0)};
    plan.days = {Month(1, 2010, 3, {15}), Month(2, 2010, 3, {15}), Month(4, 2010, 3, {16}),
                 Month(5, 2010, 3, {15}), Month(6, 2010, 3, {15}), Month(7, 2010, 3, {15})};
    Load(plan, "plan.txt");
    auto april = comms::test::Plan(2, {1, 4, 2010}, {30, 4, 2010});
    april.days = {Month(3, 2010, 3, {15}), Month(3, 2010, 4, {5})};
    Load(april, "april.txt");
    auto march = comms::test::Plan(3, {1, 3, 2010}, {31, 3, 2010});
    march.days = {Month(7, 2010, 3, {16})};
    Load(march, "march.txt");
  }

  std::vector<HourlyProfile> Profiles(const char* date) {
    ProfileParams p;
    p.context = 'P';
    p.date = date;
    auto profiles = ExtractHourlyProfiles(db(), ui, p);
    EXPECT_TRUE(profiles.has_value());
    return profiles.value_or(std::vector<HourlyProfile>{});
  }

  // Minutes [from, to) where the counter equals `value`, as "from-to" runs.
  static std::vector<std::string> Runs(const HourlyProfile& p) {
    std::vector<std::string> runs;
    for (int m = 0; m < kProfileMinutes;) {
      int end = m;
      while (end < kProfileMinutes && p.counters[end] == p.counters[m]) ++end;
      if (p.counters[m] != 0) runs.push_back(Format("%d-%d:%d", m, end - 1, p.counters[m]));
      m = end;
    }
    return runs;
  }
};

TEST_P(HourlyProfileTest, MinutesPastMidnightInForceAndOnePeakPerContract) {
  LoadNetwork();
  std::vector<HourlyProfile> profiles = Profiles("15/03/2010");
  ASSERT_EQ(profiles.size(), 2u);
  // N2 at 420..429, N1 at 1410..1469; N3 (not in force on the 15th) and N5 (the later
  // plan's month decides) nowhere.
  EXPECT_EQ(profiles[0].ente, 1);
  EXPECT_THAT(Runs(profiles[0]), ElementsAre("420-429:1", "1410-1469:1"));
  EXPECT_EQ(profiles[0].AxisEnd(), 1469);
  EXPECT_EQ(profiles[0].Peak(), 1);
  EXPECT_EQ(profiles[0].trips, 2);
  // D1 and D2 overlap from 7:10 to 7:19: peak 2, first reached at 430; the axis keeps 24 h.
  EXPECT_EQ(profiles[1].ente, 2);
  EXPECT_THAT(Runs(profiles[1]), ElementsAre("425-429:1", "430-439:2", "440-449:1"));
  EXPECT_EQ(profiles[1].Peak(), 2);
  EXPECT_EQ(profiles[1].PeakMinute(), 430);
  EXPECT_EQ(profiles[1].AxisEnd(), 1440);

  // In April the second plan is in force: N3 counts.
  profiles = Profiles("05/04/2010");
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_THAT(Runs(profiles[0]), ElementsAre("480-539:1"));
  // A budget has nothing.
  ProfileParams budget;
  budget.context = 'B';
  budget.date = "15/03/2010";
  EXPECT_TRUE(ExtractHourlyProfiles(db(), ui, budget)->empty());
}

TEST_P(HourlyProfileTest, ChartPagesDialogAndMessages) {
  LoadNetwork();
  // A bad reference date is refused with its own message and the dialog stays open; the
  // next try is accepted and prints one page per contract.
  ui.QueueFormValues({{"contesto", "Piano di Esercizio (preventivo)"}, {"data", "31/02/2010"}});
  ui.QueueFormValues({{"data", "15-03-10"}});
  EXPECT_TRUE(RunHourlyChartCommand(ui, db()));
  EXPECT_THAT(ui.formTitles, ElementsAre("Stampa dei Profili Orari"));
  EXPECT_THAT(ui.Texts(), ElementsAre("ATTENZIONE: la data di riferimento è espressa in un formato "
                                      "illegale.\n\nLe date devono essere espresse nella forma "
                                      "GG/MM/AAAA.\n\n"));
  ASSERT_EQ(ui.prints.size(), 1u);
  const RecordedPrint& print = ui.prints[0];
  EXPECT_EQ(print.title, "Profilo Orario");
  ASSERT_EQ(print.pageCount, 2);
  const RecordingCanvas& canvas = *print.canvas;
  EXPECT_NE(canvas.FindText("Picco 1 Corse", 1), nullptr);
  EXPECT_NE(canvas.FindText("Picco 2 Corse", 2), nullptr);
  EXPECT_EQ(canvas.FindText("Picco 2 Corse", 1), nullptr);
  EXPECT_NE(canvas.FindText("Pag. 1 di 2", 1), nullptr);
  EXPECT_NE(canvas.FindText("Data 15/03/2010", 1), nullptr);
  EXPECT_NE(canvas.FindText("Azienda: [101] Autolinee Velmoresi S.p.A.", 2), nullptr);
  // Page 1's axis runs to 24:29 and past midnight is shaded as the next day; page 2 stops
  // at 24:00.
  EXPECT_NE(canvas.FindText("24:29", 1), nullptr);
  EXPECT_NE(canvas.FindText("giorno successivo", 1), nullptr);
  EXPECT_EQ(canvas.FindText("giorno successivo", 2), nullptr);
  EXPECT_NE(canvas.FindText("24:00", 2), nullptr);
  // The step area: N1's run fills from 1410 to 1470 (no bar ever leaves the plot).
  int fills = 0;
  for (const CanvasCall& c : canvas.PageCalls(1))
    if (c.op == CanvasOp::Fill && c.colour == Rgb{86, 180, 233}) {
      ++fills;
      EXPECT_GE(c.x, 0);
      EXPECT_LE(c.x2, canvas.PageWidth());
    }
  EXPECT_EQ(fills, 2);

  // The date is remembered; a day without service in force prints nothing.
  ui.Clear();
  std::string offered;
  ui.QueueForm([&](Form& f) {
    offered = f.Text("data");
    return f.SetFromText("data", "15/03/2011");
  });
  EXPECT_FALSE(RunHourlyChartCommand(ui, db()));
  EXPECT_EQ(offered, "15/03/2010");
  EXPECT_THAT(ui.Texts(), ElementsAre("Non ci sono dati da stampare !!!"));
  EXPECT_TRUE(ui.prints.empty());

  // Stopped by the user while the trips are read: nothing printed, and said.
  ui.Clear();
  ui.QueueFormValues({{"data", "15/03/2010"}});
  ui.cancelAtCaption = "Lettura Corse";
  EXPECT_FALSE(RunHourlyChartCommand(ui, db()));
  EXPECT_THAT(ui.Texts(), ElementsAre("Operazione annullata: nulla è stato stampato."));
  EXPECT_TRUE(ui.prints.empty());
}

KVT_INSTANTIATE_ENGINES(HourlyProfileTest);

}  // namespace
}  // namespace kvt::contracts::test
