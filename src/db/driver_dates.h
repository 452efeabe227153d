// How the SQLite3 ODBC driver reads a stored text as a timestamp (internal to db/), so
// that a selection read through the SQLite library gives the dates the ODBC path gives.
//
// The driver accepts, among others: "YYYY-MM-DD", "YYYY/MM/DD", "MM/DD/YYYY" (when the
// first reading is no date), "YYYY-MM-DD hh:mm:ss[.f]", "hh:mm:ss YYYY-MM-DD", 14 or more
// digits as "YYYYMMDDhhmmss[f...]", a time alone (on today's date), "am"/"pm" after a time,
// and an ISO 8601 zone after a time with its fraction ("...T10:20:30.5+01:00", expressed in
// UTC). It refuses (the ODBC path reads NULL) any text that does not end up as a real date
// and time, among them "YYYYMMDD" and the integers stored for it.
//
// Where the driver reads past the end of a text (a date or time cut short, "10:20"), this
// reads as if the text were followed by more NUL bytes: usually what the driver gets too.
// Fractions of seconds are as written (the driver also trims them to the column's declared
// precision; selections show dates only).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string_view>

namespace kvt::db {

// False when the driver reads the text as NULL.
bool ReadDriverTimestamp(std::string_view text, SQL_TIMESTAMP_STRUCT& out);

}  // namespace kvt::db
