// "Export script &SQLite": one SQL script that, run by a SQLite shell with SpatiaLite,
// builds a copy of the trips database with its geometries (WKB literals, SRID 3003),
// indices, spatial indices, analysis views and referential triggers.
//
// Stops, routes and trips are keyed by company and ID in the script too (IDs are unique only
// within a company): their tables, and the Orari, Giorni and TotaliGiorniCorsa rows that hang
// on them, carry IdAzienda in the primary key, and every join and trigger uses it. Giorni holds
// the stored running days (one row per trip and day). Every boundary is a MultiPolygon.
//
// The file is UTF-8 with CR LF line ends, written whole or not at all (OutputFile).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "carto/geometry.h"

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::carto {

// The command: the save chooser, the script, the end message. True when the script was
// written.
bool RunSqliteScriptCommand(Ui& ui, db::Database& db);

// The script into `path`, with progress (cancellable) and the messages of a failure; no end
// message. True when written whole.
bool WriteSqliteScript(db::Database& db, Ui& ui, const std::string& path);

// WKB (little-endian) of the geometries the script writes.
std::vector<uint8_t> PointWkb(Point p);
std::vector<uint8_t> LineStringWkb(const Ring& line);
// A MultiPolygon of the entity's areas, each ring closed on its first point; the unit square
// for an entity with no area (or none at all).
std::vector<uint8_t> MultiPolygonWkb(const AreaEntity* entity);

// X'..' with two upper-case hexadecimal digits a byte; NULL for no bytes.
std::string WkbLiteral(std::span<const uint8_t> wkb);

// A text value between quotes: trailing blanks removed, every quote doubled.
std::string ScriptText(std::string_view text);

}  // namespace kvt::carto
