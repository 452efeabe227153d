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
// the Dialect for dates and engine-specific tests. Errors are reported to the Database's Ui
// and end the selection (status 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  // first row. True when a first row exists.
  bool Open(bool reuse = false, std::size_t blobBufferSize = 0);
  bool MoveNext();
  bool Requery();
  bool IsPositioned() const;  // the status: true while on a row
  // True when the last Open, Requery or MoveNext ended in a database error (already shown),
  // not at the end of the rows: a caller that writes on what it read must not go on.
  bool Failed() const;
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
  // True when rows to delete exist. Then: do { DeleteRowset(); } while (MoveNext());
  bool Open(bool reuse = false);
  bool DeleteRowset();
  bool MoveNext();
  long RowsDeleted() const;
  // True when the last Open or DeleteRowset ended in a database error (already shown), as
  // opposed to no rows to delete.
  bool Failed() const;
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
  // Refuses (false, no SQL) when the columns name more than one table.
  bool Open(bool reuse = false);
  bool MoveNext();
  bool IsPositioned() const;
  bool Edit();
  bool SetFieldText(std::string_view column, std::string_view text);
  bool GetFieldText(std::string_view column, std::string& out);
  bool Update();
  const std::string& Sql() const;

 private:
  std::unique_ptr<EditSelectionImpl> impl_;
};

}  // namespace kvt::db
