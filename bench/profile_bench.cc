// Service profile benchmark: the daily profile over one year of the generated network
// (20,000 trips running on most days of 2010), against the statement's extraction of the
// same parameters (ExtractTrips: plan context, every authority, company and lot, 2010,
// contract lengths, no termini) in the same run. Goal: within 1.5x of it.
//
//  - daily profile: the in-force map, the trips, their months, the kilometres of each day;
//  - PROF files: the same and the files written, one per contract;
//  - daily chart: layout and drawing of every page on a canvas that only measures.
//
//   profile_bench [--trips N] [--orari-per-trip K] [--dsn DSN] [--dir DIR] [--only sqlite|pg]
//                 [--reuse 1]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_network.h"
#include "contracts/profile.h"
#include "contracts/profile_file.h"
#include "contracts/profile_report.h"
#include "contracts/statement.h"
#include "core/text.h"

namespace {

using kvt::bench::Seconds;
using kvt::bench::MeasuringCanvas;
using kvt::bench::TimingUi;
using namespace kvt::contracts;

std::string g_folder;

void Run(kvt::db::Database& db) {
  StatementParams s;
  s.context = 'P';
  s.startDate = "01/01/2010";
  s.endDate = "31/12/2010";
  s.detail = DetailLevel::Synthetic;
  ProfileParams p;
  p.context = 'P';
  p.startDate = s.startDate;
  p.endDate = s.endDate;

  // Each reading three times, alternating; the best time of each counts (the machine is
  // shared, and the first reading warms the caches for all).
  double extract = 1e9, daily = 1e9, files = 1e9;
  std::optional<std::vector<StatementRow>> rows;
  std::optional<std::vector<DailyProfile>> profiles;
  std::vector<std::pair<std::string, double>> steps;
  const std::string chosen = g_folder + "/PROFILI.TXT";
  bool written = false;
  for (int round = 0; round < 3; ++round) {
    TimingUi a;
    extract =
        std::min(extract, Seconds([&] { rows = ExtractTrips(db, a, s, StatementKind::ByTrip); }));
    TimingUi b;
    const double t = Seconds([&] { profiles = ExtractDailyProfiles(db, b, p); });
    if (t < daily) daily = t, steps = b.steps;
    TimingUi c;
    files = std::min(files, Seconds([&] {
                       auto all = ExtractDailyProfiles(db, c, p);
                       written = all && WriteProfileFiles(db, c, *all, p, chosen);
                     }));
  }
  if (!rows || !profiles || !written) return (void)std::printf("  a reading failed\n");
  int64_t statementMetres = 0, profileMetres = 0;
  for (const StatementRow& r : *rows) statementMetres += r.PeriodMetres();
  for (const DailyProfile& d : *profiles) profileMetres += d.TotalMetres();
  std::printf("  statement extraction       %8.2f s  (%zu trips, %s km)\n", extract, rows->size(),
              KmText(statementMetres).c_str());
  std::printf(
      "  daily profile              %8.2f s  (%zu contracts, %s km)  ratio %.2f (goal <= 1.5)\n",
      daily, profiles->size(), KmText(profileMetres).c_str(), daily / extract);
  TimingUi::Print(steps);
  std::printf("  PROF files                 %8.2f s  ratio %.2f (goal <= 1.5)\n", files,
              files / extract);
  if (statementMetres != profileMetres) std::printf("  KILOMETRES DISAGREE\n");

  DailyProfileReport report(std::move(*profiles), p, ReadHeaderNames(db).value_or(HeaderNames{}),
                            kvt::PrintStampNow());
  MeasuringCanvas canvas(4724, 6780);  // A4 portrait at 600 dpi
  int pages = 0;
  const double layout = Seconds([&] { pages = report.Layout(canvas); });
  const double draw = Seconds([&] {
    for (int n = 1; n <= pages; ++n) report.DrawPage(canvas, n);
  });
  std::printf("  daily chart layout         %8.3f s  (%d pages)\n", layout, pages);
  std::printf("  drawing every page         %8.3f s  (%ld calls)\n", draw, canvas.calls);
}

}  // namespace

int main(int argc, char** argv) {
  const kvt::bench::NetworkOptions o = kvt::bench::ParseNetworkOptions(argc, argv);
  const kvt::bench::WorkDir out("", "kvt-profile-files");
  if (out.path.empty()) return 1;
  g_folder = out.path;
  return kvt::bench::RunOnNetwork(o, "profile_bench", Run);
}
