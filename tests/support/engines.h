// Database tests run on every engine we support: the embedded file engine (SQLite, opened
// by the file method) and PostgreSQL (opened by the ODBC method). A test derives from
// EngineTest, uses TEST_P, and ends with KVT_INSTANTIATE_ENGINES(Suite):
//
//   class TableTest : public kvt::test::EngineTest {};
//   TEST_P(TableTest, StoresNullForEmptyText) { kvt::db::Table t(&db(), "x"); ... }
//   KVT_INSTANTIATE_ENGINES(TableTest);
//
// Each test gets a fresh, empty database. PostgreSQL comes from the server started by the
// test script (environment KVT_TEST_PG_DSN); without it the PostgreSQL runs are skipped,
// unless KVT_REQUIRE_PG is set, in which case they fail.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "platform/scripted_ui.h"

namespace kvt::test {

enum class TestEngine { Sqlite, Postgres };

std::string EngineName(const ::testing::TestParamInfo<TestEngine>& info);

// Every row of a query as one text per row, columns joined by "|", NULL as "NULL", trailing
// blanks of each value removed (PostgreSQL pads CHAR columns) and a whole double written
// without ".0" (the engines differ there). Fails the test when the query does not run.
std::vector<std::string> QueryRows(db::Database& db, const std::string& sql, int columns);

// A fresh temporary directory for the current test, removed at the end of the process.
std::string TempDir();

class EngineTest : public ::testing::TestWithParam<TestEngine> {
 protected:
  void SetUp() override;
  void TearDown() override;

  TestEngine engine() const { return GetParam(); }
  bool IsPostgres() const { return GetParam() == TestEngine::Postgres; }

  // The open database of this test (connected, empty).
  db::Database& db() { return *db_; }
  // Closes and opens the same database again (a new connection), e.g. to check that data
  // was committed. The Ui is the test's `ui`.
  db::Database& Reopen();
  // Opens a second, independent connection to the same database.
  std::unique_ptr<db::Database> Connect();
  // What to pass to Database::ConnectOdbc or OpenFile to reach this test's database.
  const std::string& Target() const { return target_; }

  // Executes SQL and fails the test when it does not succeed.
  void Exec(const std::string& sql);
  // The single integer a query yields (e.g. "SELECT COUNT(*) FROM t"); -1 on error.
  long long QueryInt(const std::string& sql);
  // Every row of a query as QueryRows gives it, on this test's database.
  std::vector<std::string> Rows(const std::string& sql, int columns);

  kvt::ScriptedUi ui;

 private:
  std::unique_ptr<db::Database> db_;
  std::string target_;
  std::string pgDatabase_;  // PostgreSQL: the database created for this test
};

}  // namespace kvt::test

#define KVT_INSTANTIATE_ENGINES(Suite)                                                       \
  INSTANTIATE_TEST_SUITE_P(                                                                  \
      Engines, Suite,                                                                        \
      ::testing::Values(::kvt::test::TestEngine::Sqlite, ::kvt::test::TestEngine::Postgres), \
      ::kvt::test::EngineName)
