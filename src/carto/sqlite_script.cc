#include "carto/sqlite_script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

#include "carto/areas.h"
#include "carto/sqlite_script_ddl.h"
#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace kvt::carto {

// ---------------------------------------------------------------------------------------------
// Geometry literals

namespace {

void PutUint32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutDouble(std::vector<uint8_t>& out, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void PutHead(std::vector<uint8_t>& out, uint32_t type) {
  out.push_back(1);  // little-endian
  PutUint32(out, type);
}

void PutPoints(std::vector<uint8_t>& out, const std::vector<Point>& points) {
  PutUint32(out, static_cast<uint32_t>(points.size()));
  for (const Point& p : points) {
    PutDouble(out, p.x);
    PutDouble(out, p.y);
  }
}

// A ring closed on its first point, whatever its stored last point.
void PutClosedRing(std::vector<uint8_t>& out, const Ring& ring) {
  std::vector<Point> points = ring.Points();
  if (!points.empty()) points.back() = points.front();
  PutPoints(out, points);
}

void PutPolygon(std::vector<uint8_t>& out, const Area& area) {
  PutHead(out, 3);
  PutUint32(out, static_cast<uint32_t>(1 + area.exclusions.size()));
  PutClosedRing(out, area.outer);
  for (const Ring& hole : area.exclusions) PutClosedRing(out, hole);
}

const Area& UnitSquare() {
  static const Area square{Ring({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}), {}};
  return square;
}

}  // namespace

std::vector<uint8_t> PointWkb(Point p) {
  std::vector<uint8_t> out;
  PutHead(out, 1);
  PutDouble(out, p.x);
  PutDouble(out, p.y);
  return out;
}

std::vector<uint8_t> LineStringWkb(const Ring& line) {
  std::vector<uint8_t> out;
  PutHead(out, 2);
  PutPoints(out, line.Points());
  return out;
}

// A MULTIPOLYGON column takes nothing else: one area is a multipolygon of one.
std::vector<uint8_t> MultiPolygonWkb(const AreaEntity* entity) {
  const bool empty = !entity || entity->areas.empty();
  std::vector<uint8_t> out;
  PutHead(out, 6);
  PutUint32(out, empty ? 1 : static_cast<uint32_t>(entity->areas.size()));
  if (empty) {
    PutPolygon(out, UnitSquare());
  } else {
    for (const Area& area : entity->areas) PutPolygon(out, area);
  }
  return out;
}

std::string WkbLiteral(std::span<const uint8_t> wkb) {
  if (wkb.empty()) return "NULL";
  std::string out = "X'";
  AppendHex(out, std::string_view(reinterpret_cast<const char*>(wkb.data()), wkb.size()), true);
  return out + "'";
}

std::string ScriptText(std::string_view text) {
  return db::SqlQuote(TrimRight(text));
}

// ---------------------------------------------------------------------------------------------
// The script

namespace {

constexpr std::string_view kCaption = "Esportazione script SQL";

// The script file: every "\n" written as CR LF, in large writes.
class ScriptFile {
 public:
  bool Open(const std::string& path) { return file_.Open(path); }
  void Put(std::string_view text) {
    for (size_t nl; (nl = text.find('\n')) != std::string_view::npos; text.remove_prefix(nl + 1)) {
      buffer_.append(text.data(), nl);
      buffer_ += "\r\n";
    }
    buffer_.append(text);
    if (buffer_.size() >= kFlushAt) Flush();
  }
  bool Flush() {
    ok_ = ok_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_.get()) == buffer_.size();
    buffer_.clear();
    return ok_;
  }
  // Gives the file its name when all was written; otherwise removes it.
  bool Commit() {
    if (Flush() && file_.Commit()) return true;
    file_.Discard();
    return false;
  }
  void Discard() { file_.Discard(); }
  bool Ok() const { return ok_; }

 private:
  static constexpr size_t kFlushAt = 1 << 20;
  OutputFile file_;
  std::string buffer_;
  bool ok_ = true;
};

struct Column {
  std::string_view table, name;
  int type;
};

// One section's rows: the columns and the clauses of its selection.
struct Query {
  std::vector<Column> columns;
  std::string from, where, orderBy;
};

using Key = std::pair<int, long>;  // company, ID

class ScriptExport {
 public:
  ScriptExport(db::Database& db, ScriptFile& out, ProgressScope& progress)
      : db_(db), out_(out), progress_(progress) {}

  // False when stopped, when a read failed (already reported) or when a write failed.
  bool Run();

 private:
  bool Section(const script::TableDef& table, const Query& query,
               const std::function<void(db::Selection&)>& row, size_t blobBuffer = 0);
  void SectionEnd(const script::TableDef& table);
  long Count(const Query& query);
  bool Walk(const Query& query, size_t blobBuffer, const std::function<void(db::Selection&)>& row);

  bool CodeAndName(const script::TableDef& t, std::string_view source, std::string_view key,
                   const std::string& insert);
  bool Aziende(const script::TableDef& t);
  bool Enti(const script::TableDef& t);
  bool Lotti(const script::TableDef& t);
  bool Comuni(const script::TableDef& t);
  bool Localita(const script::TableDef& t);
  bool Fermate(const script::TableDef& t);
  bool Percorsi(const script::TableDef& t);
  bool Corse(const script::TableDef& t);
  bool Orari(const script::TableDef& t);
  bool Giorni(const script::TableDef& t);
  bool LoadLines(std::map<Key, Ring>* lines);
  bool LoadRouteDistances();
  long RouteDistance(int azienda, long route, int sub) const;

  db::Database& db_;
  ScriptFile& out_;
  ProgressScope& progress_;
  struct RouteRow {
    int azienda;
    long id;
    int sub;
    long dist;
  };
  std::vector<RouteRow> routeRows_;  // by company, ID, sub
};

long ScriptExport::Count(const Query& q) {
  db::Selection s(&db_);
  const Column& c = q.columns.front();
  s.AddColumn("COUNT(" + std::string(c.table), std::string(c.name) + ")", db::kSqlInteger);
  s.SetFrom(q.from);
  if (!q.where.empty()) s.SetWhere(q.where);
  return s.Open() == db::Fetch::Row ? s.GetLong(0) : -1;
}

bool ScriptExport::Walk(const Query& q, size_t blobBuffer,
                        const std::function<void(db::Selection&)>& row) {
  const long total = Count(q);
  if (total < 0) return false;
  db::Selection s(&db_);
  for (const Column& c : q.columns) s.AddColumn(c.table, c.name, c.type);
  s.SetFrom(q.from);
  if (!q.where.empty()) s.SetWhere(q.where);
  s.SetOrderBy(q.orderBy);
  long done = 0;
  progress_.Set(0, total);
  for (db::Fetch f = s.Open(false, blobBuffer); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error || progress_.Stopped() || !out_.Ok()) return false;
    row(s);
    progress_.Set(++done, std::max(total, done));
  }
  return true;
}

bool ScriptExport::Section(const script::TableDef& t, const Query& query,
                           const std::function<void(db::Selection&)>& row, size_t blobBuffer) {
  // The scope opens on the first section's caption.
  if (t.name != "Aziende")
    progress_.Caption("Esportazione " + std::string(t.label) + (t.label == "LOCALITA" ? "'" : ""));
  const std::string label(t.label), quoted(t.quotedLabel), name(t.name);
  out_.Put("\n\n--\n-- creazione + alimentazione tavola " + label + "\n--\n\n");
  out_.Put("\nSELECT datetime('now'), ' >>> creazione tavola " + label + "';\n\n");
  out_.Put("BEGIN TRANSACTION;\n\n");
  out_.Put(t.create);
  if (!t.geometry.empty())
    out_.Put("SELECT AddGeometryColumn('" + name + "', 'Geom', 3003, '" + std::string(t.geometry) +
             "', 2);\n\n");
  out_.Put("\nSELECT datetime('now'), ' >>> alimentazione tavola " + quoted + "';\n\n");
  if (!Walk(query, blobBuffer, row)) return false;
  out_.Put("\nCOMMIT TRANSACTION;\n");
  SectionEnd(t);
  return out_.Ok();
}

void ScriptExport::SectionEnd(const script::TableDef& t) {
  if (t.indices.empty() && !t.spatialIndex && t.views.empty()) return;
  const std::string label(t.label), quoted(t.quotedLabel), name(t.name);
  out_.Put("\nBEGIN TRANSACTION;\n");
  for (const script::IndexDef& i : t.indices) {
    out_.Put("\nSELECT datetime('now'), ' >>> creazione indice " + quoted + "." +
             std::string(i.what) + "';\n\n");
    out_.Put("CREATE INDEX " + std::string(i.name) + " ON " + name + " (" + std::string(i.columns) +
             ");\n");
  }
  if (t.spatialIndex) {
    out_.Put("\nSELECT datetime('now'), ' >>> creazione indice spaziale " + quoted + "';\n\n");
    out_.Put("\nSELECT CreateSpatialIndex('" + name + "', 'Geom');\n");
  }
  for (const script::ViewDef& v : t.views) {
    out_.Put("\nSELECT datetime('now'), ' >>> creazione " + std::string(v.name) + "';\n\n");
    out_.Put("\nCREATE VIEW " + std::string(v.name) + " AS\n" + v.select);
  }
  out_.Put("COMMIT TRANSACTION;\n");
}

std::string Text(db::Selection& s, int column) {
  return ScriptText(s.GetText(column));
}

// Aziende, Enti, Lotti: a code and a name.
bool ScriptExport::CodeAndName(const script::TableDef& t, std::string_view source,
                               std::string_view key, const std::string& insert) {
  return Section(
      t,
      {{{source, key, db::kSqlSmallInt}, {source, "denom", db::kSqlChar}},
       std::string(source),
       "",
       std::string(key)},
      [&](db::Selection& s) {
        out_.Put(insert + " VALUES (" + std::to_string(s.GetShort(0)) + ", " + Text(s, 1) + ");\n");
      });
}

bool ScriptExport::Aziende(const script::TableDef& t) {
  return CodeAndName(t, "regazi", "codice", "INSERT INTO Aziende (IdAzienda, Nome)");
}
bool ScriptExport::Enti(const script::TableDef& t) {
  return CodeAndName(t, "regent", "codice", "INSERT INTO Enti (IdEnte, Nome)");
}
bool ScriptExport::Lotti(const script::TableDef& t) {
  return CodeAndName(t, "lotti", "ID", "INSERT INTO Lotti (IdLotto, Nome)");
}

bool LoadBoundaries(db::Database& db, AreaKind kind, AreaEntitySet* set) {
  const char* what = kind == AreaKind::Municipalities ? "Comuni" : "Località";
  return LoadAreaEntities(
      db, kind, OwnerMode::PerGeometryId,
      [what](int id, int sub, int excl) {
        return Format("%s: Entità areale corrotta ID=%d/%d/%d !!!", what, id, sub, excl);
      },
      set);
}

bool ScriptExport::Comuni(const script::TableDef& t) {
  AreaEntitySet set;
  if (!LoadBoundaries(db_, AreaKind::Municipalities, &set)) return false;
  return Section(t,
                 {{{"comuni", "ID", db::kSqlSmallInt},
                   {"comuni", "denom", db::kSqlChar},
                   {"comuni", "provin", db::kSqlChar},
                   {"comuni", "istat", db::kSqlChar}},
                  "comuni",
                  "",
                  "ID"},
                 [&](db::Selection& s) {
                   const int id = s.GetShort(0);
                   out_.Put(
                       Format("INSERT INTO Comuni (IdComune, Nome, Provincia, Istat, Geom) "
                              "VALUES (%d, %s, %s, %s,\nGeomFromWkb(\n",
                              id, Text(s, 1).c_str(), Text(s, 2).c_str(), Text(s, 3).c_str()));
                   out_.Put(WkbLiteral(MultiPolygonWkb(set.Find(id))) + ", 3003));\n");
                 });
}

bool ScriptExport::Localita(const script::TableDef& t) {
  AreaEntitySet set;
  if (!LoadBoundaries(db_, AreaKind::Localities, &set)) return false;
  return Section(
      t,
      {{{"local", "ID", db::kSqlSmallInt},
        {"local", "denom", db::kSqlChar},
        {"local", "istat", db::kSqlChar},
        {"local", "abitanti", db::kSqlInteger}},
       "local",
       "",
       "ID"},
      [&](db::Selection& s) {
        const int id = s.GetShort(0);
        out_.Put(
            Format("INSERT INTO Localita (IdLocalita, Nome, Istat, Abitanti, Geom) "
                   "VALUES (%d, %s, %s, %ld,\nGeomFromWkb(\n",
                   id, Text(s, 1).c_str(), Text(s, 2).c_str(), static_cast<long>(s.GetLong(3))));
        out_.Put(WkbLiteral(MultiPolygonWkb(set.Find(id))) + ", 3003));\n");
      });
}

bool ScriptExport::Fermate(const script::TableDef& t) {
  return Section(
      t,
      {{{"fermate", "ID", db::kSqlInteger},
        {"fermate", "azienda", db::kSqlSmallInt},
        {"fermate", "fermata", db::kSqlChar},
        {"fermate", "denom", db::kSqlChar},
        {"fermate", "ubicaz", db::kSqlChar},
        {"fermate", "comune", db::kSqlSmallInt},
        {"fermate", "local", db::kSqlSmallInt},
        {"fermate", "coord_x", db::kSqlFloat},
        {"fermate", "coord_y", db::kSqlFloat}},
       "fermate",
       "",
       "azienda, ID"},
      [&](db::Selection& s) {
        // A missing coordinate reads as 0, as everywhere else.
        const std::string ubicaz(TrimRight(s.GetText(4)));
        out_.Put(Format(
            "INSERT INTO Fermate (IdFermata, IdAzienda, Codice, Nome, Ubicazione, "
            "IdComune, IdLocalita, Geom) VALUES\n(%ld, %d, %s, %s, %s, %d, %d,\n"
            "GeomFromWkb(",
            static_cast<long>(s.GetLong(0)), s.GetShort(1), Text(s, 2).c_str(), Text(s, 3).c_str(),
            ubicaz.empty() ? "NULL" : ScriptText(ubicaz).c_str(), s.GetShort(5), s.GetShort(6)));
        out_.Put(WkbLiteral(PointWkb({s.GetDouble(7), s.GetDouble(8)})) + ", 3003));\n");
      });
}

bool ScriptExport::LoadLines(std::map<Key, Ring>* lines) {
  size_t largest = 16;
  {
    db::Selection s(&db_);
    s.AddColumn("geoitine", "punti", db::kSqlSmallInt);
    s.SetFrom("geoitine");
    for (db::Fetch f = s.Open(); f != db::Fetch::End; f = s.MoveNext()) {
      if (f == db::Fetch::Error) return false;
      largest = std::max<size_t>(largest, static_cast<size_t>(std::max(0, s.GetShort(0))) * 16);
    }
  }
  db::Selection s(&db_);
  s.AddColumn("geoitine", "azienda", db::kSqlSmallInt);
  s.AddColumn("geoitine", "ID", db::kSqlInteger);
  s.AddColumn("geoitine", "punti", db::kSqlSmallInt);
  s.AddColumn("geoitine", "coord", db::kSqlLongVarBinary);
  s.SetFrom("geoitine");
  s.SetOrderBy("azienda, ID");
  std::vector<uint8_t> block;
  for (db::Fetch f = s.Open(false, largest); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error) return false;
    const long id = s.GetLong(1);
    if (!s.GetBlob(3, block)) block.clear();
    std::optional<Ring> line = RingFromBlock(block, s.GetShort(2));
    if (line) {
      (*lines)[{s.GetShort(0), id}] = std::move(*line);
    } else {
      db_.ui().Message(MsgIcon::Stop, Format("Percorsi: Entità lineare corrotta ID=%ld !!!", id),
                       kAppCaption, MsgButtons::Ok);
    }
  }
  return true;
}

bool ScriptExport::Percorsi(const script::TableDef& t) {
  std::map<Key, Ring> lines;
  if (!LoadLines(&lines)) return false;
  return Section(t,
                 {{{"tesitine", "ID", db::kSqlInteger},
                   {"tesitine", "azienda", db::kSqlSmallInt},
                   {"tesitine", "codperc", db::kSqlChar},
                   {"tesitine", "denom", db::kSqlChar}},
                  "tesitine",
                  "",
                  "azienda, ID"},
                 [&](db::Selection& s) {
                   const long id = s.GetLong(0);
                   const int azienda = s.GetShort(1);
                   out_.Put(
                       Format("INSERT INTO Percorsi (IdPercorso, IdAzienda, Codice, Nome, "
                              "Geom) VALUES\n(%ld, %d, %s, %s,\nGeomFromWkb(",
                              id, azienda, Text(s, 2).c_str(), Text(s, 3).c_str()));
                   // A route without a drawn line has no geometry.
                   const auto line = lines.find({azienda, id});
                   out_.Put((line == lines.end() ? std::string("NULL")
                                                 : WkbLiteral(LineStringWkb(line->second))) +
                            ", 3003));\n");
                 });
}

bool ScriptExport::Corse(const script::TableDef& t) {
  Query q{{}, "corse", "", "azienda, ID"};
  for (auto [name, type] :
       std::initializer_list<std::pair<std::string_view, int>>{{"ID", db::kSqlInteger},
                                                               {"azienda", db::kSqlSmallInt},
                                                               {"lotto", db::kSqlSmallInt},
                                                               {"ente", db::kSqlSmallInt},
                                                               {"codperc", db::kSqlInteger},
                                                               {"codlinea", db::kSqlChar},
                                                               {"verso", db::kSqlChar},
                                                               {"lung", db::kSqlInteger},
                                                               {"tempo", db::kSqlSmallInt},
                                                               {"ct_lung", db::kSqlInteger},
                                                               {"ct_tempo", db::kSqlSmallInt},
                                                               {"capol_p", db::kSqlInteger},
                                                               {"hh_p", db::kSqlSmallInt},
                                                               {"mm_p", db::kSqlSmallInt},
                                                               {"capol_a", db::kSqlInteger},
                                                               {"hh_a", db::kSqlSmallInt},
                                                               {"mm_a", db::kSqlSmallInt},
                                                               {"v_media", db::kSqlFloat}})
    q.columns.push_back({"corse", name, type});
  return Section(t, q, [&](db::Selection& s) {
    // One character, quoted like any text (a quote doubled, never a NUL byte).
    const std::string verso = s.GetText(6).substr(0, 1);
    out_.Put(Format(
        "INSERT INTO Corse (IdCorsa, IdAzienda, IdLotto, IdEnte, IdPercorso, Linea, Verso, "
        "Lunghezza, Durata, LunghezzaContabile, DurataContabile, IdFermataPartenza, PartenzaOre, "
        "PartenzaMinuti, IdFermataArrivo, ArrivoOre, ArrivoMinuti, VelocitaMedia) VALUES\n"
        "(%ld, %d, %d, %d, %ld, %s, %s, %ld, %d, %ld, %d, %ld, %d, %d, %ld, %d, %d, %1.2lf);\n",
        static_cast<long>(s.GetLong(0)), s.GetShort(1), s.GetShort(2), s.GetShort(3),
        static_cast<long>(s.GetLong(4)), Text(s, 5).c_str(), db::SqlQuote(verso).c_str(),
        static_cast<long>(s.GetLong(7)), s.GetShort(8), static_cast<long>(s.GetLong(9)),
        s.GetShort(10), static_cast<long>(s.GetLong(11)), s.GetShort(12), s.GetShort(13),
        static_cast<long>(s.GetLong(14)), s.GetShort(15), s.GetShort(16), s.GetDouble(17)));
  });
}

bool ScriptExport::LoadRouteDistances() {
  db::Selection s(&db_);
  s.AddColumn("detitine", "azienda", db::kSqlSmallInt);
  s.AddColumn("detitine", "ID", db::kSqlInteger);
  s.AddColumn("detitine", "sub", db::kSqlSmallInt);
  s.AddColumn("detitine", "dist", db::kSqlInteger);
  s.SetFrom("detitine");
  s.SetOrderBy("azienda, ID, sub");
  for (db::Fetch f = s.Open(); f != db::Fetch::End; f = s.MoveNext()) {
    if (f == db::Fetch::Error) return false;
    routeRows_.push_back({s.GetShort(0), s.GetLong(1), s.GetShort(2), s.GetLong(3)});
  }
  auto key = [](const RouteRow& r) { return std::tuple(r.azienda, r.id, r.sub); };
  std::sort(routeRows_.begin(), routeRows_.end(),
            [&](const RouteRow& a, const RouteRow& b) { return key(a) < key(b); });
  return true;
}

long ScriptExport::RouteDistance(int azienda, long route, int sub) const {
  const auto wanted = std::tuple(azienda, route, sub);
  const auto it = std::lower_bound(
      routeRows_.begin(), routeRows_.end(), wanted,
      [](const RouteRow& r, const auto& w) { return std::tuple(r.azienda, r.id, r.sub) < w; });
  return it != routeRows_.end() && std::tuple(it->azienda, it->id, it->sub) == wanted ? it->dist
                                                                                      : 0;
}

bool ScriptExport::Orari(const script::TableDef& t) {
  if (!LoadRouteDistances()) return false;
  Query q{{},
          "orari, corse",
          "corse.azienda = orari.azienda AND corse.ID = orari.ID",
          "orari.azienda, orari.ID, orari.sub"};
  for (auto [name, type] :
       std::initializer_list<std::pair<std::string_view, int>>{{"ID", db::kSqlInteger},
                                                               {"azienda", db::kSqlSmallInt},
                                                               {"sub", db::kSqlSmallInt},
                                                               {"fermata", db::kSqlInteger},
                                                               {"hh", db::kSqlSmallInt},
                                                               {"mm", db::kSqlSmallInt},
                                                               {"sosta", db::kSqlSmallInt},
                                                               {"primaria", db::kSqlBit},
                                                               {"facolt", db::kSqlBit},
                                                               {"nonferma", db::kSqlBit}})
    q.columns.push_back({"orari", name, type});
  q.columns.push_back({"corse", "codperc", db::kSqlInteger});
  std::optional<Key> trip;
  int previousSub = 0;
  return Section(t, q, [&](db::Selection& s) {
    const Key key{s.GetShort(1), s.GetLong(0)};
    const int sub = s.GetShort(2);
    // The distance reached at the previous stop of the same trip.
    const long progressive = trip == key ? RouteDistance(key.first, s.GetLong(10), previousSub) : 0;
    trip = key;
    previousSub = sub;
    out_.Put(Format(
        "INSERT INTO Orari (IdCorsa, IdAzienda, Sub, Progressiva, IdFermata, "
        "ArrivoOre, ArrivoMinuti, Sosta, Primaria, Facoltativa, NonFerma) VALUES\n"
        "(%ld, %d, %d, %ld, %ld, %d, %d, %d, %d, %d, %d);\n",
        key.second, key.first, sub, progressive, static_cast<long>(s.GetLong(3)), s.GetShort(4),
        s.GetShort(5), s.GetShort(6), s.GetShort(7) != 0, s.GetShort(8) != 0, s.GetShort(9) != 0));
  });
}

// The running days: the stored day rows, one a trip and date.
Query RunningDays() {
  return {{{"giorni", "ID", db::kSqlInteger},
           {"giorni", "azienda", db::kSqlSmallInt},
           {"giorni", "data", db::kSqlTypeDate}},
          "giorni",
          "",
          "azienda, ID, data"};
}

bool ScriptExport::Giorni(const script::TableDef& t) {
  std::string line;
  if (!Section(t, RunningDays(), [&](db::Selection& s) {
        const std::string date = s.GetText(2);  // GG/MM/AAAA
        if (date.size() != 10) return;
        line = "INSERT INTO Giorni (IdCorsa, IdAzienda, Giorno) VALUES (";
        AppendInt(line, s.GetLong(0));
        line += ", ";
        AppendInt(line, s.GetShort(1));
        line += ", julianday('";
        line.append(date, 6, 4).append("-").append(date, 3, 2).append("-").append(date, 0, 2);
        line += "'));\n";
        out_.Put(line);
      }))
    return false;
  out_.Put(script::SupportTableText());
  return out_.Ok();
}

bool ScriptExport::Run() {
  using Writer = bool (ScriptExport::*)(const script::TableDef&);
  static constexpr Writer kWriters[] = {&ScriptExport::Aziende,  &ScriptExport::Enti,
                                        &ScriptExport::Lotti,    &ScriptExport::Comuni,
                                        &ScriptExport::Localita, &ScriptExport::Fermate,
                                        &ScriptExport::Percorsi, &ScriptExport::Corse,
                                        &ScriptExport::Orari,    &ScriptExport::Giorni};
  const std::vector<script::TableDef>& tables = script::Tables();
  for (size_t i = 0; i < tables.size(); ++i)
    if (!(this->*kWriters[i])(tables[i])) return false;
  out_.Put(script::TriggersText());
  out_.Put(
      "\n--\n-- ottimizzazione finale\n--\n\n"
      "\nSELECT datetime('now'), ' >>> ottimizzazione tavole - ANALYZE';\n"
      "ANALYZE;\n"
      "\nSELECT datetime('now'), ' >>> database alimentato con successo';\n");
  return out_.Ok();
}

// The data source as the comment names it: a password of the connection string left out, on
// one line.
std::string Origin(const db::Database& db) {
  if (!db.IsOdbc()) return db.Path();
  std::string origin;
  std::string_view rest = db.Dsn();
  while (!rest.empty()) {
    const size_t end = std::min(rest.find(';'), rest.size());
    const std::string_view part = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const std::string_view name = Trim(part.substr(0, part.find('=')));
    if (EqualsNoCase(name, "PWD") || EqualsNoCase(name, "PASSWORD")) continue;
    origin += (origin.empty() ? "" : ";") + std::string(part);
  }
  return origin;
}

std::string Head(const db::Database& db) {
  std::string origin = Origin(db);
  std::replace(origin.begin(), origin.end(), '\n', ' ');
  std::replace(origin.begin(), origin.end(), '\r', ' ');
  return "--\n-- script SQL per alimentazione KVT\n--\n-- Target DBMS: Sqlite + SpatiaLite\n"
         "--\n-- generato da KvtBase\n--\n-- origine: " +
         origin + "\n--\n";
}

}  // namespace

bool WriteSqliteScript(db::Database& db, Ui& ui, const std::string& path) {
  ScriptFile out;
  if (!out.Open(path)) {
    ui.Warning(CannotCreateMessage(path), kCaption);
    return false;
  }
  bool ok = false;
  {
    WaitScope wait(ui);
    ProgressScope progress(ui, "Esportazione AZIENDE", ProgressScope::Cancellable{});
    out.Put(Head(db));
    ok = ScriptExport(db, out, progress).Run();
  }
  if (ok && out.Commit()) return true;
  const bool writeFailed = !out.Ok() || ok;  // a read failure has been shown already
  out.Discard();
  if (ui.CancelRequested()) {
    ui.Info(kCancelledFileMessage);
  } else if (writeFailed) {
    ui.Stop(WriteFailedMessage(path));
  }
  return false;
}

bool RunSqliteScriptCommand(Ui& ui, db::Database& db) {
  FileDialogSpec spec;
  spec.title = "Selezione script SQL per esportazione";
  spec.filter = "Script SQL (*.sql)|*.sql|Tutti i files (*.*)|*.*||";
  spec.defaultName = "kvt";
  spec.defaultExt = "sql";
  spec.kind = FileKind::Export;
  const std::optional<std::string> path = ui.SaveFile(spec);
  if (!path) return false;
  if (!WriteSqliteScript(db, ui, *path)) return false;
  ui.Info("Esportazione script SQL terminata", kCaption);
  return true;
}

}  // namespace kvt::carto
