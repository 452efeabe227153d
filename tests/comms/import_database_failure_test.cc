// An import that meets a failure of the database itself (disk full, database read-only,
// database held by another connection) ends at the first failed write with one message that
// names the cause, rolls back, and is reported as failed; on both engines.
#include <gtest/gtest.h>

#include <numeric>

#include "comms/import.h"
#include "import_fixture.h"
#include "platform/scripted_ui.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;

class DatabaseFailureTest : public CommsDbTest {
 protected:
  // Company 101 with trips 1-2 running every day of March 2010.
  void SetUp() override {
    CommsDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Communication c = Plan(1);
    AddNetwork(c);
    for (int32_t trip : {1, 2}) {
      AddTrip(c, trip);
      c.days.push_back(Month(trip, 2010, 3, EveryDay()));
    }
    ASSERT_TRUE(Import(Write(c, "base.txt")));
    before_ = TableCounts();
    ASSERT_EQ(before_.back(), 62);
  }

  static std::vector<int> EveryDay() {
    std::vector<int> march(31);
    std::iota(march.begin(), march.end(), 1);
    return march;
  }

  // A replacing plan (every day of March goes) bringing `trips` new trips that run every
  // day of March: thousands of day rows, far more than a few pages of the file.
  std::string Replacement(int trips) {
    Communication c = Plan(2);
    c.protocol.azzera = true;
    for (int32_t trip = 3; trip < 3 + trips; ++trip) {
      AddTrip(c, trip);
      c.days.push_back(Month(trip, 2010, 3, EveryDay()));
    }
    return Write(c, "replace.txt");
  }

  // The import failed with exactly the database's message, starting with `start` and naming
  // the cause, and the closing one; nothing changed.
  void ExpectEndedByOneMessage(const std::string& start, const std::string& cause) {
    ASSERT_EQ(ui.Texts().size(), 2u) << ::testing::PrintToString(ui.Texts());
    EXPECT_EQ(ui.Texts()[0].rfind(start, 0), 0u) << ui.Texts()[0];
    EXPECT_NE(ui.Texts()[0].find(cause), std::string::npos) << ui.Texts()[0];
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    EXPECT_EQ(ui.Texts()[1], kImportAbortedMessage);
  }

  std::vector<long long> before_;
};

TEST_P(DatabaseFailureTest, FullDiskEndsTheImportAtTheFirstFailedWrite) {
  if (IsPostgres()) {
    // The server's own report of a full disk, raised by the first write of the days.
    Exec("CREATE FUNCTION kvt_disk_full() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION "
         "'could not extend file: No space left on device' USING ERRCODE = '53100'; END $$ "
         "LANGUAGE plpgsql");
    Exec("CREATE TRIGGER kvt_full BEFORE INSERT ON giorni FOR EACH STATEMENT EXECUTE "
         "FUNCTION kvt_disk_full()");
  } else {
    // The file may not grow by more than a couple of pages: SQLite's own "disk full".
    const long long pages = QueryInt("PRAGMA page_count");
    // (Read as a query: the driver runs a statement with a result only when it is fetched.)
    ASSERT_EQ(QueryInt("PRAGMA max_page_count = " + std::to_string(pages + 2)), pages + 2);
  }
  EXPECT_FALSE(Import(Replacement(400)));
  // One message for the block that failed (no retry of its rows one by one, no message per
  // block after it), then the closing one.
  ExpectEndedByOneMessage("Errore aggiornamento tavola (",
                          IsPostgres() ? "No space left on device" : "database or disk is full");
  if (IsPostgres()) Exec("DROP TRIGGER kvt_full ON giorni");
  if (!IsPostgres()) QueryInt("PRAGMA max_page_count = 1073741823");
  // The running days deleted before the failure are back, nothing of the plan stayed.
  EXPECT_EQ(TableCounts(), before_);
  EXPECT_EQ(Count("giorni", "azienda = 101"), 62);
  // With room again, the same file imports.
  EXPECT_TRUE(Import(Replacement(400)));
  EXPECT_EQ(Count("giorni"), 400 * 31);
}

TEST_P(DatabaseFailureTest, ReadOnlyDatabaseEndsTheImportWithOneMessage) {
  // The connection may read but not write, as on a file or folder without write rights.
  Exec(IsPostgres() ? "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"
                    : "PRAGMA query_only = ON");
  EXPECT_FALSE(Import(Replacement(3)));
  ASSERT_FALSE(ui.Texts().empty());
  EXPECT_NE(ui.Texts()[0].find(IsPostgres() ? "read-only transaction" : "readonly database"),
            std::string::npos)
      << ui.Texts()[0];
  ASSERT_EQ(ui.Texts().size(), 2u) << ::testing::PrintToString(ui.Texts());
  EXPECT_EQ(ui.Texts()[1], kImportAbortedMessage);
  Exec(IsPostgres() ? "SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE"
                    : "PRAGMA query_only = OFF");
  EXPECT_EQ(TableCounts(), before_);
}

TEST_P(DatabaseFailureTest, DatabaseHeldByAnotherConnectionIsRefusedWithOneMessage) {
  std::unique_ptr<db::Database> other = Connect();
  ASSERT_TRUE(other && other->IsConnected());
  if (IsPostgres()) {
    // Another command writes the communications; this one gives up its wait soon.
    ASSERT_TRUE(other->Begin());
    ASSERT_TRUE(other->ExecuteSql("LOCK TABLE proto IN EXCLUSIVE MODE"))
        << other->LastError().text;
    Exec("SET lock_timeout = '300ms'");
  } else {
    // Another import holds the file's write lock; this one waits a short time, not 10 s.
    ASSERT_TRUE(other->Begin());
    db::Database::OverrideSqliteBusyTimeout(300);
    Reopen();
    db::Database::OverrideSqliteBusyTimeout(std::nullopt);
  }
  EXPECT_FALSE(Import(Replacement(3)));
  if (IsPostgres()) {
    ExpectEndedByOneMessage("Errore aggiornamento tavola (proto)\n\n", "lock timeout");
  } else {
    // Refused before anything was written, with the reason and the way out.
    ExpectEndedByOneMessage(
        "Il database è in uso da un'altra operazione (un'altra importazione, ad esempio) e non "
        "può essere modificato ora: riprovare al suo termine.\n\n",
        "database is locked");
  }
  other->Rollback();
  EXPECT_EQ(TableCounts(), before_);
  if (IsPostgres()) Exec("SET lock_timeout = 0");
  EXPECT_TRUE(Import(Replacement(3)));
  EXPECT_EQ(Count("giorni"), 3 * 31);
}

KVT_INSTANTIATE_ENGINES(DatabaseFailureTest);

}  // namespace
}  // namespace kvt::comms::test
