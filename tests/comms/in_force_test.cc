#include "comms/in_force.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import_fixture.h"

namespace kvt::comms {
namespace {

Date D(const char* text) {
  return ParseDateByPosition(text).value();
}

std::vector<Interval> IntervalsOf(const InForceMap& map, int32_t azienda, int32_t protoc) {
  const InForceCompany* c = map.FindCompany(azienda);
  if (!c || !c->Find(protoc)) return {};
  return c->Find(protoc)->intervals;
}

TEST(InForce, OnlyAReplacingCommunicationCutsAndOnlyLowerNumbersOfItsCompany) {
  InForceMap map;
  map.Add(5, 1, false, D("01/01/2010"), D("31/12/2010"));
  map.Add(5, 2, false, D("01/03/2010"), D("31/03/2010"));
  const InForceCompany* c = map.FindCompany(5);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(IsInForce(c, 1, "15/03/2010"));
  EXPECT_TRUE(IsInForce(c, 2, "15/03/2010"));
  EXPECT_FALSE(IsInForce(c, 2, "01/04/2010"));
  EXPECT_EQ(IntervalsOf(map, 5, 1), (std::vector<Interval>{{20100101, 20101231}}));

  // Rows out of order: a replacing one cuts only lower numbers, of its own company.
  InForceMap unordered;
  unordered.Add(5, 8, false, D("01/01/2010"), D("31/12/2010"));
  unordered.Add(6, 1, false, D("01/01/2010"), D("31/12/2010"));
  unordered.Add(5, 4, false, D("01/01/2010"), D("31/12/2010"));
  unordered.Add(5, 6, true, D("01/03/2010"), D("31/03/2010"));
  EXPECT_EQ(IntervalsOf(unordered, 5, 8), (std::vector<Interval>{{20100101, 20101231}}));
  EXPECT_EQ(IntervalsOf(unordered, 6, 1), (std::vector<Interval>{{20100101, 20101231}}));
  EXPECT_EQ(IntervalsOf(unordered, 5, 4),
            (std::vector<Interval>{{20100101, 20100228}, {20100401, 20101231}}));
}

TEST(InForce, SplitIntoTwoThenCutEitherPiece) {
  InForceMap map;
  map.Add(5, 1, false, D("01/01/2010"), D("31/12/2010"));
  map.Add(5, 2, true, D("01/03/2010"), D("31/03/2010"));
  EXPECT_EQ(IntervalsOf(map, 5, 1),
            (std::vector<Interval>{{20100101, 20100228}, {20100401, 20101231}}));
  map.Add(5, 3, true, D("01/02/2010"), D("05/02/2010"));
  map.Add(5, 4, true, D("01/12/2010"), D("31/12/2010"));
  EXPECT_EQ(
      IntervalsOf(map, 5, 1),
      (std::vector<Interval>{{20100101, 20100131}, {20100401, 20101130}, {20100206, 20100228}}));
  EXPECT_EQ(IntervalsOf(map, 5, 2), (std::vector<Interval>{{20100301, 20100331}}));
  // A cut covering a whole interval empties it.
  map.Add(5, 5, true, D("01/01/2010"), D("31/12/2010"));
  for (int32_t q : {1, 2, 3, 4}) {
    for (const Interval& iv : IntervalsOf(map, 5, q)) EXPECT_EQ(iv, (Interval{0, 0})) << q;
    EXPECT_FALSE(IsInForce(map.FindCompany(5), q, "15/06/2010"));
  }
  EXPECT_TRUE(IsInForce(map.FindCompany(5), 5, "15/06/2010"));
}

TEST(InForce, CutsAtTheTurnOfTheYearAndAroundFebruary) {
  InForceMap map;
  map.Add(5, 1, false, D("01/06/2009"), D("31/12/2010"));
  map.Add(5, 2, true, D("01/01/2010"), D("30/06/2010"));
  EXPECT_EQ(IntervalsOf(map, 5, 1),
            (std::vector<Interval>{{20090601, 20091231}, {20100701, 20101231}}));

  // The day before 1 March is 29 February only in leap years; 2100 is not one.
  InForceMap leap;
  leap.Add(5, 1, false, D("01/01/2012"), D("31/12/2100"));
  leap.Add(5, 2, true, D("01/03/2012"), D("28/02/2100"));
  EXPECT_EQ(IntervalsOf(leap, 5, 1),
            (std::vector<Interval>{{20120101, 20120229}, {21000301, 21001231}}));
  leap.Add(5, 3, true, D("01/03/2100"), D("31/03/2100"));
  leap.Add(5, 4, false, D("01/01/2100"), D("31/12/2100"));
  leap.Add(5, 5, true, D("01/03/2100"), D("31/12/2100"));
  EXPECT_EQ(IntervalsOf(leap, 5, 4), (std::vector<Interval>{{21000101, 21000228}}));
  EXPECT_FALSE(IsInForce(leap.FindCompany(5), 4, "29/02/2100"));
}

TEST(InForce, MaskingTestsAllThirtyOnePositions) {
  InForceMap map;
  map.Add(5, 1, false, D("01/01/2010"), D("31/12/2010"));
  map.Add(5, 2, true, D("15/02/2010"), D("20/02/2010"));
  const InForceCompany* c = map.FindCompany(5);

  std::string first(31, 'S');
  MaskMonth(c, 1, 2010, 2, first);
  // 29 to 31 February are tested with their nominal dates, which are in force.
  EXPECT_EQ(first, std::string(14, 'S') + std::string(6, 'N') + std::string(11, 'S'));
  std::string second(31, 'S');
  MaskMonth(c, 2, 2010, 2, second);
  EXPECT_EQ(second, std::string(14, 'N') + std::string(6, 'S') + std::string(11, 'N'));
  // Positions already "N" stay "N".
  std::string sparse = "NSNNNNNNNNNNNNNNSNNNNNNNNNNNNNN";
  MaskMonth(c, 1, 2010, 2, sparse);
  EXPECT_EQ(sparse, "NSNNNNNNNNNNNNNNNNNNNNNNNNNNNNN");
  // Outside every interval: all "N".
  std::string later(31, 'S');
  MaskMonth(c, 2, 2011, 2, later);
  EXPECT_EQ(later, std::string(31, 'N'));
}

TEST(InForce, UnknownCompanyOrCommunicationAnswersFalseAndMasksNothing) {
  InForceMap map;
  map.Add(5, 1, false, D("01/01/2010"), D("31/12/2010"));
  const InForceCompany* none = map.FindCompany(6);
  EXPECT_EQ(none, nullptr);
  EXPECT_FALSE(IsInForce(none, 1, "15/03/2010"));
  EXPECT_FALSE(IsInForce(map.FindCompany(5), 9, "15/03/2010"));
  EXPECT_FALSE(IsInForce(map.FindCompany(5), 1, "15/3/2010"));
  std::string days(31, 'S');
  MaskMonth(none, 1, 2010, 3, days);
  MaskMonth(map.FindCompany(5), 9, 2010, 3, days);
  EXPECT_EQ(days, std::string(31, 'S'));
}

// ---------------------------------------------------------------------------------------
// Reading proto

class InForceDbTest : public test::CommsDbTest {
 protected:
  void AddProto(int azienda, int protoc, char tipo, bool azzera, const char* datini,
                const char* datfin) {
    AddRow("proto", {{"azienda", std::to_string(azienda)}, {"protoc", std::to_string(protoc)},
                     {"datini", datini}, {"datfin", datfin}, {"primacom", "0"},
                     {"tipo", std::string(1, tipo)}, {"azzera", azzera ? "1" : "0"}});
  }
};

TEST_P(InForceDbTest, BuildsTheMapOfOneContextFromProto) {
  // Inserted out of order: the map must follow company and number.
  AddProto(102, 2, 'P', true, "01/03/2010", "31/03/2010");
  AddProto(102, 1, 'P', false, "01/01/2010", "31/12/2010");
  AddProto(102, 3, 'B', true, "01/01/2010", "31/12/2010");   // another context
  AddProto(101, 7, 'P', false, "01/06/2010", "99/99/9999");  // open end
  AddProto(101, 8, 'P', true, "00/00/0000", "31/12/2009");   // open start

  const std::optional<InForceMap> read = BuildInForceMap(db(), 'P');
  ASSERT_TRUE(read.has_value());
  const InForceMap& map = *read;
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts().front();
  ASSERT_EQ(map.Companies().size(), 2u);
  EXPECT_EQ(map.Companies()[0].azienda, 101);
  EXPECT_EQ(map.Companies()[1].azienda, 102);
  EXPECT_EQ(IntervalsOf(map, 102, 1),
            (std::vector<Interval>{{20100101, 20100228}, {20100401, 20101231}}));
  EXPECT_TRUE(IsInForce(map.FindCompany(102), 2, "15/03/2010"));
  EXPECT_FALSE(IsInForce(map.FindCompany(102), 3, "15/03/2010"));
  // The open bounds are the stored dates 01/01/1600 and 31/12/2400; the later replacing
  // communication 8 does not reach communication 7 (a higher number).
  EXPECT_EQ(IntervalsOf(map, 101, 7), (std::vector<Interval>{{20100601, 24001231}}));
  EXPECT_EQ(IntervalsOf(map, 101, 8), (std::vector<Interval>{{16000101, 20091231}}));
  EXPECT_TRUE(IsInForce(map.FindCompany(101), 7, "31/12/2399"));

  const InForceMap budget = BuildInForceMap(db(), 'B').value();
  ASSERT_EQ(budget.Companies().size(), 1u);
  EXPECT_TRUE(IsInForce(budget.FindCompany(102), 3, "15/03/2010"));
  // A letter is always quoted: a stray quote selects nothing and breaks nothing.
  EXPECT_TRUE(BuildInForceMap(db(), '\'').value().Companies().empty());
  EXPECT_TRUE(BuildInForceMap(db(), 'I').value().Companies().empty());
  EXPECT_TRUE(ui.messages.empty()) << ui.Texts().front();
}

KVT_INSTANTIATE_ENGINES(InForceDbTest);

}  // namespace
}  // namespace kvt::comms
