// Statement figures on small databases built through the import, worked out by hand.
#include <gmock/gmock.h>

#include <cstring>

#include "db/table.h"
#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Contract (1, 101): C1 on line L1 A, C2 (runs only before the 15th), C3 on L2 R.
// Contract (2, 101): C4 on 31 March, C5 and C6 on day 31 of November, which has 30 days.
comms::test::Communication PeriodNetwork() {
  auto c = comms::test::Plan(1);
  AddStatementNetwork(c);
  c.trips = {Trip(1, "C1", "L1", 'A', 1, 900, 75),  Trip(2, "C2", "L1", 'A', 1, 1234, 20, 'X'),
             Trip(3, "C3", "L2", 'R', 1, 2555, 30), Trip(4, "C4", "L1", 'A', 2, 1000, 45),
             Trip(5, "C5", "L9", 'A', 2, 500, 5),   Trip(6, "C6", "L9", 'A', 2, 700, 5)};
  c.days = {Month(1, 2010, 3, {1, 10, 14, 15, 20, 31}),
            Month(1, 2010, 4, {2, 9, 10, 11}),
            Month(2, 2010, 3, {1, 5, 14}),
            Month(2, 2010, 5, {3}),
            Month(3, 2010, 4, {5}),
            Month(4, 2010, 3, {31}),
            Month(5, 2010, 11, {30, 31}),
            Month(6, 2010, 11, {31})};
  return c;
}

class StatementFigures : public StatementTest {};

TEST_P(StatementFigures, PeriodEdgesTotalsAndDaysThatDoNotExist) {
  Load(PeriodNetwork(), "period.txt");
  // 15/03 to 10/04: C1 runs 15, 20, 31 March and 2, 9, 10 April; C2 only before the 15th
  // (not listed though it has March); 2555 m are 2.56 km (half up), 6 x 75 minutes 7:30.
  EXPECT_THAT(Statement(Params('P', "15/03/2010", "10/04/2010")),
              ElementsAre("1/101 L1 A|C1|6|15/03/2010 / 10/04/2010|0.90|5.40|7:30",
                          "Totali Linea L1 A|5.40|7:30",
                          "1/101 L2 R|C3|1|05/04/2010 / 05/04/2010|2.56|2.56|00:30",
                          "Totali Linea L2 R|2.56|00:30", "Totali Contratto|7.96|8:00",
                          "2/101 L1 A|C4|1|31/03/2010 / 31/03/2010|1.00|1.00|00:45",
                          "Totali Linea L1 A|1.00|00:45", "Totali Contratto|1.00|00:45"));
  EXPECT_THAT(ui.Texts(), IsEmpty());

  // Day 31 of November counts nothing: C5 runs once, C6 never.
  StatementParams p = Params('P', "01/01/2010", "31/12/2010");
  p.ente = 2;
  EXPECT_THAT(Statement(p),
              ElementsAre("2/101 L1 A|C4|1|31/03/2010 / 31/03/2010|1.00|1.00|00:45",
                          "Totali Linea L1 A|1.00|00:45",
                          "2/101 L9 A|C5|1|30/11/2010 / 30/11/2010|0.50|0.50|00:05",
                          "Totali Linea L9 A|0.50|00:05", "Totali Contratto|1.50|00:50"));

  // Another company, another lot, a budget: nothing.
  p.azienda = 102;
  EXPECT_THAT(Statement(p), IsEmpty());
  p = Params('P', "01/01/2010", "31/12/2010");
  p.lotto = 1;
  EXPECT_THAT(Statement(p), IsEmpty());
  EXPECT_THAT(Statement(Params('B', "01/01/2010", "31/12/2010")), IsEmpty());
}

TEST_P(StatementFigures, TerminiAtTheAnalyticLevelOnly) {
  Load(PeriodNetwork(), "termini.txt");
  StatementParams p = Params('P', "15/03/2010", "10/04/2010");
  p.detail = DetailLevel::Analytic;
  auto rows = ExtractTrips(db(), ui, p, StatementKind::ByTrip);
  ASSERT_TRUE(rows && rows->size() == 3);
  EXPECT_EQ((*rows)[0].departureText, "7:00 Piazza Roma");
  EXPECT_EQ((*rows)[0].arrivalText, "7:10 Piazza Università");
  EXPECT_EQ(ModeName((*rows)[0].mezzo), "Urbano");
  auto byRoute = ExtractTrips(db(), ui, p, StatementKind::ByRoute);
  ASSERT_TRUE(byRoute && byRoute->size() == 3);
  EXPECT_EQ((*byRoute)[0].departureText, "7:00");
  EXPECT_EQ((*byRoute)[0].arrivalText, "7:10");
  EXPECT_EQ((*byRoute)[0].percorso, "P1");

  // Synthetic: every trip still counted (the totals need them), no terminus looked up.
  p.detail = DetailLevel::Synthetic;
  rows = ExtractTrips(db(), ui, p, StatementKind::ByTrip);
  ASSERT_TRUE(rows && rows->size() == 3);
  EXPECT_EQ((*rows)[0].days, 6);
  EXPECT_EQ((*rows)[0].departureText, "");
  EXPECT_EQ((*rows)[0].arrivalText, "");
}

// The point block of a line through `points` (x, y pairs).
std::vector<uint8_t> Block(std::vector<double> xy) {
  std::vector<uint8_t> bytes(xy.size() * 8);
  for (size_t i = 0; i < xy.size(); ++i) std::memcpy(&bytes[i * 8], &xy[i], 8);
  return bytes;
}

class StatementByRoute : public StatementTest {
 protected:
  void AddLine(int32_t id, int punti, const std::vector<uint8_t>& coord) {
    db::Table t(&db(), "geoitine");
    ASSERT_TRUE(t.AddNew());
    ASSERT_TRUE(t.SetFieldText("azienda", std::to_string(kCompany)));
    ASSERT_TRUE(t.SetFieldText("ID", std::to_string(id)));
    ASSERT_TRUE(t.SetFieldText("punti", std::to_string(punti)));
    for (const char* c : {"minx", "miny", "maxx", "maxy"}) ASSERT_TRUE(t.SetFieldText(c, "0"));
    ASSERT_TRUE(t.SetFieldBlob("coord", coord.data(), coord.size()));
    ASSERT_TRUE(t.Update());
  }
};

TEST_P(StatementByRoute, RouteTotalsAndCartographicLengths) {
  auto c = comms::test::Plan(1);
  AddStatementNetwork(c);
  c.trips = {Trip(1, "R1", "L1", 'A', 1, 1000, 10, 'U', 2), Trip(2, "R2", "L1", 'A', 1, 2000, 20),
             Trip(3, "R3", "L2", 'A', 1, 3000, 30, 'U', 3)};
  c.days = {Month(1, 2010, 1, {4, 5}), Month(2, 2010, 1, {4, 5}), Month(3, 2010, 1, {4, 5})};
  Load(c, "routes.txt");
  const StatementParams p = Params('P', "01/01/2010", "31/01/2010");
  EXPECT_THAT(Statement(p, StatementKind::ByRoute),
              ElementsAre("1/101 L1 A|P1|R2|2|04/01/2010 / 05/01/2010|2.00|4.00|00:40",
                          "Totali Percorso P1|4.00|00:40",
                          "1/101 L1 A|P2|R1|2|04/01/2010 / 05/01/2010|1.00|2.00|00:20",
                          "Totali Percorso P2|2.00|00:20", "Totali Linea L1 A|6.00|1:00",
                          "1/101 L2 A|P3|R3|2|04/01/2010 / 05/01/2010|3.00|6.00|1:00",
                          "Totali Percorso P3|6.00|1:00", "Totali Linea L2 A|6.00|1:00",
                          "Totali Contratto|12.00|2:00"));

  // Route 1 is drawn 500 + 600.9 m long (1100 whole metres), route 2 is not drawn, the line
  // of route 3 is 8 bytes short of its 3 points.
  AddLine(1, 3, Block({0, 0, 300, 400, 300, 1000.9}));
  AddLine(3, 3, std::vector<uint8_t>(40, 0));
  StatementParams carto = p;
  carto.distance = DistanceType::Cartographic;
  EXPECT_THAT(Statement(carto),
              ElementsAre("1/101 L1 A|R1|2|04/01/2010 / 05/01/2010|0.00|0.00|00:20",
                          "1/101 L1 A|R2|2|04/01/2010 / 05/01/2010|1.10|2.20|00:40",
                          "Totali Linea L1 A|2.20|1:00",
                          "1/101 L2 A|R3|2|04/01/2010 / 05/01/2010|0.00|0.00|1:00",
                          "Totali Linea L2 A|0.00|1:00", "Totali Contratto|2.20|2:00"));
  EXPECT_THAT(ui.Texts(), ElementsAre("Percorsi: Entità lineare corrotta 101/3 !!!"));
}

KVT_INSTANTIATE_ENGINES(StatementFigures);
KVT_INSTANTIATE_ENGINES(StatementByRoute);

}  // namespace
}  // namespace kvt::contracts::test
