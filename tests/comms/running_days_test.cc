// The running days of trips under a context, on both engines: which communications count,
// how the months of two communications merge, where the days fall in the period's day set,
// and a read that fails half-way.
#include "comms/running_days.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <map>

#include "core/text.h"
#include "import_fixture.h"
#include "platform/ui.h"

namespace kvt::comms::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A trip's running days as "anno/mese:d,d,..." per month, with the day set's indices after.
struct Walked {
  std::map<int32_t, std::string> trips;  // by trip ID
  RunningDaysResult result = RunningDaysResult::Failed;
};

std::string Describe(const TripRunningDays& t) {
  std::string text;
  for (const RunningMonth& m : t.months) {
    text += Format("%d/%d:", m.anno, m.mese);
    for (int d = 1; d <= 31; ++d)
      if (m.days >> d & 1) text += Format("%d,", d);
    text += " ";
  }
  text += "[";
  t.days.ForEach([&text](int i) { text += Format("%d,", i); });
  return text + Format("] %d of %d", t.days.Count(), t.days.Size());
}

std::vector<int> Days(int from, int to) {
  std::vector<int> d;
  for (int i = from; i <= to; ++i) d.push_back(i);
  return d;
}

class RunningDaysTest : public CommsDbTest {
 protected:
  void Load(const Communication& c, const std::string& name) {
    ASSERT_TRUE(Import(Write(c, name))) << ::testing::PrintToString(ui.Texts());
  }

  static Communication Typed(char tipo, int32_t protoc, Date from, Date to) {
    Communication c = Plan(protoc, from, to);
    c.protocol.tipo = tipo;
    return c;
  }

  Walked Walk(char context, Date from, Date to,
              const std::function<void(const TripRunningDays&)>& also = {}) {
    Walked out;
    ui.Clear();
    const std::optional<ContextCommunications> read = ReadContextCommunications(db(), context);
    EXPECT_TRUE(read.has_value());
    if (!read) return out;
    ProgressScope progress(ui, "Conteggio", ProgressScope::Cancellable{});
    out.result = WalkRunningDays(db(), *read, from, to, TripChoice{}, 0, progress,
                                 [&](const TripRunningDays& t) {
                                   out.trips[t.id] = Describe(t);
                                   if (also) also(t);
                                 });
    return out;
  }
};

// 1 P (2010): trip 1 runs 5 and 6 March. 2 A (April): 1 and 2 April. 3 B (2010): 10 March.
// The plan context counts the deviations as plan days; the budget only its own.
TEST_P(RunningDaysTest, APlanContextCountsTheDeviationsFromThePlan) {
  Communication plan = Plan(1);
  AddNetwork(plan);
  AddTrip(plan, 1);
  plan.days = {Month(1, 2010, 3, {5, 6})};
  Load(plan, "p1.txt");
  Communication deviation = Typed('A', 2, {1, 4, 2010}, {30, 4, 2010});
  deviation.days = {Month(1, 2010, 4, {1, 2})};
  Load(deviation, "a2.txt");
  Communication budget = Typed('B', 3, {1, 1, 2010}, {31, 12, 2010});
  budget.days = {Month(1, 2010, 3, {10})};
  Load(budget, "b3.txt");

  // 1 March 2010 is day 59 of the year: the 5th and 6th straddle the first word's end.
  const Walked p = Walk('P', {1, 1, 2010}, {30, 4, 2010});
  EXPECT_EQ(p.result, RunningDaysResult::Done);
  EXPECT_THAT(p.trips, ElementsAre(std::pair<const int32_t, std::string>(
                           1, "2010/3:5,6, 2010/4:1,2, [63,64,90,91,] 4 of 120")));
  const Walked b = Walk('B', {1, 1, 2010}, {30, 4, 2010});
  EXPECT_THAT(b.trips,
              ElementsAre(std::pair<const int32_t, std::string>(1, "2010/3:10, [68,] 1 of 120")));
  EXPECT_THAT(Walk('I', {1, 1, 2010}, {30, 4, 2010}).trips, IsEmpty());
}

// Two integrating plans of 2010 both mark 11 March: the later one's days stand for the
// month, and the 11th is one day, not two.
TEST_P(RunningDaysTest, TwoIntegratingCommunicationsOnTheSameDayGiveItOnce) {
  Communication first = Plan(1);
  AddNetwork(first);
  AddTrip(first, 1);
  first.days = {Month(1, 2010, 3, {10, 11})};
  Load(first, "p1.txt");
  Communication second = Plan(2);
  second.days = {Month(1, 2010, 3, {11, 12})};
  Load(second, "p2.txt");
  EXPECT_THAT(
      Walk('P', {1, 3, 2010}, {31, 3, 2010}).trips,
      ElementsAre(std::pair<const int32_t, std::string>(1, "2010/3:11,12, [10,11,] 2 of 31")));
}

// Plan 1 runs trips 1 and 2 every day of March; plan 2, integrating from 15 March, runs
// trip 1 on the 20th and 21st. Trip 1 keeps the 1st to the 14th; trip 2, which plan 2 does
// not mention, keeps every day.
TEST_P(RunningDaysTest, ALaterCommunicationReplacesOnlyInsideItsOwnPeriod) {
  Communication first = Plan(1);
  AddNetwork(first);
  AddTrip(first, 1);
  AddTrip(first, 2);
  first.days = {Month(1, 2010, 3, Days(1, 31)), Month(2, 2010, 3, Days(1, 31))};
  Load(first, "p1.txt");
  Communication second = Plan(2, {15, 3, 2010}, {31, 12, 2010});
  second.days = {Month(1, 2010, 3, {20, 21})};
  Load(second, "p2.txt");

  Walked march = Walk('P', {1, 3, 2010}, {31, 3, 2010});
  EXPECT_EQ(march.trips[1],
            "2010/3:1,2,3,4,5,6,7,8,9,10,11,12,13,14,20,21, "
            "[0,1,2,3,4,5,6,7,8,9,10,11,12,13,19,20,] 16 of 31");
  EXPECT_THAT(march.trips[2], ::testing::EndsWith("] 31 of 31"));
  // A period from the 10th: the days before it drop out and the indices start there.
  EXPECT_EQ(Walk('P', {10, 3, 2010}, {12, 4, 2010}).trips[1],
            "2010/3:10,11,12,13,14,20,21, [0,1,2,3,4,10,11,] 7 of 34");
}

// The database stops answering after the first trip (SQLite: the file is cut short, as by a
// failing disk; PostgreSQL: the server ends the connection once the first block of rows is
// used up). The walk says it failed, the selection has said why, and the trips handed over
// are fewer than the whole.
TEST_P(RunningDaysTest, AReadThatFailsHalfWayIsAFailure) {
  GeneratorOptions o = Options(1);
  o.trips = 1000;  // 12,000 month rows: more than PostgreSQL's first block of 10,000
  o.stops = 4;
  o.routes = 1;
  o.routeRows = 2;
  ASSERT_TRUE(Import(Generate(o, "year.txt")));
  Reopen();  // nothing of `mesi` in the connection's cache
  std::unique_ptr<db::Database> other = Connect();
  bool broken = false;
  const auto breakDatabase = [&](const TripRunningDays&) {
    if (broken) return;
    broken = true;
    if (IsPostgres()) {
      ASSERT_TRUE(
          other->ExecuteSql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                            " WHERE datname = current_database() AND pid <> pg_backend_pid()"));
    } else {
      std::filesystem::resize_file(Target(), 8192);
    }
  };
  const Walked walked = Walk('P', {1, 1, 2010}, {31, 12, 2010}, breakDatabase);
  EXPECT_EQ(walked.result, RunningDaysResult::Failed);
  EXPECT_GT(walked.trips.size(), 0u);
  EXPECT_LT(walked.trips.size(), 1000u);
  ASSERT_EQ(ui.Texts().size(), 1u) << ::testing::PrintToString(ui.Texts());
  EXPECT_EQ(ui.Texts()[0].rfind("Errore lettura riga successiva della select corrente\n\n", 0), 0u)
      << ui.Texts()[0];
}

KVT_INSTANTIATE_ENGINES(RunningDaysTest);

}  // namespace
}  // namespace kvt::comms::test
