// The generated network the contract benchmarks run on (20,000 trips running on most days of
// 2010, as the import benchmark has it), its command line, and the databases it is
// imported into: a SQLite file and, when a DSN is given, a PostgreSQL database made for the
// run and dropped after it.
//
//   NAME [--trips N] [--orari-per-trip K] [--dsn DSN] [--dir DIR] [--only sqlite|pg]
//        [--reuse 1]   (SQLite: keep the database imported into DIR by an earlier run)
//
// DSN defaults to $KVT_TEST_PG_DSN; without one PostgreSQL is left out.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_util.h"
#include "comms/import.h"
#include "core/text.h"
#include "platform/canvas.h"
#include "db/database.h"
#include "kvtgen/generator.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"

namespace kvt::bench {

struct NetworkOptions {
  int32_t trips = 20000;
  int32_t orariPerTrip = 50;
  std::string dsn;
  std::string dir;
  std::string only;
  bool reuse = false;
};

inline NetworkOptions ParseNetworkOptions(int argc, char** argv) {
  NetworkOptions o;
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
  return o;
}

// The steps of a reading as its progress captions name them, with when each began.
class TimingUi : public kvt::ScriptedUi {
 public:
  std::vector<std::pair<std::string, double>> steps;
  void ProgressBegin(std::string_view caption) override { Mark(caption); }
  void ProgressCaption(std::string_view caption) override { Mark(caption); }
  void ProgressEnd() override { Mark(""); }
  static void Print(const std::vector<std::pair<std::string, double>>& steps) {
    for (size_t i = 0; i + 1 < steps.size(); ++i)
      if (!steps[i].first.empty())
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

// Imports the communication at `path` into `db`, printing the time taken.
inline void ImportNetwork(kvt::db::Database& db, const std::string& path) {
  kvt::ScriptedUi ui;
  ui.defaultAnswer = kvt::MsgResult::Cancel;
  ui.QueueFile(path);
  const double t = Seconds([&] { kvt::comms::ImportCommunication(db, ui, std::nullopt); });
  std::printf("  import                     %8.2f s\n", t);
}

// The network's communication: company 101, authorities 1 to 3, 400 routes, 5,000 stops.
inline kvt::comms::GeneratorOptions NetworkGeneration(const NetworkOptions& o) {
  kvt::comms::GeneratorOptions g;
  g.azienda = 101;
  g.protoc = 1;
  g.trips = o.trips;
  g.routes = 400;
  g.routeRows = o.orariPerTrip - 1;
  g.stops = 5000;
  g.arcs = 6000;
  g.authorities = {1, 2, 3};
  return g;
}

// A new SQLite file `dir`/`name`.db with the schema (an earlier one is replaced).
inline std::unique_ptr<kvt::db::Database> NewSqliteDatabase(kvt::Ui& ui, const std::string& dir,
                                                            const std::string& name) {
  const std::string file = dir + "/" + name + ".db";
  std::filesystem::remove(file);
  if (!kvt::schema::CreateDatabase(ui, file)) return nullptr;
  return kvt::db::Database::OpenFile(ui, file);
}

// A new PostgreSQL database `name` on the server of `dsn`, with the schema (an earlier one
// is dropped); DropPgDatabase removes it after the run.
inline std::unique_ptr<kvt::db::Database> NewPgDatabase(kvt::Ui& ui, const std::string& dsn,
                                                        const std::string& name) {
  auto maintenance = kvt::db::Database::ConnectOdbc(ui, dsn, nullptr, 25, 1);
  // A database left by an earlier run may or may not be there.
  (void)maintenance->ExecuteSql("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
  if (!maintenance->ExecuteSql("CREATE DATABASE " + name)) {
    std::printf("  cannot create the database: %s\n", maintenance->LastError().text.c_str());
    return nullptr;
  }
  auto db = kvt::db::Database::ConnectOdbc(ui, "DSN=" + dsn + ";Database=" + name, nullptr, 25, 1);
  if (db && !kvt::schema::InitialiseDatabase(*db)) return nullptr;
  return db;
}
inline void DropPgDatabase(kvt::Ui& ui, const std::string& dsn, const std::string& name) {
  auto maintenance = kvt::db::Database::ConnectOdbc(ui, dsn, nullptr, 25, 1);
  (void)maintenance->ExecuteSql("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
}

// Generates the network into a work folder, imports it into each engine chosen and calls
// `run` on the database. Returns the program's exit status.
inline int RunOnNetwork(const NetworkOptions& o, const char* name,
                        const std::function<void(kvt::db::Database&)>& run) {
  const WorkDir work(o.dir, (std::string("kvt-") + name).c_str());
  if (work.path.empty()) return 1;
  const std::string path = work.path + "/network.txt";
  const kvt::comms::GeneratorReport report =
      kvt::comms::GenerateCommunication(NetworkGeneration(o), path);
  if (!report.ok) return std::printf("generation failed: %s\n", report.error.c_str()), 1;
  std::printf("Network: %d trips, %ld months, %ld running days in 2010\n", o.trips,
              static_cast<long>(report.counts[kvt::comms::Section::Giorni]),
              static_cast<long>(report.runningDays));

  if (o.only.empty() || o.only == "sqlite") {
    std::printf("\nSQLite, file method\n");
    kvt::ScriptedUi ui;
    const std::string file = work.path + "/" + name + ".db";
    const bool reuse = o.reuse && std::filesystem::exists(file);
    auto db = reuse ? kvt::db::Database::OpenFile(ui, file) : NewSqliteDatabase(ui, work.path, name);
    if (db && db->IsConnected()) {
      if (!reuse) ImportNetwork(*db, path);
      run(*db);
    }
  }
  if ((o.only.empty() || o.only == "pg") && !o.dsn.empty()) {
    std::printf("\nPostgreSQL, ODBC method\n");
    kvt::ScriptedUi ui;
    const std::string database = std::string("kvt_") + name;
    auto db = NewPgDatabase(ui, o.dsn, database);
    if (!db) return 1;
    ImportNetwork(*db, path);
    run(*db);
    db.reset();
    DropPgDatabase(ui, o.dsn, database);
  }
  if (o.dsn.empty()) std::printf("\nPostgreSQL left out: no --dsn and no KVT_TEST_PG_DSN\n");
  return 0;
}

// Measures like a printer font would (width in proportion to the characters) and draws
// nothing, counting what it is asked to draw: the time is the report's own.
class MeasuringCanvas : public kvt::Canvas {
 public:
  MeasuringCanvas(int width, int height) : width_(width), height_(height) {}
  int PageWidth() const override { return width_; }
  int PageHeight() const override { return height_; }
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
  int width_, height_;
  int size_ = 80;
};

}  // namespace kvt::bench
