// Reading, deleting and editing selected rows.
//
// Selection: a read-only SELECT assembled from a typed column list and FROM / WHERE /
// GROUP BY / ORDER BY bodies, read forward in blocks of the Database's rowset size. Values
// are read by column number in the type the column was declared with.
//
// DeleteSelection: deletes the rows of one table that match a condition.
// EditSelection: walks the rows of one table and edits the current one.
//
// Clause texts are inserted unchanged: callers quote literals themselves (SqlQuote) and ask
// the Dialect for dates and engine-specific tests. Every read says what happened in one
// value (db::Fetch): a row, the end of the rows, or an error. An error has been reported to
// the Database's Ui and ends the selection; LastError() keeps the driver's diagnostic.
// Rows are read with db::ForEachRow (rows.h), whose outcome tells the end from an error:
//
//   if (db::ForEachRow(s, [&] { ... s.GetLong(0) ... }) != db::Walk::End) return false;
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/diagnostic.h"

namespace kvt::db {

class Database;
class SelectionImpl;
class DeleteSelectionImpl;
class EditSelectionImpl;

class Selection {
 public:
  explicit Selection(Database* db);
  ~Selection();
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

  // Appends an output column (numbered from 0 in this order); sqlType from sql_types.h.
  void AddColumn(std::string_view table, std::string_view column, int sqlType);
  void SetFrom(std::string_view text);
  void SetWhere(std::string_view text);
  void SetGroupBy(std::string_view text);
  void SetOrderBy(std::string_view text);

  // Runs the query (reuse: run the SQL of the previous Open again) and positions on the
  // first row. A selection that cannot run (no columns, no FROM, no connection) gives
  // Error with no message.
  [[nodiscard]] Fetch Open(bool reuse = false, std::size_t blobBufferSize = 0);
  // The next row; End after the last one and at every call after an End or an Error.
  [[nodiscard]] Fetch MoveNext();
  // Runs the last SQL again from its first row.
  [[nodiscard]] Fetch Requery();
  bool IsPositioned() const;  // true while on a row
  // The diagnostic of the last Error.
  const Diagnostic& LastError() const;
  const std::string& Sql() const;

  // Typed reads of the current row; NULL or a type mismatch gives 0 / "".
  int32_t GetShort(int column) const;     // BIT, TINYINT, SMALLINT
  int32_t GetLong(int column) const;      // INTEGER
  double GetDouble(int column) const;     // FLOAT, DOUBLE, REAL
  std::string GetText(int column) const;  // texts; dates as "GG/MM/AAAA"
  // Any listed column as text by "table.column".
  std::string GetTextByName(std::string_view fullName) const;
  // The bytes of a LONGVARBINARY column; false when NULL.
  bool GetBlob(int column, std::vector<uint8_t>& out) const;
  bool IsNull(int column) const;

 private:
  std::unique_ptr<SelectionImpl> impl_;
};

class DeleteSelection {
 public:
  explicit DeleteSelection(Database* db);
  ~DeleteSelection();
  DeleteSelection(const DeleteSelection&) = delete;
  DeleteSelection& operator=(const DeleteSelection&) = delete;

  void SetColumns(std::string_view text);  // one column of the table, e.g. "azienda"
  void SetFrom(std::string_view text);     // the table
  void SetWhere(std::string_view text);    // none: every row
  // Row when rows to delete exist, End when none do. Then:
  //   for (db::Fetch f = d.Open(); f != db::Fetch::End; f = d.MoveNext()) {
  //     if (f == db::Fetch::Error || !d.DeleteRowset()) return false;
  //     deleted += d.RowsDeleted();
  //   }
  [[nodiscard]] Fetch Open(bool reuse = false);
  // Deletes every matching row (one statement); false when the database refused.
  [[nodiscard]] bool DeleteRowset();
  // End once the rows are deleted (the one DELETE took them all).
  [[nodiscard]] Fetch MoveNext();
  long RowsDeleted() const;
  const Diagnostic& LastError() const;
  const std::string& Sql() const;

 private:
  std::unique_ptr<DeleteSelectionImpl> impl_;
};

class EditSelection {
 public:
  explicit EditSelection(Database* db);
  ~EditSelection();
  EditSelection(const EditSelection&) = delete;
  EditSelection& operator=(const EditSelection&) = delete;

  void AddColumn(std::string_view table, std::string_view column, int sqlType);
  void SetFrom(std::string_view text);
  void SetWhere(std::string_view text);
  void SetOrderBy(std::string_view text);
  // Refuses (Error, no SQL, no message) when the columns name more than one table.
  [[nodiscard]] Fetch Open(bool reuse = false);
  [[nodiscard]] Fetch MoveNext();
  bool IsPositioned() const;
  [[nodiscard]] bool Edit();
  [[nodiscard]] bool SetFieldText(std::string_view column, std::string_view text);
  [[nodiscard]] bool GetFieldText(std::string_view column, std::string& out);
  [[nodiscard]] bool Update();
  const Diagnostic& LastError() const;
  const std::string& Sql() const;

 private:
  std::unique_ptr<EditSelectionImpl> impl_;
};

}  // namespace kvt::db
