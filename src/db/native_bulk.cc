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
    kinds_.push_back(column.kind);
  }
  slots_.assign(static_cast<size_t>(capacity_) * kinds_.size(), Value{});
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
  if (full() || column < 0 || static_cast<size_t>(column) >= kinds_.size()) return nullptr;
  return &slots_[filled_ * kinds_.size() + static_cast<size_t>(column)];
}

const Value* SqliteBulkInserter::Slot(int column) const {
  return const_cast<SqliteBulkInserter*>(this)->Slot(column);
}

void SqliteBulkInserter::ClearSlot() {
  for (size_t c = 0; c < kinds_.size(); ++c)
    if (Value* slot = Slot(static_cast<int>(c))) slot->null = true;
}

void SqliteBulkInserter::Set(int column, const Value& value) {
  Value* slot = Slot(column);
  if (!slot) return;
  slot->null = value.null;
  if (value.null) return;
  const Kind kind = kinds_[static_cast<size_t>(column)];
  if (IsIntegerKind(kind))
    slot->i = value.i;
  else if (IsFloatKind(kind))
    slot->d = value.d;
  else if (kind == Kind::Date)
    slot->date = {value.date.year, value.date.month, value.date.day, 0, 0, 0, 0};
  else if (kind == Kind::Timestamp)
    slot->date = value.date;
  else
    slot->s = value.s;
}

Value SqliteBulkInserter::Get(int column) const {
  Value value;
  const Value* slot = Slot(column);
  if (!slot || slot->null) return value;
  value.null = false;
  const Kind kind = kinds_[static_cast<size_t>(column)];
  if (IsIntegerKind(kind))
    value.i = slot->i;
  else if (IsFloatKind(kind))
    value.d = slot->d;
  else if (IsDateKind(kind))
    value.date = slot->date;
  else
    value.s = slot->s;
  return value;
}

// Binds the values of slot `row` from parameter `firstParameter` on; an SQLite result code.
int SqliteBulkInserter::BindRow(sqlite3_stmt* stmt, unsigned row, int firstParameter) {
  const size_t n = kinds_.size();
  for (size_t c = 0; c < n; ++c) {
    const Value& v = slots_[row * n + c];
    std::string& text = texts_[row * n + c];
    const Kind kind = kinds_[c];
    const int p = firstParameter + static_cast<int>(c);
    int rc = SQLITE_OK;
    if (v.null) {
      rc = sqlite3_bind_null(stmt, p);
    } else if (IsIntegerKind(kind)) {
      rc = sqlite3_bind_int(stmt, p, v.i);
    } else if (IsFloatKind(kind)) {
      rc = sqlite3_bind_double(stmt, p, v.d);
    } else if (IsDateKind(kind)) {
      StoredDateText(text, v.date, kind == Kind::Timestamp);
      rc = sqlite3_bind_text(stmt, p, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    } else if (kind == Kind::Binary) {
      rc = sqlite3_bind_blob(stmt, p, v.s.data(), static_cast<int>(v.s.size()), SQLITE_STATIC);
    } else {
      const size_t length = std::min(v.s.size(), v.s.find('\0'));  // as the driver: C texts
      rc = sqlite3_bind_text(stmt, p, v.s.data(), static_cast<int>(length), SQLITE_STATIC);
    }
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// Rows per multi-row statement: the block, or as many rows as SQLite takes parameters for;
// below 2 there is none.
unsigned SqliteBulkInserter::ChunkRows() const {
  sqlite3* db = chunk_.link().db();
  if (!db || kinds_.empty()) return 0;
  const int limit = sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, -1);
  const unsigned rows = std::min<unsigned>(
      capacity_, static_cast<unsigned>(limit) / static_cast<unsigned>(kinds_.size()));
  return rows >= 2 ? rows : 0;
}

// Slots first..first+rows-1 in one statement; false when they could not be sent so
// (nothing of them stored).
bool SqliteBulkInserter::SendChunk(unsigned first, unsigned rows, Diagnostic& error) {
  if (!chunk_.get() && !chunk_.Prepare(InsertSql(rows))) {
    error = chunk_.LastError();
    return false;
  }
  const int columns = static_cast<int>(kinds_.size());
  int rc = SQLITE_OK;
  for (unsigned row = 0; rc == SQLITE_OK && row < rows; ++row)
    rc = BindRow(chunk_.get(), first + row, static_cast<int>(row) * columns + 1);
  if (rc == SQLITE_OK)
    rc = chunk_.Step();
  else
    chunk_.NoteFailure(rc);
  chunk_.Reset();
  if (rc == SQLITE_DONE) return true;
  error = chunk_.LastError();
  return false;
}

// Slots first..first+rows-1 one at a time; the rows stored.
long SqliteBulkInserter::SendRows(unsigned first, unsigned rows, Diagnostic& firstError) {
  if (rows == 0) return 0;
  if (!row_.get() && !row_.Prepare(InsertSql(1))) {
    if (firstError.text.empty()) firstError = row_.LastError();
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
    if (rc == SQLITE_DONE)
      ++stored;
    else if (firstError.text.empty())
      firstError = row_.LastError();
  }
  return stored;
}

long SqliteBulkInserter::Send(Diagnostic& firstError) {
  firstError = {};
  const unsigned rows = filled_;
  filled_ = 0;
  if (chunkRows_ == kUnknown) chunkRows_ = ChunkRows();
  long stored = 0;
  unsigned first = 0;
  Diagnostic chunkError;
  for (; chunkRows_ > 0 && first + chunkRows_ <= rows; first += chunkRows_) {
    Diagnostic error;
    if (SendChunk(first, chunkRows_, error)) {
      stored += chunkRows_;
      continue;
    }
    // The rows again one by one: the refused ones are named by their own refusal.
    stored += SendRows(first, chunkRows_, firstError);
    if (chunkError.text.empty()) chunkError = error;
  }
  stored += SendRows(first, rows - first, firstError);  // a partial chunk
  if (firstError.text.empty() && stored < static_cast<long>(rows)) firstError = chunkError;
  return stored;
}

}  // namespace kvt::db
