#include "db/native_reader.h"

#include <locale.h>

#include <cstdlib>
#include <cstring>

#include "core/text.h"
#include "db/driver_dates.h"

namespace kvt::db {

namespace {

enum class Read { Null, Value, Error };

const char* ColumnText(sqlite3_stmt* stmt, int column) {
  return reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
}

// A byte block as the driver shows it in text: X'0A1B'.
std::string BlobText(sqlite3_stmt* stmt, int column) {
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
  const int size = sqlite3_column_bytes(stmt, column);
  std::string text = "X'";
  AppendHex(text, std::string_view(bytes ? bytes : "", static_cast<size_t>(size)), true);
  return text + "'";
}

Read ReadInt(sqlite3_stmt* stmt, int column, int32_t& out) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
    case SQLITE_BLOB:  // X'..': no digit
      return Read::Null;
    case SQLITE_INTEGER:
      out = static_cast<int32_t>(sqlite3_column_int64(stmt, column));
      return Read::Value;
    default: {
      const char* text = ColumnText(stmt, column);
      char* end = nullptr;
      const long value = text ? std::strtol(text, &end, 0) : 0;
      if (!text || end == text) return Read::Null;
      out = static_cast<int32_t>(value);
      return Read::Value;
    }
  }
}

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}

Read ReadDouble(sqlite3_stmt* stmt, int column, double& out) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
    case SQLITE_BLOB:
      return Read::Null;
    case SQLITE_INTEGER:
      out = static_cast<double>(sqlite3_column_int64(stmt, column));
      return Read::Value;
    default: {
      // A stored REAL too goes through its text: the driver reads what the library prints
      // (15 significant digits), not the stored number.
      const char* text = ColumnText(stmt, column);
      char* end = nullptr;
      const double value = text ? strtod_l(text, &end, CLocale()) : 0;
      if (!text || end == text) return Read::Null;
      out = value;
      return Read::Value;
    }
  }
}

Read ReadDate(sqlite3_stmt* stmt, int column, SQL_TIMESTAMP_STRUCT& out) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return Read::Null;
    case SQLITE_BLOB:
      return ReadDriverTimestamp(BlobText(stmt, column), out) ? Read::Value : Read::Null;
    default: {
      const char* text = ColumnText(stmt, column);
      return text && ReadDriverTimestamp(text, out) ? Read::Value : Read::Null;
    }
  }
}

Read ReadText(sqlite3_stmt* stmt, int column, std::string& out) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return Read::Null;
    case SQLITE_BLOB:
      out = BlobText(stmt, column);
      return Read::Value;
    default: {
      const char* text = ColumnText(stmt, column);
      out.assign(text ? text : "");  // up to the first NUL, as the driver's C strings
      return Read::Value;
    }
  }
}

// A text read as bytes: X'HEX' is decoded (a bad digit is an error), any other text is
// taken as it is.
Read TextBytes(const char* text, std::string& out) {
  const size_t length = std::strlen(text);
  const bool hex = length >= 2 && (text[0] == 'x' || text[0] == 'X') && text[1] == '\'' &&
                   text[length - 1] == '\'';
  if (!hex) {
    out.assign(text, length);
    return Read::Value;
  }
  const size_t count = (length - 2) / 2;
  out.assign(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    const int high = HexDigitValue(text[2 + 2 * i]), low = HexDigitValue(text[3 + 2 * i]);
    if (high < 0 || low < 0) return Read::Error;
    out[i] = static_cast<char>(high * 16 + low);
  }
  return Read::Value;
}

Read ReadBytes(sqlite3_stmt* stmt, int column, std::string& out) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return Read::Null;
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
      out.assign(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
      return Read::Value;
    }
    default: {
      const char* text = ColumnText(stmt, column);
      return text ? TextBytes(text, out) : Read::Null;
    }
  }
}

}  // namespace

ResultReader::Step SqliteResultReader::Fail(Failure failure) {
  failure_ = failure;
  if (error_.text.empty()) error_ = stmt_.LastError();
  exhausted_ = true;
  positioned_ = false;
  stmt_.Reset();
  return Step::Error;
}

ResultReader::Step SqliteResultReader::Open(std::string_view sql, const std::vector<Kind>& kinds,
                                            unsigned) {
  Close();
  failure_ = Failure::None;
  error_ = {};
  kinds_ = kinds;
  row_.assign(kinds.size(), Value{});
  // A requery runs the statement compiled before.
  if (!stmt_.get() || sql != sql_) {
    sql_.clear();
    if (!stmt_.Prepare(sql)) return Fail(Failure::Execute);
    sql_ = std::string(sql);
  }
  exhausted_ = false;
  return Next();
}

ResultReader::Step SqliteResultReader::Next() {
  positioned_ = false;
  if (exhausted_) return Step::End;
  const int rc = stmt_.Step();
  if (rc == SQLITE_DONE) {
    exhausted_ = true;
    stmt_.Reset();
    return Step::End;
  }
  if (rc != SQLITE_ROW || !ReadRow()) return Fail(Failure::Fetch);
  positioned_ = true;
  return Step::Row;
}

void SqliteResultReader::Close() {
  stmt_.Reset();  // releases what the statement holds; the compiled form is kept
  positioned_ = false;
  exhausted_ = true;
}

bool SqliteResultReader::ReadRow() {
  const int count = sqlite3_column_count(stmt_.get());
  for (size_t c = 0; c < kinds_.size(); ++c) {
    const int column = static_cast<int>(c);
    if (!ReadColumn(column, column < count ? kinds_[c] : Kind::Unknown, row_[c])) return false;
  }
  return true;
}

bool SqliteResultReader::ReadColumn(int column, Kind kind, Value& value) {
  sqlite3_stmt* stmt = stmt_.get();
  Read read = Read::Null;
  switch (FactsOf(kind).holder) {
    case Holder::None:
      break;
    case Holder::Int:
      value.i = 0;
      read = ReadInt(stmt, column, value.i);
      break;
    case Holder::Double:
      value.d = 0;
      read = ReadDouble(stmt, column, value.d);
      break;
    case Holder::Day:
    case Holder::Stamp:
      value.date = {};
      read = ReadDate(stmt, column, value.date);
      break;
    case Holder::Bytes:
      read = ReadBytes(stmt, column, value.s);
      break;
    case Holder::Text:
      read = ReadText(stmt, column, value.s);
      break;
  }
  if (read == Read::Error) {
    error_ = {"HY000", "[SQLite]conversion error"};
    return false;
  }
  value.null = read == Read::Null;
  if (value.null) value.s.clear();
  return true;
}

const Value* SqliteResultReader::Cell(int column) const {
  if (!positioned_ || column < 0 || static_cast<size_t>(column) >= row_.size()) return nullptr;
  return &row_[static_cast<size_t>(column)];
}

bool SqliteResultReader::IsNull(int column) const {
  const Value* cell = Cell(column);
  return !cell || cell->null;
}

int32_t SqliteResultReader::Int(int column) const {
  return IsNull(column) ? 0 : Cell(column)->i;
}

double SqliteResultReader::Double(int column) const {
  return IsNull(column) ? 0 : Cell(column)->d;
}

std::string SqliteResultReader::Text(int column) const {
  return IsNull(column) ? std::string() : Cell(column)->s;
}

SQL_TIMESTAMP_STRUCT SqliteResultReader::Date(int column) const {
  return IsNull(column) ? SQL_TIMESTAMP_STRUCT{} : Cell(column)->date;
}

std::string_view SqliteResultReader::Bytes(int column) const {
  return IsNull(column) ? std::string_view() : std::string_view(Cell(column)->s);
}

Value SqliteResultReader::Get(int column) const {
  const Value* cell = Cell(column);
  return cell && !cell->null ? *cell : Value{};
}

}  // namespace kvt::db
