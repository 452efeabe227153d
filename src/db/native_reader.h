// A selection read straight from the SQLite3 driver's connection (internal to db/): the
// statement is stepped a row at a time, so any number of selections stream at once, and
// each value is converted as the driver converts it for the C type the ODBC reader asks
// for. The driver sees every value as the SQLite library's text (a byte block as X'HEX');
// from it:
//  - integers: strtol with base 0, cut to 32 bits; NULL when no digit starts the text;
//  - floating numbers: strtod in the C locale; NULL when nothing converts;
//  - dates: its own date parser (driver_dates.h), NULL when that refuses the text;
//  - texts: up to the first NUL byte;
//  - byte blocks: the bytes; a text of the form X'HEX' is decoded, bad hex digits fail the
//    row with the driver's "conversion error".
// Texts come whole: the driver's block reader would cut those longer than its buffer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/native_sqlite.h"
#include "db/reader.h"

namespace kvt::db {

class SqliteResultReader final : public ResultReader {
 public:
  explicit SqliteResultReader(std::shared_ptr<SqliteLink> link) : stmt_(std::move(link)) {}
  ~SqliteResultReader() override = default;
  SqliteResultReader(const SqliteResultReader&) = delete;
  SqliteResultReader& operator=(const SqliteResultReader&) = delete;

  // The rowset size does not matter: rows are stepped one at a time.
  Step Open(std::string_view sql, const std::vector<Kind>& kinds, unsigned rowsetSize) override;
  Step Next() override;
  void Close() override;

  bool IsNull(int column) const override;
  int32_t Int(int column) const override;
  double Double(int column) const override;
  std::string Text(int column) const override;
  SQL_TIMESTAMP_STRUCT Date(int column) const override;
  std::string_view Bytes(int column) const override;
  Value Get(int column) const override;

 private:
  Step Fail(Failure failure);
  bool ReadRow();
  bool ReadColumn(int column, Kind kind, Value& value);
  const Value* Cell(int column) const;

  SqliteStatement stmt_;
  std::string sql_;  // of the compiled statement, run again by a requery
  std::vector<Kind> kinds_;
  std::vector<Value> row_;  // the current row, converted
  bool positioned_ = false;
  bool exhausted_ = true;
};

}  // namespace kvt::db
