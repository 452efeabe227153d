// RAII wrappers over the ODBC handles (internal to db/). Every text is UTF-8: the program
// calls the ANSI entry points and binds texts as SQL_C_CHAR, which both drivers we run pass
// through unchanged whatever the process locale (the SQLite3 driver has no wide entry points
// at all, so the wide calls would make the driver manager convert by locale).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/diagnostic.h"

namespace kvt::db {

class SqliteLink;  // native_sqlite.h


// Reads the first diagnostic record of a handle.
Diagnostic ReadDiag(SQLSMALLINT handleType, SQLHANDLE handle);

inline bool Ok(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

class OdbcEnvironment {
 public:
  // Null when the driver manager cannot allocate one.
  static std::unique_ptr<OdbcEnvironment> Create();
  ~OdbcEnvironment();
  OdbcEnvironment(const OdbcEnvironment&) = delete;
  OdbcEnvironment& operator=(const OdbcEnvironment&) = delete;
  SQLHENV handle() const { return env_; }

 private:
  explicit OdbcEnvironment(SQLHENV env) : env_(env) {}
  SQLHENV env_;
};

// An open connection with its own environment.
class OdbcConnection {
 public:
  // Connects with a full connection string. On failure returns null and fills `error`.
  static std::unique_ptr<OdbcConnection> Open(const std::string& connectionString, Diagnostic* error);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  SQLHDBC handle() const { return dbc_; }
  std::string InfoText(SQLUSMALLINT infoType) const;
  bool SetAutocommit(bool on);
  bool EndTransaction(bool commit);
  Diagnostic Diag() const { return ReadDiag(SQL_HANDLE_DBC, dbc_); }

  // Applied to every statement allocated on this connection (seconds, 0 = none).
  unsigned queryTimeout = 0;
  // The engine's identifier quote ("\"" for SQLite and PostgreSQL).
  std::string identifierQuote = "\"";
  // A table or column name as the catalogue gives it, quoted for the engine.
  std::string QuoteName(std::string_view name) const;

  // The SQLite3 driver's own connection, for reading and bulk writing through the SQLite
  // library directly; null for other drivers, or when it could not be found.
  const std::shared_ptr<SqliteLink>& sqlite() const { return sqlite_; }

 private:
  OdbcConnection(std::unique_ptr<OdbcEnvironment> env, SQLHDBC dbc);
  std::unique_ptr<OdbcEnvironment> env_;
  SQLHDBC dbc_;
  std::shared_ptr<SqliteLink> sqlite_;
};

// One statement handle. Errors are kept as the last diagnostic.
class OdbcStatement {
 public:
  explicit OdbcStatement(OdbcConnection& conn);
  ~OdbcStatement();
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  bool valid() const { return stmt_ != SQL_NULL_HSTMT; }
  SQLHSTMT handle() const { return stmt_; }

  // Each returns true on success (SQL_NO_DATA of a searched UPDATE/DELETE included) and
  // keeps the diagnostic of a failure in LastError().
  bool ExecDirect(std::string_view sql);
  bool Prepare(std::string_view sql);
  bool Execute();
  bool SetAttr(SQLINTEGER attr, SQLULEN value);
  bool SetAttrPtr(SQLINTEGER attr, void* value);
  // SQL_SUCCESS / SQL_NO_DATA / SQL_ERROR (diagnostic kept).
  SQLRETURN Fetch();
  // Closes an open cursor (no error when none is open).
  void CloseCursor();
  void ResetParams();
  // Rows affected by the last INSERT/UPDATE/DELETE (-1 when unknown).
  long long RowCount();

  bool Check(SQLRETURN rc);
  const Diagnostic& LastError() const { return lastError_; }

 private:
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
  Diagnostic lastError_;
};

// Reads the whole value of a column of the current row as bytes (texts without the
// terminator); `isNull` tells a NULL apart. False when the read fails.
bool GetDataBytes(OdbcStatement& stmt, int column, SQLSMALLINT cType, std::string& out,
                  bool& isNull);

// The text of a column of a catalogue result; empty when NULL.
std::string GetDataText(OdbcStatement& stmt, int column);
long GetDataLong(OdbcStatement& stmt, int column, long nullValue = 0);

// Escapes the search-pattern characters of a catalogue argument (table names are patterns
// for SQLTables and SQLColumns: "geo_loc" would also match "geoxloc").
std::string EscapePattern(std::string_view name, std::string_view escape = "\\");

}  // namespace kvt::db
