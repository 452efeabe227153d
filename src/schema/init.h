// Making a database ready for use: the dictionary, every application table with its indices
// and relations, and the seed rows. Entry points for the database commands and the command
// line.
#pragma once

#include <string>

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::schema {

// Creates a new database file at `path` for the file method and fills it. Shows "Il
// database <path> è stato creato con successo" on success; on failure shows why, and no file
// is left at `path` (an existing file is never touched: creation then fails).
bool CreateDatabase(Ui& ui, const std::string& path);

// Fills the empty data source behind `db` (ODBC method). Refuses an Access driver and a data
// source that already holds a dictionary table, changing nothing. Everything is written in
// one transaction: on failure the data source is left as it was.
bool InitialiseDatabase(db::Database& db);

// The dictionary rows of the whole catalogue, through the six meta tables.
bool WriteDictionary(db::Database& db);

}  // namespace kvt::schema
