// Writes single rows of one table: INSERT of the columns set, UPDATE of the columns changed
// found by the primary key (internal to db/). Shared by Table and EditSelection.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/columns.h"
#include "db/odbc.h"

namespace kvt::db {

class RowWriter {
 public:
  // `columns` are the columns the caller's rows hold (in that order); `key` the table's
  // primary-key column names. Without a key, a row is found by all its old values.
  RowWriter(OdbcConnection& conn, std::string table, std::vector<ColumnInfo> columns,
            std::vector<std::string> key);

  // INSERT of the columns marked in `set`.
  [[nodiscard]] bool Insert(std::vector<Value>& values, const std::vector<bool>& set);
  // UPDATE of the columns marked in `changed`, on the row whose old values are `original`.
  [[nodiscard]] bool Update(std::vector<Value>& original, std::vector<Value>& values,
                            const std::vector<bool>& changed);
  // The rows the last Insert or Update wrote.
  long RowsWritten() const { return rows_; }
  // The diagnostic of the last failure.
  const Diagnostic& LastError() const { return error_; }

  // The columns of an index, in key order: "codice" is the primary key; another name is
  // looked up among the engine's indices as given or as "<table>_<name>" (the name the
  // schema generator gives it). Empty when there is no such index.
  std::vector<std::string> IndexColumns(std::string_view name);

 private:
  bool Run(const std::string& sql, std::vector<Value*>& params, std::vector<Kind>& kinds);
  bool Fail(const Diagnostic& error);

  OdbcConnection& conn_;
  std::string table_;
  std::string quotedTable_;
  std::vector<ColumnInfo> columns_;
  std::vector<std::string> key_;
  std::string lastSql_;
  std::unique_ptr<OdbcStatement> stmt_;
  long rows_ = 0;
  Diagnostic error_;
};

}  // namespace kvt::db
