#include "db/native_sqlite.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace kvt::db {

namespace {

// -1: as the environment says; 0 or 1: forced.
std::atomic<int> g_override{-1};

thread_local SqliteCapture* t_capture = nullptr;

// Called by the SQLite library for every connection it opens in the process, on the
// opening thread.
int OnOpen(sqlite3* db, const char**, const sqlite3_api_routines*) {
  if (t_capture) t_capture->Saw(db);
  return SQLITE_OK;
}

void RegisterOnce() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&OnOpen)); });
}

}  // namespace

void OverrideSqliteNative(std::optional<bool> enabled) {
  g_override = enabled ? (*enabled ? 1 : 0) : -1;
}

bool SqliteNativeWanted() {
  const int forced = g_override;
  if (forced >= 0) return forced == 1;
  const char* env = std::getenv("KVT_SQLITE_NATIVE");
  return !(env && std::strcmp(env, "0") == 0);
}

SqliteCapture::SqliteCapture() : outer_(t_capture) {
  RegisterOnce();
  t_capture = this;
}

SqliteCapture::~SqliteCapture() {
  t_capture = outer_;
}

void SqliteLink::Detach() {
  for (SqliteStatement* statement : statements_) statement->Finalize();
  statements_.clear();
  db_ = nullptr;
}

SqliteStatement::SqliteStatement(std::shared_ptr<SqliteLink> link) : link_(std::move(link)) {
  link_->statements_.push_back(this);
}

SqliteStatement::~SqliteStatement() {
  Finalize();
  std::erase(link_->statements_, this);
}

void SqliteStatement::NoteFailure(int rc) {
  sqlite3* db = link_->db();
  if (!db) {
    lastError_ = {"", std::string(kNoDriverText), rc};  // the connection has closed
    return;
  }
  lastError_ = {"HY000",
                "[SQLite]" + std::string(sqlite3_errmsg(db)) + " (" + std::to_string(rc) + ")",
                rc};
}

bool SqliteStatement::Prepare(std::string_view sql) {
  Finalize();
  lastError_ = {};
  sqlite3* db = link_->db();
  if (!db) {
    NoteFailure(SQLITE_MISUSE);
    return false;
  }
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc == SQLITE_OK) return true;
  Finalize();
  NoteFailure(rc);
  return false;
}

int SqliteStatement::Step() {
  if (!stmt_ && link_->db()) return SQLITE_DONE;  // empty SQL: no rows
  if (!stmt_) {
    NoteFailure(SQLITE_MISUSE);
    return SQLITE_MISUSE;
  }
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
  // As the driver does: the code and the message after the reset.
  const int code = sqlite3_reset(stmt_);
  NoteFailure(code == SQLITE_OK ? rc : code);
  return code == SQLITE_OK ? rc : code;
}

void SqliteStatement::Reset() {
  if (stmt_) sqlite3_reset(stmt_);
}

void SqliteStatement::Finalize() {
  if (stmt_) sqlite3_finalize(stmt_);
  stmt_ = nullptr;
}

}  // namespace kvt::db
