// Which communications a statement counts: the context type decides, a later communication
// replaces an earlier one's days of the same month inside its own period, and the in-force
// map cuts replaced periods down to single days.
#include <gmock/gmock.h>

#include "comms/in_force.h"
#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<int> Days(int from, int to) {
  std::vector<int> d;
  for (int i = from; i <= to; ++i) d.push_back(i);
  return d;
}

comms::test::Communication Typed(char tipo, int32_t protoc, Date from, Date to, bool azzera) {
  auto c = comms::test::Plan(protoc, from, to);
  c.protocol.tipo = tipo;
  c.protocol.azzera = azzera;
  return c;
}

class StatementCommunications : public StatementTest {
 protected:
  // 1 P (2010): C1 and C2 run every day of March.
  // 2 P (15/03-31/03, replacing or not): C1 runs 20 and 21 March.
  // 3 B (2010): C1 runs 1-5 March.  4 A (April): C1 runs 1 and 2 April.
  // 5 I (2010): C2 runs 10 March.
  void LoadTypes(bool azzera) {
    auto plan = comms::test::Plan(1);
    AddStatementNetwork(plan);
    plan.trips = {Trip(1, "C1", "L1", 'A', 1, 1000, 10), Trip(2, "C2", "L1", 'A', 1, 2000, 20)};
    plan.days = {Month(1, 2010, 3, Days(1, 31)), Month(2, 2010, 3, Days(1, 31))};
    Load(plan, "p1.txt");
    auto second = Typed('P', 2, {15, 3, 2010}, {31, 3, 2010}, azzera);
    second.days = {Month(1, 2010, 3, {20, 21})};
    Load(second, "p2.txt");
    auto budget = Typed('B', 3, {1, 1, 2010}, {31, 12, 2010}, false);
    budget.days = {Month(1, 2010, 3, Days(1, 5))};
    Load(budget, "b3.txt");
    auto deviation = Typed('A', 4, {1, 4, 2010}, {30, 4, 2010}, false);
    deviation.days = {Month(1, 2010, 4, {1, 2})};
    Load(deviation, "a4.txt");
    auto hypothesis = Typed('I', 5, {1, 1, 2010}, {31, 12, 2010}, false);
    hypothesis.days = {Month(2, 2010, 3, {10})};
    Load(hypothesis, "i5.txt");
  }
};

// C1: 1-14 March of the first plan, 20-21 of the second, 1-2 April of the deviation (a
// deviation from the plan is plan service, as the running calendar has it); never the
// budget's or the hypothesis' days.
TEST_P(StatementCommunications, IntegratingPlanAndTheContextType) {
  LoadTypes(false);
  const char* from = "01/03/2010";
  const char* to = "30/04/2010";
  EXPECT_THAT(Statement(Params('P', from, to)),
              ElementsAre("1/101 L1 A|C1|18|01/03/2010 / 02/04/2010|1.00|18.00|3:00",
                          "1/101 L1 A|C2|31|01/03/2010 / 31/03/2010|2.00|62.00|10:20",
                          "Totali Linea L1 A|80.00|13:20", "Totali Contratto|80.00|13:20"));
  EXPECT_THAT(Statement(Params('B', from, to)),
              ElementsAre("1/101 L1 A|C1|5|01/03/2010 / 05/03/2010|1.00|5.00|00:50",
                          "Totali Linea L1 A|5.00|00:50", "Totali Contratto|5.00|00:50"));
  EXPECT_THAT(Statement(Params('I', from, to)),
              ElementsAre("1/101 L1 A|C2|1|10/03/2010 / 10/03/2010|2.00|2.00|00:20",
                          "Totali Linea L1 A|2.00|00:20", "Totali Contratto|2.00|00:20"));
  // The deviation alone, in April: a plan statement has it, a budget has nothing.
  EXPECT_THAT(Statement(Params('P', "01/04/2010", "30/04/2010")),
              ElementsAre("1/101 L1 A|C1|2|01/04/2010 / 02/04/2010|1.00|2.00|00:20",
                          "Totali Linea L1 A|2.00|00:20", "Totali Contratto|2.00|00:20"));
  EXPECT_THAT(Statement(Params('B', "01/04/2010", "30/04/2010")), IsEmpty());
}

// A replacing second plan also takes 15-31 March from C2, which it does not mention.
TEST_P(StatementCommunications, ReplacingPlanCutsTripsItDoesNotMention) {
  LoadTypes(true);
  EXPECT_THAT(Statement(Params('P', "01/03/2010", "31/03/2010")),
              ElementsAre("1/101 L1 A|C1|16|01/03/2010 / 21/03/2010|1.00|16.00|2:40",
                          "1/101 L1 A|C2|14|01/03/2010 / 14/03/2010|2.00|28.00|4:40",
                          "Totali Linea L1 A|44.00|7:20", "Totali Contratto|44.00|7:20"));
}

// A replacing plan of one day (15 March) that names only C2: C1 loses that one day.
TEST_P(StatementCommunications, ReplacingPeriodOfOneDay) {
  auto plan = comms::test::Plan(1);
  AddStatementNetwork(plan);
  plan.trips = {Trip(1, "C1", "L1", 'A', 1, 1000, 10), Trip(2, "C2", "L1", 'A', 1, 2000, 20)};
  plan.days = {Month(1, 2010, 3, Days(1, 31))};
  Load(plan, "p1.txt");
  auto day = Typed('P', 2, {15, 3, 2010}, {15, 3, 2010}, true);
  day.days = {Month(2, 2010, 3, {15})};
  Load(day, "p2.txt");
  EXPECT_THAT(Statement(Params('P', "14/03/2010", "16/03/2010")),
              ElementsAre("1/101 L1 A|C1|2|14/03/2010 / 16/03/2010|1.00|2.00|00:20",
                          "1/101 L1 A|C2|1|15/03/2010 / 15/03/2010|2.00|2.00|00:20",
                          "Totali Linea L1 A|4.00|00:40", "Totali Contratto|4.00|00:40"));
  // The running calendar agrees: C1 has no 15 March.
  EXPECT_EQ(Count("giorni", "ID = 1"), 30);
}

KVT_INSTANTIATE_ENGINES(StatementCommunications);

// The map's cuts at single-day edges, through the masking the statement applies.
std::string Masked(const comms::InForceMap& map, int32_t protoc, int anno, int mese) {
  std::string days(31, 'S');
  comms::MaskMonth(map.FindCompany(kCompany), protoc, anno, mese, days);
  return days;
}

TEST(InForceEdges, CutsAtSingleDays) {
  // An interval ending exactly on the first day of the replacing period loses that day.
  comms::InForceMap a;
  a.Add(kCompany, 1, false, {1, 1, 2010}, {15, 3, 2010});
  a.Add(kCompany, 2, true, {15, 3, 2010}, {31, 12, 2010});
  EXPECT_EQ(Masked(a, 1, 2010, 3), std::string(14, 'S') + std::string(17, 'N'));
  EXPECT_EQ(Masked(a, 2, 2010, 3), std::string(14, 'N') + std::string(17, 'S'));

  // A replacing period of one day splits the earlier one around it.
  comms::InForceMap b;
  b.Add(kCompany, 1, false, {1, 1, 2010}, {31, 12, 2010});
  b.Add(kCompany, 2, true, {15, 3, 2010}, {15, 3, 2010});
  EXPECT_EQ(Masked(b, 1, 2010, 3), std::string(14, 'S') + "N" + std::string(16, 'S'));
  EXPECT_EQ(Masked(b, 2, 2010, 3), std::string(14, 'N') + "S" + std::string(16, 'N'));

  // A one-day interval survives a neighbour's cut and vanishes under its own day.
  comms::InForceMap c;
  c.Add(kCompany, 1, false, {10, 3, 2010}, {10, 3, 2010});
  c.Add(kCompany, 2, true, {11, 3, 2010}, {20, 3, 2010});
  EXPECT_EQ(Masked(c, 1, 2010, 3), std::string(9, 'N') + "S" + std::string(21, 'N'));
  c.Add(kCompany, 3, true, {10, 3, 2010}, {10, 3, 2010});
  EXPECT_EQ(Masked(c, 1, 2010, 3), std::string(31, 'N'));

  // Cuts from 1 March end on the last day of February, leap year or not (the positions
  // past it are nominal dates after that day: out of force too); a cut to 31 December goes
  // on from 1 January.
  comms::InForceMap d;
  d.Add(kCompany, 1, false, {1, 1, 2011}, {31, 12, 2012});
  d.Add(kCompany, 3, true, {1, 3, 2012}, {1, 3, 2012});
  d.Add(kCompany, 4, true, {1, 3, 2011}, {31, 12, 2011});
  EXPECT_EQ(Masked(d, 1, 2012, 2), std::string(29, 'S') + "NN");
  EXPECT_EQ(Masked(d, 1, 2012, 3), "N" + std::string(30, 'S'));
  EXPECT_EQ(Masked(d, 1, 2011, 2), std::string(28, 'S') + "NNN");
  EXPECT_EQ(Masked(d, 1, 2011, 3), std::string(31, 'N'));
  EXPECT_EQ(Masked(d, 1, 2012, 1), std::string(31, 'S'));
}

}  // namespace
}  // namespace kvt::contracts::test
