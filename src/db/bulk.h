// The block of rows of a bulk-append Table (internal to db/): rows are put in slots and sent
// together. Two implementations: OdbcBulkInserter (any driver) and SqliteBulkInserter (the
// SQLite3 driver's connection written through the SQLite library, native_bulk.h).
//
// OdbcBulkInserter: values sit in per-column arrays, one slot a row; a block goes to the
// database in one statement:
//  - PostgreSQL: INSERT ... SELECT * FROM unnest(?::int2[], ...), one array text per column
//    (one parameter per column, whatever the block size: psqlODBC loses its protocol
//    synchronisation past ~7,500 parameters, and parses arrays much faster than markers);
//  - other engines: INSERT ... VALUES (...),(...),... prepared once and bound to the arrays.
// When the database refuses the statement, its rows are sent again one by one, so that only
// the refused rows are lost.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "db/columns.h"
#include "db/dialect.h"
#include "db/odbc.h"

namespace kvt::db {

class BulkInserter {
 public:
  explicit BulkInserter(unsigned blockRows) : capacity_(std::max(1u, blockRows)) {}
  virtual ~BulkInserter() = default;
  BulkInserter(const BulkInserter&) = delete;
  BulkInserter& operator=(const BulkInserter&) = delete;

  unsigned filled() const { return filled_; }
  bool full() const { return filled_ >= capacity_; }

  virtual void ClearSlot() = 0;  // every column of the current slot NULL
  virtual void Set(int column, const Value& value) = 0;
  virtual Value Get(int column) const = 0;
  void CloseSlot() { ++filled_; }

  // Sends the filled slots and empties the block. Returns the rows stored; LastError() then
  // holds the first refusal, or the failure of the database that ended the block (empty when
  // every row was stored).
  virtual long Send() = 0;
  const Diagnostic& LastError() const { return error_; }

 protected:
  const unsigned capacity_;
  unsigned filled_ = 0;
  Diagnostic error_;
};

// The inserter for `columns` of `quotedTable` on `conn`: native on an SQLite connection
// whose handle is known, ODBC otherwise (in the way `strategy` says).
std::unique_ptr<BulkInserter> MakeBulkInserter(OdbcConnection& conn, const std::string& quotedTable,
                                               const std::vector<ColumnInfo>& columns,
                                               unsigned blockRows, size_t blobSlot,
                                               Dialect::BulkStrategy strategy);

class OdbcBulkInserter final : public BulkInserter {
 public:
  OdbcBulkInserter(OdbcConnection& conn, const std::string& quotedTable,
                   const std::vector<ColumnInfo>& columns, unsigned blockRows, size_t blobSlot,
                   Dialect::BulkStrategy strategy);
  ~OdbcBulkInserter() override;

  void ClearSlot() override;
  void Set(int column, const Value& value) override;
  Value Get(int column) const override;
  long Send() override;

 private:
  struct Slots {
    std::string arrayType;  // PostgreSQL element type, e.g. "int2"
    Kind kind = Kind::Unknown;
    Holder holder = Holder::None;
    size_t slot = 0;  // bytes per row
    std::vector<char> data;
    std::vector<SQLLEN> indicators;
  };
  struct Chunk {
    std::unique_ptr<OdbcStatement> stmt;
    unsigned first = 0;
    unsigned rows = 0;
    unsigned generation = 0;  // of the buffers it is bound to
  };

  char* SlotData(size_t column, unsigned row);
  void Grow(size_t column, size_t bytes);
  std::string InsertSql(unsigned rows) const;
  bool Bind(OdbcStatement& stmt, unsigned first, unsigned rows);
  Chunk* PrepareChunk(Chunk& chunk, unsigned first, unsigned rows);
  bool ExecuteChunk(unsigned first, unsigned rows);
  bool ExecuteArrays(unsigned rows);
  void AppendElement(std::string& out, size_t column, unsigned row) const;
  long RetryRows(unsigned first, unsigned rows);

  OdbcConnection& conn_;
  std::string table_;
  std::vector<std::string> names_;
  std::vector<Slots> slots_;
  unsigned chunkRows_;
  unsigned generation_ = 1;
  bool arrays_;
  std::string prefix_;  // put before every INSERT (see the constructor)
  std::unique_ptr<OdbcStatement> arrayInsert_;
  std::vector<std::string> arrayTexts_;
  std::vector<SQLLEN> arrayLengths_;
  std::vector<Chunk> fullChunks_;
  Chunk tail_;
  Chunk single_;
  Diagnostic failure_;  // of the last block statement that failed
};

}  // namespace kvt::db
