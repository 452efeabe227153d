// Contract dump benchmark: the generated network of N trips (default 20,000 trips of 50
// passages, 1,000,000 timetable rows, several million running days) is imported as a
// communication, exported as a dump of all its authorities, and the dump imported into a
// new database; on SQLite (file method) and PostgreSQL (ODBC method). The communication
// import of the same network in the same run is the baseline: goals, dump export within
// 1x and dump import within 1.5x of it.
//
//   dump_bench [--trips N] [--orari-per-trip K] [--dsn DSN] [--dir DIR] [--only sqlite|pg]
//
// DSN defaults to $KVT_TEST_PG_DSN; without one PostgreSQL is left out.
// scripts/bench dump_bench runs it with a private server.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_network.h"
#include "comms/import.h"
#include "contracts/dump.h"
#include "db/database.h"
#include "kvtgen/generator.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"

namespace {

using kvt::bench::NetworkOptions;
using kvt::bench::Seconds;
using kvt::bench::TimingUi;

using Connect = std::unique_ptr<kvt::db::Database> (*)(kvt::Ui&, const NetworkOptions&,
                                                       const std::string&);

std::unique_ptr<kvt::db::Database> SqliteDatabase(kvt::Ui& ui, const NetworkOptions& o,
                                                  const std::string& name) {
  return kvt::bench::NewSqliteDatabase(ui, o.dir, name);
}
std::unique_ptr<kvt::db::Database> PgDatabase(kvt::Ui& ui, const NetworkOptions& o,
                                              const std::string& name) {
  return kvt::bench::NewPgDatabase(ui, o.dsn, name);
}

void PrintFailures(const kvt::ScriptedUi& ui) {
  for (const kvt::RecordedMessage& m : ui.messages)
    if (m.icon != kvt::MsgIcon::Information) std::printf("  MESSAGE: %s\n", m.text.c_str());
}

void Run(const char* engine, Connect connect, const NetworkOptions& o, const std::string& path) {
  std::printf("\n%s\n", engine);
  TimingUi ui;
  auto source = connect(ui, o, "kvt_dump_bench_source");
  if (!source || !source->IsConnected()) return (void)std::printf("  cannot open a database\n");
  ui.QueueFile(path);
  bool imported = false;
  const double import = Seconds([&] { imported = kvt::comms::ImportCommunication(*source, ui); });
  PrintFailures(ui);
  if (!imported) return (void)std::printf("  the communication was not imported\n");
  std::printf("  communication import          %8.2f s\n", import);
  TimingUi::Print(ui.steps);
  ui.steps.clear();

  ui.Clear();
  const std::string dump = o.dir + "/dump.txt";
  kvt::contracts::DumpCounts counts;
  bool exported = false;
  const double exportTime = Seconds(
      [&] { exported = kvt::contracts::ExportDump(*source, ui, {1, 2, 3}, dump, counts); });
  PrintFailures(ui);
  if (!exported) return (void)std::printf("  the dump was not written\n");
  long rows = 0;
  for (long n : counts) rows += n;
  std::printf("  dump export                   %8.2f s  %ld rows, %.0f MiB  x%.2f (goal <= 1)\n",
              exportTime, rows, std::filesystem::file_size(dump) / 1048576.0, exportTime / import);
  TimingUi::Print(ui.steps);
  ui.steps.clear();
  source.reset();

  ui.Clear();
  auto target = connect(ui, o, "kvt_dump_bench_target");
  kvt::contracts::ImportCounts loaded;
  bool done = false;
  const double importTime = Seconds(
      [&] { done = kvt::contracts::ImportDump(*target, ui, dump, false, false, loaded); });
  PrintFailures(ui);
  long written = 0;
  for (long n : loaded.written) written += n;
  std::printf("  dump import                   %8.2f s  %ld rows written%s  x%.2f (goal <= 1.5)\n",
              importTime, written, done ? "" : " FAILED", importTime / import);
  TimingUi::Print(ui.steps);
  ui.steps.clear();
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
  NetworkOptions o = kvt::bench::ParseNetworkOptions(argc, argv);
  const kvt::bench::WorkDir work(o.dir, "kvt-dump-bench");
  if (work.path.empty()) return 1;
  o.dir = work.path;
  const std::string path = o.dir + "/network.txt";
  const kvt::comms::GeneratorReport report = kvt::comms::GenerateCommunication(kvt::bench::NetworkGeneration(o), path);
  if (!report.ok) return (void)std::printf("cannot generate: %s\n", report.error.c_str()), 1;
  std::printf("Network: %ld trips, %ld timetable rows, %ld months, %ld running days\n",
              static_cast<long>(report.counts[kvt::comms::Section::Corse]),
              static_cast<long>(report.counts[kvt::comms::Section::Orari]),
              static_cast<long>(report.counts[kvt::comms::Section::Giorni]),
              static_cast<long>(report.runningDays));
  if (o.only.empty() || o.only == "sqlite") Run("SQLite, file method", SqliteDatabase, o, path);
  if ((o.only.empty() || o.only == "pg") && !o.dsn.empty())
    Run("PostgreSQL, ODBC method", PgDatabase, o, path);
  if (o.dsn.empty()) std::printf("\nPostgreSQL left out: no --dsn and no KVT_TEST_PG_DSN\n");
  return 0;
}
