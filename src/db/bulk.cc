#include "db/bulk.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/text.h"
#include "db/native_bulk.h"
#include "db/values.h"

namespace kvt::db {

namespace {

// Parameter markers per statement: psqlODBC fails past ~7,500 of them, SQLite past 32,766.
constexpr unsigned kMaxParams = 4000;
constexpr size_t kMinTextSlot = 256;

// The PostgreSQL element type of a column's array: the catalogue's own type name when it
// is a plain one ("int2", "varchar", ...), else one by kind.
std::string ArrayType(const ColumnInfo& column) {
  const std::string& name = column.typeName;
  const bool plain =
      !name.empty() && name[0] >= 'a' && name[0] <= 'z' &&
      name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_ ") == std::string::npos;
  return plain ? name : FactsOf(column.kind).arrayType;
}


}  // namespace

std::unique_ptr<BulkInserter> MakeBulkInserter(OdbcConnection& conn, const std::string& quotedTable,
                                               const std::vector<ColumnInfo>& columns,
                                               unsigned blockRows, size_t blobSlot,
                                               Dialect::BulkStrategy strategy) {
  if (conn.sqlite() && strategy != Dialect::BulkStrategy::ArrayUnnest)
    return std::make_unique<SqliteBulkInserter>(conn, quotedTable, columns, blockRows);
  return std::make_unique<OdbcBulkInserter>(conn, quotedTable, columns, blockRows, blobSlot,
                                            strategy);
}

OdbcBulkInserter::OdbcBulkInserter(OdbcConnection& conn, const std::string& quotedTable,
                                   const std::vector<ColumnInfo>& columns, unsigned blockRows,
                                   size_t blobSlot, Dialect::BulkStrategy strategy)
    : BulkInserter(blockRows),
      conn_(conn),
      table_(quotedTable),
      arrays_(strategy == Dialect::BulkStrategy::ArrayUnnest) {
  const unsigned n = static_cast<unsigned>(std::max<size_t>(1, columns.size()));
  chunkRows_ = std::clamp(kMaxParams / n, 1u, capacity_);
  if (strategy == Dialect::BulkStrategy::KeptMultiRowValues)
    prefix_ = "WITH kvt_prepared(kept) AS (SELECT 1) ";
  for (const ColumnInfo& column : columns) {
    names_.push_back(conn.QuoteName(column.name));
    Slots s;
    s.arrayType = ArrayType(column);
    s.kind = column.kind;
    s.holder = FactsOf(column.kind).holder;
    s.slot = FactsOf(column.kind).paramBytes;
    if (s.holder == Holder::Bytes)
      s.slot = std::max<size_t>(1, blobSlot);
    else if (s.slot == 0)
      s.slot = std::max<size_t>(kMinTextSlot, static_cast<size_t>(std::max(0L, column.size)) * 4);
    s.data.assign(s.slot * capacity_, '\0');
    s.indicators.assign(capacity_, SQL_NULL_DATA);
    slots_.push_back(std::move(s));
  }
}

OdbcBulkInserter::~OdbcBulkInserter() = default;

char* OdbcBulkInserter::SlotData(size_t column, unsigned row) {
  return slots_[column].data.data() + slots_[column].slot * row;
}

void OdbcBulkInserter::ClearSlot() {
  if (full()) return;
  for (Slots& s : slots_) s.indicators[filled_] = SQL_NULL_DATA;
}

void OdbcBulkInserter::Grow(size_t column, size_t bytes) {
  Slots& s = slots_[column];
  const size_t slot = std::max(bytes, s.slot * 2);
  std::vector<char> data(slot * capacity_, '\0');
  for (unsigned row = 0; row < capacity_; ++row)
    std::memcpy(data.data() + slot * row, s.data.data() + s.slot * row, s.slot);
  s.data = std::move(data);
  s.slot = slot;
  ++generation_;  // every prepared statement must be bound again
}

void OdbcBulkInserter::Set(int column, const Value& value) {
  if (full() || column < 0 || static_cast<size_t>(column) >= slots_.size()) return;
  const size_t c = static_cast<size_t>(column);
  Slots& s = slots_[c];
  SQLLEN& indicator = s.indicators[filled_];
  if (value.null) {
    indicator = SQL_NULL_DATA;
    return;
  }
  switch (s.holder) {
    case Holder::Int: {
      const SQLINTEGER v = value.i;
      std::memcpy(SlotData(c, filled_), &v, sizeof v);
      indicator = 0;
      return;
    }
    case Holder::Double:
      std::memcpy(SlotData(c, filled_), &value.d, sizeof value.d);
      indicator = 0;
      return;
    case Holder::Day: {
      const SQL_DATE_STRUCT d{value.date.year, value.date.month, value.date.day};
      std::memcpy(SlotData(c, filled_), &d, sizeof d);
      indicator = 0;
      return;
    }
    case Holder::Stamp:
      std::memcpy(SlotData(c, filled_), &value.date, sizeof value.date);
      indicator = 0;
      return;
    case Holder::None:
    case Holder::Text:
    case Holder::Bytes:
      if (value.s.size() > s.slot) Grow(c, value.s.size());
      if (!value.s.empty()) std::memcpy(SlotData(c, filled_), value.s.data(), value.s.size());
      indicator = static_cast<SQLLEN>(value.s.size());
      return;
  }
}

Value OdbcBulkInserter::Get(int column) const {
  Value value;
  if (full() || column < 0 || static_cast<size_t>(column) >= slots_.size()) return value;
  const Slots& s = slots_[static_cast<size_t>(column)];
  const SQLLEN indicator = s.indicators[filled_];
  if (indicator == SQL_NULL_DATA) return value;
  value.null = false;
  const char* data = s.data.data() + s.slot * filled_;
  switch (s.holder) {
    case Holder::Int:
      std::memcpy(&value.i, data, sizeof value.i);
      break;
    case Holder::Double:
      std::memcpy(&value.d, data, sizeof value.d);
      break;
    case Holder::Day: {
      SQL_DATE_STRUCT d{};
      std::memcpy(&d, data, sizeof d);
      value.date.year = d.year;
      value.date.month = d.month;
      value.date.day = d.day;
      break;
    }
    case Holder::Stamp:
      std::memcpy(&value.date, data, sizeof value.date);
      break;
    case Holder::None:
    case Holder::Text:
    case Holder::Bytes:
      value.s.assign(data, static_cast<size_t>(indicator));
      break;
  }
  return value;
}

std::string OdbcBulkInserter::InsertSql(unsigned rows) const {
  std::string sql = prefix_ + "INSERT INTO " + table_ + " (";
  std::string markers = "(";
  for (size_t c = 0; c < names_.size(); ++c) {
    sql += (c ? ", " : "") + names_[c];
    markers += c ? ",?" : "?";
  }
  markers += ")";
  sql += ") VALUES ";
  sql.reserve(sql.size() + rows * (markers.size() + 1));
  for (unsigned r = 0; r < rows; ++r) {
    if (r) sql += ',';
    sql += markers;
  }
  return sql;
}

bool OdbcBulkInserter::Bind(OdbcStatement& stmt, unsigned first, unsigned rows) {
  const size_t n = slots_.size();
  for (unsigned j = 0; j < rows; ++j) {
    for (size_t c = 0; c < n; ++c) {
      Slots& s = slots_[c];
      const TypeFacts& facts = FactsOf(s.kind);
      const SQLULEN size = facts.columnSize ? facts.columnSize : std::max<SQLULEN>(1, s.slot);
      SQLRETURN rc = SQLBindParameter(
          stmt.handle(), static_cast<SQLUSMALLINT>(j * n + c + 1), SQL_PARAM_INPUT,
          facts.paramCType, facts.paramSqlType, size, 0, SlotData(c, first + j),
          static_cast<SQLLEN>(s.slot), &s.indicators[first + j]);
      if (!stmt.Check(rc)) return false;
    }
  }
  return true;
}

OdbcBulkInserter::Chunk* OdbcBulkInserter::PrepareChunk(Chunk& chunk, unsigned first,
                                                        unsigned rows) {
  if (!chunk.stmt || chunk.rows != rows) {
    chunk.stmt = std::make_unique<OdbcStatement>(conn_);
    chunk.rows = rows;
    chunk.generation = 0;
    if (!chunk.stmt->Prepare(InsertSql(rows))) return &chunk;
  }
  if (chunk.generation != generation_ || chunk.first != first) {
    chunk.stmt->ResetParams();
    if (!Bind(*chunk.stmt, first, rows)) return &chunk;
    chunk.first = first;
    chunk.generation = generation_;
  }
  return &chunk;
}

bool OdbcBulkInserter::ExecuteChunk(unsigned first, unsigned rows) {
  Chunk* chunk = nullptr;
  if (rows == chunkRows_) {
    const size_t index = first / chunkRows_;
    if (fullChunks_.size() <= index) fullChunks_.resize(index + 1);
    chunk = PrepareChunk(fullChunks_[index], first, rows);
  } else {
    chunk = PrepareChunk(tail_, first, rows);
  }
  OdbcStatement& stmt = *chunk->stmt;
  if (chunk->generation == generation_ && chunk->first == first && stmt.Execute()) return true;
  failure_ = stmt.LastError();
  chunk->generation = 0;  // bind again next time, whatever failed
  return false;
}

// The rows one at a time; the rows stored. Stops at a failure of the database itself (then
// kept in LastError()), after which nothing more can be written.
long OdbcBulkInserter::RetryRows(unsigned first, unsigned rows) {
  long stored = 0;
  for (unsigned row = first; row < first + rows; ++row) {
    PrepareChunk(single_, row, 1);
    if (single_.generation == generation_ && single_.first == row && single_.stmt->Execute()) {
      ++stored;
      continue;
    }
    const Diagnostic& error = single_.stmt->LastError();
    if (!error.empty() && !error.RowRefused()) {
      error_ = error;
      break;
    }
  }
  return stored;
}

namespace {

void AppendDouble(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
  } else if (std::isinf(v)) {
    out += v > 0 ? "Infinity" : "-Infinity";
  } else {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
  }
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", quoted.
void AppendDate(std::string& out, const SQL_TIMESTAMP_STRUCT& t, bool withTime) {
  out += '"';
  AppendIsoDate(out, t, withTime);
  out += '"';
}

// bytea's hex form "\x0a1b" inside a quoted element (the array escapes the backslash).
void AppendBytes(std::string& out, const char* data, size_t length) {
  out += "\"\\\\x";
  AppendHex(out, std::string_view(data, length));
  out += '"';
}

// A text, quoted, with \ and " escaped.
void AppendText(std::string& out, const char* data, size_t length) {
  out += '"';
  for (size_t i = 0; i < length; ++i) {
    if (data[i] == '"' || data[i] == '\\') out += '\\';
    out += data[i];
  }
  out += '"';
}

}  // namespace

// One element of a PostgreSQL array literal.
void OdbcBulkInserter::AppendElement(std::string& out, size_t column, unsigned row) const {
  const Slots& s = slots_[column];
  const SQLLEN indicator = s.indicators[row];
  if (indicator == SQL_NULL_DATA) {
    out += "NULL";
    return;
  }
  const char* data = s.data.data() + s.slot * row;
  switch (s.holder) {
    case Holder::Int: {
      SQLINTEGER v = 0;
      std::memcpy(&v, data, sizeof v);
      AppendInt(out, v);
      return;
    }
    case Holder::Double: {
      double v = 0;
      std::memcpy(&v, data, sizeof v);
      AppendDouble(out, v);
      return;
    }
    case Holder::Day: {
      SQL_DATE_STRUCT d{};
      std::memcpy(&d, data, sizeof d);
      SQL_TIMESTAMP_STRUCT t{};
      t.year = d.year, t.month = d.month, t.day = d.day;
      AppendDate(out, t, false);
      return;
    }
    case Holder::Stamp: {
      SQL_TIMESTAMP_STRUCT t{};
      std::memcpy(&t, data, sizeof t);
      AppendDate(out, t, true);
      return;
    }
    case Holder::Bytes:
      AppendBytes(out, data, static_cast<size_t>(indicator));
      return;
    case Holder::None:
    case Holder::Text:
      AppendText(out, data, static_cast<size_t>(indicator));
      return;
  }
}

bool OdbcBulkInserter::ExecuteArrays(unsigned rows) {
  const size_t n = slots_.size();
  if (!arrayInsert_) {
    std::string sql = "INSERT INTO " + table_ + " (";
    std::string source = "SELECT * FROM unnest(";
    for (size_t c = 0; c < n; ++c) {
      sql += (c ? ", " : "") + names_[c];
      source += (c ? ", ?::" : "?::") + slots_[c].arrayType + "[]";
    }
    arrayInsert_ = std::make_unique<OdbcStatement>(conn_);
    if (!arrayInsert_->Prepare(sql + ") " + source + ")")) {
      failure_ = arrayInsert_->LastError();
      arrayInsert_.reset();
      return false;
    }
    arrayTexts_.assign(n, {});
    arrayLengths_.assign(n, 0);
  }
  for (size_t c = 0; c < n; ++c) {
    std::string& text = arrayTexts_[c];
    text.assign(1, '{');
    for (unsigned row = 0; row < rows; ++row) {
      if (row) text += ',';
      AppendElement(text, c, row);
    }
    text += '}';
    arrayLengths_[c] = static_cast<SQLLEN>(text.size());
    SQLRETURN rc = SQLBindParameter(arrayInsert_->handle(), static_cast<SQLUSMALLINT>(c + 1),
                                    SQL_PARAM_INPUT, SQL_C_CHAR, SQL_LONGVARCHAR, text.size(), 0,
                                    text.data(), arrayLengths_[c], &arrayLengths_[c]);
    if (!arrayInsert_->Check(rc)) {
      failure_ = arrayInsert_->LastError();
      return false;
    }
  }
  if (arrayInsert_->Execute()) return true;
  failure_ = arrayInsert_->LastError();
  return false;
}

long OdbcBulkInserter::Send() {
  error_ = {};
  if (arrays_ && filled_ > 0) {
    const unsigned rows = filled_;
    filled_ = 0;
    if (ExecuteArrays(rows)) return rows;
    error_ = failure_;
    if (!error_.RowRefused()) return 0;  // the database failed: nothing more goes
    return RetryRows(0, rows);
  }
  long stored = 0;
  for (unsigned first = 0; first < filled_; first += chunkRows_) {
    const unsigned rows = std::min(chunkRows_, filled_ - first);
    if (ExecuteChunk(first, rows)) {
      stored += rows;
      continue;
    }
    if (!failure_.RowRefused()) {  // the database failed: nothing more goes
      error_ = failure_;
      break;
    }
    if (error_.empty()) error_ = failure_;
    stored += RetryRows(first, rows);
    if (!error_.RowRefused()) break;
  }
  filled_ = 0;
  return stored;
}

}  // namespace kvt::db
