#include "db/native_bulk.h"

#include <algorithm>

#include "db/values.h"

namespace kvt::db {

namespace {

// The text the driver stores for a date ("YYYY-MM-DD") or a timestamp parameter (with
// " HH:MM:SS.000": its timestamp parameters have no fraction digits).
void StoredDateText(std::string& out, const SQL_TIMESTAMP_STRUCT& t, bool withTime) {
  out.clear();
  AppendIsoDate(out, t, withTime);
  if (withTime) out += ".000";
}

}  // namespace

SqliteBulkInserter::SqliteBulkInserter(OdbcConnection& conn, const std::string& quotedTable,
                                       const std::vector<ColumnInfo>& columns, unsigned blockRows)
    : BulkInserter(blockRows), chunk_(conn.sqlite()), row_(conn.sqlite()), table_(quotedTable) {
  for (const ColumnInfo& column : columns) {
    names_.push_back(conn.QuoteName(column.name));
    holders_.push_back(FactsOf(column.kind).holder);
  }
  slots_.assign(static_cast<size_t>(capacity_) * holders_.size(), Value{});
  texts_.assign(slots_.size(), {});
}

std::string SqliteBulkInserter::InsertSql(unsigned rows) const {
  std::string sql = "INSERT INTO " + table_ + " (";
  std::string markers = "(";
  for (size_t c = 0; c < names_.size(); ++c) {
    sql += (c ? ", " : "") + names_[c];
    markers += c ? ",?" : "?";
  }
  markers += ")";
  sql += ") VALUES ";
  for (unsigned r = 0; r < rows; ++r) sql += (r ? "," : "") + markers;
  return sql;
}

Value* SqliteBulkInserter::Slot(int column) {
  if (full() || column < 0 || static_cast<size_t>(column) >= holders_.size()) return nullptr;
  return &slots_[filled_ * holders_.size() + static_cast<size_t>(column)];
}

const Value* SqliteBulkInserter::Slot(int column) const {
  return const_cast<SqliteBulkInserter*>(this)->Slot(column);
}

void SqliteBulkInserter::ClearSlot() {
  for (size_t c = 0; c < holders_.size(); ++c)
    if (Value* slot = Slot(static_cast<int>(c))) slot->null = true;
}

void SqliteBulkInserter::Set(int column, const Value& value) {
  Value* slot = Slot(column);
  if (!slot) return;
  slot->null = value.null;
  if (value.null) return;
  switch (holders_[static_cast<size_t>(column)]) {
    case Holder::Int:
      slot->i = value.i;
      return;
    case Holder::Double:
      slot->d = value.d;
      return;
    case Holder::Day:
      slot->date = {value.date.year, value.date.month, value.date.day, 0, 0, 0, 0};
      return;
    case Holder::Stamp:
      slot->date = value.date;
      return;
    case Holder::None:
    case Holder::Text:
    case Holder::Bytes:
      slot->s = value.s;
      return;
  }
}

Value SqliteBulkInserter::Get(int column) const {
  Value value;
  const Value* slot = Slot(column);
  if (!slot || slot->null) return value;
  value.null = false;
  switch (holders_[static_cast<size_t>(column)]) {
    case Holder::Int:
      value.i = slot->i;
      break;
    case Holder::Double:
      value.d = slot->d;
      break;
    case Holder::Day:
    case Holder::Stamp:
      value.date = slot->date;
      break;
    case Holder::None:
    case Holder::Text:
    case Holder::Bytes:
      value.s = slot->s;
      break;
  }
  return value;
}

// Binds the values of slot `row` from parameter `firstParameter` on; an SQLite result code.
int SqliteBulkInserter::BindRow(sqlite3_stmt* stmt, unsigned row, int firstParameter) {
  const size_t n = holders_.size();
  for (size_t c = 0; c < n; ++c) {
    const Value& v = slots_[row * n + c];
    std::string& text = texts_[row * n + c];
    const int p = firstParameter + static_cast<int>(c);
    int rc = SQLITE_OK;
    if (v.null) {
      rc = sqlite3_bind_null(stmt, p);
    } else {
      switch (holders_[c]) {
        case Holder::Int:
          rc = sqlite3_bind_int(stmt, p, v.i);
          break;
        case Holder::Double:
          rc = sqlite3_bind_double(stmt, p, v.d);
          break;
        case Holder::Day:
        case Holder::Stamp:
          StoredDateText(text, v.date, holders_[c] == Holder::Stamp);
          rc = sqlite3_bind_text(stmt, p, text.data(), static_cast<int>(text.size()),
                                 SQLITE_STATIC);
          break;
        case Holder::Bytes:
          rc = sqlite3_bind_blob(stmt, p, v.s.data(), static_cast<int>(v.s.size()),
                                 SQLITE_STATIC);
          break;
        case Holder::None:
        case Holder::Text: {
          const size_t length = std::min(v.s.size(), v.s.find('\0'));  // as the driver: C texts
          rc = sqlite3_bind_text(stmt, p, v.s.data(), static_cast<int>(length), SQLITE_STATIC);
          break;
        }
      }
    }
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// Rows per multi-row statement: the block, or as many rows as SQLite takes parameters for;
// below 2 there is none.
unsigned SqliteBulkInserter::ChunkRows() const {
  sqlite3* db = chunk_.link().db();
  if (!db || holders_.empty()) return 0;
  const int limit = sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
  const unsigned rows = std::min<unsigned>(
      capacity_, static_cast<unsigned>(limit) / static_cast<unsigned>(holders_.size()));
  return rows >= 2 ? rows : 0;
}

// Slots first..first+rows-1 in one statement; false when they could not be sent so
// (nothing of them stored; the reason in failure_).
bool SqliteBulkInserter::SendChunk(unsigned first, unsigned rows) {
  if (!chunk_.get() && !chunk_.Prepare(InsertSql(rows))) {
    failure_ = chunk_.LastError();
    return false;
  }
  const int columns = static_cast<int>(holders_.size());
  int rc = SQLITE_OK;
  for (unsigned row = 0; rc == SQLITE_OK && row < rows; ++row)
    rc = BindRow(chunk_.get(), first + row, static_cast<int>(row) * columns + 1);
  if (rc == SQLITE_OK)
    rc = chunk_.Step();
  else
    chunk_.NoteFailure(rc);
  chunk_.Reset();
  if (rc == SQLITE_DONE) return true;
  failure_ = chunk_.LastError();
  return false;
}

// Slots first..first+rows-1 one at a time; the rows stored. The first refusal is kept in
// error_ unless one is there already; a failure of the database itself (not a refused row)
// replaces it and stops: nothing more can be written.
long SqliteBulkInserter::SendRows(unsigned first, unsigned rows) {
  if (rows == 0) return 0;
  if (!row_.get() && !row_.Prepare(InsertSql(1))) {
    if (error_.text.empty()) error_ = row_.LastError();
    return 0;
  }
  long stored = 0;
  for (unsigned row = first; row < first + rows; ++row) {
    int rc = BindRow(row_.get(), row, 1);
    if (rc == SQLITE_OK)
      rc = row_.Step();
    else
      row_.NoteFailure(rc);
    row_.Reset();
    if (rc == SQLITE_DONE) {
      ++stored;
      continue;
    }
    if (!row_.LastError().RowRefused()) {
      error_ = row_.LastError();
      break;
    }
    if (error_.text.empty()) error_ = row_.LastError();
  }
  return stored;
}

long SqliteBulkInserter::Send() {
  error_ = {};
  const unsigned rows = filled_;
  filled_ = 0;
  if (chunkRows_ == kUnknown) chunkRows_ = ChunkRows();
  long stored = 0;
  unsigned first = 0;
  Diagnostic chunkError;
  for (; chunkRows_ > 0 && first + chunkRows_ <= rows; first += chunkRows_) {
    if (SendChunk(first, chunkRows_)) {
      stored += chunkRows_;
      continue;
    }
    // A failure of the database itself (disk full, locked, read-only) ends the block: SQLite
    // may have ended the transaction, and rows sent now would be committed on their own.
    if (!failure_.RowRefused()) {
      error_ = failure_;
      return stored;
    }
    // The rows again one by one: the refused ones are named by their own refusal.
    stored += SendRows(first, chunkRows_);
    if (!error_.text.empty() && !error_.RowRefused()) return stored;
    if (chunkError.text.empty()) chunkError = failure_;
  }
  stored += SendRows(first, rows - first);  // a partial chunk
  if (error_.text.empty() && stored < static_cast<long>(rows)) error_ = chunkError;
  return stored;
}

}  // namespace kvt::db
