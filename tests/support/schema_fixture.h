// A database with the whole application schema and its seed rows (companies 101.., the
// authorities 1..5), on each engine: on SQLite created the way users create one.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "schema/init.h"
#include "support/engines.h"

namespace kvt::test {

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
};

}  // namespace kvt::test
