#include "db/columns.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

#include "db/sql_types.h"

namespace kvt::db {

namespace {

SQLCHAR* Arg(std::string& text) {
  return reinterpret_cast<SQLCHAR*>(text.data());
}

bool ReadColumnsAs(OdbcConnection& conn, const std::string& table,
                   std::vector<ColumnInfo>& columns) {
  OdbcStatement stmt(conn);
  std::string pattern = EscapePattern(table);
  if (!stmt.Check(
          SQLColumns(stmt.handle(), nullptr, 0, nullptr, 0, Arg(pattern), SQL_NTS, nullptr, 0)))
    return false;
  std::string schema;
  bool first = true;
  while (stmt.Fetch() == SQL_SUCCESS) {
    if (GetDataText(stmt, 3) != table) continue;  // the name is a pattern: keep exact matches
    std::string rowSchema = GetDataText(stmt, 2);
    if (first) schema = rowSchema;
    first = false;
    if (rowSchema != schema) continue;  // the same name in another schema
    ColumnInfo column;
    column.name = GetDataText(stmt, 4);
    column.sqlType = static_cast<int>(GetDataLong(stmt, 5));
    column.kind = KindOf(column.sqlType);
    column.typeName = GetDataText(stmt, 6);
    column.size = GetDataLong(stmt, 7);
    column.nullable = GetDataLong(stmt, 11, SQL_NULLABLE) != SQL_NO_NULLS;
    columns.push_back(std::move(column));
  }
  return !columns.empty();
}

bool HasDigit(std::string_view text) {
  size_t p = 0;
  while (p < text.size() && text[p] == ' ') ++p;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) ++p;
  if (p < text.size() && (text[p] == '.' || text[p] == ',')) ++p;
  return p < text.size() && text[p] >= '0' && text[p] <= '9';
}

std::string TypeMessage(int sqlType) {
  return "TIPO (" + std::to_string(sqlType) + ") ???";
}

// A currency value as the JET engine gave it: sign, 15 integer digits, ',', 4 decimals.
std::string CurrencyText(double value) {
  std::string digits = FormatFixed(value < 0 ? -value : value, 4, 20, true);
  return std::string(value < 0 ? "-" : "+") + PointToComma(digits);
}

}  // namespace

bool ReadColumns(OdbcConnection& conn, std::string_view table, std::string& actualName,
                 std::vector<ColumnInfo>& columns) {
  columns.clear();
  actualName = std::string(table);
  if (ReadColumnsAs(conn, actualName, columns)) return true;
  std::string lower = actualName;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == actualName) return false;
  actualName = lower;
  return ReadColumnsAs(conn, actualName, columns);
}

std::vector<std::string> ReadPrimaryKey(OdbcConnection& conn, std::string_view table) {
  std::vector<std::pair<long, std::string>> parts;
  OdbcStatement stmt(conn);
  std::string name(table);
  if (!stmt.Check(SQLPrimaryKeys(stmt.handle(), nullptr, 0, nullptr, 0, Arg(name), SQL_NTS)))
    return {};
  while (stmt.Fetch() == SQL_SUCCESS)
    parts.emplace_back(GetDataLong(stmt, 5), GetDataText(stmt, 4));
  std::sort(parts.begin(), parts.end());
  std::vector<std::string> key;
  for (auto& part : parts) key.push_back(std::move(part.second));
  return key;
}

int FindColumn(const std::vector<ColumnInfo>& columns, std::string_view name) {
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].name == name) return static_cast<int>(i);
  for (size_t i = 0; i < columns.size(); ++i)
    if (EqualsNoCase(columns[i].name, name)) return static_cast<int>(i);
  return -1;
}

SetResult ConvertText(const ColumnInfo& column, std::string_view text, bool fileMethod, Value& out,
                      std::string& message) {
  const Kind kind = column.kind;
  if (IsDateKind(kind)) text = MapDateSentinel(text);
  if (kind == Kind::Unknown || kind == Kind::Binary) {
    message = TypeMessage(column.sqlType);
    return SetResult::NotHandled;
  }
  if (kind == Kind::Decimal && !fileMethod) {
    message = "DECIMAL NON GESTITO";
    return SetResult::NotHandled;
  }
  Value value;
  if (text.empty()) {
    out = std::move(value);
    return SetResult::Stored;
  }
  value.null = false;
  if (IsIntegerKind(kind) || IsFloatKind(kind) || kind == Kind::Decimal) {
    if (fileMethod && !HasDigit(text)) return SetResult::Invalid;
  }
  if (kind == Kind::Bit) {
    value.i = text[0] == '0' ? 0 : 1;
  } else if (IsIntegerKind(kind)) {
    value.i = LeadingInt32(text);
  } else if (IsFloatKind(kind)) {
    value.d = LeadingDouble(text);
  } else if (kind == Kind::Decimal) {
    value.s = std::string(text);
    std::replace(value.s.begin(), value.s.end(), ',', '.');
  } else if (IsDateKind(kind)) {
    auto date = ParseDateText(text);
    if (!date) return SetResult::Invalid;
    value.date.year = static_cast<SQLSMALLINT>(date->year);
    value.date.month = static_cast<SQLUSMALLINT>(date->month);
    value.date.day = static_cast<SQLUSMALLINT>(date->day);
  } else {
    value.s = std::string(TrimRightBlanks(text));
  }
  out = std::move(value);
  return SetResult::Stored;
}

namespace {

std::string OdbcValueText(const ColumnInfo& column, const Value& value, std::string& message) {
  switch (column.kind) {
    case Kind::Bit:
      return value.i != 0 ? "1" : "0";
    case Kind::TinyInt:
    case Kind::SmallInt:
    case Kind::Integer:
      return IntText(value.i);
    case Kind::Real:
    case Kind::Double:
      return FormatFixed(value.d, 4, 20, false);
    case Kind::Text:
      return std::string(TrimRightBlanks(value.s));
    case Kind::Date:
    case Kind::Timestamp:
      return DateText(value.date);
    case Kind::Binary:
      return {};
    case Kind::Decimal:
      message = "DECIMAL NON GESTITO";
      return {};
    default:
      message = TypeMessage(column.sqlType);
      return {};
  }
}

std::string FileValueText(const ColumnInfo& column, const Value& value) {
  switch (column.kind) {
    case Kind::Bit:
      return value.i != 0 ? "1" : "0";
    case Kind::TinyInt:
    case Kind::SmallInt:
    case Kind::Integer:
      return IntText(value.i);
    case Kind::Real:
    case Kind::Double:
      return PointToComma(FormatFixed(value.d, 4, 20, true));
    case Kind::Text:
    case Kind::LongText:
      return value.s;
    case Kind::Decimal:
      return CurrencyText(LeadingDouble(value.s));
    case Kind::Date:
    case Kind::Timestamp:
      return FileDateText(value.date);
    default:
      return {};
  }
}

}  // namespace

std::string ValueText(const ColumnInfo& column, const Value& value, bool fileMethod,
                      std::string& message) {
  if (value.null) return {};
  return fileMethod ? FileValueText(column, value) : OdbcValueText(column, value, message);
}

bool BindValue(OdbcStatement& stmt, int number, Kind kind, Value& value) {
  const TypeFacts& facts = FactsOf(kind);
  SQLPOINTER data = nullptr;
  SQLULEN size = facts.columnSize;
  SQLLEN bufferLength = 0;
  value.indicator = value.null ? SQL_NULL_DATA : 0;
  switch (facts.holder) {
    case Holder::Int:
      data = &value.i;
      break;
    case Holder::Double:
      data = &value.d;
      break;
    case Holder::Day:
      value.day = {value.date.year, value.date.month, value.date.day};
      data = &value.day;
      break;
    case Holder::Stamp:
      data = &value.date;
      break;
    case Holder::None:
    case Holder::Text:
    case Holder::Bytes:
      data = value.s.data();
      bufferLength = static_cast<SQLLEN>(value.s.size());
      size = std::max<SQLULEN>(1, value.s.size());
      if (!value.null) value.indicator = bufferLength;
      break;
  }
  return stmt.Check(SQLBindParameter(stmt.handle(), static_cast<SQLUSMALLINT>(number),
                                     SQL_PARAM_INPUT, facts.paramCType, facts.paramSqlType, size,
                                     0, data, bufferLength, &value.indicator));
}

bool ReadValue(OdbcStatement& stmt, int number, Kind kind, Value& value) {
  value.Clear();
  const TypeFacts& facts = FactsOf(kind);
  SQLPOINTER data = nullptr;
  switch (facts.holder) {
    case Holder::None:
      return true;
    case Holder::Int:
      data = &value.i;
      break;
    case Holder::Double:
      data = &value.d;
      break;
    case Holder::Day:
    case Holder::Stamp:
      data = &value.date;
      break;
    case Holder::Text:
    case Holder::Bytes: {
      bool isNull = false;
      if (!GetDataBytes(stmt, number, facts.readCType, value.s, isNull)) return false;
      value.null = isNull;
      return true;
    }
  }
  SQLLEN indicator = 0;
  if (!stmt.Check(SQLGetData(stmt.handle(), static_cast<SQLUSMALLINT>(number), facts.readCType,
                             data, 0, &indicator)))
    return false;
  value.null = indicator == SQL_NULL_DATA;
  if (value.null) value.Clear();
  return true;
}

std::string KeyCondition(const OdbcConnection& conn, const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += " AND ";
    text += conn.QuoteName(names[i]) + " = ?";
  }
  return text;
}

}  // namespace kvt::db
