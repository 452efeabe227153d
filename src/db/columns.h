// Columns of a table as the driver's catalogue describes them, the conversions of text
// values into and out of them, and single-value binding (internal to db/). Shared by
// Table, EditSelection and the live-schema reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/odbc.h"
#include "db/values.h"

namespace kvt::db {

struct ColumnInfo {
  std::string name;  // as the catalogue gives it (PostgreSQL folds unquoted names)
  int sqlType = 0;   // as reported
  Kind kind = Kind::Unknown;
  long size = 0;  // characters for texts
  std::string typeName;
  bool nullable = true;
};

// The table name as the catalogue knows it (an unquoted name folded by PostgreSQL is found
// in lower case) and its columns in table order. False when the table has no columns.
bool ReadColumns(OdbcConnection& conn, std::string_view table, std::string& actualName,
                 std::vector<ColumnInfo>& columns);
// Primary-key columns in key order (empty when none).
std::vector<std::string> ReadPrimaryKey(OdbcConnection& conn, std::string_view table);

// Index of `name` among the columns: exact match first, then ignoring case (SQL names are
// case-insensitive, and PostgreSQL reports "ID" as "id"). -1 when absent.
int FindColumn(const std::vector<ColumnInfo>& columns, std::string_view name);

// Outcome of storing a text into a value.
enum class SetResult {
  Stored,      // the value was set (an empty text sets NULL)
  Invalid,     // the text is not a value of the column (a malformed date): nothing stored
  NotHandled,  // the column's type is not handled: `message` says so, nothing stored
};

// Converts `text` for the column: date sentinels, NULL for "", integers by the leading
// digits, ',' as decimal point, trailing blanks of texts dropped, dates "GG/MM/AAAA".
// fileMethod: the file engine converts numeric and decimal texts as the JET engine did
// (an integer column refuses a text without digits).
SetResult ConvertText(const ColumnInfo& column, std::string_view text, bool fileMethod, Value& out,
                      std::string& message);

// The text form of a value: ODBC rules or file-method rules. `message` receives the box
// text for a type the ODBC form does not handle ("TIPO (-1) ???", "DECIMAL NON GESTITO").
std::string ValueText(const ColumnInfo& column, const Value& value, bool fileMethod,
                      std::string& message);

// Binds `value` as input parameter `number`; the value (and its indicator) must stay in
// place until the statement has run.
bool BindValue(OdbcStatement& stmt, int number, Kind kind, Value& value);
// Reads column `number` of the current row (row-at-a-time cursor) into `value`.
bool ReadValue(OdbcStatement& stmt, int number, Kind kind, Value& value);

// "a" = ? AND "b" = ? over `names` (quoted for the engine).
std::string KeyCondition(const OdbcConnection& conn, const std::vector<std::string>& names);

}  // namespace kvt::db
