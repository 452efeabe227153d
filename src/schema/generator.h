// The generators: they read the dictionary back and build the application tables from it.
//
// ODBC method: GenerateSchemaSql creates every table of `tavole` with its key and indices,
// the idx_ unique indices on relation parents, then every foreign key.
// File method: CreateSchemaFromDictionary (CreateTableFromDictionary for one table) builds a
// new file;
// the Update variants complete the tables of an existing file with what they lack.
//
// Each failure is shown in an error box (the object's message, then the driver's text) and
// the generator stops there and returns false: callers run it inside a transaction and roll
// the whole creation back, so going on after a failure would only add noise.
#pragma once

#include <string_view>

namespace kvt::db {
class Database;
}

namespace kvt::schema {

bool GenerateSchemaSql(db::Database& db);

bool CreateTableFromDictionary(db::Database& db, std::string_view table);
// Every table of `tavole` (by name), then every relation: the file method's whole build.
bool CreateSchemaFromDictionary(db::Database& db);

// Complete an existing table / the relations of an existing file. On SQLite, adding a key,
// a mandatory column or a foreign key rebuilds the table (new table, copy, drop, rename);
// run outside a transaction they switch foreign-key checks off and work in their own
// transaction; inside one, the caller must have switched the checks off (ForeignKeyChecksOff).
// A relation that existing rows would break is not created: its error box counts the rows.
bool UpdateTableFromDictionary(db::Database& db, std::string_view table);
bool UpdateRelationsFromDictionary(db::Database& db);

// Foreign-key enforcement off for the lifetime of the object (SQLite only: tables that other
// tables reference can then be rebuilt). Must be created outside a transaction.
class ForeignKeyChecksOff {
 public:
  explicit ForeignKeyChecksOff(db::Database& db);
  ~ForeignKeyChecksOff();
  ForeignKeyChecksOff(const ForeignKeyChecksOff&) = delete;
  ForeignKeyChecksOff& operator=(const ForeignKeyChecksOff&) = delete;

 private:
  db::Database& db_;
  bool active_;
};

}  // namespace kvt::schema
