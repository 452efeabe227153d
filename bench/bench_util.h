// Shared pieces of the benchmarks: timing, peak memory, and each engine's own fastest bulk
// path (the baseline every benchmark compares with): SQLite's C API with one prepared
// INSERT, and PostgreSQL's COPY through libpq.
#pragma once

#include <libpq-fe.h>
#include <sqlite3.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

namespace kvt::bench {

// The folder a benchmark writes its files in: the one given, or a fresh temporary one that
// is removed at the end. `path` stays empty when no temporary folder could be made.
class WorkDir {
 public:
  WorkDir(const std::string& given, const char* prefix) {
    if (!given.empty()) {
      path = given;
      return;
    }
    std::string temp =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + ".XXXXXX")).string();
    if (mkdtemp(temp.data())) path = owned_ = temp;
  }
  ~WorkDir() {
    std::error_code ignored;
    if (!owned_.empty()) std::filesystem::remove_all(owned_, ignored);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  std::string path;

 private:
  std::string owned_;
};

inline double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Peak resident memory of the process (VmHWM) since the last ResetPeakMemory, in MiB.
inline void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
inline double PeakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("VmHWM:")) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

// Runs `insertSql` (one prepared INSERT with markers) once per row; `bind` binds row r's
// values. The caller owns the transaction. False at the first failure.
inline bool SqliteInsertRows(sqlite3* db, const std::string& insertSql, long rows,
                             const std::function<void(long, sqlite3_stmt*)>& bind) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, insertSql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
  bool ok = true;
  for (long r = 0; ok && r < rows; ++r) {
    bind(r, stmt);
    ok = sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  return ok;
}

// Runs `copySql` ("COPY t (...) FROM STDIN") and sends one text-format line per row;
// `append` appends row r's line, LF included. False when the server refused.
inline bool CopyRows(PGconn* pg, const std::string& copySql, long rows,
                     const std::function<void(long, std::string&)>& append) {
  PGresult* res = PQexec(pg, copySql.c_str());
  const bool started = PQresultStatus(res) == PGRES_COPY_IN;
  PQclear(res);
  if (!started) return false;
  std::string buffer;
  for (long r = 0; r < rows; ++r) {
    append(r, buffer);
    if (buffer.size() > (1 << 16)) {
      PQputCopyData(pg, buffer.data(), static_cast<int>(buffer.size()));
      buffer.clear();
    }
  }
  PQputCopyData(pg, buffer.data(), static_cast<int>(buffer.size()));
  PQputCopyEnd(pg, nullptr);
  res = PQgetResult(pg);
  const bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
  PQclear(res);
  while ((res = PQgetResult(pg)) != nullptr) PQclear(res);
  return ok;
}

}  // namespace kvt::bench
