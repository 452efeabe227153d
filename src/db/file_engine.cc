// The file engine works on closed database files with the SQLite library itself: these
// operations need no connection and must not go through one (a repair must read a file
// the driver would refuse).
#include "db/file_engine.h"

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

namespace kvt::db {

namespace {

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct Finalize {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using DbPtr = std::unique_ptr<sqlite3, CloseDb>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, Finalize>;

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

StmtPtr Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
  return StmtPtr(raw);
}

std::string TempPathNear(const std::string& path, const char* what) {
  return path + "." + what + "-" + std::to_string(getpid());
}

std::string QuotedName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

long long FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<long long>(size);
}

// Reports a long operation and stops it on request, from the engine's progress handler.
class Watch {
 public:
  Watch(const FileProgress& progress, long long total) : progress_(progress), total_(total) {}

  // Watches the work of `db` as `step`, measured by the growth of `written` (may be empty).
  void On(sqlite3* db, FileStep step, std::string written = {}) {
    step_ = step;
    written_ = std::move(written);
    if (progress_) sqlite3_progress_handler(db, 4000, &Watch::Tick, this);
    Report();
  }
  bool stopped() const { return stopped_; }

 private:
  static int Tick(void* self) {
    auto* w = static_cast<Watch*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (!w->stopped_ && now - w->last_ >= std::chrono::milliseconds(100)) w->Report();
    return w->stopped_ ? 1 : 0;
  }
  void Report() {
    last_ = std::chrono::steady_clock::now();
    if (!progress_ || stopped_) return;
    const long long done = written_.empty() ? 0 : FileSize(written_);
    stopped_ = !progress_(step_, done, written_.empty() ? 0 : total_);
  }

  const FileProgress& progress_;
  long long total_;
  FileStep step_ = FileStep::Check;
  std::string written_;
  std::chrono::steady_clock::time_point last_{};
  bool stopped_ = false;
};

struct SchemaEntry {
  std::string type, name, sql;
};

std::vector<SchemaEntry> ReadSchema(sqlite3* db) {
  std::vector<SchemaEntry> entries;
  StmtPtr stmt = Prepare(db,
                         "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                         "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                         "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 "
                         "ELSE 2 END, rowid");
  while (stmt && sqlite3_step(stmt.get()) == SQLITE_ROW) {
    auto text = [&](int c) {
      const unsigned char* t = sqlite3_column_text(stmt.get(), c);
      return std::string(t ? reinterpret_cast<const char*>(t) : "");
    };
    entries.push_back({text(0), text(1), text(2)});
  }
  return entries;
}

// True when a scan of the rows from `from` on can start (the page it lands on is readable).
bool CanStartAt(sqlite3_stmt* scan, sqlite3_int64 from) {
  sqlite3_reset(scan);
  sqlite3_bind_int64(scan, 1, from);
  const int rc = sqlite3_step(scan);
  return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

// The first position past a damaged stretch that starts at `failed`: jumps further each
// time the scan cannot start, then narrows back so that no readable row after the damage
// is skipped. Nothing when no later position can be read.
std::optional<sqlite3_int64> PastTheDamage(sqlite3_stmt* scan, sqlite3_int64 failed) {
  sqlite3_int64 jump = 1;
  while (!CanStartAt(scan, failed + jump)) {
    if (jump > (INT64_MAX - failed) / 2) return std::nullopt;
    jump *= 2;
  }
  sqlite3_int64 bad = failed + jump / 2, good = failed + jump;  // `bad` cannot start
  if (jump == 1) bad = failed;
  while (good - bad > 1) {
    const sqlite3_int64 middle = bad + (good - bad) / 2;
    (CanStartAt(scan, middle) ? good : bad) = middle;
  }
  return good;
}

// Copies the rows of `table` that can still be read. A damaged page stops a scan; the scan
// starts again just past the damage.
long long CopyRows(sqlite3* from, sqlite3* to, const std::string& table) {
  const std::string name = QuotedName(table);
  StmtPtr count = Prepare(from, "SELECT * FROM " + name + " LIMIT 0");
  if (!count) return 0;
  const int columns = sqlite3_column_count(count.get());
  std::string markers;
  for (int c = 0; c < columns; ++c) markers += c ? ",?" : "?";
  StmtPtr insert = Prepare(to, "INSERT OR IGNORE INTO " + name + " VALUES (" + markers + ")");
  StmtPtr scan = Prepare(from, "SELECT rowid, * FROM " + name + " WHERE rowid >= ? ORDER BY rowid");
  if (!insert || !scan) return 0;
  long long copied = 0;
  sqlite3_int64 start = INT64_MIN;
  for (;;) {
    sqlite3_reset(scan.get());
    sqlite3_bind_int64(scan.get(), 1, start);
    int rc;
    while ((rc = sqlite3_step(scan.get())) == SQLITE_ROW) {
      const sqlite3_int64 rowid = sqlite3_column_int64(scan.get(), 0);
      start = rowid == INT64_MAX ? rowid : rowid + 1;
      for (int c = 0; c < columns; ++c)
        sqlite3_bind_value(insert.get(), c + 1, sqlite3_column_value(scan.get(), c + 1));
      if (sqlite3_step(insert.get()) == SQLITE_DONE) ++copied;
      sqlite3_reset(insert.get());
    }
    if (rc == SQLITE_DONE) break;
    auto next = PastTheDamage(scan.get(), start == INT64_MIN ? 0 : start);
    if (!next) break;
    start = *next;
  }
  return copied;
}

// One operation on files; its failure, the first one, in `error`.
class Session {
 public:
  Diagnostic error;

  bool Fail(std::string text, int code = 0) {
    error = {"", std::move(text), code};
    return false;
  }
  bool FailOn(sqlite3* db) { return Fail(sqlite3_errmsg(db), sqlite3_extended_errcode(db)); }

  DbPtr OpenDb(const std::string& path, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    DbPtr db(raw);
    if (rc != SQLITE_OK) {
      Fail(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc), rc);
      return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    return db;
  }

  bool Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return true;
    Fail(message ? message : sqlite3_errmsg(db), sqlite3_extended_errcode(db));
    sqlite3_free(message);
    return false;
  }

  // "ok" from the engine's own check, else its first complaint.
  bool IntegrityOk(sqlite3* db) {
    StmtPtr stmt = Prepare(db, "PRAGMA integrity_check");
    if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) return FailOn(db);
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    const std::string first = text ? text : "";
    return first == "ok" || Fail(first, SQLITE_CORRUPT);
  }

  bool Stopped(const Watch& watch) {
    if (watch.stopped()) Fail(std::string(kFileStopped), SQLITE_INTERRUPT);
    return watch.stopped();
  }

  // Builds a fresh file with the schema and every readable row of `damaged`.
  bool Rebuild(sqlite3* damaged, const std::string& target, Watch& watch) {
    std::error_code ec;
    std::filesystem::remove(target, ec);  // a file left in the way makes the open below fail
    DbPtr out = OpenDb(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!out) return false;
    watch.On(damaged, FileStep::Copy, target);
    watch.On(out.get(), FileStep::Copy, target);
    const std::vector<SchemaEntry> schema = ReadSchema(damaged);
    if (schema.empty()) return Fail("Lo schema del database non è leggibile.");
    if (!Exec(out.get(), "BEGIN")) return false;
    for (const SchemaEntry& entry : schema) {
      if (!Exec(out.get(), entry.sql)) return false;
      if (entry.type == "table") CopyRows(damaged, out.get(), entry.name);
      if (Stopped(watch)) return false;
    }
    if (!Exec(out.get(), "COMMIT")) return false;
    watch.On(out.get(), FileStep::Check);
    return IntegrityOk(out.get()) && !Stopped(watch);
  }

  bool Create(const std::string& file) {
    if (Exists(file)) return Fail("Il file '" + file + "' esiste già.");
    DbPtr db = OpenDb(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // Writing the header makes the file a database at once (an empty file would be one only
    // by convention).
    return db && Exec(db.get(), "PRAGMA user_version = 0");
  }

  // A source file this engine can work on: present, and no Access file.
  bool Usable(const std::string& file) {
    if (!Exists(file)) return Fail("Impossibile trovare il file '" + file + "'.");
    if (IsAccessFile(file)) return Fail("Il file '" + file + "' è un database Microsoft Access.");
    return true;
  }

  bool Repair(const std::string& file, const FileProgress& progress) {
    if (!Usable(file)) return false;
    const std::string target = TempPathNear(file, "repair");
    bool rebuilt = false;
    Watch watch(progress, FileSize(file));
    {
      DbPtr db = OpenDb(file, SQLITE_OPEN_READWRITE);
      if (!db) return false;
      watch.On(db.get(), FileStep::Check);
      if (Session().IntegrityOk(db.get())) return true;
      if (Stopped(watch)) return false;
      rebuilt = Rebuild(db.get(), target, watch);
    }
    std::error_code ec;
    if (rebuilt) std::filesystem::rename(target, file, ec);
    if (!rebuilt || ec) {
      if (ec) Fail(ec.message());
      std::filesystem::remove(target, ec);
      return false;
    }
    return true;
  }

  bool Compact(const std::string& from, const std::string& to, const FileProgress& progress) {
    if (!Usable(from)) return false;
    const std::string temp = TempPathNear(to, "compact");
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    bool ok = false;
    Watch watch(progress, FileSize(from));
    {
      DbPtr db = OpenDb(from, SQLITE_OPEN_READONLY);
      if (!db) return false;
      watch.On(db.get(), FileStep::Copy, temp);
      char* sql = sqlite3_mprintf("VACUUM INTO %Q", temp.c_str());
      ok = Exec(db.get(), sql) && !Stopped(watch);
      sqlite3_free(sql);
    }
    if (ok) {
      DbPtr copy = OpenDb(temp, SQLITE_OPEN_READONLY);
      if (copy) watch.On(copy.get(), FileStep::Check);
      ok = copy && IntegrityOk(copy.get()) && !Stopped(watch);
    }
    if (ok) std::filesystem::rename(temp, to, ec);
    if (!ok || ec) {
      if (ec) Fail(ec.message());
      std::filesystem::remove(temp, ec);
      return false;
    }
    return true;
  }
};

}  // namespace

bool IsAccessFile(std::string_view path) {
  std::ifstream in{std::string(path), std::ios::binary};
  std::string header(19, '\0');
  if (!in.read(header.data(), static_cast<std::streamsize>(header.size()))) return false;
  const std::string_view tag(header.data() + 4, 15);
  return tag == "Standard Jet DB" || tag == "Standard ACE DB";
}

bool FileEngine::Create(std::string_view path) {
  Session session;
  const bool ok = session.Create(std::string(path));
  error_ = std::move(session.error);
  return ok;
}

bool FileEngine::Repair(std::string_view path, const FileProgress& progress) {
  Session session;
  const bool ok = session.Repair(std::string(path), progress);
  error_ = std::move(session.error);
  return ok;
}

bool FileEngine::Compact(std::string_view source, std::string_view destination,
                         const FileProgress& progress) {
  Session session;
  const bool ok = session.Compact(std::string(source), std::string(destination), progress);
  error_ = std::move(session.error);
  return ok;
}

std::string EngineVersion() {
  return std::string("SQLite ") + sqlite3_libversion();
}

}  // namespace kvt::db
