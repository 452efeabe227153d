#include "support/engines.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "db/file_engine.h"
#include "db/odbc.h"
#include "db/rows.h"

namespace kvt::test {

namespace {

// The temporary directories of this process, removed when it ends.
class TempRoot {
 public:
  ~TempRoot() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }
  std::string DirFor(const std::string& test) {
    auto found = dirs_.find(test);
    if (found != dirs_.end()) return found->second;
    if (root_.empty()) {
      std::string pattern = (std::filesystem::temp_directory_path() / "kvt-tests.XXXXXX").string();
      if (!mkdtemp(pattern.data())) return {};
      root_ = pattern;
    }
    std::string dir = root_ + "/t" + std::to_string(dirs_.size());
    std::filesystem::create_directories(dir);
    dirs_[test] = dir;
    return dir;
  }

 private:
  std::string root_;
  std::map<std::string, std::string> dirs_;
};

TempRoot& Temp() {
  static TempRoot root;
  return root;
}

const char* PgDsn() {
  const char* dsn = std::getenv("KVT_TEST_PG_DSN");
  return dsn && *dsn ? dsn : nullptr;
}

// One connection to the test server's maintenance database, for creating and dropping the
// databases of the tests. Each test gets a database of its own, named after this process,
// so that test programs running side by side never meet.
db::Database* Maintenance() {
  static ScriptedUi ui;
  static std::unique_ptr<db::Database> db;
  if (!db) db = db::Database::ConnectOdbc(ui, PgDsn(), nullptr, 25, 1);
  return db && db->IsConnected() ? db.get() : nullptr;
}

std::string NewPgDatabaseName() {
  static std::atomic<int> counter{0};
  return "kvt_t" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

}  // namespace

std::string EngineName(const ::testing::TestParamInfo<TestEngine>& info) {
  return info.param == TestEngine::Sqlite ? "Sqlite" : "Postgres";
}

std::string TempDir() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string key =
      test ? std::string(test->test_suite_name()) + "." + test->name() : std::string("global");
  return Temp().DirFor(key);
}

void EngineTest::SetUp() {
  if (engine() == TestEngine::Sqlite) {
    target_ = TempDir() + "/test.db";
    db::FileEngine files;
    ASSERT_TRUE(files.Create(target_)) << files.LastError().text;
    db_ = db::Database::OpenFile(ui, target_);
  } else {
    if (!PgDsn()) {
      if (std::getenv("KVT_REQUIRE_PG")) FAIL() << "KVT_TEST_PG_DSN is not set";
      GTEST_SKIP() << "no PostgreSQL server (KVT_TEST_PG_DSN unset)";
    }
    db::Database* maintenance = Maintenance();
    ASSERT_NE(maintenance, nullptr) << "cannot reach the PostgreSQL test server";
    pgDatabase_ = NewPgDatabaseName();
    ASSERT_TRUE(maintenance->ExecuteSql("CREATE DATABASE " + pgDatabase_))
        << maintenance->LastError().text;
    target_ = std::string("DSN=") + PgDsn() + ";Database=" + pgDatabase_;
    db_ = db::Database::ConnectOdbc(ui, target_, nullptr, 25, 1);
  }
  ASSERT_TRUE(db_ && db_->IsConnected()) << ::testing::PrintToString(ui.Texts());
}

void EngineTest::TearDown() {
  db::FailReadAfterRowsForTesting(-1);  // a failure a test armed and did not meet stays there
  db_.reset();
  if (pgDatabase_.empty()) return;
  if (db::Database* maintenance = Maintenance()) {
    EXPECT_TRUE(maintenance->ExecuteSql("DROP DATABASE IF EXISTS " + pgDatabase_ + " WITH (FORCE)"))
        << maintenance->LastError().text;
  }
  pgDatabase_.clear();
}

db::Database& EngineTest::Reopen() {
  db_.reset();
  db_ = Connect();
  return *db_;
}

std::unique_ptr<db::Database> EngineTest::Connect() {
  if (engine() == TestEngine::Sqlite) return db::Database::OpenFile(ui, target_);
  return db::Database::ConnectOdbc(ui, target_, nullptr, 25, 1);
}

void EngineTest::Exec(const std::string& sql) {
  EXPECT_TRUE(db_->ExecuteSql(sql)) << sql << "\n" << db_->LastError().text;
}

long long EngineTest::QueryInt(const std::string& sql) {
  db::OdbcStatement stmt(*db_->connection());
  if (!stmt.ExecDirect(sql) || stmt.Fetch() != SQL_SUCCESS) return -1;
  SQLBIGINT value = 0;
  SQLLEN indicator = 0;
  if (!db::Ok(SQLGetData(stmt.handle(), 1, SQL_C_SBIGINT, &value, 0, &indicator)) ||
      indicator == SQL_NULL_DATA)
    return -1;
  return value;
}

std::vector<std::string> EngineTest::Rows(const std::string& sql, int columns) {
  return QueryRows(*db_, sql, columns);
}

std::vector<std::string> QueryRows(db::Database& db, const std::string& sql, int columns) {
  std::vector<std::string> rows;
  db::OdbcStatement stmt(*db.connection());
  EXPECT_TRUE(stmt.ExecDirect(sql)) << sql << "\n" << stmt.LastError().text;
  while (stmt.Fetch() == SQL_SUCCESS) {
    std::string row;
    for (int c = 1; c <= columns; ++c) {
      std::string value;
      bool isNull = false;
      EXPECT_TRUE(db::GetDataBytes(stmt, c, SQL_C_CHAR, value, isNull));
      while (!value.empty() && value.back() == ' ') value.pop_back();
      if (value.size() > 2 && value.ends_with(".0") &&
          value.find_first_not_of("-0123456789") == value.size() - 2)
        value.resize(value.size() - 2);
      row += (c > 1 ? "|" : "") + (isNull ? std::string("NULL") : value);
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace kvt::test
