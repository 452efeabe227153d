// Statement benchmark: the contract statement by trip over one year of the import
// benchmark's network (20,000 trips running on most days of 2010), analytic level.
//
//  - extraction (in-force map, trips, months, termini, totals) against one plain Selection
//    of the same `mesi` rows in the same run (goal: within 3x);
//  - layout and drawing of every page on a canvas that only measures;
//  - the whole statement written as a PDF file through Qt, as `kvtbase --pdf` writes it
//    (orientation chosen by a trial layout, then layout and every page drawn), against the
//    extraction (built with the Qt front end only).
//
//   statement_bench [--trips N] [--orari-per-trip K] [--dsn DSN] [--dir DIR] [--only sqlite|pg]
//                   [--reuse 1]   (SQLite: keep the database imported into DIR by an earlier run)
//
// DSN defaults to $KVT_TEST_PG_DSN; without one PostgreSQL is left out.
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_network.h"
#include "comms/import.h"
#include "contracts/report.h"
#include "contracts/statement.h"
#include "core/text.h"
#include "db/database.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "kvtgen/generator.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"

#ifdef KVT_BENCH_PDF
#include <unistd.h>

#include <QGuiApplication>

#include "gui/print_output.h"
#endif

namespace {

using kvt::bench::Seconds;
using kvt::bench::MeasuringCanvas;
using kvt::bench::TimingUi;
using namespace kvt::contracts;

// The same month rows the statement counts, read with one plain Selection.
long ReadMonths(kvt::db::Database& db) {
  kvt::db::Selection s(&db);
  s.AddColumn("mesi", "azienda", kvt::db::kSqlSmallInt);
  s.AddColumn("mesi", "ID", kvt::db::kSqlInteger);
  s.AddColumn("mesi", "anno", kvt::db::kSqlSmallInt);
  s.AddColumn("mesi", "mese", kvt::db::kSqlSmallInt);
  s.AddColumn("mesi", "giorni", kvt::db::kSqlChar);
  s.AddColumn("mesi", "protoc", kvt::db::kSqlInteger);
  s.SetFrom("mesi");
  s.SetWhere("mesi.anno >= 2010 AND mesi.anno <= 2010");
  s.SetOrderBy("mesi.azienda, mesi.ID, mesi.anno, mesi.mese, mesi.protoc");
  // Every value of every row is read, as any reader of these rows must.
  long rows = 0;
  int64_t sum = 0;
  for (kvt::db::Fetch f = s.Open(); f == kvt::db::Fetch::Row; f = s.MoveNext()) {
    sum += s.GetShort(0) + s.GetLong(1) + s.GetShort(2) + s.GetShort(3) + s.GetLong(5);
    sum += static_cast<int64_t>(s.GetText(4).size());
    ++rows;
  }
  return sum > 0 ? rows : 0;
}

void Run(kvt::db::Database& db) {
  // Each reading three times, alternating; the best time of each counts (the machine is
  // shared, and the first reading warms the caches for both).
  StatementParams p;
  p.context = 'P';
  p.startDate = "01/01/2010";
  p.endDate = "31/12/2010";
  p.detail = DetailLevel::Analytic;
  long months = 0;
  double read = 1e9, extract = 1e9;
  std::optional<std::vector<StatementRow>> rows;
  std::vector<std::pair<std::string, double>> steps;
  for (int round = 0; round < 3; ++round) {
    read = std::min(read, Seconds([&] { months = ReadMonths(db); }));
    TimingUi timing;
    const double t = Seconds([&] { rows = Extract(db, timing, p, StatementKind::ByTrip); });
    if (t < extract) extract = t, steps = timing.steps;
  }
  if (!rows) return (void)std::printf("  extraction failed\n");
  long days = 0;
  for (const StatementRow& r : *rows) days += r.kind == RowKind::Trip ? r.days : 0;
  std::printf("  plain Selection of mesi    %8.2f s  (%ld rows)\n", read, months);
  std::printf(
      "  extraction                 %8.2f s  (%zu rows with totals, %ld running days)"
      "  ratio %.2f (goal <= 3)\n",
      extract, rows->size(), days, extract / read);
  TimingUi::Print(steps);

  StatementReport report(std::move(*rows), p, StatementKind::ByTrip,
                         ReadHeaderNames(db).value_or(HeaderNames{}), kvt::PrintStampNow());
  MeasuringCanvas canvas(6600, 4800);  // A4 landscape at 600 dpi
  int pages = 0;
  const double layout = Seconds([&] { pages = report.Layout(canvas); });
  const double draw = Seconds([&] {
    for (int n = 1; n <= pages; ++n) report.DrawPage(canvas, n);
  });
  std::printf("  layout                     %8.2f s  (%d pages)\n", layout, pages);
  std::printf("  drawing every page         %8.2f s  (%ld calls)\n", draw, canvas.calls);
#ifdef KVT_BENCH_PDF
  const std::string pdf = (std::filesystem::temp_directory_path() /
                           ("kvt-statement-bench-" + std::to_string(getpid()) + ".pdf"))
                              .string();
  // As WriteDefaultPdf does it, in its two steps: the trial layout on a portrait page that
  // chooses the orientation, then the file (layout and every page drawn).
  bool landscape = false;
  const double trial = Seconds([&] {
    landscape = kvt::gui::WantsLandscape(report, kvt::gui::DefaultPdfLayout());
  });
  kvt::PdfResult written;
  const double write = Seconds([&] {
    written = kvt::gui::WritePdf(report, pdf, kvt::gui::DefaultPdfLayout(landscape));
  });
  if (!written.ok) return (void)std::printf("  PDF failed: %s\n", written.error.c_str());
  std::printf("  PDF as --pdf writes it     %8.2f s  (%d %s pages, %.1f MB; orientation trial"
              " %.2f s, file %.2f s)  ratio to extraction %.2f\n",
              trial + write, written.pages, landscape ? "landscape" : "portrait",
              static_cast<double>(std::filesystem::file_size(pdf)) / (1024.0 * 1024.0), trial,
              write, (trial + write) / extract);
  std::filesystem::remove(pdf);
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KVT_BENCH_PDF
  qputenv("QT_QPA_PLATFORM", "offscreen");  // as the command line does: no display
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  std::setlocale(LC_NUMERIC, "C");  // as the command line does: numbers of SQL and files
#endif
  return kvt::bench::RunOnNetwork(kvt::bench::ParseNetworkOptions(argc, argv), "statement_bench",
                                  Run);
}
