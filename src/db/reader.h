// Readers of query results, row by row (internal to db/).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/odbc.h"
#include "db/values.h"

namespace kvt::db {

// A forward-only, read-only result, positioned on one row at a time. Two implementations:
// OdbcResultReader (any driver) and SqliteResultReader (the SQLite3 driver's connection read
// through the SQLite library, native_reader.h); both deliver the same values.
class ResultReader {
 public:
  using Step = Fetch;  // the same three outcomes as a Selection
  enum class Failure { None, Setup, Execute, Fetch };

  virtual ~ResultReader() = default;

  // Runs `sql`; columns of kind Unknown are not read. Positions on the first row.
  virtual Step Open(std::string_view sql, const std::vector<Kind>& kinds, unsigned rowsetSize) = 0;
  virtual Step Next() = 0;
  virtual void Close() = 0;
  Failure failure() const { return failure_; }
  const Diagnostic& LastError() const { return error_; }

  virtual bool IsNull(int column) const = 0;
  virtual int32_t Int(int column) const = 0;
  virtual double Double(int column) const = 0;
  virtual std::string Text(int column) const = 0;
  virtual SQL_TIMESTAMP_STRUCT Date(int column) const = 0;
  virtual std::string_view Bytes(int column) const = 0;  // byte-block columns
  // The whole current value of a column.
  virtual Value Get(int column) const = 0;

 protected:
  Failure failure_ = Failure::None;
  Diagnostic error_;
};

// The test hook of rows.h (FailReadAfterRowsForTesting): every row a Selection or an
// EditSelection gives is counted, and each MoveNext first asks whether it is to fail, with
// `error` the diagnostic it then reports.
void CountRowRead();
bool ReadFailsForTesting(Diagnostic& error);

// The reader for a selection on `conn`: native on an SQLite connection whose handle is
// known, ODBC otherwise.
std::unique_ptr<ResultReader> MakeResultReader(OdbcConnection& conn);

// Reads in blocks into per-column arrays. The block holds at least the caller's rowset
// size; more rows per driver call when memory allows, which the caller cannot tell apart.
// Results with byte blocks are read a row at a time, each value whole (no buffer size
// limits them).
class OdbcResultReader final : public ResultReader {
 public:
  explicit OdbcResultReader(OdbcConnection& conn) : conn_(conn) {}
  ~OdbcResultReader() override;
  OdbcResultReader(const OdbcResultReader&) = delete;
  OdbcResultReader& operator=(const OdbcResultReader&) = delete;

  Step Open(std::string_view sql, const std::vector<Kind>& kinds, unsigned rowsetSize) override;
  Step Next() override;
  void Close() override;

  bool IsNull(int column) const override;
  int32_t Int(int column) const override;
  double Double(int column) const override;
  std::string Text(int column) const override;
  SQL_TIMESTAMP_STRUCT Date(int column) const override;
  std::string_view Bytes(int column) const override;  // row mode only (byte blocks)
  Value Get(int column) const override;               // row mode: as read; block mode: rebuilt

 private:
  struct Buffer {
    Kind kind = Kind::Unknown;
    SQLSMALLINT cType = SQL_C_CHAR;
    size_t slot = 0;  // bytes per row
    std::vector<char> data;
    std::vector<SQLLEN> indicators;
  };

  Step Fail(Failure failure);
  bool Setup(unsigned rowsetSize);
  bool BindBlock(unsigned rowsetSize);
  Step FetchBlock();
  Step FetchRow();
  const char* Slot(int column) const;

  OdbcConnection& conn_;
  std::unique_ptr<OdbcStatement> stmt_;
  std::vector<Kind> kinds_;
  std::vector<Buffer> buffers_;
  std::vector<Value> row_;  // row mode
  bool rowMode_ = false;
  SQLULEN fetched_ = 0;
  size_t position_ = 0;
  bool exhausted_ = false;
};

}  // namespace kvt::db
