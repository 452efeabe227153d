// A forward-only, read-only result read in blocks into per-column arrays (internal to
// db/). The block holds at least the caller's rowset size; more rows per driver call when
// memory allows, which the caller cannot tell apart. Results with byte blocks are read a
// row at a time, each value whole (no buffer size limits them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/odbc.h"
#include "db/values.h"

namespace kvt::db {

class ResultReader {
 public:
  enum class Step { Row, End, Error };
  enum class Failure { None, Setup, Execute, Fetch };

  explicit ResultReader(OdbcConnection& conn) : conn_(conn) {}
  ~ResultReader();
  ResultReader(const ResultReader&) = delete;
  ResultReader& operator=(const ResultReader&) = delete;

  // Runs `sql`; columns of kind Unknown are not read. Positions on the first row.
  Step Open(std::string_view sql, const std::vector<Kind>& kinds, unsigned rowsetSize);
  Step Next();
  void Close();
  Failure failure() const { return failure_; }
  const OdbcDiag& error() const { return error_; }

  bool IsNull(int column) const;
  int32_t Int(int column) const;
  double Double(int column) const;
  std::string Text(int column) const;
  SQL_TIMESTAMP_STRUCT Date(int column) const;
  std::string_view Bytes(int column) const;  // row mode only (byte blocks)
  // The whole current value of a column (row mode: as read; block mode: rebuilt).
  Value Get(int column) const;

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
  Failure failure_ = Failure::None;
  OdbcDiag error_;
};

}  // namespace kvt::db
