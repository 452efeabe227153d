// SpatiaLite script benchmark on the generated network (20,000 trips by default), given here
// a drawn line for every route and 300 municipal boundaries (about 120 vertices each, every
// fifth with a hole, spread over the stops' area):
//
//  1. writing the script (WriteSqliteScript) against `sqlite3 DB .dump` of the same SQLite
//     file, started in the same run (goal: within 2x);
//  2. the `spatialite` shell running the script into a new file.
//
// On PostgreSQL only the writing is timed (there is no .dump to compare with).
//
//   sqlite_script_bench [--trips N] [--orari-per-trip K] [--dsn DSN] [--dir DIR] [--only sqlite|pg]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "bench_network.h"
#include "carto/areas.h"
#include "carto/sqlite_script.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"

namespace {

using namespace kvt::carto;
using kvt::Format;
using kvt::bench::Seconds;

constexpr int kBoundaries = 300;
constexpr double kPi = 3.141592653589793;

// A closed wavy ring around (cx, cy); clockwise for outer rings, as shapefiles give them.
Ring WavyRing(double cx, double cy, double radius, int vertices, bool clockwise) {
  std::vector<Point> points;
  for (int k = 0; k <= vertices; ++k) {
    const double t = (clockwise ? -2 : 2) * kPi * (k % vertices) / vertices;
    const double r = radius * (1 + 0.06 * std::sin(7 * t));
    points.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
  }
  return Ring(std::move(points));
}

// Municipalities 1..300 on a 20 x 15 grid over the stops' area, with their boundaries.
bool AddBoundaries(kvt::db::Database& db, kvt::Ui& ui, const kvt::carto::Box& area) {
  const double cellX = (area.maxx - area.minx) / 20, cellY = (area.maxy - area.miny) / 15;
  kvt::db::Transaction transaction(db);
  kvt::db::Table owners(&db, "comuni"), rings(&db, "geocom");
  for (int id = 1; id <= kBoundaries; ++id) {
    const bool ok = owners.AddNew() && owners.SetFieldText("ID", std::to_string(id)) &&
                    owners.SetFieldText("denom", Format("Comune dell'area %d", id)) &&
                    owners.SetFieldText("provin", "AQ") &&
                    owners.SetFieldText("istat", Format("%06d", id)) &&
                    owners.SetFieldText("bacino", "0") && owners.SetFieldText("centro_x", "0") &&
                    owners.SetFieldText("centro_y", "0") && owners.Update();
    if (!ok) return false;
    const double cx = area.minx + ((id - 1) % 20 + 0.5) * cellX;
    const double cy = area.miny + ((id - 1) / 20 + 0.5) * cellY;
    const double r = 0.55 * std::min(cellX, cellY);
    if (!StoreAreaRing(rings, ui, id, 0, 0, WavyRing(cx, cy, r, 120, true), "Comune")) return false;
    if (id % 5 == 0 &&
        !StoreAreaRing(rings, ui, id, 0, 1, WavyRing(cx, cy, r / 4, 30, false), "Comune"))
      return false;
  }
  return transaction.Commit();
}

// The box of the positioned stops.
kvt::carto::Box StopsBox(kvt::db::Database& db) {
  kvt::carto::Box box = kvt::carto::Box::Empty();
  kvt::db::Selection s(&db);
  s.AddColumn("fermate", "coord_x", kvt::db::kSqlFloat);
  s.AddColumn("fermate", "coord_y", kvt::db::kSqlFloat);
  s.SetFrom("fermate");
  s.SetWhere("coord_x IS NOT NULL");
  for (kvt::db::Fetch f = s.Open(); f == kvt::db::Fetch::Row; f = s.MoveNext())
    box.Widen({s.GetDouble(0), s.GetDouble(1)});
  if (box.IsEmpty()) box = {1500000, 4600000, 1600000, 4700000};
  return box;
}

// Every route drawn as a line of 150 points across the area.
bool AddRouteLines(kvt::db::Database& db, kvt::Ui& ui, const kvt::carto::Box& area) {
  std::vector<std::pair<int, long>> routes;
  {
    kvt::db::Selection s(&db);
    s.AddColumn("tesitine", "azienda", kvt::db::kSqlSmallInt);
    s.AddColumn("tesitine", "ID", kvt::db::kSqlInteger);
    s.SetFrom("tesitine");
    for (kvt::db::Fetch f = s.Open(); f == kvt::db::Fetch::Row; f = s.MoveNext())
      routes.emplace_back(s.GetShort(0), s.GetLong(1));
  }
  kvt::db::Transaction transaction(db);
  kvt::db::Table lines(&db, "geoitine");
  for (size_t i = 0; i < routes.size(); ++i) {
    std::vector<Point> points;
    for (int k = 0; k < 150; ++k) {
      const double t = k / 149.0;
      points.push_back({area.minx + t * (area.maxx - area.minx),
                        area.miny + (area.maxy - area.miny) *
                                        (0.5 + 0.4 * std::sin(t * 6 + static_cast<double>(i)))});
    }
    if (!StoreRouteLine(lines, ui, routes[i].first, routes[i].second, Ring(std::move(points)),
                        "Percorso"))
      return false;
  }
  return transaction.Commit();
}

long long FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long long>(size);
}

bool Shell(const std::string& command) {
  const int rc = std::system(command.c_str());
  if (rc != 0) std::printf("  failed (%d): %s\n", rc, command.c_str());
  return rc == 0;
}

void Run(kvt::db::Database& db, const std::string& dir) {
  kvt::ScriptedUi ui;
  const kvt::carto::Box area = StopsBox(db);
  const double setup = Seconds([&] {
    if (!AddBoundaries(db, ui, area) || !AddRouteLines(db, ui, area))
      std::printf("  geometry set-up failed\n");
  });
  std::printf("  geometry set-up              %8.2f s (%d boundaries, route lines)\n", setup,
              kBoundaries);

  const std::string script = dir + "/kvt.sql";
  kvt::bench::TimingUi timing;
  bool ok = false;
  const double write = Seconds([&] { ok = WriteSqliteScript(db, timing, script); });
  std::printf("  script written               %8.2f s (%.1f MB)%s\n", write,
              static_cast<double>(FileSize(script)) / 1e6, ok ? "" : " FAILED");
  kvt::bench::TimingUi::Print(timing.steps);

  if (!db.IsOdbc()) {
    const std::string dump = dir + "/dump.sql";
    const double dumped =
        Seconds([&] { (void)Shell("sqlite3 '" + db.Path() + "' .dump > '" + dump + "'"); });
    std::printf("  sqlite3 .dump (baseline)     %8.2f s (%.1f MB)\n", dumped,
                static_cast<double>(FileSize(dump)) / 1e6);
    std::printf("  ratio script / .dump         %8.2f   (goal: at most 2)\n", write / dumped);
    // How fast the shells read a script at all: the plain dump loaded into a new file.
    const std::string reloaded = dir + "/reload.db";
    const double reload =
        Seconds([&] { (void)Shell("sqlite3 '" + reloaded + "' < '" + dump + "'"); });
    std::printf("  sqlite3 loads the .dump      %8.2f s\n", reload);
    std::filesystem::remove(reloaded);
    std::filesystem::remove(dump);
  }

  const std::string target = dir + "/kvt.sqlite";
  std::filesystem::remove(target);
  const double loaded = Seconds([&] {
    (void)Shell("spatialite '" + target + "' < '" + script + "' > '" + dir +
                "/spatialite.out' 2> '" + dir + "/spatialite.err'");
  });
  std::printf("  spatialite runs the script   %8.2f s (%.1f MB database)\n", loaded,
              static_cast<double>(FileSize(target)) / 1e6);
  // The shell's own timeline: the time at which each step began.
  (void)Shell("sed 's/^/    /' '" + dir + "/spatialite.out'");
  (void)Shell("grep -v 'SPATIAL_REF_SYS table already contains' '" + dir +
              "/spatialite.err' | head -5 || true");
  std::filesystem::remove(script);
  std::filesystem::remove(target);
}

}  // namespace

int main(int argc, char** argv) {
  const kvt::bench::NetworkOptions o = kvt::bench::ParseNetworkOptions(argc, argv);
  const kvt::bench::WorkDir work(o.dir, "sqlite_script_bench");
  if (work.path.empty()) return 1;
  return kvt::bench::RunOnNetwork(o, "sqlite_script",
                                  [&](kvt::db::Database& db) { Run(db, work.path); });
}
