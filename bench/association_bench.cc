// Association benchmark: N generated stops (default 100,000) assigned to P generated
// municipal boundaries (default 300, about 200 vertices each, every fifth with a hole).
//
//  1. In memory: LocateEntity (box filter, then crossing test) against a brute-force loop
//     that runs the crossing test on every polygon, the same stops, the same answers.
//  2. Whole assignment on an SQLite file: our automatic association (boundaries loaded from
//     geocom, every stop read and its municipality written, one transaction) against
//     SpatiaLite doing the same assignment in one UPDATE with ST_Contains and a spatial
//     index (the `spatialite` shell, started in the same run; its set-up is not timed).
//     The two databases' answers are compared.
//
//   association_bench [--stops N] [--polygons P] [--dir DIR] [--no-spatialite]
#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "carto/areas.h"
#include "carto/association.h"
#include "core/text.h"
#include "db/database.h"
#include "db/table.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"

namespace {

using namespace kvt::carto;
using kvt::Format;
using kvt::bench::Seconds;

struct Options {
  long stops = 100000;
  int polygons = 300;
  std::string dir;
  bool spatialite = true;
};

constexpr double kX0 = 1500000, kY0 = 4700000, kCell = 2000;

// A wavy ring of about 200 vertices around the centre of grid cell `i`, reaching a little
// into its neighbours (so that some boundaries overlap and some stops fall in gaps); every
// fifth has a round hole. Outer rings clockwise, holes counter-clockwise, as shapefiles.
Area MakeArea(int i, int columns, std::mt19937& rng) {
  const double cx = kX0 + (i % columns + 0.5) * kCell, cy = kY0 + (i / columns + 0.5) * kCell;
  std::uniform_real_distribution<double> phase(0, 6.283);
  const double p1 = phase(rng), p2 = phase(rng);
  std::vector<Point> outer;
  for (int k = 0; k <= 200; ++k) {
    const double t = -6.283185307179586 * (k % 200) / 200;
    const double r = kCell * 0.56 * (1 + 0.08 * std::sin(5 * t + p1) + 0.04 * std::sin(13 * t + p2));
    outer.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
  }
  Area a{Ring(std::move(outer)), {}};
  if (i % 5 == 0) {
    std::vector<Point> hole;
    for (int k = 0; k <= 40; ++k) {
      const double t = 6.283185307179586 * (k % 40) / 40;
      hole.push_back({cx + 300 * std::cos(t), cy + 300 * std::sin(t)});
    }
    a.exclusions.push_back(Ring(std::move(hole)));
  }
  return a;
}

// The crossing test on every ring, without the box filter.
bool BruteInRing(const Ring& ring, double x, double y) {
  const int n = ring.Count() - 1;
  if (n < 2) return false;
  bool inside = false;
  for (int i = 0, j = n - 1; i < n; j = i++) {
    const Point& a = ring[i];
    const Point& b = ring[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

int BruteLocate(const std::vector<Area>& areas, double x, double y) {
  for (size_t i = 0; i < areas.size(); ++i) {
    if (!BruteInRing(areas[i].outer, x, y)) continue;
    bool excluded = false;
    for (const Ring& h : areas[i].exclusions) excluded = excluded || BruteInRing(h, x, y);
    if (!excluded) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string Wkt(const Area& a) {
  auto ring = [](const Ring& r) {
    std::string s = "(";
    for (int i = 0; i < r.Count(); ++i) s += Format("%s%.6f %.6f", i ? "," : "", r[i].x, r[i].y);
    return s + ")";
  };
  std::string s = "POLYGON(" + ring(a.outer);
  for (const Ring& h : a.exclusions) s += "," + ring(h);
  return s + ")";
}

bool Shell(const std::string& command) {
  const int rc = std::system(command.c_str());
  if (rc != 0) std::fprintf(stderr, "failed (%d): %s\n", rc, command.c_str());
  return rc == 0;
}

// municipality of every stop, by stop ID, from an SQLite file.
std::vector<int> ReadAnswers(const std::string& path, const char* sql, long stops) {
  std::vector<int> out(static_cast<size_t>(stops) + 1, -1);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        const long id = sqlite3_column_int64(st, 0);
        if (id >= 1 && id <= stops) out[static_cast<size_t>(id)] = sqlite3_column_int(st, 1);
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--stops" && i + 1 < argc) o.stops = std::atol(argv[++i]);
    else if (a == "--polygons" && i + 1 < argc) o.polygons = std::atoi(argv[++i]);
    else if (a == "--dir" && i + 1 < argc) o.dir = argv[++i];
    else if (a == "--no-spatialite") o.spatialite = false;
    else {
      std::fprintf(stderr,
                   "usage: association_bench [--stops N] [--polygons P] [--dir DIR] "
                   "[--no-spatialite]\n");
      return 2;
    }
  }
  kvt::bench::WorkDir work(o.dir, "association_bench");
  if (work.path.empty()) return 1;

  // The map and the stops.
  std::mt19937 rng(20101);
  const int columns = static_cast<int>(std::ceil(std::sqrt(o.polygons * 4.0 / 3.0)));
  const int rows = (o.polygons + columns - 1) / columns;
  std::vector<Area> areas;
  for (int i = 0; i < o.polygons; ++i) areas.push_back(MakeArea(i, columns, rng));
  std::uniform_real_distribution<double> sx(kX0 - 1000, kX0 + columns * kCell + 1000);
  std::uniform_real_distribution<double> sy(kY0 - 1000, kY0 + rows * kCell + 1000);
  std::vector<Point> stops(static_cast<size_t>(o.stops));
  for (Point& p : stops) p = {std::round(sx(rng) * 100) / 100, std::round(sy(rng) * 100) / 100};
  long vertices = 0;
  for (const Area& a : areas) {
    vertices += a.outer.Count();
    for (const Ring& h : a.exclusions) vertices += h.Count();
  }
  std::printf("map: %d boundaries (%ld vertices, %d with a hole), %ld stops\n", o.polygons,
              vertices, (o.polygons + 4) / 5, o.stops);

  // 1. In memory.
  AreaEntitySet set;
  for (int i = 0; i < o.polygons; ++i) set.Add(i + 1).areas.push_back(areas[static_cast<size_t>(i)]);
  set.BuildIndex();
  std::vector<int> ours(stops.size()), brute(stops.size());
  const double tOurs = Seconds([&] {
    for (size_t k = 0; k < stops.size(); ++k) {
      const AreaEntity* e = LocateEntity(set, stops[k].x, stops[k].y);
      ours[k] = e ? e->id : 0;
    }
  });
  const double tBrute = Seconds([&] {
    for (size_t k = 0; k < stops.size(); ++k) brute[k] = BruteLocate(areas, stops[k].x, stops[k].y);
  });
  long differ = 0, located = 0;
  for (size_t k = 0; k < stops.size(); ++k) {
    differ += ours[k] != brute[k];
    located += ours[k] != 0;
  }
  std::printf("\n1. in memory (%ld stops in a boundary, %ld answers differ)\n", located, differ);
  std::printf("   LocateEntity        %8.3f s  %10.0f stops/s\n", tOurs, o.stops / tOurs);
  std::printf("   brute force         %8.3f s  %10.0f stops/s   ours/brute = %.3f\n", tBrute,
              o.stops / tBrute, tOurs / tBrute);

  // 2. The whole assignment on an SQLite file.
  const std::string ourDb = work.path + "/kvt.mdb";
  kvt::ScriptedUi ui;
  std::filesystem::remove(ourDb);
  if (!kvt::schema::CreateDatabase(ui, ourDb)) return 1;
  ui.Clear();
  auto db = kvt::db::Database::OpenFile(ui, ourDb);
  if (!db || !db->IsConnected()) return 1;
  {
    kvt::db::Transaction tx(*db);
    // One row; false when the database failed (every failure is also in ui.messages).
    auto row = [](kvt::db::Table& t,
                  std::initializer_list<std::pair<const char*, std::string>> values) {
      bool ok = t.AddNew();
      for (const auto& [column, text] : values) ok = ok && t.SetFieldText(column, text);
      return ok && (t.Update() || t.LastError().RowRefused());
    };
    bool ok = true;
    {
      kvt::db::Table c(db.get(), "comuni", true);
      for (int i = 1; ok && i <= o.polygons; ++i)
        ok = row(c, {{"ID", std::to_string(i)}, {"denom", Format("Comune %d", i)},
                     {"provin", "XX"}, {"istat", Format("%06d", i)}, {"bacino", "0"},
                     {"centro_x", "0"}, {"centro_y", "0"}});
      ok = ok && c.Flush();
    }
    {
      kvt::db::Table g(db.get(), "geocom", true, 16 * 256);
      for (int i = 0; ok && i < o.polygons; ++i) {
        const Area& a = areas[static_cast<size_t>(i)];
        ok = StoreAreaRing(g, ui, i + 1, 0, 0, a.outer, "comune");
        for (size_t h = 0; ok && h < a.exclusions.size(); ++h)
          ok = StoreAreaRing(g, ui, i + 1, 0, static_cast<int>(h) + 1, a.exclusions[h], "comune");
      }
      ok = ok && g.Flush();
    }
    {
      kvt::db::Table p(db.get(), "proto");
      ok = ok && row(p, {{"azienda", "101"}, {"protoc", "1"}, {"datini", "01/01/2010"},
                         {"datfin", "31/12/2010"}, {"primacom", "1"}, {"tipo", "P"},
                         {"azzera", "0"}});
    }
    {
      kvt::db::Table f(db.get(), "fermate", true);
      for (size_t k = 0; ok && k < stops.size(); ++k)
        ok = row(f, {{"azienda", "101"}, {"ID", std::to_string(k + 1)}, {"protoc", "1"},
                     {"denom", Format("Fermata %zu", k + 1)}, {"comune", "0"}, {"local", "0"},
                     {"coord_x", CommaNumber(stops[k].x)}, {"coord_y", CommaNumber(stops[k].y)},
                     {"okcoord", "0"}});
      ok = ok && f.Flush();
    }
    if (!ok) return 1;
    if (!tx.Commit()) return 1;
  }
  if (!ui.messages.empty()) {
    std::fprintf(stderr, "set-up: %s\n", ui.messages[0].text.c_str());
    return 1;
  }
  AssociationCounts n;
  bool associated = false;
  const double tCommand =
      Seconds([&] { associated = AssociateStops(*db, ui, AreaKind::Municipalities, &n); });
  if (!associated) return 1;
  db->Close();
  std::printf("\n2. whole assignment on an SQLite file (%ld analysed, %ld assigned, %ld none)\n",
              n.analysed, n.assigned, n.unidentified);
  std::printf("   ours (load boundaries, read stops, write each, commit)  %8.3f s\n", tCommand);
  const std::vector<int> ourAnswers =
      ReadAnswers(ourDb, "SELECT ID, comune FROM fermate", o.stops);
  long dbDiffer = 0;
  for (size_t k = 0; k < stops.size(); ++k) dbDiffer += ourAnswers[k + 1] != ours[k];
  std::printf("   stored answers differing from the in-memory ones: %ld\n", dbDiffer);

  if (o.spatialite) {
    const std::string peerDb = work.path + "/peer.sqlite";
    const std::string setup = work.path + "/setup.sql", update = work.path + "/update.sql",
                      rtree = work.path + "/rtree.sql";
    std::filesystem::remove(peerDb);
    {
      std::ofstream s(setup);
      // The shell gives a new database its spatial metadata itself.
      s << "CREATE TABLE comuni (ID INTEGER PRIMARY KEY);\n"
           "SELECT AddGeometryColumn('comuni', 'geom', 3003, 'POLYGON', 'XY');\n"
           "CREATE TABLE fermate (ID INTEGER PRIMARY KEY, comune INTEGER);\n"
           "SELECT AddGeometryColumn('fermate', 'geom', 3003, 'POINT', 'XY');\n"
           "BEGIN;\n";
      for (int i = 0; i < o.polygons; ++i)
        s << "INSERT INTO comuni VALUES (" << i + 1 << ", GeomFromText('"
          << Wkt(areas[static_cast<size_t>(i)]) << "', 3003));\n";
      for (size_t k = 0; k < stops.size(); ++k)
        s << Format("INSERT INTO fermate VALUES (%zu, 0, MakePoint(%.2f, %.2f, 3003));\n", k + 1,
                    stops[k].x, stops[k].y);
      s << "COMMIT;\nSELECT CreateSpatialIndex('comuni', 'geom');\n";
      std::ofstream u(update);
      u << "UPDATE fermate SET comune = COALESCE((SELECT c.ID FROM comuni c WHERE c.ROWID IN "
           "(SELECT ROWID FROM SpatialIndex WHERE f_table_name = 'comuni' AND search_frame = "
           "fermate.geom) AND ST_Contains(c.geom, fermate.geom) ORDER BY c.ID LIMIT 1), 0);\n";
      // The same through the R*Tree of the index directly.
      std::ofstream r(rtree);
      r << "UPDATE fermate SET comune = COALESCE((SELECT c.ID FROM comuni c, idx_comuni_geom i "
           "WHERE i.pkid = c.ROWID AND i.xmin <= X(fermate.geom) AND i.xmax >= X(fermate.geom) "
           "AND i.ymin <= Y(fermate.geom) AND i.ymax >= Y(fermate.geom) AND "
           "ST_Contains(c.geom, fermate.geom) ORDER BY c.ID LIMIT 1), 0);\n";
    }
    if (!Shell("spatialite -silent " + peerDb + " < " + setup + " > /dev/null")) return 1;
    const double tPeer =
        Seconds([&] { Shell("spatialite -silent " + peerDb + " < " + update + " > /dev/null"); });
    const std::vector<int> peerAnswers =
        ReadAnswers(peerDb, "SELECT ID, comune FROM fermate", o.stops);
    long peerDiffer = 0;
    for (long k = 1; k <= o.stops; ++k)
      peerDiffer += peerAnswers[static_cast<size_t>(k)] != ourAnswers[static_cast<size_t>(k)];
    const double tRtree =
        Seconds([&] { Shell("spatialite -silent " + peerDb + " < " + rtree + " > /dev/null"); });
    const std::vector<int> rtreeAnswers =
        ReadAnswers(peerDb, "SELECT ID, comune FROM fermate", o.stops);
    for (long k = 1; k <= o.stops; ++k)
      peerDiffer += rtreeAnswers[static_cast<size_t>(k)] != ourAnswers[static_cast<size_t>(k)];
    std::printf("   SpatiaLite, SpatialIndex table (one UPDATE, ST_Contains)  %8.3f s\n", tPeer);
    std::printf("   SpatiaLite, R*Tree joined directly (one UPDATE)           %8.3f s\n", tRtree);
    std::printf("   ours/SpatiaLite = %.3f and %.3f   (answers differing: %ld)\n",
                tCommand / tPeer, tCommand / tRtree, peerDiffer);
  }
  return 0;
}
