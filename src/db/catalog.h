// The live schema of a connected database as its driver describes it: tables, columns,
// primary keys, indices and foreign keys. Used to complete existing database files and to
// check that a generated schema is what the dictionary says.
#pragma once

#include <string>
#include <vector>

namespace kvt::db {

class Database;

struct LiveColumn {
  std::string name;
  int sqlType = 0;       // as reported by the driver (sql_types.h)
  std::string typeName;  // the engine's own type name, e.g. "SMALLINT", "varchar"
  int size = 0;          // column size (characters for texts)
  bool nullable = true;
};

struct LiveIndex {
  std::string name;  // as the engine keeps it (engine-generated names for key constraints)
  bool unique = false;
  std::vector<std::string> columns;  // in key order
};

struct LiveForeignKey {
  std::string name;  // empty where the engine does not keep constraint names
  std::string parentTable;
  std::vector<std::string> parentColumns;
  std::vector<std::string> childColumns;  // same order as parentColumns
};

struct LiveTable {
  std::string name;
  std::vector<LiveColumn> columns;          // in table order
  std::vector<std::string> primaryKey;      // in key order; empty when none
  std::vector<LiveIndex> indices;           // every index, including the key's own
  std::vector<LiveForeignKey> foreignKeys;  // where this table is the child
};

// Every user table of the database (not the engine's own system tables), by name.
std::vector<LiveTable> ReadLiveSchema(Database& db);
// One table; an empty name when it does not exist.
LiveTable ReadLiveTable(Database& db, const std::string& table);

}  // namespace kvt::db
