// Writing rows into a Table column by column in a fixed order (internal to comms/). The
// columns are looked up once; each row then sets them in that order as texts, the way every
// value goes into a Table. Numbers are formatted without allocating. A row must set exactly
// its columns: a list and a filler that disagree (a column added to one only) would shift
// every later value into the wrong column, so debug builds stop at the first such row. A
// value the table refuses (reported by the Table) refuses its whole row: it is not stored
// without that value.
#pragma once

#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/dates.h"
#include "core/text.h"
#include "db/table.h"

namespace kvt::comms {

class RowSetter {
 public:
  RowSetter(db::Table& table, std::span<const std::string_view> columns) : table_(table) {
    for (std::string_view c : columns) columns_.push_back(table.ColumnIndex(c));
  }
  RowSetter(db::Table& table, std::initializer_list<std::string_view> columns)
      : RowSetter(table, std::span<const std::string_view>(columns.begin(), columns.size())) {}

  void Begin() {
    // A bulk table only fails this when unusable, and then its Update fails too.
    usable_ = table_.AddNew();
    refused_ = false;
    next_ = 0;
  }
  RowSetter& Text(std::string_view text) {
    assert(next_ < columns_.size() && "more values than columns");
    if (next_ >= columns_.size()) return *this;
    if (!table_.SetFieldText(columns_[next_++], text)) refused_ = true;
    return *this;
  }
  RowSetter& Int(int64_t value) {
    scratch_.clear();
    AppendInt(scratch_, value);
    return Text(scratch_);
  }
  // An integer that stands for "none" when 0: left empty.
  RowSetter& OptionalInt(int64_t value) { return value == 0 ? Text("") : Int(value); }
  RowSetter& Char(char c) { return Text(std::string_view(&c, 1)); }
  RowSetter& Flag(bool value) { return Text(value ? "1" : "0"); }
  // Bytes from a communication file (Windows-1252), stored as UTF-8.
  RowSetter& FileText(std::string_view bytes) {
    scratch_ = Cp1252ToUtf8(bytes);
    return Text(scratch_);
  }
  // "GG/MM/AAAA".
  RowSetter& DateText(const Date& d) {
    scratch_.clear();
    AppendZeroPadded(scratch_, d.day, 2);
    scratch_ += '/';
    AppendZeroPadded(scratch_, d.month, 2);
    scratch_ += '/';
    AppendZeroPadded(scratch_, d.year, 4);
    return Text(scratch_);
  }

  // Ends the row. The rows the database stored (a bulk block may go out now) are added to
  // `written`, also when a refused row made Update fail: the others of its block are stored.
  // A row with a refused value is not sent (the next Begin clears its slot).
  // False when the database itself failed (disk full, locked, read-only, connection lost):
  // nothing more can be written and the caller ends its work there.
  [[nodiscard]] bool End(long& written) {
    assert(next_ == columns_.size() && "fewer values than columns");
    if (refused_ && usable_) return true;
    const bool sent = table_.Update();
    written += table_.RowsWritten();
    return sent || table_.LastError().RowRefused();
  }
  // Sends what is left of the last block. False as End.
  [[nodiscard]] bool Finish(long& written) {
    const bool sent = table_.Flush();
    written += table_.RowsWritten();
    return sent || table_.LastError().RowRefused();
  }

 private:
  db::Table& table_;
  std::vector<int> columns_;
  size_t next_ = 0;
  bool usable_ = false;
  bool refused_ = false;
  std::string scratch_;
};

}  // namespace kvt::comms
