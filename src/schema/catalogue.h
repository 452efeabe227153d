// The catalogue of the application tables: every table with its columns and indices, and
// every relation between tables, as constant data in creation order. WriteCatalogue puts it
// into the dictionary of a database; the generators then build the tables from there.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace kvt::schema {

class DictionaryWriter;

struct ColumnDef {
  std::string_view name;
  char letter;  // A B D F I L M N O (CHAR(size), BIT, DATETIME, FLOAT, SMALLINT, ...)
  int size;     // characters for letter A, else 0
  bool mandatory;
  std::string_view label;
  std::string_view description;
};

struct IndexDef {
  std::string_view name;
  std::vector<std::string_view> columns;  // in key order
  bool primaryKey;  // "primary key" in the dictionary: the key itself, or a unique index
  std::string_view label;
};

struct TableDef {
  std::string_view name;
  std::string_view label;
  std::string_view description;
  std::vector<ColumnDef> columns;
  std::vector<IndexDef> indices;  // the first is always `codice`, the primary key
};

struct RelationDef {
  std::string_view name;
  std::string_view parent;
  std::string_view child;
  // (parent column, child column) pairs in order.
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
};

// The 38 application tables and the 47 relations, in creation order.
const std::vector<TableDef>& ApplicationTables();
const std::vector<RelationDef>& ApplicationRelations();
// The table of that name, or null.
const TableDef* FindTableDef(std::string_view name);

// Writes every table definition (columns, indices, then the table row) and then every
// relation into the dictionary. Stops at the first refused row; false then.
bool WriteCatalogue(DictionaryWriter& writer);

}  // namespace kvt::schema
