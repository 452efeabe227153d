// Pieces shared by the generators (internal to schema/).
#pragma once

#include <string>
#include <string_view>

#include "schema/model.h"

namespace kvt::db {
class Database;
}

namespace kvt::schema {

// Executes one statement; on failure shows `failure` and the driver's text under `caption`.
bool Execute(db::Database& db, const std::string& sql, const std::string& failure,
             std::string_view caption = {});

// File method: one table with its key, its foreign keys where the engine keeps them in the
// table, and its other indices.
bool CreateFileTable(db::Database& db, const DictTable& table);

// The parent-side unique indices and the foreign keys of every relation that the live
// database lacks; messages under `caption`.
bool EnsureRelations(db::Database& db, const Dictionary& dictionary, std::string_view caption);

inline std::string TableCaption(std::string_view table) {
  return "Creazione Tavola \"" + std::string(table) + "\"";
}
inline constexpr std::string_view kRelationsCaption = "Creazione relazioni";

}  // namespace kvt::schema
