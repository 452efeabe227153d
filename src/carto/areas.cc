#include "carto/areas.h"

#include <algorithm>

#include "carto/edit_row.h"
#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/ui.h"

namespace kvt::carto {

std::string_view GeometryTable(AreaKind kind) {
  return kind == AreaKind::Municipalities ? "geocom" : "geoloc";
}

std::string_view OwnerTable(AreaKind kind) {
  return kind == AreaKind::Municipalities ? "comuni" : "local";
}

std::string CommaNumber(double value) { return CommaDecimal(Format("%1.2lf", value)); }

std::string TooManyPointsMessage(std::string_view what, int points) {
  return Format("%.*s: la geometria ha %d punti, oltre il massimo di %d memorizzabili.\n\n"
                "La geometria non viene registrata.",
                static_cast<int>(what.size()), what.data(), points, kMaxStoredPoints);
}

namespace {

// Largest point block of the table, to size the byte-block buffer of the second pass.
size_t LargestBlock(db::Database& db, std::string_view table, bool* failed) {
  db::Selection s(&db);
  s.AddColumn(table, "punti", db::kSqlSmallInt);
  s.SetFrom(table);
  s.SetOrderBy("ID, sub, excl");
  int most = 0;
  *failed = db::ForEachRow(s, [&] { most = std::max(most, s.GetShort(0)); }) != db::Walk::End;
  return static_cast<size_t>(most) * 16;
}

bool FillOwners(db::Database& db, std::string_view owner, AreaEntitySet* set) {
  db::Selection s(&db);
  s.AddColumn(owner, "ID", db::kSqlSmallInt);
  s.SetFrom(owner);
  s.SetWhere("ID > 0");
  s.SetOrderBy("ID");
  if (db::ForEachRow(s, [&] { set->Add(s.GetShort(0)); }) != db::Walk::End) return false;
  set->BuildIndex();
  return true;
}

}  // namespace

bool LoadAreaEntities(db::Database& db, AreaKind kind, OwnerMode mode,
                      std::string_view corruptPrefix, AreaEntitySet* out) {
  const std::string prefix(corruptPrefix);
  return LoadAreaEntities(
      db, kind, mode,
      [&](int id, int sub, int excl) {
        return prefix + Format("%d/%d/%d corrotto !!!", id, sub, excl);
      },
      out);
}

bool LoadAreaEntities(db::Database& db, AreaKind kind, OwnerMode mode,
                      const CorruptRowText& corruptText, AreaEntitySet* out) {
  const std::string_view table = GeometryTable(kind);
  *out = AreaEntitySet();
  if (mode == OwnerMode::OwnerTable && !FillOwners(db, OwnerTable(kind), out)) return false;
  bool failed = false;
  const size_t buffer = LargestBlock(db, table, &failed);
  if (failed) return false;

  db::Selection s(&db);
  for (std::string_view c : {"ID", "sub", "excl", "punti"}) s.AddColumn(table, c, db::kSqlSmallInt);
  s.AddColumn(table, "coord", db::kSqlLongVarBinary);
  for (std::string_view c : {"minx", "miny", "maxx", "maxy"}) s.AddColumn(table, c, db::kSqlFloat);
  s.SetFrom(table);
  s.SetOrderBy("ID, sub, excl");

  bool any = false;
  int lastId = 0, lastSub = 0;
  AreaEntity* current = nullptr;
  std::vector<uint8_t> block;
  for (db::Fetch f = s.Open(false, std::max<size_t>(buffer, 16)); f != db::Fetch::End;
       f = s.MoveNext()) {
    if (f == db::Fetch::Error) return false;
    const int id = s.GetShort(0), sub = s.GetShort(1), excl = s.GetShort(2);
    const int punti = s.GetShort(3);
    if (!s.GetBlob(4, block)) block.clear();
    const Box box{s.GetDouble(5), s.GetDouble(6), s.GetDouble(7), s.GetDouble(8)};
    std::optional<Ring> ring = RingFromBlock(block, punti, box);
    if (!ring) {
      db.ui().Message(MsgIcon::Stop, corruptText(id, sub, excl), kAppCaption, MsgButtons::Ok);
      continue;
    }
    const bool newId = !any || id != lastId;
    const bool newSub = newId || sub != lastSub;
    any = true;
    lastId = id;
    lastSub = sub;
    if (newId) {
      current = mode == OwnerMode::OwnerTable ? out->Find(id) : &out->Add(id);
    }
    if (!current) continue;  // no owner row for this ID
    if (newSub) {
      current->areas.push_back(Area{*ring, {}});
    } else if (excl == 0) {
      continue;  // a second outer ring of an open area adds nothing
    }
    if (excl != 0) current->areas.back().exclusions.push_back(std::move(*ring));
  }
  if (mode == OwnerMode::PerGeometryId) out->BuildIndex();
  return true;
}

long ComputeCentroids(db::Database& db, AreaKind kind) {
  CentroidList centroids;
  {
    AreaEntitySet set;
    const std::string_view prefix =
        kind == AreaKind::Municipalities ? "Confine comuni " : "Confine Località ";
    if (!LoadAreaEntities(db, kind, OwnerMode::PerGeometryId, prefix, &set)) return -1;
    centroids = EntityCentroids(set);
  }
  const std::string_view owner = OwnerTable(kind);
  // Every row or none (a transaction of the caller's, if any, takes this one in).
  db::Transaction transaction(db);
  db::EditSelection e(&db);
  e.AddColumn(owner, "ID", db::kSqlSmallInt);
  e.AddColumn(owner, "centro_x", db::kSqlFloat);
  e.AddColumn(owner, "centro_y", db::kSqlFloat);
  e.SetFrom(owner);
  long updated = 0;
  const db::Walk walk = db::ForEachRow(e, [&] {
    const int id = static_cast<int>(LeadingInt(FieldText(e, "ID")));
    const Point c = centroids.Find(id).value_or(Point{0, 0});
    return Counted(WriteRow(e, {{"centro_x", CommaNumber(c.x)}, {"centro_y", CommaNumber(c.y)}}),
                   updated);
  });
  return walk == db::Walk::End && transaction.Commit() ? updated : -1;
}

namespace {

bool StoreRing(db::Table& t, Ui& ui, const Ring& ring, std::string_view what) {
  if (ring.Count() > kMaxStoredPoints) {
    ui.Stop(TooManyPointsMessage(what, ring.Count()));
    return false;
  }
  const std::vector<uint8_t> block = EncodePointBlock(ring);
  const Box& b = ring.GetBox();
  return t.SetFieldText("punti", std::to_string(ring.Count())) &&
         t.SetFieldBlob("coord", block.data(), block.size()) &&
         t.SetFieldText("minx", CommaNumber(b.minx)) &&
         t.SetFieldText("miny", CommaNumber(b.miny)) &&
         t.SetFieldText("maxx", CommaNumber(b.maxx)) &&
         t.SetFieldText("maxy", CommaNumber(b.maxy)) && t.Update();
}

}  // namespace

bool StoreAreaRing(db::Table& table, Ui& ui, int id, int sub, int excl, const Ring& ring,
                   std::string_view what) {
  if (ring.Count() > kMaxStoredPoints) {
    ui.Stop(TooManyPointsMessage(what, ring.Count()));
    return false;
  }
  return table.AddNew() && table.SetFieldText("ID", std::to_string(id)) &&
         table.SetFieldText("sub", std::to_string(sub)) &&
         table.SetFieldText("excl", std::to_string(excl)) && StoreRing(table, ui, ring, what);
}

bool StoreRouteLine(db::Table& table, Ui& ui, int azienda, long id, const Ring& line,
                    std::string_view what) {
  if (line.Count() > kMaxStoredPoints) {
    ui.Stop(TooManyPointsMessage(what, line.Count()));
    return false;
  }
  return table.AddNew() && table.SetFieldText("azienda", std::to_string(azienda)) &&
         table.SetFieldText("ID", std::to_string(id)) && StoreRing(table, ui, line, what);
}

}  // namespace kvt::carto
