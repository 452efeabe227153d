// SQL type codes as the ODBC driver reports them in its column catalogue. Callers of
// Selection::AddColumn pass one of these to say how the column is read.
#pragma once

namespace kvt::db {

enum SqlType : int {
  kSqlBit = -7,
  kSqlTinyInt = -6,
  kSqlSmallInt = 5,
  kSqlInteger = 4,
  kSqlBigInt = -5,  // read as INTEGER
  kSqlReal = 7,
  kSqlFloat = 6,
  kSqlDouble = 8,
  kSqlChar = 1,
  kSqlVarChar = 12,
  kSqlLongVarChar = -1,
  kSqlWChar = -8,
  kSqlWVarChar = -9,
  kSqlWLongVarChar = -10,
  kSqlDate = 9,  // ODBC 2 code; ODBC 3 drivers report kSqlTypeDate
  kSqlTime = 10,
  kSqlTimestamp = 11,
  kSqlTypeDate = 91,
  kSqlTypeTime = 92,
  kSqlTypeTimestamp = 93,
  kSqlLongVarBinary = -4,
  kSqlVarBinary = -3,
  kSqlBinary = -2,  // SQLite reports BLOB columns so
  kSqlNumeric = 2,
  kSqlDecimal = 3,
};

inline bool IsDateType(int t) {
  return t == kSqlDate || t == kSqlTime || t == kSqlTimestamp || t == kSqlTypeDate ||
         t == kSqlTypeTime || t == kSqlTypeTimestamp;
}
inline bool IsTextType(int t) {
  return t == kSqlChar || t == kSqlVarChar || t == kSqlWChar || t == kSqlWVarChar;
}

}  // namespace kvt::db
