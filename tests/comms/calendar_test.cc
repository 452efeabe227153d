#include "comms/calendar.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace kvt::comms {
namespace {

std::string Days(std::initializer_list<int> days) {
  const std::vector<int> list(days);
  return DayString(list);
}

TEST(Calendar, DayStringsAndWeekdayCodes) {
  EXPECT_EQ(Days({}), std::string(31, 'N'));
  EXPECT_EQ(Days({1, 31}), "SNNNNNNNNNNNNNNNNNNNNNNNNNNNNNS");
  EXPECT_EQ(Days({0, 32, -5, 2, 2}), "NSNNNNNNNNNNNNNNNNNNNNNNNNNNNNN");
  EXPECT_EQ(DayString(DayBits("SNS")), "SNSNNNNNNNNNNNNNNNNNNNNNNNNNNNN");
  EXPECT_EQ(DayBits("sSxN"), uint32_t{1} << 2);  // only "S" marks a day
  EXPECT_EQ(DayBits(std::string(40, 'S')), DayBits(std::string(31, 'S')));
  EXPECT_EQ(CountDays(DayBits(std::string(31, 'S'))), 31);
  EXPECT_EQ(WeekdayCode(Date{3, 1, 2010}), '7');
}

std::vector<MonthRecord> FullMonths(std::vector<std::pair<int, int>> yearMonths) {
  std::vector<MonthRecord> out;
  for (auto [y, m] : yearMonths) out.push_back({1, y, m, DayBits(std::string(31, 'S'))});
  return out;
}

TEST(Calendar, ClearPeriodClearsOnlyTheDaysInside) {
  auto months = FullMonths({{2010, 2}, {2010, 3}, {2010, 4}, {2010, 5}, {2009, 3}, {2011, 4}});
  ClearPeriod(months, Date{15, 3, 2010}, Date{10, 5, 2010});
  EXPECT_EQ(DayString(months[0].days), std::string(31, 'S'));
  EXPECT_EQ(DayString(months[1].days), std::string(14, 'S') + std::string(17, 'N'));
  EXPECT_EQ(DayString(months[2].days), std::string(31, 'N'));
  EXPECT_EQ(DayString(months[3].days), std::string(10, 'N') + std::string(21, 'S'));
  EXPECT_EQ(DayString(months[4].days), std::string(31, 'S'));  // same month, other year
  EXPECT_EQ(DayString(months[5].days), std::string(31, 'S'));

  // Across the turn of the year, and from the text form.
  months = FullMonths({{2009, 12}, {2010, 1}});
  ClearPeriod(months, "20/12/2009", "10/01/2010");
  EXPECT_EQ(DayString(months[0].days), std::string(19, 'S') + std::string(12, 'N'));
  EXPECT_EQ(DayString(months[1].days), std::string(10, 'N') + std::string(21, 'S'));

  // An inverted or unreadable period clears nothing.
  months = FullMonths({{2010, 3}});
  ClearPeriod(months, Date{7, 3, 2010}, Date{5, 3, 2010});
  ClearPeriod(months, "xx/03/2010", "31/03/2010");
  EXPECT_EQ(DayString(months[0].days), std::string(31, 'S'));
}

// The rebuild's day rows as (trip, protoc, day number) in output order.
using Row = std::tuple<int32_t, int32_t, int32_t>;
std::vector<Row> Rows(const CalendarRebuild& r) {
  std::vector<Row> rows;
  r.ForEachDay([&](const DayRow& d) {
    EXPECT_EQ(d.giorno, WeekdayCode(d.data));
    rows.emplace_back(d.ID, d.protoc, DayNumber(d.data));
  });
  return rows;
}

std::vector<int> DaysOf(const std::vector<Row>& rows, int32_t trip, int32_t protoc) {
  std::vector<int> days;
  for (auto [t, p, n] : rows) {
    if (t == trip && p == protoc) days.push_back(n % 100);
  }
  return days;
}

const RebuildCommunication kYear{1, false, {1, 1, 2010}, {31, 12, 2010}};

TEST(Calendar, ReplacingCommunicationOverSecondHalfOfMarch) {
  for (bool replaces : {true, false}) {
    SCOPED_TRACE(replaces ? "replacing" : "integrating");
    CalendarRebuild r;
    r.Begin(kYear);
    r.Month(100, 2010, 3, std::string(31, 'S'));
    r.Month(200, 2010, 3, std::string(31, 'S'));
    r.Begin({2, replaces, {15, 3, 2010}, {31, 3, 2010}});
    r.Month(100, 2010, 3, Days({3, 20, 25}));
    const auto rows = Rows(r);

    // Trip 100: the first communication up to 14 March, the second for all it declares,
    // including day 3 that lies outside its own period.
    std::vector<int> first;
    for (int d = 1; d <= 14; ++d) first.push_back(d);
    EXPECT_EQ(DaysOf(rows, 100, 1), first);
    EXPECT_EQ(DaysOf(rows, 100, 2), (std::vector<int>{3, 20, 25}));
    // Trip 200 is not mentioned by the second: a replacing one clears it all the same.
    EXPECT_EQ(DaysOf(rows, 200, 1).size(), replaces ? 14u : 31u);
    EXPECT_EQ(r.Total(), static_cast<int64_t>(rows.size()));
  }
}

TEST(Calendar, DaysOutsideThePeriodEmptyMonthsAndImpossibleDays) {
  CalendarRebuild r;
  r.Begin(kYear);
  r.Month(7, 2010, 1, Days({1, 3}));
  r.Begin({2, true, {1, 3, 2010}, {31, 3, 2010}});
  r.Month(7, 2010, 4, Days({1, 2}));  // April, outside the period: added, not cleared
  r.Month(8, 2010, 3, std::string(31, 'N'));
  r.Month(8, 2010, 2, Days({28, 29, 30}));  // 2010 has no 29 or 30 February
  // A day marked again by a later integrating plan outside its period: both records stay,
  // and the database's unique index keeps one row.
  r.Begin({3, false, {1, 6, 2010}, {30, 6, 2010}});
  r.Month(7, 2010, 1, Days({3}));
  const auto rows = Rows(r);
  const std::vector<Row> expected = {{7, 1, 20100101}, {7, 1, 20100103}, {7, 2, 20100401},
                                     {7, 2, 20100402}, {7, 3, 20100103}, {8, 2, 20100228}};
  EXPECT_EQ(rows, expected);
  // The impossible days still count among the days found.
  EXPECT_EQ(r.Total(), 8);
  EXPECT_EQ(r.MonthsOf(8).size(), 2u);
}

TEST(Calendar, IntegratingCommunicationClearsEachTripOnceBeforeItsOwnMonths) {
  CalendarRebuild r;
  r.Begin(kYear);
  r.Month(1, 2010, 5, std::string(31, 'S'));
  r.Month(1, 2010, 6, std::string(31, 'S'));
  r.Month(2, 2010, 5, std::string(31, 'S'));
  r.Begin({2, false, {1, 5, 2010}, {30, 6, 2010}});
  r.Month(1, 2010, 5, Days({1}));
  r.Month(1, 2010, 6, Days({2}));  // same trip: its May record must survive
  r.Month(3, 2010, 5, Days({4}));  // new trip: appended at the end of the list
  const auto rows = Rows(r);
  EXPECT_EQ(DaysOf(rows, 1, 1), std::vector<int>{});
  EXPECT_EQ(DaysOf(rows, 1, 2), (std::vector<int>{1, 2}));
  EXPECT_EQ(DaysOf(rows, 2, 1).size(), 31u);
  EXPECT_EQ(std::get<0>(rows.back()), 3);
  // Trips keep the order of their first appearance.
  EXPECT_EQ(std::get<0>(rows.front()), 1);
  EXPECT_EQ(std::get<0>(rows[2]), 2);
}

}  // namespace
}  // namespace kvt::comms
