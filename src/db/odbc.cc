#include "db/odbc.h"

#include <cstring>
#include <optional>

#include "db/native_sqlite.h"

namespace kvt::db {

namespace {

SQLCHAR* Sql(std::string_view text) {
  // The ANSI ODBC calls take non-const pointers but never write through them.
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.data()));
}

SQLINTEGER SqlLength(std::string_view text) {
  return static_cast<SQLINTEGER>(text.size());
}

}  // namespace

bool Diagnostic::RowRefused() const {
  // SQLSTATE classes 22 (data exception) and 23 (integrity constraint violation).
  if (state.starts_with("22") || state.starts_with("23")) return true;
  // The SQLite3 driver (and the native path, in its form) says HY000 for every failure; the
  // SQLite result code, its native code, tells a refused row from a failed database.
  if (std::string_view(text).starts_with("[SQLite]")) {
    switch (native & 0xff) {
      case SQLITE_CONSTRAINT:
      case SQLITE_MISMATCH:
      case SQLITE_TOOBIG:
      case SQLITE_RANGE:
        return true;
      default:
        return false;
    }
  }
  return false;
}

Diagnostic ReadDiag(SQLSMALLINT handleType, SQLHANDLE handle) {
  Diagnostic diag;
  SQLCHAR state[8] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  std::string text(512, '\0');
  SQLRETURN rc = SQLGetDiagRec(handleType, handle, 1, state, &native, Sql(text),
                               static_cast<SQLSMALLINT>(text.size()), &length);
  if (Ok(rc) && length >= static_cast<SQLSMALLINT>(text.size())) {
    text.assign(static_cast<size_t>(length) + 1, '\0');
    rc = SQLGetDiagRec(handleType, handle, 1, state, &native, Sql(text),
                       static_cast<SQLSMALLINT>(text.size()), &length);
  }
  if (!Ok(rc)) {
    diag.text = kNoDriverText;
    return diag;
  }
  text.resize(std::min<size_t>(static_cast<size_t>(length), std::strlen(text.c_str())));
  diag.state = reinterpret_cast<char*>(state);
  diag.native = static_cast<long>(native);
  diag.text = text.empty() ? std::string(kNoDriverText) : text;
  return diag;
}

std::unique_ptr<OdbcEnvironment> OdbcEnvironment::Create() {
  SQLHENV env = SQL_NULL_HENV;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return nullptr;
  if (!Ok(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                        0))) {
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return nullptr;
  }
  return std::unique_ptr<OdbcEnvironment>(new OdbcEnvironment(env));
}

OdbcEnvironment::~OdbcEnvironment() {
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

OdbcConnection::OdbcConnection(std::unique_ptr<OdbcEnvironment> env, SQLHDBC dbc)
    : env_(std::move(env)), dbc_(dbc) {}

std::unique_ptr<OdbcConnection> OdbcConnection::Open(const std::string& connectionString,
                                                     Diagnostic* error) {
  auto env = OdbcEnvironment::Create();
  if (!env) {
    if (error) *error = {"HY001", std::string(kNoDriverText)};
    return nullptr;
  }
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, env->handle(), &dbc))) {
    if (error) *error = ReadDiag(SQL_HANDLE_ENV, env->handle());
    return nullptr;
  }
  SQLSMALLINT outLength = 0;
  std::optional<SqliteCapture> capture;
  if (SqliteNativeWanted()) capture.emplace();
  SQLRETURN rc = SQLDriverConnect(dbc, nullptr, Sql(connectionString),
                                  static_cast<SQLSMALLINT>(connectionString.size()), nullptr, 0,
                                  &outLength, SQL_DRIVER_NOPROMPT);
  sqlite3* sqlite = capture ? capture->Captured() : nullptr;
  capture.reset();
  if (!Ok(rc)) {
    if (error) *error = ReadDiag(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return nullptr;
  }
  std::unique_ptr<OdbcConnection> conn(new OdbcConnection(std::move(env), dbc));
  if (sqlite) conn->sqlite_ = std::make_shared<SqliteLink>(sqlite);
  std::string quote = conn->InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote == " ") quote.clear();  // the driver does not quote identifiers
  conn->identifierQuote = quote;
  return conn;
}

OdbcConnection::~OdbcConnection() {
  if (sqlite_) sqlite_->Detach();  // the driver closes its SQLite connection just below
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

std::string OdbcConnection::InfoText(SQLUSMALLINT infoType) const {
  std::string value(256, '\0');
  SQLSMALLINT length = 0;
  if (!Ok(SQLGetInfo(dbc_, infoType, value.data(), static_cast<SQLSMALLINT>(value.size()),
                     &length)))
    return {};
  if (length >= static_cast<SQLSMALLINT>(value.size())) {
    value.assign(static_cast<size_t>(length) + 1, '\0');
    if (!Ok(SQLGetInfo(dbc_, infoType, value.data(), static_cast<SQLSMALLINT>(value.size()),
                       &length)))
      return {};
  }
  value.resize(std::strlen(value.c_str()));
  return value;
}

std::string OdbcConnection::QuoteName(std::string_view name) const {
  if (identifierQuote.empty()) return std::string(name);
  std::string out = identifierQuote;
  for (char c : name) {
    out += c;
    if (identifierQuote.size() == 1 && c == identifierQuote[0]) out += c;
  }
  return out + identifierQuote;
}

bool OdbcConnection::SetAutocommit(bool on) {
  SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  return Ok(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value),
                              SQL_IS_UINTEGER));
}

bool OdbcConnection::EndTransaction(bool commit) {
  return Ok(SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK));
}

OdbcStatement::OdbcStatement(OdbcConnection& conn) {
  if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, conn.handle(), &stmt_))) {
    lastError_ = conn.Diag();
    stmt_ = SQL_NULL_HSTMT;
    return;
  }
  if (conn.queryTimeout > 0) SetAttr(SQL_ATTR_QUERY_TIMEOUT, conn.queryTimeout);
}

OdbcStatement::~OdbcStatement() {
  if (stmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

bool OdbcStatement::Check(SQLRETURN rc) {
  if (Ok(rc) || rc == SQL_NO_DATA) return true;
  lastError_ = valid() ? ReadDiag(SQL_HANDLE_STMT, stmt_) : Diagnostic{"", std::string(kNoDriverText)};
  return false;
}

bool OdbcStatement::ExecDirect(std::string_view sql) {
  if (!valid()) return false;
  return Check(SQLExecDirect(stmt_, Sql(sql), SqlLength(sql)));
}

bool OdbcStatement::Prepare(std::string_view sql) {
  if (!valid()) return false;
  return Check(SQLPrepare(stmt_, Sql(sql), SqlLength(sql)));
}

bool OdbcStatement::Execute() {
  if (!valid()) return false;
  return Check(SQLExecute(stmt_));
}

bool OdbcStatement::SetAttr(SQLINTEGER attr, SQLULEN value) {
  if (!valid()) return false;
  return Check(SQLSetStmtAttr(stmt_, attr, reinterpret_cast<SQLPOINTER>(value), 0));
}

bool OdbcStatement::SetAttrPtr(SQLINTEGER attr, void* value) {
  if (!valid()) return false;
  return Check(SQLSetStmtAttr(stmt_, attr, value, 0));
}

SQLRETURN OdbcStatement::Fetch() {
  if (!valid()) return SQL_ERROR;
  SQLRETURN rc = SQLFetch(stmt_);
  if (Ok(rc)) return SQL_SUCCESS;
  if (rc == SQL_NO_DATA) return SQL_NO_DATA;
  Check(rc);
  return SQL_ERROR;
}

void OdbcStatement::CloseCursor() {
  if (valid()) SQLFreeStmt(stmt_, SQL_CLOSE);
}

void OdbcStatement::ResetParams() {
  if (valid()) SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
}

long long OdbcStatement::RowCount() {
  SQLLEN count = -1;
  if (!valid() || !Ok(SQLRowCount(stmt_, &count))) return -1;
  return count;
}

bool GetDataBytes(OdbcStatement& stmt, int column, SQLSMALLINT cType, std::string& out,
                  bool& isNull) {
  out.clear();
  isNull = false;
  const size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
  std::string chunk(4096, '\0');
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt.handle(), static_cast<SQLUSMALLINT>(column), cType, chunk.data(),
                              static_cast<SQLLEN>(chunk.size()), &indicator);
    if (rc == SQL_NO_DATA) return true;  // every part read
    if (!stmt.Check(rc)) return false;
    if (indicator == SQL_NULL_DATA) {
      isNull = true;
      return true;
    }
    const size_t room = chunk.size() - terminator;
    if (rc == SQL_SUCCESS ||
        (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) <= room)) {
      out.append(chunk.data(), static_cast<size_t>(indicator));
      return true;
    }
    out.append(chunk.data(), room);  // truncated part: ask for the rest
  }
}

std::string GetDataText(OdbcStatement& stmt, int column) {
  std::string text;
  bool isNull = false;
  GetDataBytes(stmt, column, SQL_C_CHAR, text, isNull);
  return text;
}

long GetDataLong(OdbcStatement& stmt, int column, long nullValue) {
  SQLINTEGER value = 0;
  SQLLEN indicator = 0;
  SQLRETURN rc = SQLGetData(stmt.handle(), static_cast<SQLUSMALLINT>(column), SQL_C_SLONG, &value,
                            0, &indicator);
  if (!Ok(rc) || indicator == SQL_NULL_DATA) return nullValue;
  return value;
}

std::string EscapePattern(std::string_view name, std::string_view escape) {
  std::string out;
  for (char c : name) {
    if (c == '_' || c == '%' || (!escape.empty() && c == escape[0])) out += escape;
    out += c;
  }
  return out;
}

}  // namespace kvt::db
