// The statement against one plain query over the day rows that the import wrote, for a
// generated network of 300 trips and communications that replace and integrate each other.
#include <gmock/gmock.h>

#include <map>

#include "statement_fixture.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;

class StatementCheck : public StatementTest {
 protected:
  // Trip ID -> "days|first|last|period km" from the statement.
  std::map<int32_t, std::string> FromStatement(const char* from, const char* to) {
    std::map<int32_t, std::string> out;
    auto rows = ExtractTrips(db(), ui, Params('P', from, to), StatementKind::ByTrip);
    EXPECT_TRUE(rows.has_value());
    if (!rows) return out;
    for (const StatementRow& r : *rows)
      out[r.ID] =
          Format("%d|", r.days) + r.firstDate + "|" + r.lastDate + "|" + KmText(r.PeriodMetres());
    return out;
  }
  // The same from `giorni` alone.
  std::map<int32_t, std::string> FromDayRows(Date from, Date to) {
    const db::Dialect& d = db().dialect();
    const std::vector<std::string> rows = Rows(
        "SELECT g.ID, COUNT(*), MIN(g.data), MAX(g.data), MIN(c.ct_lung) FROM giorni g, corse c"
        " WHERE c.azienda = g.azienda AND c.ID = g.ID AND g.data >= " +
            d.DateLiteral(from.day, from.month, from.year) + " AND g.data <= " +
            d.DateLiteral(to.day, to.month, to.year) + " GROUP BY g.ID ORDER BY g.ID",
        5);
    std::map<int32_t, std::string> out;
    const auto date = [](const std::string& iso) {  // "2010-01-04..." -> "04/01/2010"
      return iso.substr(8, 2) + "/" + iso.substr(5, 2) + "/" + iso.substr(0, 4);
    };
    for (const std::string& row : rows) {
      std::vector<std::string> f;
      size_t at = 0;
      for (size_t bar; (bar = row.find('|', at)) != std::string::npos; at = bar + 1)
        f.push_back(row.substr(at, bar - at));
      f.push_back(row.substr(at));
      out[std::stoi(f[0])] = f[1] + "|" + date(f[2]) + "|" + date(f[3]) + "|" +
                             KmText(std::stoll(f[4]) * std::stoll(f[1]));
    }
    return out;
  }
  // "ID: statement <> day rows" for every trip where the two differ.
  static std::vector<std::string> Differences(const std::map<int32_t, std::string>& a,
                                              const std::map<int32_t, std::string>& b) {
    std::vector<std::string> out;
    std::map<int32_t, std::pair<std::string, std::string>> all;
    for (const auto& [id, v] : a) all[id].first = v;
    for (const auto& [id, v] : b) all[id].second = v;
    for (const auto& [id, v] : all)
      if (v.first != v.second) out.push_back(Format("%d: ", id) + v.first + " <> " + v.second);
    return out;
  }
};

TEST_P(StatementCheck, AgreesWithTheDayRows) {
  // 1: the plan of 2010, 300 trips. 2: replaces July-December for trips 1-150 (every other
  // trip loses those months). 3: integrates October for trips 1-100. All of type P.
  comms::GeneratorOptions o = Options(1);
  o.trips = 300;
  o.stops = 40;
  o.routes = 6;
  ASSERT_TRUE(Import(Generate(o, "g1.txt")));
  comms::GeneratorOptions second = Options(2);
  second.seed = 2;
  second.primacom = false;
  second.azzera = true;
  second.datini = {1, 7, 2010};
  second.stops = second.routes = second.trips = 0;
  second.refTrips = 150;
  second.runShare = 60;
  ASSERT_TRUE(Import(Generate(second, "g2.txt")));
  comms::GeneratorOptions third = second;
  third.seed = 3;
  third.protoc = 3;
  third.azzera = false;
  third.datini = {1, 10, 2010};
  third.datfin = {31, 10, 2010};
  third.refTrips = 100;
  third.runShare = 40;
  ASSERT_TRUE(Import(Generate(third, "g3.txt")));
  // 4: integrates May 2010 for trip 200, and declares a day of January 2011 outside its own
  // period.
  auto fourth = comms::test::Plan(4, {1, 5, 2010}, {31, 5, 2010});
  fourth.days = {Month(200, 2010, 5, {3}), Month(200, 2011, 1, {7})};
  Load(fourth, "g4.txt");

  const auto full = FromStatement("01/01/2010", "31/12/2011");
  EXPECT_EQ(full.size(), 300u);
  const auto days = FromDayRows({1, 1, 2010}, {31, 12, 2011});
  // The running calendar keeps a day that a communication declares outside its own period;
  // the in-force map holds each communication to its period, so the statement does not pay
  // it. Every other trip agrees to the day and the metre.
  const auto diff = Differences(full, days);
  ASSERT_EQ(diff.size(), 1u);
  EXPECT_EQ(diff[0].substr(0, 5), "200: ");
  EXPECT_NE(diff[0].find("|07/01/2011|"), std::string::npos) << diff[0];
  EXPECT_THAT(Differences(FromStatement("15/05/2010", "10/11/2010"),
                          FromDayRows({15, 5, 2010}, {10, 11, 2010})),
              ElementsAre());
}

KVT_INSTANTIATE_ENGINES(StatementCheck);

}  // namespace
}  // namespace kvt::contracts::test
