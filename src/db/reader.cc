#include "db/reader.h"

#include <algorithm>
#include <cstring>

#include "db/columns.h"
#include "db/native_reader.h"
#include "db/native_sqlite.h"

namespace kvt::db {

namespace {

// Rows asked of the driver per call when the caller's rowset is smaller, and the memory a
// block may take before it falls back to the caller's rowset size.
constexpr unsigned kMinBlockRows = 256;
constexpr size_t kMaxBlockBytes = 4u << 20;
// Bytes per text slot: every character may take 4 bytes in UTF-8; never less than this.
constexpr size_t kMinTextSlot = 1024;
constexpr size_t kMaxTextSlot = 256u << 10;

}  // namespace

std::unique_ptr<ResultReader> MakeResultReader(OdbcConnection& conn) {
  if (conn.sqlite()) return std::make_unique<SqliteResultReader>(conn.sqlite());
  return std::make_unique<OdbcResultReader>(conn);
}

OdbcResultReader::~OdbcResultReader() {
  Close();
}

void OdbcResultReader::Close() {
  if (stmt_) stmt_->CloseCursor();
  stmt_.reset();
  buffers_.clear();
  row_.clear();
  fetched_ = 0;
  position_ = 0;
  exhausted_ = true;
}

ResultReader::Step OdbcResultReader::Fail(Failure failure) {
  failure_ = failure;
  error_ = stmt_ ? stmt_->LastError() : conn_.Diag();
  exhausted_ = true;
  return Step::Error;
}

ResultReader::Step OdbcResultReader::Open(std::string_view sql, const std::vector<Kind>& kinds,
                                          unsigned rowsetSize) {
  Close();
  failure_ = Failure::None;
  error_ = {};
  exhausted_ = false;
  kinds_ = kinds;
  rowMode_ = std::any_of(kinds.begin(), kinds.end(), [](Kind k) { return k == Kind::Binary; });
  stmt_ = std::make_unique<OdbcStatement>(conn_);
  if (!stmt_->valid()) return Fail(Failure::Setup);
  if (!Setup(rowsetSize)) return Fail(Failure::Setup);
  if (!stmt_->ExecDirect(sql)) return Fail(Failure::Execute);
  if (!rowMode_ && !BindBlock(rowsetSize)) return Fail(Failure::Setup);
  return Next();
}

bool OdbcResultReader::Setup(unsigned rowsetSize) {
  if (!stmt_->SetAttr(SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY)) return false;
  if (!stmt_->SetAttr(SQL_ATTR_CONCURRENCY, SQL_CONCUR_READ_ONLY)) return false;
  if (rowMode_) return true;
  // The block size is fixed once the column sizes are known (BindBlock); the attribute is
  // set here as well so that a driver refusing block cursors is told at once.
  if (!stmt_->SetAttr(SQL_ATTR_ROW_ARRAY_SIZE, std::max(1u, rowsetSize))) return false;
  if (!stmt_->SetAttr(SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN)) return false;
  return stmt_->SetAttrPtr(SQL_ATTR_ROWS_FETCHED_PTR, &fetched_);
}

bool OdbcResultReader::BindBlock(unsigned rowsetSize) {
  buffers_.assign(kinds_.size(), Buffer{});
  size_t rowBytes = 0;
  for (size_t c = 0; c < kinds_.size(); ++c) {
    Buffer& b = buffers_[c];
    b.kind = kinds_[c];
    if (b.kind == Kind::Unknown) continue;
    b.cType = FactsOf(b.kind).readCType;
    b.slot = FactsOf(b.kind).readBytes;
    if (b.slot == 0) {
      SQLULEN size = 0;
      SQLDescribeCol(stmt_->handle(), static_cast<SQLUSMALLINT>(c + 1), nullptr, 0, nullptr,
                     nullptr, &size, nullptr, nullptr);
      b.slot = std::clamp<size_t>(size * 4 + 1, kMinTextSlot, kMaxTextSlot);
    }
    rowBytes += b.slot + sizeof(SQLLEN);
  }
  unsigned rows = std::max(1u, rowsetSize);
  if (rows < kMinBlockRows && rowBytes * kMinBlockRows <= kMaxBlockBytes) rows = kMinBlockRows;
  if (!stmt_->SetAttr(SQL_ATTR_ROW_ARRAY_SIZE, rows)) return false;
  for (size_t c = 0; c < buffers_.size(); ++c) {
    Buffer& b = buffers_[c];
    if (b.kind == Kind::Unknown) continue;
    b.data.assign(b.slot * rows, '\0');
    b.indicators.assign(rows, SQL_NULL_DATA);
    if (!stmt_->Check(SQLBindCol(stmt_->handle(), static_cast<SQLUSMALLINT>(c + 1), b.cType,
                                 b.data.data(), static_cast<SQLLEN>(b.slot), b.indicators.data())))
      return false;
  }
  return true;
}

ResultReader::Step OdbcResultReader::Next() {
  if (exhausted_ || !stmt_) return Step::End;
  if (rowMode_) return FetchRow();
  if (position_ + 1 < fetched_) {
    ++position_;
    return Step::Row;
  }
  return FetchBlock();
}

ResultReader::Step OdbcResultReader::FetchBlock() {
  fetched_ = 0;
  position_ = 0;
  SQLRETURN rc = stmt_->Fetch();
  if (rc == SQL_ERROR) return Fail(Failure::Fetch);
  if (rc == SQL_NO_DATA || fetched_ == 0) {
    exhausted_ = true;
    return Step::End;
  }
  return Step::Row;
}

ResultReader::Step OdbcResultReader::FetchRow() {
  SQLRETURN rc = stmt_->Fetch();
  if (rc == SQL_ERROR) return Fail(Failure::Fetch);
  if (rc == SQL_NO_DATA) {
    exhausted_ = true;
    return Step::End;
  }
  row_.assign(kinds_.size(), Value{});
  for (size_t c = 0; c < kinds_.size(); ++c)
    if (!ReadValue(*stmt_, static_cast<int>(c + 1), kinds_[c], row_[c]))
      return Fail(Failure::Fetch);
  return Step::Row;
}

const char* OdbcResultReader::Slot(int column) const {
  const Buffer& b = buffers_[static_cast<size_t>(column)];
  return b.data.data() + b.slot * position_;
}

bool OdbcResultReader::IsNull(int column) const {
  if (column < 0 || static_cast<size_t>(column) >= kinds_.size()) return true;
  if (rowMode_) return row_.empty() || row_[static_cast<size_t>(column)].null;
  const Buffer& b = buffers_[static_cast<size_t>(column)];
  return b.kind == Kind::Unknown || fetched_ == 0 || b.indicators[position_] == SQL_NULL_DATA;
}

int32_t OdbcResultReader::Int(int column) const {
  if (IsNull(column)) return 0;
  if (rowMode_) return row_[static_cast<size_t>(column)].i;
  SQLINTEGER value = 0;
  std::memcpy(&value, Slot(column), sizeof value);
  return value;
}

double OdbcResultReader::Double(int column) const {
  if (IsNull(column)) return 0;
  if (rowMode_) return row_[static_cast<size_t>(column)].d;
  double value = 0;
  std::memcpy(&value, Slot(column), sizeof value);
  return value;
}

SQL_TIMESTAMP_STRUCT OdbcResultReader::Date(int column) const {
  SQL_TIMESTAMP_STRUCT value{};
  if (IsNull(column)) return value;
  if (rowMode_) return row_[static_cast<size_t>(column)].date;
  std::memcpy(&value, Slot(column), sizeof value);
  return value;
}

std::string OdbcResultReader::Text(int column) const {
  if (IsNull(column)) return {};
  if (rowMode_) return row_[static_cast<size_t>(column)].s;
  const Buffer& b = buffers_[static_cast<size_t>(column)];
  SQLLEN length = b.indicators[position_];
  size_t room = b.slot - (b.cType == SQL_C_CHAR ? 1 : 0);
  size_t n =
      (length == SQL_NO_TOTAL || length < 0) ? room : std::min(static_cast<size_t>(length), room);
  const char* slot = Slot(column);
  if (b.cType == SQL_C_CHAR) n = std::min(n, std::strlen(slot));
  return std::string(slot, n);
}

std::string_view OdbcResultReader::Bytes(int column) const {
  if (!rowMode_ || IsNull(column)) return {};
  return row_[static_cast<size_t>(column)].s;
}

Value OdbcResultReader::Get(int column) const {
  if (rowMode_ && !row_.empty() && column >= 0 && static_cast<size_t>(column) < row_.size())
    return row_[static_cast<size_t>(column)];
  Value value;
  if (IsNull(column)) return value;
  value.null = false;
  switch (FactsOf(kinds_[static_cast<size_t>(column)]).holder) {
    case Holder::Int:
      value.i = Int(column);
      break;
    case Holder::Double:
      value.d = Double(column);
      break;
    case Holder::Day:
    case Holder::Stamp:
      value.date = Date(column);
      break;
    case Holder::None:
    case Holder::Text:
    case Holder::Bytes:
      value.s = Text(column);
      break;
  }
  return value;
}

}  // namespace kvt::db
