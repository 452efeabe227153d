// The daily profile on a small database built through the import, worked out by hand: the
// kilometres of each day, the later communication replacing the earlier one inside its own
// period, agreement with the statement, and the chart's pages.
#include <gmock/gmock.h>

#include <filesystem>
#include <sstream>

#include "contracts/dialog.h"
#include "contracts/profile.h"
#include "contracts/profile_commands.h"
#include "contracts/profile_report.h"
#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;

class DailyProfileTest : public StatementTest {
 protected:
  void SetUp() override {
    StatementTest::SetUp();
    ForgetChoices();
  }
  void TearDown() override {
    ForgetChoices();
    StatementTest::TearDown();
  }

  // Contract (1, 101): T1 (1000 m) on 1, 2, 31 March and 1 April; T2 (2500 m) on 2 and
  //   15 March, but a second plan for 10-20 March runs it on the 16th instead of the 15th.
  // Contract (2, 101): T3 (700 m) on 31 March; T4 only in 2011.
  void LoadNetwork() {
    auto plan = comms::test::Plan(1, {1, 1, 2010}, {31, 12, 2011});
    AddStatementNetwork(plan);
    plan.trips = {Trip(1, "T1", "L1", 'A', 1, 1000, 10), Trip(2, "T2", "L1", 'R', 1, 2500, 20),
                  Trip(3, "T3", "L2", 'A', 2, 700, 5), Trip(4, "T4", "L2", 'A', 2, 900, 5)};
    plan.days = {Month(1, 2010, 3, {1, 2, 31}), Month(1, 2010, 4, {1}), Month(2, 2010, 3, {2, 15}),
                 Month(3, 2010, 3, {31}), Month(4, 2011, 3, {1})};
    Load(plan, "plan.txt");
    auto second = comms::test::Plan(2, {10, 3, 2010}, {20, 3, 2010});
    second.days = {Month(2, 2010, 3, {16})};
    Load(second, "second.txt");
  }

  static ProfileParams Params() {
    ProfileParams p;
    p.context = 'P';
    p.startDate = "01/03/2010";
    p.endDate = "05/04/2010";
    return p;
  }

  // The days with service as "GG/MM metres".
  static std::vector<std::string> Days(const DailyProfile& p) {
    std::vector<std::string> days;
    for (size_t i = 0; i < p.metres.size(); ++i)
      if (p.metres[i] != 0) {
        const Date d = p.DayAt(i);
        days.push_back(
            Format("%02d/%02d %lld", d.day, d.month, static_cast<long long>(p.metres[i])));
      }
    return days;
  }
};

TEST_P(DailyProfileTest, KilometresOfEachDayAgreeWithTheStatement) {
  LoadNetwork();
  auto profiles = ExtractDailyProfiles(db(), ui, Params());
  ASSERT_TRUE(profiles.has_value());
  ASSERT_EQ(profiles->size(), 2u);
  const DailyProfile& one = (*profiles)[0];
  EXPECT_EQ(one.ente, 1);
  EXPECT_EQ(one.metres.size(), 36u);
  EXPECT_THAT(Days(one),
              ElementsAre("01/03 1000", "02/03 3500", "16/03 2500", "31/03 1000", "01/04 1000"));
  EXPECT_EQ(one.TotalMetres(), 9000);
  EXPECT_EQ((*profiles)[1].ente, 2);
  EXPECT_THAT(Days((*profiles)[1]), ElementsAre("31/03 700"));

  // The statement of the same parameters counts the same kilometres per contract.
  StatementParams s;
  s.context = 'P';
  s.startDate = "01/03/2010";
  s.endDate = "05/04/2010";
  EXPECT_THAT(Statement(s),
              ElementsAre("1/101 L1 A|T1|4|01/03/2010 / 01/04/2010|1.00|4.00|00:40",
                          "Totali Linea L1 A|4.00|00:40",
                          "1/101 L1 R|T2|2|02/03/2010 / 16/03/2010|2.50|5.00|00:40",
                          "Totali Linea L1 R|5.00|00:40", "Totali Contratto|9.00|1:20",
                          "2/101 L2 A|T3|1|31/03/2010 / 31/03/2010|0.70|0.70|00:05",
                          "Totali Linea L2 A|0.70|00:05", "Totali Contratto|0.70|00:05"));

  // One authority; a period where nothing runs.
  ProfileParams p = Params();
  p.ente = 2;
  ASSERT_EQ(ExtractDailyProfiles(db(), ui, p)->size(), 1u);
  p.startDate = "01/05/2010";
  p.endDate = "31/12/2010";
  EXPECT_TRUE(ExtractDailyProfiles(db(), ui, p)->empty());
}

TEST_P(DailyProfileTest, ChartOneContractPerPageGroup) {
  LoadNetwork();
  // The statement dialog without lot, distances and detail level.
  std::vector<std::string> fields;
  ui.QueueForm([&fields](Form& f) {
    for (const FormField& field : f.Fields()) fields.push_back(field.id);
    return f.SetFromText("contesto", "Piano di Esercizio (preventivo)") &&
           f.SetFromText("inizio", "01/03/2010") && f.SetFromText("fine", "05/04/2010");
  });
  ASSERT_TRUE(RunDailyChartCommand(ui, db()));
  EXPECT_THAT(fields, ElementsAre("contesto", "ente", "tutti_enti", "azienda", "tutte_aziende",
                                  "uscita", "inizio", "fine"));
  EXPECT_THAT(ui.formTitles, ElementsAre("Stampa dei Profili di Servizio"));
  ASSERT_EQ(ui.prints.size(), 1u);
  const RecordedPrint& print = ui.prints[0];
  EXPECT_EQ(print.title, "Profilo di servizio");
  ASSERT_EQ(print.pageCount, 2);  // March and April side by side, one page per contract
  const RecordingCanvas& c = *print.canvas;
  for (int page : {1, 2}) {
    EXPECT_NE(c.FindText("MARZO 2010", page), nullptr);
    EXPECT_NE(c.FindText("APRILE 2010", page), nullptr);
    EXPECT_NE(c.FindText("Legenda colori giorni: ", page), nullptr);
    EXPECT_NE(c.FindText("Periodo dal 01/03/2010 al 05/04/2010", page), nullptr);
  }
  EXPECT_NE(c.FindText("Ente: [1] Regione Velmora", 1), nullptr);
  EXPECT_NE(c.FindText("Totale Contratto 9.00 Km", 1), nullptr);
  EXPECT_NE(c.FindText("Totale Contratto 0.70 Km", 2), nullptr);
  EXPECT_EQ(c.FindText("Totale Contratto 9.00 Km", 2), nullptr);
  // Every day of the period has its row: 36 short dates, 36 weekday labels.
  int shortDates = 0, weekdays = 0;
  for (const std::string& t : c.Texts(1)) {
    shortDates += (t.starts_with("MAR ") || t.starts_with("APR ")) && t.size() == 6;
    weekdays += t.size() == 5 && t.front() == ' ' && t.back() == ' ';
  }
  EXPECT_EQ(shortDates, 36);
  EXPECT_EQ(weekdays, 36);
  // 2 March (Tuesday): 3.5 km, written half up; its bar in the weekday colour and 3.5
  // times as long as the bar of 1 March (1 km): one scale for the whole contract.
  EXPECT_NE(c.FindText("4 Km ", 1), nullptr);
  // The first fill right of a day's label on its row (April's column is further right).
  const std::vector<CanvasCall> calls = c.PageCalls(1);
  const auto barOf = [&](const char* day) -> const CanvasCall* {
    const CanvasCall* label = c.FindText(day, 1);
    const CanvasCall* bar = nullptr;
    for (const CanvasCall& call : calls)
      if (label && call.op == CanvasOp::Fill && call.y < label->y2 && call.y2 > label->y &&
          call.x > label->x2 && (!bar || call.x < bar->x))
        bar = &call;
    return bar;
  };
  const CanvasCall* first = barOf("MAR 01");
  const CanvasCall* second = barOf("MAR 02");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(second->colour, ClassColour(DayClass::Weekday));
  EXPECT_EQ(second->x, first->x);
  EXPECT_NEAR((second->x2 - second->x) * 2, (first->x2 - first->x) * 7, 7);
}

// The amount of a file line's last field ("12,50") in hundredths.
int64_t Hundredths(const std::string& line) {
  const std::string figure = line.substr(line.find_last_of("\t ") + 1);
  const size_t comma = figure.find(',');
  return std::stoll(figure.substr(0, comma)) * 100 + std::stoll(figure.substr(comma + 1));
}

TEST_P(DailyProfileTest, TextFilesByteForByteAndTheirDaysAddUpToTheTotal) {
  LoadNetwork();
  const std::string folder = kvt::test::TempDir() + "/prof";
  std::filesystem::create_directories(folder);
  // A bad start date is refused with the statement dialog's message, then the export runs.
  ui.QueueFormValues({{"contesto", "Piano di Esercizio (preventivo)"},
                      {"inizio", "30.03.2010x"},
                      {"fine", "02/04/2010"}});
  ui.QueueFormValues({{"inizio", "30.03.10"}});
  ui.QueueFile(folder + "/PROFILI.txt");
  ASSERT_TRUE(RunProfileTextCommand(ui, db()));
  EXPECT_THAT(ui.formTitles, ElementsAre("Export Txt dei Profili di Servizio"));
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].title, "Selezione cartella per esportazione files TXT");
  EXPECT_EQ(ui.fileDialogs[0].defaultName, "PROFILI");
  EXPECT_THAT(ui.Texts(),
              ElementsAre("ATTENZIONE: la data di inizio periodo è espressa in un formato "
                          "illegale.\n\nLe date devono essere espresse nella forma "
                          "GG/MM/AAAA.\n\n",
                          "Esportazione terminata.\n\n2 files scritti nella cartella\n" + folder));
  EXPECT_EQ(comms::test::ReadBytes(folder + "/PROF_A101_E1.TXT"),
            "Legenda\tGiorno\tData\tTotali Km\n"
            "Ente 1 Regione Velmora\n"
            "Azienda 101 Autolinee Velmoresi S.p.A.\n"
            "Periodo dal 30/03/2010 al 02/04/2010\n\n"
            "\tMAR\t30/03/2010\t0,00\n"
            "\tMER\t31/03/2010\t1,00\n"
            "\tGIO\t01/04/2010\t1,00\n"
            "\tVEN\t02/04/2010\t0,00\n"
            "Totale Contratto 2,00\n\n");
  EXPECT_EQ(comms::test::ReadBytes(folder + "/PROF_A101_E2.TXT"),
            "Legenda\tGiorno\tData\tTotali Km\n"
            "Ente 2 Provincia di Velmora\n"
            "Azienda 101 Autolinee Velmoresi S.p.A.\n"
            "Periodo dal 30/03/2010 al 02/04/2010\n\n"
            "\tMAR\t30/03/2010\t0,00\n"
            "\tMER\t31/03/2010\t0,70\n"
            "\tGIO\t01/04/2010\t0,00\n"
            "\tVEN\t02/04/2010\t0,00\n"
            "Totale Contratto 0,70\n\n");

  // The whole period: the days of the file add up to its total and to the profile's.
  ui.Clear();
  ui.QueueFormValues({{"inizio", "01/03/2010"}, {"fine", "05/04/2010"}});
  ui.QueueFile(folder + "/PROFILI.txt");
  ASSERT_TRUE(RunProfileTextCommand(ui, db()));
  std::istringstream file(comms::test::ReadBytes(folder + "/PROF_A101_E1.TXT"));
  int64_t days = 0, total = -1;
  int lines = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.starts_with("\t")) days += Hundredths(line), ++lines;
    if (line.starts_with("Totale Contratto ")) total = Hundredths(line);
  }
  EXPECT_EQ(lines, 36);
  EXPECT_EQ(days, total);
  EXPECT_EQ(total * 10, ExtractDailyProfiles(db(), ui, Params())->at(0).TotalMetres());

  // Nothing runs: said, and no file written.
  const std::string empty = kvt::test::TempDir() + "/empty";
  std::filesystem::create_directories(empty);
  ui.Clear();
  ui.QueueFormValues({{"inizio", "01/01/2012"}, {"fine", "31/12/2012"}});
  ui.QueueFile(empty + "/PROFILI.txt");
  EXPECT_FALSE(RunProfileTextCommand(ui, db()));
  EXPECT_THAT(ui.Texts(), ElementsAre("Non ci sono dati da stampare !!!"));
  EXPECT_TRUE(std::filesystem::is_empty(empty));
}

KVT_INSTANTIATE_ENGINES(DailyProfileTest);

TEST(DayClasses, SaturdaysSundaysAndHolidays) {
  EXPECT_EQ(ClassOf({2, 3, 2010}), DayClass::Weekday);
  EXPECT_EQ(ClassOf({6, 3, 2010}), DayClass::Saturday);
  EXPECT_EQ(ClassOf({7, 3, 2010}), DayClass::Holiday);
  EXPECT_EQ(ClassOf({5, 4, 2010}), DayClass::Holiday);  // Easter Monday
  EXPECT_EQ(ClassOf({6, 4, 2010}), DayClass::Weekday);
  EXPECT_EQ(ClassOf({22, 4, 2019}), DayClass::Holiday);  // Easter Monday
  EXPECT_EQ(ClassOf({8, 12, 2010}), DayClass::Holiday);
  EXPECT_EQ(ClassOf({25, 12, 2010}), DayClass::Holiday);  // a Saturday, but Christmas
  EXPECT_EQ(WeekdayAbbreviation({2, 3, 2010}), "MAR");
  EXPECT_EQ(ShortDay({2, 3, 2010}), "MAR 02");
  EXPECT_EQ(MonthHeading(9, 2010), "SETTEMBRE 2010");
  EXPECT_EQ(DayKmText(3499), "3 Km ");
}

}  // namespace
}  // namespace kvt::contracts::test
