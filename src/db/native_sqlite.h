// The SQLite connection behind an ODBC connection of the SQLite3 driver, used directly
// (internal to db/).
//
// The driver and this program load the same SQLite library. An automatic extension,
// registered once per process, sees every connection that library opens; the one opened on
// this thread while SQLDriverConnect runs is the driver's own. Statements prepared on it see
// exactly what the driver's statements see: the same transaction, the same uncommitted rows,
// the same foreign-key setting. When nothing (or more than one connection) was seen, for
// instance a driver built with a library of its own, the connection stays on the ODBC path.
//
// The driver closes its connection at SQLDisconnect, so every statement prepared on it must
// be finalized before: the OdbcConnection detaches its link first, which finalizes them. A
// statement of a detached link holds nothing and fails its steps.
//
// KVT_SQLITE_NATIVE=0 in the environment keeps every connection opened afterwards on the
// ODBC path (to tell a driver problem from one of ours).
#pragma once

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/odbc.h"

namespace kvt::db {

// For tests: true or false overrides the environment for connections opened afterwards;
// nullopt goes back to it.
void OverrideSqliteNative(std::optional<bool> enabled);
// Whether a connection opened now looks for the driver's SQLite connection.
bool SqliteNativeWanted();

// Watches, for its lifetime, the SQLite connections opened on this thread.
class SqliteCapture {
 public:
  SqliteCapture();
  ~SqliteCapture();
  SqliteCapture(const SqliteCapture&) = delete;
  SqliteCapture& operator=(const SqliteCapture&) = delete;

  // The one connection opened meanwhile; null when none or several were.
  sqlite3* Captured() const { return opened_.size() == 1 ? opened_.front() : nullptr; }
  void Saw(sqlite3* db) { opened_.push_back(db); }

 private:
  std::vector<sqlite3*> opened_;
  SqliteCapture* outer_;
};

class SqliteStatement;

// The driver's connection as shared by the OdbcConnection and every native object made on
// it. Used from the thread of its Database.
class SqliteLink {
 public:
  explicit SqliteLink(sqlite3* db) : db_(db) {}
  SqliteLink(const SqliteLink&) = delete;
  SqliteLink& operator=(const SqliteLink&) = delete;

  // Null once detached.
  sqlite3* db() const { return db_; }
  // Finalizes every statement made on the link; nothing uses the connection afterwards.
  void Detach();

 private:
  friend class SqliteStatement;

  sqlite3* db_;
  std::vector<SqliteStatement*> statements_;
};

// One statement on a link. Errors are kept in the driver's form: "[SQLite]<message> (<code>)"
// with SQLSTATE HY000.
class SqliteStatement {
 public:
  explicit SqliteStatement(std::shared_ptr<SqliteLink> link);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Compiles the first statement of `sql`, replacing any compiled before.
  bool Prepare(std::string_view sql);
  // Null before Prepare, for empty SQL, and once finalized (also by Detach).
  sqlite3_stmt* get() const { return stmt_; }
  // SQLITE_ROW or SQLITE_DONE; any other code is a failure described by LastError() (the
  // statement is then reset).
  int Step();
  void Reset();
  void Finalize();
  const Diagnostic& LastError() const { return lastError_; }
  // Keeps the connection's message for a failure with code `rc` as LastError().
  void NoteFailure(int rc);
  SqliteLink& link() const { return *link_; }

 private:
  std::shared_ptr<SqliteLink> link_;
  sqlite3_stmt* stmt_ = nullptr;
  Diagnostic lastError_;
};

}  // namespace kvt::db
