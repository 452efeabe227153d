#include "db/values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "core/text.h"
#include "db/sql_types.h"

namespace kvt::db {

Kind KindOf(int sqlType) {
  switch (sqlType) {
    case kSqlBit:
      return Kind::Bit;
    case kSqlTinyInt:
      return Kind::TinyInt;
    case kSqlSmallInt:
      return Kind::SmallInt;
    case kSqlInteger:
    case kSqlBigInt:
      return Kind::Integer;
    case kSqlReal:
      return Kind::Real;
    case kSqlFloat:
    case kSqlDouble:
      return Kind::Double;
    case kSqlChar:
    case kSqlVarChar:
    case kSqlWChar:
    case kSqlWVarChar:
      return Kind::Text;
    case kSqlLongVarChar:
    case kSqlWLongVarChar:
      return Kind::LongText;
    case kSqlDate:
    case kSqlTypeDate:
    case kSqlTime:
    case kSqlTypeTime:
      return Kind::Date;
    case kSqlTimestamp:
    case kSqlTypeTimestamp:
      return Kind::Timestamp;
    case kSqlLongVarBinary:
    case kSqlVarBinary:
    case kSqlBinary:
      return Kind::Binary;
    case kSqlNumeric:
    case kSqlDecimal:
      return Kind::Decimal;
    default:
      return Kind::Unknown;
  }
}

bool IsIntegerKind(Kind k) {
  return k == Kind::Bit || k == Kind::TinyInt || k == Kind::SmallInt || k == Kind::Integer;
}
bool IsFloatKind(Kind k) {
  return k == Kind::Real || k == Kind::Double;
}
bool IsTextKind(Kind k) {
  return k == Kind::Text || k == Kind::LongText || k == Kind::Decimal;
}
bool IsDateKind(Kind k) {
  return k == Kind::Date || k == Kind::Timestamp;
}

namespace {

constexpr size_t kIntBytes = sizeof(SQLINTEGER);
constexpr size_t kStampBytes = sizeof(SQL_TIMESTAMP_STRUCT);

// By Kind, in the order of its enumerators. Flags and small integers are SMALLINT
// parameters. A DATE column is written as a date: SQLite keeps exactly "YYYY-MM-DD" then,
// which compares correctly with date literals (a timestamp would add a time part); it is
// read as a timestamp, which every driver converts a date into.
constexpr TypeFacts kFacts[] = {
    // holder,     read C type,          parameter C type,     parameter SQL type,
    //   column size, read bytes, parameter bytes, array element type
    {Holder::Int, SQL_C_SLONG, SQL_C_SLONG, SQL_SMALLINT, 0, kIntBytes, kIntBytes,
     "smallint"},  // Bit
    {Holder::Int, SQL_C_SLONG, SQL_C_SLONG, SQL_SMALLINT, 0, kIntBytes, kIntBytes,
     "smallint"},  // TinyInt
    {Holder::Int, SQL_C_SLONG, SQL_C_SLONG, SQL_SMALLINT, 0, kIntBytes, kIntBytes,
     "smallint"},  // SmallInt
    {Holder::Int, SQL_C_SLONG, SQL_C_SLONG, SQL_INTEGER, 0, kIntBytes, kIntBytes,
     "integer"},  // Integer
    {Holder::Double, SQL_C_DOUBLE, SQL_C_DOUBLE, SQL_DOUBLE, 15, sizeof(double), sizeof(double),
     "double precision"},  // Real
    {Holder::Double, SQL_C_DOUBLE, SQL_C_DOUBLE, SQL_DOUBLE, 15, sizeof(double), sizeof(double),
     "double precision"},  // Double
    {Holder::Text, SQL_C_CHAR, SQL_C_CHAR, SQL_VARCHAR, 0, 0, 0, "text"},      // Text
    {Holder::Text, SQL_C_CHAR, SQL_C_CHAR, SQL_LONGVARCHAR, 0, 0, 0, "text"},  // LongText
    {Holder::Day, SQL_C_TYPE_TIMESTAMP, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, kStampBytes,
     sizeof(SQL_DATE_STRUCT), "date"},  // Date
    {Holder::Stamp, SQL_C_TYPE_TIMESTAMP, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19,
     kStampBytes, kStampBytes, "timestamp"},  // Timestamp
    {Holder::Bytes, SQL_C_BINARY, SQL_C_BINARY, SQL_LONGVARBINARY, 0, 0, 0, "bytea"},  // Binary
    {Holder::Text, SQL_C_CHAR, SQL_C_CHAR, SQL_VARCHAR, 0, 0, 0, "numeric"},  // Decimal
    {Holder::None, SQL_C_CHAR, SQL_C_CHAR, SQL_VARCHAR, 0, 0, 0, "text"},     // Unknown
};
static_assert(std::size(kFacts) == static_cast<size_t>(Kind::Unknown) + 1,
              "one row of facts for every kind");

}  // namespace

const TypeFacts& FactsOf(Kind k) {
  return kFacts[static_cast<size_t>(k)];
}

std::string FormatFixed(double value, int decimals, int width, bool zeroPad) {
  // The longest double in fixed notation has 309 integer digits: grow until it fits.
  std::string text(64, '\0');
  std::to_chars_result result{};
  while ((result = std::to_chars(text.data(), text.data() + text.size(), value,
                                 std::chars_format::fixed, decimals))
             .ec == std::errc::value_too_large)
    text.resize(text.size() * 2);
  text.resize(result.ec == std::errc() ? static_cast<size_t>(result.ptr - text.data()) : 0);
  if (text.empty()) text = "0";
  if (static_cast<int>(text.size()) >= width) return text;
  const size_t pad = static_cast<size_t>(width) - text.size();
  if (!zeroPad || !std::isfinite(value)) return std::string(pad, ' ') + text;
  const size_t signLength = (text[0] == '-') ? 1 : 0;
  return text.substr(0, signLength) + std::string(pad, '0') + text.substr(signLength);
}

namespace {

size_t SkipBlanks(std::string_view text) {
  size_t p = 0;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' ||
                             text[p] == '\r' || text[p] == '\f' || text[p] == '\v'))
    ++p;
  return p;
}

}  // namespace

int32_t LeadingInt32(std::string_view text) {
  return static_cast<int32_t>(std::clamp<int64_t>(
      LeadingInt(text), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

double LeadingDouble(std::string_view text) {
  std::string copy(text.substr(SkipBlanks(text)));
  for (char& c : copy)
    if (c == ',') c = '.';
  size_t start = (!copy.empty() && copy[0] == '+') ? 1 : 0;
  double value = 0;
  auto result = std::from_chars(copy.data() + start, copy.data() + copy.size(), value);
  // "inf" and "nan" are words, not numbers: they must not reach a column as such.
  return result.ec == std::errc() && std::isfinite(value) ? value : 0;
}

std::string_view MapDateSentinel(std::string_view text) {
  if (text == kNoLowerBound) return "01/01/1600";
  if (text == kNoUpperBound) return "31/12/2400";
  return text;
}

std::optional<Date> ParseDateText(std::string_view text) {
  std::optional<Date> date = ParseDateByPosition(text);
  if (!date || !IsValidDate(*date)) return std::nullopt;
  return date;
}

std::string IntText(long long value) {
  return std::to_string(value);
}


std::string DateText(const SQL_TIMESTAMP_STRUCT& d) {
  std::string text;
  AppendZeroPadded(text, d.day, 2);
  text += '/';
  AppendZeroPadded(text, d.month, 2);
  text += '/';
  AppendZeroPadded(text, d.year, 4);
  return text;
}

void AppendIsoDate(std::string& out, const SQL_TIMESTAMP_STRUCT& d, bool withTime) {
  AppendZeroPadded(out, d.year, 4);
  out += '-';
  AppendZeroPadded(out, d.month, 2);
  out += '-';
  AppendZeroPadded(out, d.day, 2);
  if (!withTime) return;
  out += ' ';
  AppendZeroPadded(out, d.hour, 2);
  out += ':';
  AppendZeroPadded(out, d.minute, 2);
  out += ':';
  AppendZeroPadded(out, d.second, 2);
}

std::string FileDateText(const SQL_TIMESTAMP_STRUCT& d) {
  if (d.year <= kLowerBoundDate.year) return std::string(kNoLowerBound);
  if (d.year >= kUpperBoundDate.year) return std::string(kNoUpperBound);
  return DateText(d);
}

std::string_view TrimRightBlanks(std::string_view text) {
  return TrimRight(text);
}

std::string PointToComma(std::string text) {
  for (char& c : text)
    if (c == '.') c = ',';
  return text;
}

}  // namespace kvt::db
