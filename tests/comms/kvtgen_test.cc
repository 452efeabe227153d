#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comms/calendar.h"
#include "comms/kvt_format_test_util.h"
#include "core/text.h"
#include "kvtgen/generator.h"

namespace kvt::comms {
namespace {

using test::CheckFile;
using test::FileCheck;
using test::KnownIds;
using test::LineOf;
using test::ReadBytes;
using test::TempFile;

GeneratorReport Generate(const GeneratorOptions& o, const std::string& path) {
  GeneratorReport report = GenerateCommunication(o, path);
  EXPECT_TRUE(report.ok) << report.error;
  return report;
}

TEST(Kvtgen, GeneratedFilesCheckAndAreDeterministic) {
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

  const FileCheck check = CheckFile(a.path);
  ASSERT_TRUE(check.structureOk) << check.structural.line << " " << check.structural.what;
  EXPECT_TRUE(check.references.empty()) << check.references.front().what;
  EXPECT_EQ(check.counts.rows, report.counts.rows);
  EXPECT_EQ(report.counts.rows, (std::array<int64_t, 7>{50, 50, 5, 5 * 8, 40, 40 * 9, 40 * 3}));
  EXPECT_EQ(check.runningDays, report.runningDays);
  EXPECT_EQ(check.lines, report.lines);
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
  // Lines: stops 12-14, arcs 17-19, route 22, route rows 25-26, trips 29-31, passages
  // 34-42, running days 45-50.
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

TEST(Kvtgen, AccentsCoordinatesAndReferenceBase) {
  TempFile file("gen_names.txt");
  GeneratorOptions o;
  o.accentShare = o.noCoordShare = 100;
  o.stops = 5;
  Generate(o, file.path);
  for (long line = 12; line <= 16; ++line) {
    const std::string rec = LineOf(file.path, line);
    EXPECT_NE(rec.find_first_of("\xE0\xE8\xF9"), std::string::npos) << rec;  // 1252 bytes
    EXPECT_TRUE(rec.ends_with("\t0.00\t0.00")) << rec;
  }
  o.reference = true;
  const GeneratorReport report = Generate(o, file.path);
  EXPECT_TRUE(CheckFile(file.path, /*reference=*/true).structureOk);
  EXPECT_FALSE(CheckFile(file.path).structureOk);
  EXPECT_EQ(report.counts[Section::Giorni], 0);
  EXPECT_TRUE(LineOf(file.path, 2).starts_with("R\tP\tN\t1\t1\t"));
}

TEST(Kvtgen, IncrementalCommunicationReferencesTheEarlierOne) {
  TempFile first("gen_first.txt"), second("gen_second.txt");
  Generate(GeneratorOptions{}, first.path);
  KnownIds known;
  for (int32_t id = 1; id <= 50; ++id) known.stops.insert(id), known.arcs.insert(id);
  for (int32_t id = 1; id <= 5; ++id) known.routes.insert(id);
  for (int32_t id = 1; id <= 40; ++id) known.trips.insert(id);
  // Against those identifiers the first file is all duplicates.
  EXPECT_EQ(CheckFile(first.path, false, known).references.size(), 50u + 50 + 5 + 40);

  GeneratorOptions next;
  next.protoc = 2;
  next.idBase = 1000;
  next.refStops = next.refArcs = 50;
  next.refRoutes = 5;
  next.refTrips = 40;
  next.stops = 4;
  next.arcs = 6;
  next.routes = 0;  // new trips run on the earlier routes
  next.trips = 10;
  const GeneratorReport report = Generate(next, second.path);
  EXPECT_EQ(report.counts[Section::Giorni], (40 + 10) * 12);
  const FileCheck ok = CheckFile(second.path, false, known);
  ASSERT_TRUE(ok.structureOk);
  EXPECT_TRUE(ok.references.empty()) << ok.references.front().what;
  EXPECT_FALSE(CheckFile(second.path).references.empty());  // it needs the earlier one
  EXPECT_TRUE(LineOf(second.path, 12).starts_with("1001\t"));
}

TEST(Kvtgen, PlantedFaultsAreFoundAtTheReportedLine) {
  // Default sizes: 50 stops (rows on lines 12-61), 50 arcs (64-113), 5 routes (116-120) of
  // 8 rows (123-162), 40 trips (165-204) of 9 passages (207-566), a year of running days
  // (569-1048). Row faults go to the middle row; a duplicate is an extra row after it.
  struct Case {
    const char* name;
    long line;
    const char* structural;
    const char* reference;
  };
  const std::vector<Case> cases = {
      {"checksum", 567, "checksum orari", nullptr},
      {"protocol-checksum", 10, "protocol checksum", nullptr},
      {"wrong-count", 206, "count orari", nullptr},
      {"missing-declarator", 3, "declarator fermate", nullptr},
      {"bad-row", 185, "illegal row corse", nullptr},
      {"long-text", 37, "illegal row fermate", nullptr},
      {"bad-month", 809, "illegal row giorni", nullptr},
      {"unknown-stop", 387, nullptr, "unknown stop 2100000000"},
      {"unknown-route", 185, nullptr, "unknown route 2100000000"},
      {"unknown-trip", 809, nullptr, "unknown trip 2100000000"},
      {"duplicate-stop", 38, nullptr, "duplicate stop 1"},
      {"duplicate-trip", 186, nullptr, "duplicate trip 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(std::string("fault_") + c.name + ".txt");
    GeneratorOptions o;
    o.fault = FaultFromName(c.name).value();
    const GeneratorReport report = Generate(o, file.path);
    ASSERT_TRUE(report.fault.has_value());
    EXPECT_EQ(report.fault->line, c.line) << report.fault->description;
    const FileCheck check = CheckFile(file.path);
    if (c.structural) {
      EXPECT_EQ(check.structural.line, c.line);
      EXPECT_EQ(check.structural.what, c.structural);
    } else {
      ASSERT_TRUE(check.structureOk) << check.structural.what;
      ASSERT_EQ(check.references.size(), 1u);
      EXPECT_EQ(check.references[0].line, c.line);
      EXPECT_EQ(check.references[0].what, c.reference);
    }
  }
}

TEST(Kvtgen, FaultPlacementOptions) {
  TempFile file("fault_opts.txt");
  GeneratorOptions o;
  o.fault = GenFault::BadRow;
  o.faultSection = Section::Giorni;
  o.faultRow = 0;
  GeneratorReport report = Generate(o, file.path);
  EXPECT_EQ(CheckFile(file.path).structural.line, report.fault->line);
  EXPECT_EQ(LineOf(file.path, report.fault->line), "1\t2010\t1");

  o = GeneratorOptions{};
  o.fault = GenFault::UnknownCompany;
  report = Generate(o, file.path);
  EXPECT_EQ(report.fault->line, 10);
  EXPECT_EQ(CheckFile(file.path).protocol.azienda, 9999);

  // With an earlier communication, the duplicate is one of its trips.
  o = GeneratorOptions{};
  o.fault = GenFault::DuplicateTrip;
  o.idBase = 100;
  o.refTrips = 3;
  report = Generate(o, file.path);
  KnownIds known;
  known.trips = {1, 2, 3};
  const FileCheck check = CheckFile(file.path, false, known);
  ASSERT_EQ(check.references.size(), 1u);
  EXPECT_EQ(check.references[0].what, "duplicate trip 1");
  EXPECT_EQ(check.references[0].line, report.fault->line);
}

TEST(Kvtgen, ImpossibleRequestsAreRefused) {
  TempFile file("refused.txt");
  const std::vector<std::pair<void (*)(GeneratorOptions&), const char*>> cases = {
      {[](GeneratorOptions& o) {
         o.datfin = {31, 12, 2009};
       },
       "the period is not valid"},
      {[](GeneratorOptions& o) { o.routes = 0; }, "trips need routes"},
      {[](GeneratorOptions& o) { o.stops = 0, o.arcs = 5; }, "arcs need stops"},
      {[](GeneratorOptions& o) { o.arcs = 0; }, "routes need arcs and at least one row each"},
      {[](GeneratorOptions& o) { o.orariPerTrip = 1; }, "a trip has from 2 to 400 timetable rows"},
      {[](GeneratorOptions& o) { o.reference = true, o.fault = GenFault::BadMonth; },
       "a reference base has no <giorni> section"},
      {[](GeneratorOptions& o) { o.fault = GenFault::UnknownStop, o.faultRow = 360; },
       "no row 360 in <orari> to plant the fault on"},
  };
  for (const auto& [change, message] : cases) {
    GeneratorOptions o;
    change(o);
    const GeneratorReport r = GenerateCommunication(o, file.path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, message);
  }
  EXPECT_EQ(GenerateCommunication(GeneratorOptions{}, "/nonexistent-dir/x.txt").error,
            "cannot create /nonexistent-dir/x.txt");
}

TEST(Kvtgen, CommandLineOptions) {
  GeneratorOptions o;
  std::string path, error;
  const std::vector<std::string_view> args = {"--seed=7",
                                              "--company",
                                              "12",
                                              "--type=A",
                                              "--replace=S",
                                              "--first=N",
                                              "--from=01.03.10",
                                              "--to",
                                              "31/03/2010",
                                              "--arcs=11",
                                              "--authorities=3,4",
                                              "--fault=unknown-stop",
                                              "--fault-row=2",
                                              "--reference",
                                              "out.txt"};
  ASSERT_TRUE(ParseGeneratorArguments(args, o, path, error)) << error;
  EXPECT_EQ(path, "out.txt");
  EXPECT_EQ(o.seed, 7u);
  EXPECT_EQ(o.azienda, 12);
  EXPECT_EQ(o.tipo, 'A');
  EXPECT_TRUE(o.azzera && o.reference);
  EXPECT_FALSE(o.primacom);
  EXPECT_EQ(o.datini, (Date{1, 3, 2010}));
  EXPECT_EQ(o.datfin, (Date{31, 3, 2010}));
  EXPECT_EQ(o.arcs, 11);
  EXPECT_EQ(o.authorities, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(o.fault, GenFault::UnknownStop);
  EXPECT_EQ(o.faultRow, 2);

  const std::vector<std::pair<std::vector<std::string_view>, const char*>> refused = {
      {{"--stops=many", "f"}, "bad value for --stops: many"},
      {{"--type=X", "f"}, "bad value for --type: X"},
      {{"--from=31/02/2010", "f"}, "bad value for --from: 31/02/2010"},
      {{"--fault=flood", "f"}, "bad value for --fault: flood"},
      {{"--colour=red", "f"}, "unknown option --colour"},
      {{"f", "--trips"}, "--trips needs a value"},
      {{"--trips=3"}, "no output file"},
      {{"a", "b"}, "more than one output file"}};
  for (const auto& [bad, message] : refused) {
    GeneratorOptions ignored;
    EXPECT_FALSE(ParseGeneratorArguments(bad, ignored, path, error));
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace kvt::comms
