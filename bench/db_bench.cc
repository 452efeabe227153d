// Database layer benchmark: inserts N timetable rows shaped like `orari` through Table bulk
// mode and reads them back through a Selection, on an SQLite file (file method) and on
// PostgreSQL (ODBC method), and measures in the same run each engine's own fastest path
// for the same rows (SQLite: C API, one prepared INSERT, one transaction; PostgreSQL: COPY
// through libpq). Prints rows/s, the ratios and the peak memory of the read. SQLite runs
// twice: on the layer's direct path to the driver's connection, and on the ODBC path
// (KVT_SQLITE_NATIVE=0), unless --sqlite-path picks one.
//
//   db_bench [--rows N] [--rowset R] [--dsn DSN] [--pg CONNINFO] [--dir DIR]
//            [--only sqlite|pg] [--sqlite-path both|native|odbc]
//
// The DSN defaults to $KVT_TEST_PG_DSN (without one PostgreSQL is left out); CONNINFO, the
// libpq parameters of the same server for COPY, to the server of scripts/start-postgres.
#include <libpq-fe.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "db/database.h"
#include "db/file_engine.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/scripted_ui.h"

namespace {

using kvt::bench::PeakMemoryMiB;
using kvt::bench::ResetPeakMemory;
using kvt::bench::Seconds;
using kvt::db::Database;

struct Options {
  long rows = 1000000;
  unsigned rowset = 25;
  std::string dsn;
  std::string dir;
  std::string only;
  std::string sqlitePath = "both";
  std::string pgConnInfo;  // libpq parameters of the same server, for COPY
};

const char* kColumns[] = {"azienda", "ID",    "sub",      "protoc", "fermata", "hh",
                          "mm",      "sosta", "primaria", "facolt", "nonferma"};
constexpr int kColumnCount = 11;

// The values of row r: 50 stops per trip, times spread over the day.
void RowValues(long r, int (&v)[kColumnCount]) {
  const long trip = r / 50;
  v[0] = static_cast<int>(1 + trip % 7);
  v[1] = static_cast<int>(trip);
  v[2] = static_cast<int>(r % 50);
  v[3] = static_cast<int>(100 + trip % 13);
  v[4] = static_cast<int>(10000 + r % 4000);
  v[5] = static_cast<int>(r % 24);
  v[6] = static_cast<int>(r % 60);
  v[7] = static_cast<int>(r % 3);
  v[8] = static_cast<int>(r % 2);
  v[9] = static_cast<int>(r % 5 == 0);
  v[10] = 0;
}

std::string CreateOrari(const std::string& table) {
  return "CREATE TABLE " + table +
         " (azienda SMALLINT NOT NULL, ID INTEGER NOT NULL, sub SMALLINT NOT NULL, protoc "
         "INTEGER NOT NULL, fermata INTEGER NOT NULL, hh SMALLINT NOT NULL, mm SMALLINT NOT "
         "NULL, sosta SMALLINT NOT NULL, primaria SMALLINT NOT NULL, facolt SMALLINT NOT NULL, "
         "nonferma SMALLINT NOT NULL, CONSTRAINT " +
         table + "_codice PRIMARY KEY (azienda, ID, sub))";
}

// Writes every row through Table bulk mode, inside one transaction, as the importer does.
bool InsertThroughTable(Database& db, long rows) {
  if (!db.Begin()) return false;
  kvt::db::Table table(&db, "orari", true);
  if (!table.IsOpen()) return false;
  int columns[kColumnCount];
  for (int c = 0; c < kColumnCount; ++c) columns[c] = table.ColumnIndex(kColumns[c]);
  long written = 0;
  int v[kColumnCount];
  for (long r = 0; r < rows; ++r) {
    RowValues(r, v);
    bool set = table.AddNew();
    for (int c = 0; c < kColumnCount; ++c)
      set = table.SetFieldText(columns[c], std::to_string(v[c])) && set;
    if (!set || (!table.Update() && !table.LastError().RowRefused())) return false;
    written += table.RowsWritten();
  }
  if (!table.Flush() && !table.LastError().RowRefused()) return false;
  written += table.RowsWritten();
  return db.Commit() && written == rows;
}

// Reads every row through a Selection; returns the rows read.
long ReadThroughSelection(Database& db, long long& checksum) {
  kvt::db::Selection s(&db);
  const int types[kColumnCount] = {
      kvt::db::kSqlSmallInt, kvt::db::kSqlInteger,  kvt::db::kSqlSmallInt, kvt::db::kSqlInteger,
      kvt::db::kSqlInteger,  kvt::db::kSqlSmallInt, kvt::db::kSqlSmallInt, kvt::db::kSqlSmallInt,
      kvt::db::kSqlSmallInt, kvt::db::kSqlSmallInt, kvt::db::kSqlSmallInt};
  for (int c = 0; c < kColumnCount; ++c) s.AddColumn("orari", kColumns[c], types[c]);
  s.SetFrom("orari");
  long rows = 0;
  kvt::db::Fetch f = s.Open();
  for (; f == kvt::db::Fetch::Row; f = s.MoveNext(), ++rows)
    checksum += s.GetShort(0) + s.GetLong(1) + s.GetShort(2) + s.GetLong(4) + s.GetShort(6);
  return f == kvt::db::Fetch::End ? rows : -1;
}

void Report(const char* what, long rows, double seconds) {
  std::printf("  %-44s %9.0f rows/s  (%.2f s)\n", what, rows / seconds, seconds);
}

// --- SQLite ---------------------------------------------------------------------------

bool NativeSqliteInsert(const std::string& path, long rows) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(db, sqlite3_close);
  sqlite3_exec(db, CreateOrari("orari").c_str(), nullptr, nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  const bool ok = kvt::bench::SqliteInsertRows(
      db, "INSERT INTO orari VALUES (?,?,?,?,?,?,?,?,?,?,?)", rows, [](long r, sqlite3_stmt* stmt) {
        int v[kColumnCount];
        RowValues(r, v);
        for (int c = 0; c < kColumnCount; ++c) sqlite3_bind_int(stmt, c + 1, v[c]);
      });
  return ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

long NativeSqliteRead(const std::string& path, long long& checksum) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(db, sqlite3_close);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT azienda, ID, sub, protoc, fermata, hh, mm, sosta, primaria, "
                     "facolt, nonferma FROM orari",
                     -1, &stmt, nullptr);
  long rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    checksum += sqlite3_column_int(stmt, 0) + sqlite3_column_int(stmt, 1) +
                sqlite3_column_int(stmt, 2) + sqlite3_column_int(stmt, 4) +
                sqlite3_column_int(stmt, 6);
    ++rows;
  }
  sqlite3_finalize(stmt);
  return rows;
}

void BenchSqlitePath(const Options& o, bool direct) {
  // Read by the layer when it connects.
  setenv("KVT_SQLITE_NATIVE", direct ? "1" : "0", 1);
  std::printf("SQLite %s (file method, %ld rows, %s)\n", kvt::db::EngineVersion().c_str(), o.rows,
              direct ? "SQLite library path" : "ODBC driver path, KVT_SQLITE_NATIVE=0");
  const std::string native = o.dir + "/native.db", layer = o.dir + "/layer.db";
  std::filesystem::remove(native);
  std::filesystem::remove(layer);
  bool ok = true;
  const double tNative = Seconds([&] { ok = NativeSqliteInsert(native, o.rows); });
  if (!ok) std::printf("  native insert FAILED\n");
  Report("insert, C API (one prepared INSERT)", o.rows, tNative);

  kvt::ScriptedUi ui;
  ui.echo = true;
  kvt::db::FileEngine files;
  if (!files.Create(layer)) std::printf("  %s\n", files.LastError().text.c_str());
  auto db = Database::OpenFile(ui, layer);
  if (!db->ExecuteSql(CreateOrari("orari"))) std::printf("  %s\n", db->LastError().text.c_str());
  const double tLayer = Seconds([&] { ok = InsertThroughTable(*db, o.rows); });
  if (!ok) std::printf("  Table insert FAILED\n");
  Report("insert, Table bulk mode", o.rows, tLayer);
  std::printf("  ratio Table / native insert time: %.2f (goal <= 2)\n", tLayer / tNative);

  long long sumNative = 0, sumLayer = 0;
  long readNative = 0, readLayer = 0;
  const double tReadNative = Seconds([&] { readNative = NativeSqliteRead(layer, sumNative); });
  Report("read, C API", readNative, tReadNative);
  ResetPeakMemory();
  const double before = PeakMemoryMiB();
  const double tRead = Seconds([&] { readLayer = ReadThroughSelection(*db, sumLayer); });
  Report("read, Selection", readLayer, tRead);
  std::printf("  read rows %ld, checksum %s, peak memory of the read %.1f MiB (before %.1f)\n",
              readLayer, sumLayer == sumNative ? "equal" : "DIFFERENT", PeakMemoryMiB(), before);
  std::printf("  ratio Selection / native read time: %.2f (goal: >= 500000 rows/s)\n\n",
              tRead / tReadNative);
}

void BenchSqlite(const Options& o) {
  const char* old = std::getenv("KVT_SQLITE_NATIVE");
  const std::string saved = old ? old : "";
  if (o.sqlitePath != "odbc") BenchSqlitePath(o, true);
  if (o.sqlitePath != "native") BenchSqlitePath(o, false);
  if (old)
    setenv("KVT_SQLITE_NATIVE", saved.c_str(), 1);
  else
    unsetenv("KVT_SQLITE_NATIVE");
}

// --- PostgreSQL -------------------------------------------------------------------------

bool NativeCopy(PGconn* pg, long rows) {
  PQclear(PQexec(pg, "DROP TABLE IF EXISTS orari_copy"));
  PQclear(PQexec(pg, CreateOrari("orari_copy").c_str()));
  const bool ok =
      kvt::bench::CopyRows(pg, "COPY orari_copy FROM STDIN", rows, [](long r, std::string& out) {
        int v[kColumnCount];
        RowValues(r, v);
        for (int c = 0; c < kColumnCount; ++c) {
          out += std::to_string(v[c]);
          out += c + 1 < kColumnCount ? '\t' : '\n';
        }
      });
  PQclear(PQexec(pg, "DROP TABLE orari_copy"));
  return ok;
}

// The server's own fastest read: COPY TO STDOUT through libpq, each line parsed.
long NativeCopyRead(PGconn* pg, long long& checksum) {
  PGresult* res = PQexec(pg, "COPY orari TO STDOUT");
  const bool started = PQresultStatus(res) == PGRES_COPY_OUT;
  PQclear(res);
  if (!started) return 0;
  long rows = 0;
  char* line = nullptr;
  while (PQgetCopyData(pg, &line, 0) > 0) {
    long v[kColumnCount] = {};
    char* p = line;
    for (int c = 0; c < kColumnCount; ++c) v[c] = std::strtol(p, &p, 10), ++p;
    checksum += v[0] + v[1] + v[2] + v[4] + v[6];
    ++rows;
    PQfreemem(line);
  }
  while ((res = PQgetResult(pg)) != nullptr) PQclear(res);
  return rows;
}

// psqlODBC alone, with the connection options our layer sets: bound columns, row arrays of
// `arrayRows`, no layer of ours. The floor for any read through ODBC.
long DriverOnlyRead(const std::string& dsn, SQLULEN arrayRows, long long& checksum) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string in = "DSN=" + dsn + ";UseDeclareFetch=1;Fetch=10000";
  long rows = 0;
  if (SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS,
                                     nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    std::vector<SQLINTEGER> values(arrayRows * kColumnCount);
    std::vector<SQLLEN> indicators(arrayRows * kColumnCount);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(arrayRows), 0);
    SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    for (int c = 0; c < kColumnCount; ++c)
      SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_SLONG, &values[c * arrayRows],
                 sizeof(SQLINTEGER), &indicators[c * arrayRows]);
    std::string sql =
        "SELECT azienda, ID, sub, protoc, fermata, hh, mm, sosta, primaria, facolt, nonferma "
        "FROM orari";
    if (SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS))) {
      while (SQL_SUCCEEDED(SQLFetch(stmt)))
        for (SQLULEN r = 0; r < fetched; ++r, ++rows)
          checksum += values[r] + values[arrayRows + r] + values[2 * arrayRows + r] +
                      values[4 * arrayRows + r] + values[6 * arrayRows + r];
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return rows;
}

void BenchPostgres(const Options& o) {
  kvt::ScriptedUi ui;
  ui.echo = true;
  auto db = Database::ConnectOdbc(ui, o.dsn, nullptr, o.rowset, 1);
  if (!db->IsConnected()) return;
  std::printf("PostgreSQL %s (ODBC method, DSN %s, rowset %u, %ld rows)\n",
              db->DbmsVersion().c_str(), o.dsn.c_str(), o.rowset, o.rows);
  PGconn* pg = PQconnectdb(o.pgConnInfo.c_str());
  std::unique_ptr<PGconn, decltype(&PQfinish)> guard(pg, PQfinish);
  if (PQstatus(pg) != CONNECTION_OK) {
    std::printf("  libpq: %s", PQerrorMessage(pg));
    return;
  }
  bool ok = true;
  const double tCopy = Seconds([&] { ok = NativeCopy(pg, o.rows); });
  if (!ok) std::printf("  COPY FAILED: %s", PQerrorMessage(pg));
  Report("insert, libpq COPY", o.rows, tCopy);

  (void)db->ExecuteSql("DROP TABLE IF EXISTS orari");  // none yet is fine
  if (!db->ExecuteSql(CreateOrari("orari"))) std::printf("  %s\n", db->LastError().text.c_str());
  const double tLayer = Seconds([&] { ok = InsertThroughTable(*db, o.rows); });
  if (!ok) std::printf("  Table insert FAILED\n");
  Report("insert, Table bulk mode", o.rows, tLayer);
  std::printf("  ratio Table / COPY insert time: %.2f (goal <= 3)\n", tLayer / tCopy);

  long long sumCopy = 0, sumDriver = 0, sum = 0;
  long readCopy = 0, readDriver = 0, read = 0;
  const double tCopyRead = Seconds([&] { readCopy = NativeCopyRead(pg, sumCopy); });
  Report("read, libpq COPY TO", readCopy, tCopyRead);
  const double tDriver = Seconds([&] { readDriver = DriverOnlyRead(o.dsn, 1000, sumDriver); });
  Report("read, psqlODBC alone (arrays of 1000)", readDriver, tDriver);
  ResetPeakMemory();
  const double before = PeakMemoryMiB();
  const double tRead = Seconds([&] { read = ReadThroughSelection(*db, sum); });
  Report("read, Selection", read, tRead);
  std::printf("  read rows %ld, checksum %s, peak memory of the read %.1f MiB (before %.1f)\n",
              read, sum == sumCopy && sum == sumDriver ? "equal" : "DIFFERENT", PeakMemoryMiB(),
              before);
  std::printf(
      "  ratio Selection / COPY TO read time: %.2f, Selection / psqlODBC alone: %.2f "
      "(goal: >= 500000 rows/s)\n\n",
      tRead / tCopyRead, tRead / tDriver);
  (void)db->ExecuteSql("DROP TABLE orari");  // a leftover is dropped by the next run
}

Options Parse(int argc, char** argv) {
  Options o;
  if (const char* dsn = std::getenv("KVT_TEST_PG_DSN")) o.dsn = dsn;
  o.pgConnInfo = "host=127.0.0.1 user=postgres dbname=kvt";
  if (const char* port = std::getenv("KVT_TEST_PG_PORT"))
    o.pgConnInfo += std::string(" port=") + port;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--rows")
      o.rows = std::atol(value.c_str());
    else if (key == "--rowset")
      o.rowset = static_cast<unsigned>(std::atoi(value.c_str()));
    else if (key == "--dsn")
      o.dsn = value;
    else if (key == "--dir")
      o.dir = value;
    else if (key == "--only")
      o.only = value;
    else if (key == "--pg")
      o.pgConnInfo = value;
    else if (key == "--sqlite-path")
      o.sqlitePath = value;
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = Parse(argc, argv);
  const kvt::bench::WorkDir work(o.dir, "kvt-bench");
  if (work.path.empty()) return 1;
  o.dir = work.path;
  if (o.only.empty() || o.only == "sqlite") BenchSqlite(o);
  if ((o.only.empty() || o.only == "pg") && !o.dsn.empty()) BenchPostgres(o);
  if (o.dsn.empty()) std::printf("PostgreSQL left out: no --dsn and no KVT_TEST_PG_DSN\n");
  return 0;
}
