// The generator on its own: same options, same bytes; sizes, periods and routes as asked;
// its command line. That its files import, and that planted faults are reported where it
// says, is tested with the import.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comms/calendar.h"
#include "comms/kvt_format_test_util.h"
#include "kvtgen/generator.h"

namespace kvt::comms {
namespace {

using test::LineOf;
using test::ReadBytes;
using test::TempFile;

GeneratorReport Generate(const GeneratorOptions& o, const std::string& path) {
  GeneratorReport report = GenerateCommunication(o, path);
  EXPECT_TRUE(report.ok) << report.error;
  return report;
}

TEST(Kvtgen, SameOptionsWriteTheSameBytesWithTheDeclaredCounts) {
  TempFile a("gen_a.txt"), b("gen_b.txt");
  GeneratorOptions o;
  o.datini = {15, 1, 2010};
  o.datfin = {10, 3, 2010};
  const GeneratorReport report = Generate(o, a.path);
  Generate(o, b.path);
  EXPECT_EQ(ReadBytes(a.path), ReadBytes(b.path));
  o.seed = 2;
  Generate(o, b.path);
  EXPECT_NE(ReadBytes(a.path), ReadBytes(b.path));

  EXPECT_EQ(report.counts.rows, (std::array<int64_t, 7>{50, 50, 5, 5 * 8, 40, 40 * 9, 40 * 3}));
  EXPECT_EQ(LineOf(a.path, 3), "FERMATE\t50");
  EXPECT_EQ(LineOf(a.path, 9), "GIORNI\t120");
  EXPECT_TRUE(LineOf(a.path, report.lines).starts_with("</giorni>"));
  // Most of the period's 55 days run.
  EXPECT_GT(report.runningDays, 40 * 55 * 70 / 100);
  EXPECT_LE(report.runningDays, 40 * 55);
}

TEST(Kvtgen, RunningDaysStayInsideThePeriodAndTripsFollowTheirRoute) {
  TempFile file("gen_days.txt");
  GeneratorOptions o;
  o.datini = {20, 2, 2012};
  o.datfin = {5, 3, 2012};
  o.runShare = 100;
  o.stops = o.trips = 3;
  o.routes = 1;
  o.routeRows = 2;
  Generate(o, file.path);
  // Lines: route rows 25-26, passages of the first trip 34-36, running days 45-50.
  RigaItinerRow r1, r2;
  const std::string l1 = LineOf(file.path, 25), l2 = LineOf(file.path, 26);
  ASSERT_TRUE(ParseRow(l1, r1) && ParseRow(l2, r2));
  const std::vector<int32_t> routeStops = {r1.inizio, r1.fine, r2.fine};
  for (int sub = 1; sub <= 3; ++sub) {
    OrarioRow t;
    ASSERT_TRUE(ParseRow(LineOf(file.path, 33 + sub), t));
    EXPECT_EQ(t.fermata, routeStops[sub - 1]);
  }
  GiorniRow feb, mar;
  ASSERT_TRUE(ParseRow(LineOf(file.path, 45), feb) && ParseRow(LineOf(file.path, 46), mar));
  // February 2012 from the 20th to the 29th (leap year), March up to the 5th.
  EXPECT_EQ(DayString(feb.days), std::string(19, 'N') + std::string(10, 'S') + "NN");
  EXPECT_EQ(DayString(mar.days), std::string(5, 'S') + std::string(26, 'N'));
}

TEST(Kvtgen, ImpossibleRequestsAndCommandLine) {
  TempFile file("refused.txt");
  const std::vector<std::pair<void (*)(GeneratorOptions&), const char*>> cases = {
      {[](GeneratorOptions& o) {
         o.datfin = {31, 12, 2009};
       },
       "the period is not valid"},
      {[](GeneratorOptions& o) { o.routes = 0; }, "trips need routes"},
      {[](GeneratorOptions& o) { o.reference = true, o.fault = GenFault::BadMonth; },
       "a reference base has no <giorni> section"},
      {[](GeneratorOptions& o) { o.fault = GenFault::UnknownStop, o.faultRow = 360; },
       "no row 360 in <orari> to plant the fault on"},
  };
  for (const auto& [change, message] : cases) {
    GeneratorOptions o;
    change(o);
    EXPECT_EQ(GenerateCommunication(o, file.path).error, message);
  }

  GeneratorOptions o;
  std::string path, error;
  const std::vector<std::string_view> args = {
      "--seed=7",        "--company", "12",         "--type=A",          "--replace=S",
      "--from=01.03.10", "--to",      "31/03/2010", "--authorities=3,4", "--fault=unknown-stop",
      "out.txt"};
  ASSERT_TRUE(ParseGeneratorArguments(args, o, path, error)) << error;
  EXPECT_EQ(path, "out.txt");
  EXPECT_EQ(o.seed, 7u);
  EXPECT_EQ(o.azienda, 12);
  EXPECT_EQ(o.tipo, 'A');
  EXPECT_TRUE(o.azzera);
  EXPECT_EQ(o.datini, (Date{1, 3, 2010}));
  EXPECT_EQ(o.datfin, (Date{31, 3, 2010}));
  EXPECT_EQ(o.authorities, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(o.fault, GenFault::UnknownStop);
  const std::vector<std::pair<std::vector<std::string_view>, const char*>> refused = {
      {{"--from=31/02/2010", "f"}, "bad value for --from: 31/02/2010"},
      {{"--colour=red", "f"}, "unknown option --colour"},
      {{"f", "--trips"}, "--trips needs a value"},
      {{"a", "b"}, "more than one output file"}};
  for (const auto& [bad, message] : refused) {
    EXPECT_FALSE(ParseGeneratorArguments(bad, o, path, error));
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace kvt::comms
