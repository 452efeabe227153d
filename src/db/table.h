// One table of the database, opened by name, written and read column by column as text.
//
// Ordinary mode: rows are added one at a time; under the file method a row is found with
// SetCurrentIndex + Seek, under ODBC with FindWhere; the current row can then be read and
// edited. Bulk-append mode (ODBC and file method alike): each Update fills one slot of a
// block, a full block goes to the database in one call, Flush sends a partial block; the
// lookups and Edit belong to ordinary mode and fail there without a message.
//
// Values go in as text: "" stores NULL; "00/00/0000" and "99/99/9999" in a date column
// store 01/01/1600 and 31/12/2400; a decimal comma is accepted in floating columns;
// trailing blanks of texts are dropped. Every failure is reported to the Database's Ui with
// the table's name and the driver's text; the Table stays usable.
//
// A row refused by the database in a bulk block (a duplicate key, say) is not stored; the
// other rows of the block are, and RowsWritten counts exactly the stored rows. The refusal
// is reported once for the block (the table's message and the driver's first diagnostic);
// the sending call (Update, Flush) returns false only when no row of the block was stored.
//
// Under the file method the bulk block holds more rows than the nominal rowset size of 1
// (one statement per block); under ODBC it holds the Database's rowset size.
//
// Every call that can fail is [[nodiscard]]; LastError() keeps the diagnostic of the last
// failure. A bulk write that fails for a reason of the database itself (disk full, database
// locked or read-only: !LastError().RowRefused()) means nothing more can be written: the
// caller ends its command there.
//
// A Table must not outlive its Database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "db/diagnostic.h"

namespace kvt::db {

class Database;
class TableImpl;

class Table {
 public:
  // Opens `name` on `db`. A missing or unconnected database leaves the table closed.
  // blobBufferSize: bytes per slot of a LONGVARBINARY column in bulk mode (0 without one).
  Table(Database* db, std::string_view name, bool bulk = false, std::size_t blobBufferSize = 0);
  // Sends pending bulk rows (as Flush) and closes.
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  bool IsOpen() const;
  const std::string& Name() const;

  // Keyed lookup, file method: index "codice" is the primary key.
  [[nodiscard]] bool SetCurrentIndex(std::string_view index);
  // Row: found, now the current row; End: no such row; Error: the read failed (shown), or
  // the lookup is not the one of this method (no message).
  [[nodiscard]] Fetch Seek(std::span<const std::string> keys);
  // Keyed lookup, ODBC method: a WHERE body such as "codice = 12". As Seek.
  [[nodiscard]] Fetch FindWhere(std::string_view condition);

  [[nodiscard]] bool AddNew();
  [[nodiscard]] bool Edit();
  [[nodiscard]] bool SetFieldText(std::string_view column, std::string_view text);
  [[nodiscard]] bool SetFieldBlob(std::string_view column, const void* bytes, std::size_t length);
  // The current row's value as text; NULL gives "". False for an unknown column.
  [[nodiscard]] bool GetFieldText(std::string_view column, std::string& out);
  // Ordinary mode: writes the new or edited row (RowsWritten 1). Bulk mode: closes the slot;
  // a full block is sent (RowsWritten = rows stored), otherwise RowsWritten is 0.
  [[nodiscard]] bool Update();
  // Bulk mode: sends the filled slots (RowsWritten = rows stored).
  [[nodiscard]] bool Flush();
  long RowsWritten() const;
  // The diagnostic of the last failure.
  const Diagnostic& LastError() const;

  // Fast path for hot loops: the column's position (or -1), then set by position.
  int ColumnIndex(std::string_view column) const;
  [[nodiscard]] bool SetFieldText(int column, std::string_view text);

 private:
  std::unique_ptr<TableImpl> impl_;
};

}  // namespace kvt::db
