// Column kinds, the value of one column of one row, and the text conversions of the
// database layer (internal to db/). Numbers are formatted and parsed without the C locale
// functions: a GUI process runs under the user's locale, where printf would write "12,5".
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/dates.h"

namespace kvt::db {

// What the layer does with a column, from its SQL type code.
enum class Kind {
  Bit,
  TinyInt,
  SmallInt,
  Integer,
  Real,
  Double,
  Text,      // CHAR, VARCHAR (and their wide forms)
  LongText,  // LONGVARCHAR
  Date,      // DATE (also TIME)
  Timestamp,
  Binary,   // LONGVARBINARY, VARBINARY, BINARY
  Decimal,  // NUMERIC, DECIMAL
  Unknown,
};

Kind KindOf(int sqlType);
bool IsIntegerKind(Kind k);
bool IsFloatKind(Kind k);
bool IsTextKind(Kind k);  // Text, LongText, Decimal (kept as text)
bool IsDateKind(Kind k);

// Where a value of a kind is kept in a Value, and the shape of its driver buffer.
enum class Holder {
  None,    // not read or written (Kind::Unknown)
  Int,     // `i`; an SQLINTEGER
  Double,  // `d`; a double
  Day,     // the day of `date`; bound as SQL_DATE_STRUCT, read as SQL_TIMESTAMP_STRUCT
  Stamp,   // `date`; SQL_TIMESTAMP_STRUCT both ways
  Text,    // `s`; a C text (up to its first NUL byte)
  Bytes,   // `s`; a byte block
};

// Everything the layer needs to know of a kind to bind, read and send it: every binder,
// reader and bulk writer takes these from here, so that a value written in one way is read
// back the same in every other.
struct TypeFacts {
  Holder holder;
  SQLSMALLINT readCType;     // C type a result column is read into
  SQLSMALLINT paramCType;    // C type of a parameter
  SQLSMALLINT paramSqlType;  // SQL type of a parameter
  SQLULEN columnSize;        // column size of a parameter; 0: from the value or its buffer
  size_t readBytes;          // bytes of a read buffer per row; 0: from the column's size
  size_t paramBytes;         // bytes of a parameter buffer per row; 0: from the value
  const char* arrayType;     // PostgreSQL element type of an array of such values
};

const TypeFacts& FactsOf(Kind k);

// One value. Integers in `i`, floating numbers in `d`, dates in `date`, texts and byte
// blocks in `s`.
struct Value {
  bool null = true;
  int32_t i = 0;
  double d = 0;
  SQL_TIMESTAMP_STRUCT date{};
  std::string s;
  // Scratch for binding: the indicator, and the date of a DATE parameter.
  SQLLEN indicator = 0;
  SQL_DATE_STRUCT day{};

  void Clear() { *this = Value{}; }
};

// Locale-independent number texts: printf's "%<width>.<decimals>f", zero-padded after the
// sign when zeroPad ("%020.4lf").
std::string FormatFixed(double value, int decimals, int width = 0, bool zeroPad = false);
// The leading-integer rule of atoi/atol: blanks, sign, digits; saturates at 32 bits.
int32_t LeadingInt32(std::string_view text);
// atof with ',' read as '.': blanks, sign, digits, point, exponent; junk after ignored.
double LeadingDouble(std::string_view text);

// The sentinel texts of open-ended dates mapped to the dates they are stored as.
std::string_view MapDateSentinel(std::string_view text);
// A date text "GG/MM/AAAA" read by position; nothing unless it is exactly 10 characters
// with digits in place and a real calendar date.
std::optional<Date> ParseDateText(std::string_view text);
std::string DateText(const SQL_TIMESTAMP_STRUCT& d);      // "%02d/%02d/%04d"
std::string FileDateText(const SQL_TIMESTAMP_STRUCT& d);  // with the sentinels mapped back
// Appends "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" withTime: the form both engines store.
void AppendIsoDate(std::string& out, const SQL_TIMESTAMP_STRUCT& d, bool withTime);

// printf's "%d" and "%ld" for 32-bit values.
std::string IntText(long long value);
// Removes trailing blanks.
std::string_view TrimRightBlanks(std::string_view text);
// "12.5" -> "12,5".
std::string PointToComma(std::string text);

}  // namespace kvt::db
