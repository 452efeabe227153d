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

#include "bench_util.h"
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
#include <QGuiApplication>

#include "gui/print_output.h"
#endif

namespace {

using kvt::bench::Seconds;
using namespace kvt::contracts;

struct Options {
  int32_t trips = 20000;
  int32_t orariPerTrip = 50;
  std::string dsn;
  std::string dir;
  std::string only;
  bool reuse = false;  // SQLite: the database of an earlier run in --dir, already imported
};

// The steps of the extraction as its progress captions name them, with when each began.
class TimingUi : public kvt::ScriptedUi {
 public:
  std::vector<std::pair<std::string, double>> steps;
  void ProgressBegin(std::string_view caption) override { Mark(caption); }
  void ProgressCaption(std::string_view caption) override { Mark(caption); }
  void ProgressEnd() override { Mark(""); }
  static void Print(const std::vector<std::pair<std::string, double>>& steps) {
    for (size_t i = 0; i + 1 < steps.size(); ++i)
      std::printf("    %-32s %6.2f s\n", steps[i].first.c_str(),
                  steps[i + 1].second - steps[i].second);
  }

 private:
  void Mark(std::string_view caption) {
    steps.emplace_back(
        std::string(caption),
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
  }
};

// Measures like a printer font would (width in proportion to the characters) and draws
// nothing: the time is the report's own.
class MeasuringCanvas : public kvt::Canvas {
 public:
  int PageWidth() const override { return 6600; }  // A4 landscape at 600 dpi, roughly
  int PageHeight() const override { return 4800; }
  void SelectFont(std::string_view, int tenths, int) override { size_ = tenths; }
  void SelectPen(int, kvt::Rgb) override {}
  kvt::TextExtent MeasureText(std::string_view utf8) override {
    return {static_cast<int>(kvt::Utf8Length(utf8)) * size_ * 4 / 10, size_ * 14 / 10};
  }
  void DrawText(int, int, std::string_view utf8, kvt::Rgb, kvt::Rgb) override {
    calls += utf8.empty() ? 0 : 1;
  }
  void MoveTo(int, int) override {}
  void LineTo(int, int) override { ++calls; }
  void FillRect(int, int, int, int, kvt::Rgb) override { ++calls; }
  long calls = 0;

 private:
  int size_ = 60;
};

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

void Run(kvt::db::Database& db, const std::string& path, bool import) {
  if (import) {
    kvt::ScriptedUi ui;
    ui.defaultAnswer = kvt::MsgResult::Cancel;
    ui.QueueFile(path);
    const double t = Seconds([&] { kvt::comms::ImportCommunication(db, ui, std::nullopt); });
    std::printf("  import                     %8.2f s\n", t);
  }

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
  MeasuringCanvas canvas;
  int pages = 0;
  const double layout = Seconds([&] { pages = report.Layout(canvas); });
  const double draw = Seconds([&] {
    for (int n = 1; n <= pages; ++n) report.DrawPage(canvas, n);
  });
  std::printf("  layout                     %8.2f s  (%d pages)\n", layout, pages);
  std::printf("  drawing every page         %8.2f s  (%ld calls)\n", draw, canvas.calls);
#ifdef KVT_BENCH_PDF
  const std::string pdf = std::filesystem::path(path).parent_path() / "statement.pdf";
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

std::string NewSqliteDatabase(const std::string& file) {
  std::filesystem::remove(file);
  kvt::ScriptedUi ui;
  if (!kvt::schema::CreateDatabase(ui, file)) std::printf("  cannot create %s\n", file.c_str());
  return file;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef KVT_BENCH_PDF
  qputenv("QT_QPA_PLATFORM", "offscreen");  // as the command line does: no display
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  std::setlocale(LC_NUMERIC, "C");  // as the command line does: numbers of SQL and files
#endif
  Options o;
  if (const char* dsn = std::getenv("KVT_TEST_PG_DSN")) o.dsn = dsn;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--trips") o.trips = std::atoi(value.c_str());
    if (key == "--orari-per-trip") o.orariPerTrip = std::atoi(value.c_str());
    if (key == "--dsn") o.dsn = value;
    if (key == "--dir") o.dir = value;
    if (key == "--only") o.only = value;
    if (key == "--reuse") o.reuse = value == "1";
  }
  const kvt::bench::WorkDir work(o.dir, "kvt-statement-bench");
  if (work.path.empty()) return 1;

  // The import benchmark's network.
  kvt::comms::GeneratorOptions g;
  g.azienda = 101;
  g.protoc = 1;
  g.trips = o.trips;
  g.routes = 400;
  g.routeRows = o.orariPerTrip - 1;
  g.stops = 5000;
  g.arcs = 6000;
  g.authorities = {1, 2, 3};
  const std::string path = work.path + "/network.txt";
  const kvt::comms::GeneratorReport report = kvt::comms::GenerateCommunication(g, path);
  if (!report.ok) return std::printf("generation failed: %s\n", report.error.c_str()), 1;
  std::printf("Network: %d trips, %ld months, %ld running days in 2010\n", o.trips,
              static_cast<long>(report.counts[kvt::comms::Section::Giorni]),
              static_cast<long>(report.runningDays));

  if (o.only.empty() || o.only == "sqlite") {
    std::printf("\nSQLite, file method\n");
    kvt::ScriptedUi ui;
    const std::string file = work.path + "/statement.db";
    const bool reuse = o.reuse && std::filesystem::exists(file);
    auto db = kvt::db::Database::OpenFile(ui, reuse ? file : NewSqliteDatabase(file));
    if (db && db->IsConnected()) Run(*db, path, !reuse);
  }
  if ((o.only.empty() || o.only == "pg") && !o.dsn.empty()) {
    std::printf("\nPostgreSQL, ODBC method\n");
    kvt::ScriptedUi ui;
    auto maintenance = kvt::db::Database::ConnectOdbc(ui, o.dsn, nullptr, 25, 1);
    // A database left by an earlier run may or may not be there.
    (void)maintenance->ExecuteSql("DROP DATABASE IF EXISTS kvt_statement_bench WITH (FORCE)");
    if (!maintenance->ExecuteSql("CREATE DATABASE kvt_statement_bench"))
      return std::printf("cannot create the database: %s\n", maintenance->LastError().text.c_str()),
             1;
    auto db = kvt::db::Database::ConnectOdbc(ui, "DSN=" + o.dsn + ";Database=kvt_statement_bench",
                                             nullptr, 25, 1);
    if (kvt::schema::InitialiseDatabase(*db)) Run(*db, path, true);
    db.reset();
    (void)maintenance->ExecuteSql("DROP DATABASE IF EXISTS kvt_statement_bench WITH (FORCE)");
  }
  if (o.dsn.empty()) std::printf("\nPostgreSQL left out: no --dsn and no KVT_TEST_PG_DSN\n");
  return 0;
}
