// Bulk append through the SQLite3 driver's own connection (internal to db/): a full block
// goes in one multi-row INSERT, compiled once (one statement for many rows costs SQLite much
// less than a statement a row; a block with more values than a statement takes goes in as
// several); the rows of a partial block, and those of a statement the database refuses, go
// a row at a time through a one-row INSERT. A refused row costs only itself (SQLite undoes just
// that statement, the transaction goes on), and the rows stored are counted exactly. Values are
// bound as the driver binds them, so that the stored values are the same: integers and doubles as
// numbers, dates as "YYYY-MM-DD" texts, timestamps as "YYYY-MM-DD HH:MM:SS.000", texts up to their
// first NUL byte, byte blocks as blobs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/bulk.h"
#include "db/native_sqlite.h"

namespace kvt::db {

class SqliteBulkInserter final : public BulkInserter {
 public:
  // `conn` must have an SQLite link.
  SqliteBulkInserter(OdbcConnection& conn, const std::string& quotedTable,
                     const std::vector<ColumnInfo>& columns, unsigned blockRows);

  void ClearSlot() override;
  void Set(int column, const Value& value) override;
  Value Get(int column) const override;
  long Send() override;

 private:
  Value* Slot(int column);
  const Value* Slot(int column) const;
  std::string InsertSql(unsigned rows) const;
  int BindRow(sqlite3_stmt* stmt, unsigned row, int firstParameter);
  unsigned ChunkRows() const;
  bool SendChunk(unsigned first, unsigned rows);
  long SendRows(unsigned first, unsigned rows);

  static constexpr unsigned kUnknown = ~0u;
  unsigned chunkRows_ = kUnknown;  // rows per multi-row INSERT, 0 for none
  SqliteStatement chunk_;          // a multi-row INSERT
  SqliteStatement row_;            // a one-row INSERT
  std::string table_;
  std::vector<std::string> names_;  // quoted
  std::vector<Holder> holders_;     // of the columns
  std::vector<Value> slots_;        // capacity rows of holders_.size() values
  std::vector<std::string> texts_;  // the date texts bound, one per slot value
  Diagnostic failure_;              // of the last multi-row INSERT that failed
};

}  // namespace kvt::db
