// The geometry tables as the program reads and writes them: boundaries of municipalities
// (`geocom`) and localities (`geoloc`) loaded into an AreaEntitySet, the rows that store a
// ring or a route line, and the recomputation of the owners' centroids.
//
// Doubles travel as text: "%1.2lf" with a decimal comma on writing, a comma read as a point.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "carto/geometry.h"

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
class Table;
}  // namespace kvt::db

namespace kvt::carto {

enum class OwnerMode {
  // One entity per ID found in the geometry rows, in row order.
  PerGeometryId,
  // One (possibly empty) entity per row of the owner table with ID > 0, in ID order;
  // geometry rows of an ID without owner are skipped.
  OwnerTable,
};

enum class AreaKind { Municipalities, Localities };

// "geocom" / "geoloc", and their owner tables "comuni" / "local".
std::string_view GeometryTable(AreaKind kind);
std::string_view OwnerTable(AreaKind kind);

// Loads the boundaries of `kind`. A row whose point block is not `punti` * 16 bytes long is
// reported as `corruptPrefix` + "%d/%d/%d corrotto !!!" (ID, sub, excl) and skipped.
// False when a read failed (already reported by the database layer).
bool LoadAreaEntities(db::Database& db, AreaKind kind, OwnerMode mode,
                      std::string_view corruptPrefix, AreaEntitySet* out);
// The same with the whole text of the corruption message made by the caller.
using CorruptRowText = std::function<std::string(int id, int sub, int excl)>;
bool LoadAreaEntities(db::Database& db, AreaKind kind, OwnerMode mode,
                      const CorruptRowText& corruptText, AreaEntitySet* out);

// Rewrites `centro_x`, `centro_y` of every row of the owner table (ID 0 included) with the
// centroid of the outer ring of the owner's largest area; an owner without boundary gets 0.
// Returns the number of rows updated, -1 when the table could not be read.
long ComputeCentroids(db::Database& db, AreaKind kind);

// "%1.2lf" with a decimal comma: how every double of these tables is written.
std::string CommaNumber(double value);

// The text refusing a shape too long for the `punti` column (what: the shape as the user
// knows it, e.g. "Comune 12").
std::string TooManyPointsMessage(std::string_view what, int points);

// Appends one row of `geocom` / `geoloc` to an open Table (bulk or not). A ring of more than
// kMaxStoredPoints points is refused: the message above is shown and nothing is written.
bool StoreAreaRing(db::Table& table, Ui& ui, int id, int sub, int excl, const Ring& ring,
                   std::string_view what);
// Appends one row of `geoitine`, with the same refusal.
bool StoreRouteLine(db::Table& table, Ui& ui, int azienda, long id, const Ring& line,
                    std::string_view what);

}  // namespace kvt::carto
