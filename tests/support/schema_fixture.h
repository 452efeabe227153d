// A database with the whole application schema and its seed rows (companies 101.., the
// authorities 1..5), on each engine: on SQLite created the way users create one.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "db/table.h"
#include "schema/init.h"
#include "support/engines.h"

namespace kvt::test {

// A row as (column, value) pairs.
using Row = std::vector<std::pair<std::string, std::string>>;

class SchemaTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (IsPostgres()) {
      ASSERT_TRUE(schema::InitialiseDatabase(db()));
    } else {
      // The fixture's empty file makes way for a database created as users create one.
      std::filesystem::remove(Target());
      ASSERT_TRUE(schema::CreateDatabase(ui, Target()));
      Reopen();
    }
    ASSERT_TRUE(db().IsConnected());
    ui.Clear();
  }

  // Adds a row through the program's own table writer, each value given as the user types it.
  void AddRow(const std::string& table, const Row& row) {
    db::Table t(&db(), table);
    ASSERT_TRUE(t.AddNew());
    for (const auto& [column, value] : row) ASSERT_TRUE(t.SetFieldText(column, value)) << column;
    ASSERT_TRUE(t.Update()) << table << ": " << ::testing::PrintToString(ui.Texts());
  }
};

}  // namespace kvt::test
