// The statements that build tables, indices and foreign keys from the dictionary, as text.
// Pure functions: the generators execute them, tests read them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/dialect.h"
#include "schema/model.h"

namespace kvt::schema {

// How the key constraint is named: <table>_<index> by the ODBC generator; as the dictionary
// index itself under the file method, whose index names are per table.
enum class KeyNaming { TablePrefixed, AsIndex };

// "name TYPE NOT NULL" / "name TYPE NULL" (no type for an unknown letter).
std::string ColumnDefinition(const DictColumn& column, const db::Dialect& dialect);

// CREATE TABLE with the columns, the key (first index flagged primary key) and, on engines
// that cannot add them later, the foreign keys where the table is the child.
std::string CreateTableSql(const DictTable& table, const db::Dialect& dialect, KeyNaming naming);

// A secondary index <table>_<index>, unique when flagged primary key.
std::string CreateIndexSql(std::string_view table, const DictIndex& index,
                           const db::Dialect& dialect);

// The unique index idx_<relation> on the parent columns of a relation.
std::string RelationIndexSql(const DictRelation& relation, const db::Dialect& dialect);

// ALTER TABLE <child> ADD CONSTRAINT <relation> FOREIGN KEY ... REFERENCES <parent> ...
// (empty on engines that keep foreign keys in CREATE TABLE).
std::string ForeignKeySql(const DictRelation& relation, const db::Dialect& dialect);
// The same constraint as a clause of CREATE TABLE: ",\nCONSTRAINT <relation> FOREIGN KEY ...".
std::string ForeignKeyClause(const DictRelation& relation, const db::Dialect& dialect);

struct PlannedStatement {
  std::string sql;
  std::string failure;  // the error box text; the driver's text follows it
};

// Every statement of the ODBC generator in execution order: per table (dictionary order)
// its CREATE TABLE, its other unmarked indices and the idx_ indices of the relations where
// it is the parent; then every foreign key. Duplicates must be marked beforehand.
std::vector<PlannedStatement> SchemaStatements(const Dictionary& dictionary,
                                               const db::Dialect& dialect);

}  // namespace kvt::schema
