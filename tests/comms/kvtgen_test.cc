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
using test::ReadBytes;
using test::TempFile;

GeneratorReport Generate(const GeneratorOptions& o, const std::string& path) {
  GeneratorReport report = GenerateCommunication(o, path);
  EXPECT_TRUE(report.ok) << report.error;
  return report;
}

TEST(Kvtgen, GeneratedFilesCheckAndAreDeterministic) {
  TempFile a("gen_a.txt"), b("gen_b.txt"), c("gen_c.txt");
  GeneratorOptions o;
  o.datini = {15, 1, 2010};
  o.datfin = {10, 3, 2010};
  const GeneratorReport report = Generate(o, a.path);
  Generate(o, b.path);
  EXPECT_EQ(ReadBytes(a.path), ReadBytes(b.path));
  o.seed = 2;
  Generate(o, c.path);
  EXPECT_NE(ReadBytes(a.path), ReadBytes(c.path));

  const FileCheck check = CheckFile(a.path);
  ASSERT_TRUE(check.structureOk) << check.structural.line << " " << check.structural.what;
  EXPECT_TRUE(check.references.empty()) << check.references.front().what;
  EXPECT_EQ(check.counts.rows, report.counts.rows);
  EXPECT_EQ(report.counts[Section::Fermate], 50);
  EXPECT_EQ(report.counts[Section::Archi], 50);
  EXPECT_EQ(report.counts[Section::RigheItiner], 5 * 8);
  EXPECT_EQ(report.counts[Section::Orari], 40 * 9);
  EXPECT_EQ(report.counts[Section::Giorni], 40 * 3);  // January to March
  EXPECT_EQ(check.runningDays, report.runningDays);
  EXPECT_EQ(check.lines, report.lines);
  EXPECT_FALSE(report.fault.has_value());
  // Most days of the period (15/01 - 10/03: 55 days) run.
  EXPECT_GT(report.runningDays, 40 * 55 * 70 / 100);
  EXPECT_LE(report.runningDays, 40 * 55);
}

TEST(Kvtgen, RunningDaysStayInsideThePeriodAndTripsFollowTheirRoutes) {
  TempFile file("gen_days.txt");
  GeneratorOptions o;
  o.datini = {20, 2, 2012};
  o.datfin = {5, 3, 2012};
  o.runShare = 100;
  o.trips = 3;
  o.routes = 1;
  o.routeRows = 4;
  Generate(o, file.path);
  LineReader reader;
  ASSERT_TRUE(reader.Open(file.path));
  std::string_view rec;
  std::vector<std::string> days, passages;
  std::vector<int32_t> routeStops;
  Section section = Section::Fermate;
  bool inRows = false;
  while (reader.Next(rec)) {
    for (Section s : kSections) {
      if (rec.starts_with(OpenTag(s))) section = s, inRows = true;
    }
    if (rec.starts_with("</")) inRows = false;
    if (!inRows || rec.starts_with("<")) continue;
    GiorniRow g;
    RigaItinerRow r;
    OrarioRow t;
    if (section == Section::Giorni && ParseRow(rec, g)) days.push_back(DayString(g.days));
    if (section == Section::RigheItiner && ParseRow(rec, r)) {
      if (routeStops.empty()) routeStops.push_back(r.inizio);
      routeStops.push_back(r.fine);
    }
    if (section == Section::Orari && ParseRow(rec, t) && t.ID == 1) {
      passages.push_back(std::to_string(t.fermata));
      EXPECT_EQ(t.fermata, routeStops.at(static_cast<size_t>(t.sub - 1)));
    }
  }
  // February 2012 from the 20th (leap year: 29 days), March up to the 5th.
  ASSERT_EQ(days.size(), 6u);
  EXPECT_EQ(days[0], std::string(19, 'N') + std::string(10, 'S') + "NN");
  EXPECT_EQ(days[1], std::string(5, 'S') + std::string(26, 'N'));
  EXPECT_EQ(passages.size(), 5u);
}

TEST(Kvtgen, AccentsCoordinatesAndReferenceBase) {
  TempFile file("gen_names.txt");
  GeneratorOptions o;
  o.accentShare = 100;
  o.noCoordShare = 100;
  o.stops = 5;
  o.trips = 2;
  o.routes = 1;
  o.routeRows = 3;
  Generate(o, file.path);
  for (long line = 12; line <= 16; ++line) {
    const std::string rec = test::LineOf(file.path, line);
    FermataRow stop;
    ASSERT_TRUE(ParseRow(rec, stop)) << rec;
    EXPECT_EQ(Utf8Length(Cp1252ToUtf8(stop.denom)), stop.denom.size());
    EXPECT_NE(stop.denom.find_first_of("\xE0\xE8\xF9"), std::string_view::npos) << rec;
    EXPECT_TRUE(rec.ends_with("\t0.00\t0.00")) << rec;
  }

  o.reference = true;
  const GeneratorReport report = Generate(o, file.path);
  EXPECT_TRUE(CheckFile(file.path, /*reference=*/true).structureOk);
  EXPECT_FALSE(CheckFile(file.path).structureOk);
  EXPECT_EQ(report.counts[Section::Giorni], 0);
  EXPECT_TRUE(test::LineOf(file.path, 2).starts_with("R\tP\tN\t1\t1\t"));
}

TEST(Kvtgen, IncrementalCommunicationReferencesTheEarlierOne) {
  TempFile first("gen_first.txt"), second("gen_second.txt");
  GeneratorOptions o;
  Generate(o, first.path);
  KnownIds known;
  for (int32_t id = 1; id <= 50; ++id) known.stops.insert(id), known.arcs.insert(id);
  for (int32_t id = 1; id <= 5; ++id) known.routes.insert(id);
  for (int32_t id = 1; id <= 40; ++id) known.trips.insert(id);
  // The first file introduces exactly those identifiers: checked against them, every one
  // is a duplicate.
  EXPECT_EQ(CheckFile(first.path, false, known).references.size(), 50u + 50 + 5 + 40);

  GeneratorOptions next;
  next.protoc = 2;
  next.primacom = false;
  next.idBase = 1000;
  next.refStops = 50;
  next.refArcs = 50;
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
  // Without the earlier communication in the database it does not stand on its own.
  EXPECT_FALSE(CheckFile(second.path).references.empty());
  EXPECT_TRUE(test::LineOf(second.path, 12).starts_with("1001\t"));
}

struct FaultCase {
  const char* name;
  long line;  // where the fault is reported
  const char* structural;
  const char* reference;
};

TEST(Kvtgen, PlantedFaultsAreFoundAtTheReportedLine) {
  // Default sizes: 50 stops (rows on lines 12-61), 50 arcs (64-113), 5 routes (116-120) of
  // 8 rows (123-162), 40 trips (165-204) of 9 passages (207-566), a year of running days
  // (569-1048). Row faults go to the middle row of their section; a duplicate is an extra
  // row after it.
  const std::vector<FaultCase> cases = {
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
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(std::string("fault_") + c.name + ".txt");
    GeneratorOptions o;
    o.fault = FaultFromName(c.name).value();
    const GeneratorReport report = Generate(o, file.path);
    ASSERT_TRUE(report.fault.has_value());
    EXPECT_EQ(report.fault->line, c.line) << report.fault->description;
    const FileCheck check = CheckFile(file.path);
    if (c.structural) {
      EXPECT_FALSE(check.structureOk);
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
  o.fault = GenFault::Checksum;
  o.faultSection = Section::Fermate;
  GeneratorReport report = Generate(o, file.path);
  EXPECT_EQ(report.fault->line, 62);
  EXPECT_EQ(CheckFile(file.path).structural.what, "checksum fermate");

  o.fault = GenFault::BadRow;
  o.faultSection = Section::Giorni;
  o.faultRow = 0;
  report = Generate(o, file.path);
  EXPECT_EQ(CheckFile(file.path).structural.line, report.fault->line);
  EXPECT_EQ(CheckFile(file.path).structural.what, "illegal row giorni");
  EXPECT_EQ(test::LineOf(file.path, report.fault->line), "1\t2010\t1");

  o = GeneratorOptions{};
  o.fault = GenFault::UnknownCompany;
  report = Generate(o, file.path);
  EXPECT_EQ(report.fault->line, 10);
  EXPECT_EQ(CheckFile(file.path).protocol.azienda, 9999);

  // With an earlier communication, a duplicate is one of its identifiers.
  o = GeneratorOptions{};
  o.fault = GenFault::DuplicateTrip;
  o.idBase = 100;
  o.refTrips = 3;
  o.faultRow = 0;
  report = Generate(o, file.path);
  KnownIds known;
  known.trips = {1, 2, 3};
  const FileCheck check = CheckFile(file.path, false, known);
  ASSERT_EQ(check.references.size(), 1u);
  EXPECT_EQ(check.references[0].what, "duplicate trip 1");
  EXPECT_EQ(check.references[0].line, report.fault->line);

  o = GeneratorOptions{};
  o.fault = GenFault::UnknownStop;
  o.faultRow = 360;
  report = GenerateCommunication(o, file.path);
  EXPECT_FALSE(report.ok);
  EXPECT_EQ(report.error, "no row 360 in <orari> to plant the fault on");
}

TEST(Kvtgen, ImpossibleRequestsAreRefused) {
  TempFile file("refused.txt");
  auto error = [&](GeneratorOptions o) {
    const GeneratorReport r = GenerateCommunication(o, file.path);
    EXPECT_FALSE(r.ok);
    return r.error;
  };
  GeneratorOptions o;
  o.datfin = {31, 12, 2009};
  EXPECT_EQ(error(o), "the period is not valid");
  o = {};
  o.routes = 0;
  EXPECT_EQ(error(o), "trips need routes");
  o = {};
  o.stops = 0;
  o.arcs = 5;
  EXPECT_EQ(error(o), "arcs need stops");
  o = {};
  o.arcs = 0;
  EXPECT_EQ(error(o), "routes need arcs and at least one row each");
  o = {};
  o.orariPerTrip = 1;
  EXPECT_EQ(error(o), "a trip has from 2 to 400 timetable rows");
  o = {};
  o.reference = true;
  o.fault = GenFault::BadMonth;
  EXPECT_EQ(error(o), "a reference base has no <giorni> section");
  EXPECT_EQ(GenerateCommunication(GeneratorOptions{}, "/nonexistent-dir/x.txt").error,
            "cannot create /nonexistent-dir/x.txt");
}

TEST(Kvtgen, CommandLineOptions) {
  GeneratorOptions o;
  std::string path, error;
  const std::vector<std::string_view> args = {"--seed=7",
                                              "--company",
                                              "12",
                                              "--protoc=3",
                                              "--type=A",
                                              "--replace=S",
                                              "--first=N",
                                              "--from=01.03.10",
                                              "--to",
                                              "31/03/2010",
                                              "--stops=9",
                                              "--arcs=11",
                                              "--routes=2",
                                              "--route-rows=3",
                                              "--trips=4",
                                              "--orari-per-trip=6",
                                              "--authorities=3,4",
                                              "--localities=0,7",
                                              "--modes=T",
                                              "--fault=unknown-stop",
                                              "--fault-row=2",
                                              "--reference",
                                              "out.txt"};
  ASSERT_TRUE(ParseGeneratorArguments(args, o, path, error)) << error;
  EXPECT_EQ(path, "out.txt");
  EXPECT_EQ(o.seed, 7u);
  EXPECT_EQ(o.azienda, 12);
  EXPECT_EQ(o.protoc, 3);
  EXPECT_EQ(o.tipo, 'A');
  EXPECT_TRUE(o.azzera);
  EXPECT_FALSE(o.primacom);
  EXPECT_EQ(o.datini, (Date{1, 3, 2010}));
  EXPECT_EQ(o.datfin, (Date{31, 3, 2010}));
  EXPECT_EQ(o.arcs, 11);
  EXPECT_EQ(o.orariPerTrip, 6);
  EXPECT_EQ(o.authorities, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(o.localities, (std::vector<int32_t>{0, 7}));
  EXPECT_EQ(o.fault, GenFault::UnknownStop);
  EXPECT_EQ(o.faultRow, 2);
  EXPECT_TRUE(o.reference);

  auto refused = [&](std::vector<std::string_view> bad) {
    GeneratorOptions ignored;
    EXPECT_FALSE(ParseGeneratorArguments(bad, ignored, path, error));
    return error;
  };
  EXPECT_EQ(refused({"--stops=many", "f"}), "bad value for --stops: many");
  EXPECT_EQ(refused({"--type=X", "f"}), "bad value for --type: X");
  EXPECT_EQ(refused({"--from=31/02/2010", "f"}), "bad value for --from: 31/02/2010");
  EXPECT_EQ(refused({"--fault=flood", "f"}), "bad value for --fault: flood");
  EXPECT_EQ(refused({"--colour=red", "f"}), "unknown option --colour");
  EXPECT_EQ(refused({"f", "--trips"}), "--trips needs a value");
  EXPECT_EQ(refused({"--trips=3"}), "no output file");
  EXPECT_EQ(refused({"a", "b"}), "more than one output file");
  EXPECT_NE(GeneratorUsage().find("--fault checksum|protocol-checksum|"), std::string::npos);
}

}  // namespace
}  // namespace kvt::comms
