// Writing is all or nothing: an import, a rebuild or an orphan removal that fails (a read
// that fails, a table that cannot be opened, a full disk, a read-only or locked database) or
// dies half-way leaves the database exactly as it was and says why once, on both engines.
// A failed read is never taken for the end of the rows.
#include <gtest/gtest.h>

#include <numeric>

#include "comms/import.h"
#include "comms/rebuild.h"
#include "import_fixture.h"
#include "schema/ardelio.h"

namespace kvt::comms::test {
namespace {

std::vector<int> EveryDayOfMarch() {
  std::vector<int> march(31);
  std::iota(march.begin(), march.end(), 1);
  return march;
}

class AllOrNothingTest : public CommsDbTest {
 protected:
  // Company 101 with trips 1-2 running every day of March 2010.
  void SetUp() override {
    CommsDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Communication c = Plan(1);
    AddNetwork(c);
    for (int32_t trip : {1, 2}) {
      AddTrip(c, trip);
      c.days.push_back(Month(trip, 2010, 3, EveryDayOfMarch()));
    }
    ASSERT_TRUE(Import(Write(c, "base.txt")));
    before_ = TableCounts();
    ASSERT_EQ(before_.back(), 62);
  }

  // A replacing plan (every day of March goes) bringing `trips` new trips from trip 3 on,
  // running every day of March; with one trip, only on the 1st and 2nd.
  std::string Replacement(int trips = 1) {
    Communication c = Plan(2);
    c.protocol.azzera = true;
    for (int32_t trip = 3; trip < 3 + trips; ++trip) {
      AddTrip(c, trip);
      c.days.push_back(Month(trip, 2010, 3, trips == 1 ? std::vector<int>{1, 2} : EveryDayOfMarch()));
    }
    return Write(c, "replace.txt");
  }

  std::function<void()> Rename(const std::string& from, const std::string& to) {
    return [this, from, to] { Exec("ALTER TABLE " + from + " RENAME TO " + to); };
  }

  bool ImportWith(const std::string& path) {
    ui.Clear();
    steps.defaultAnswer = MsgResult::Cancel;
    steps.QueueFile(path);
    return ImportCommunication(db(), steps);
  }

  // The database's Ui got one message, the failed read's, naming the table; the command's
  // Ui the closing one. A DeleteSelection words its read's failure alike on both methods.
  void ExpectReadFailure(const std::string& table, std::string_view closing,
                         bool deleting = false) {
    EXPECT_EQ(steps.Texts(), std::vector<std::string>{std::string(closing)});
    ASSERT_EQ(ui.Texts().size(), 1u) << ::testing::PrintToString(ui.Texts());
    const std::string read = ui.Texts()[0];
    EXPECT_TRUE(read.starts_with(IsPostgres() || deleting ? "Errore estrazione Select SQL\n\n"
                                                          : "Errore sintassi SQL\n\n"))
        << read;
    EXPECT_NE(read.find(table), std::string::npos) << read;
  }

  // The import failed with exactly the database's message, starting with `start` and naming
  // the cause, and the closing one.
  void ExpectEndedByOneMessage(const std::string& start, const std::string& cause) {
    ASSERT_EQ(ui.Texts().size(), 2u) << ::testing::PrintToString(ui.Texts());
    EXPECT_EQ(ui.Texts()[0].rfind(start, 0), 0u) << ui.Texts()[0];
    EXPECT_NE(ui.Texts()[0].find(cause), std::string::npos) << ui.Texts()[0];
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    EXPECT_EQ(ui.Texts()[1], kImportAbortedMessage);
  }

  StepUi steps;
  std::vector<long long> before_;
};

TEST_P(AllOrNothingTest, RebuildStopsWhenItsCommunicationsOrMonthsCannotBeRead) {
  // Read after the days of the company were deleted: taken for "no communications" or "no
  // months", the rebuild would commit a company without running days.
  for (const char* table : {"proto", "mesi"}) {
    SCOPED_TRACE(table);
    steps.Clear();
    ui.Clear();
    steps.at.clear();
    steps.at["Determinazione Giorni Effettuazione"] = Rename(table, std::string(table) + "_away");
    RebuildResult result;
    EXPECT_FALSE(RebuildRunningDays(db(), steps, kCompany, result));
    ExpectReadFailure(table, kRebuildAbortedMessage);
    EXPECT_EQ(result.deleted, 0);
    EXPECT_EQ(TableCounts(), before_);  // the rename went with the rollback
  }
}

TEST_P(AllOrNothingTest, ImportStopsWhenTheObsoleteDaysOrTheKnownIdentifiersCannotBeRead) {
  // Taken for "nothing to delete", the import would keep every day the plan replaces.
  steps.at["Pulizia Giorni Effettuazione Obsoleti"] = Rename("giorni", "giorni_away");
  steps.at["Inserimento Giorni Effettuazione"] = Rename("giorni_away", "giorni");
  EXPECT_FALSE(ImportWith(Replacement()));
  ExpectReadFailure("giorni", kImportAbortedMessage, /*deleting=*/true);
  EXPECT_EQ(TableCounts(), before_);

  // Read by the check before anything is written: taken for "no trips yet", an import would
  // not be told of the trips it repeats.
  steps.Clear();
  steps.at.clear();
  steps.at["Recupero Corse Precedenti"] = Rename("corse", "corse_away");
  bool renamedBack = false;
  steps.at["Inserimento Protocollo Comunicazione"] = [&] {
    Rename("corse_away", "corse")();
    renamedBack = true;
  };
  EXPECT_FALSE(ImportWith(Replacement()));
  if (!renamedBack) Rename("corse_away", "corse")();
  EXPECT_FALSE(renamedBack);  // nothing was written
  ExpectReadFailure("corse", kImportAbortedMessage);
  EXPECT_EQ(TableCounts(), before_);
}

TEST_P(AllOrNothingTest, OrphanRemovalStopsWhenItsReadFails) {
  // A trip without months is an orphan; a failed read must not pass for "none found".
  Exec("DELETE FROM giorni WHERE ID = 2");
  Exec("DELETE FROM mesi WHERE ID = 2");
  Exec("ALTER TABLE mesi RENAME TO mesi_away");
  ui.Clear();
  EXPECT_FALSE(schema::RemoveOrphans(db()));
  ASSERT_EQ(ui.Texts().size(), 1u) << ::testing::PrintToString(ui.Texts());
  EXPECT_NE(ui.Texts()[0].find("mesi"), std::string::npos) << ui.Texts()[0];
  Exec("ALTER TABLE mesi_away RENAME TO mesi");
  EXPECT_EQ(Count("corse"), 2);
  ui.Clear();
  EXPECT_TRUE(schema::RemoveOrphans(db()));
  EXPECT_EQ(Count("corse"), 1);  // read, the orphan goes
  EXPECT_EQ(Count("orari", "ID = 2"), 0);
}

TEST_P(AllOrNothingTest, ImportThatFailsHalfWayLeavesTheDatabaseAsItWas) {
  // The timetable table cannot be opened: stops, trips and the protocol row are written
  // before the failure is met, the obsolete days would be deleted after it.
  Exec("ALTER TABLE orari RENAME TO orari_away");
  EXPECT_FALSE(Import(Replacement()));
  ASSERT_EQ(ui.Texts().size(), 2u);
  EXPECT_EQ(ui.Texts()[0].rfind("Errore in fase di apertura della tavola (orari)\n\n", 0), 0u)
      << ui.Texts()[0];
  EXPECT_EQ(ui.Texts()[1], kImportAbortedMessage);
  Exec("ALTER TABLE orari_away RENAME TO orari");
  EXPECT_EQ(TableCounts(), before_);
  // Nothing half-done is in the way: the same file imports afterwards.
  EXPECT_TRUE(Import(Replacement()));
  EXPECT_EQ(Count("giorni"), 2);
}

TEST_P(AllOrNothingTest, ImportOrRebuildThatDiesHalfWayLeavesTheDatabaseAsItWas) {
  const std::string path = Replacement();
  for (const char* step : {"Inserimento Orari", "Inserimento Giorni Effettuazione"}) {
    EXPECT_TRUE(DiesAt(step, [&](db::Database& own, StepUi& dying) {
      dying.QueueFile(path);
      (void)ImportCommunication(own, dying);
    })) << step;
    EXPECT_EQ(TableCounts(), before_) << step;
  }
  EXPECT_TRUE(
      DiesAt("Inserimento Giorni Effettuazione Corse", [](db::Database& own, StepUi& dying) {
        RebuildResult result;
        (void)RebuildRunningDays(own, dying, kCompany, result);
      }));
  EXPECT_EQ(TableCounts(), before_);
}

TEST_P(AllOrNothingTest, FileChangedAfterItsCheckIsNotWritten) {
  const std::string path = Replacement();
  std::vector<std::string> errors;
  std::unique_ptr<LineReader> reader = Validate(db(), ui, path, errors);
  ASSERT_TRUE(reader && errors.empty());
  // Another version of the file is saved meanwhile: the first passage is at another stop.
  std::string bytes = ReadBytes(path);
  const size_t at = bytes.find("3\t1\t1\t07.00");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 4] = '2';
  std::ofstream(path, std::ios::binary) << bytes;
  ui.Clear();
  ImportSummary summary;
  EXPECT_FALSE(Insert(db(), ui, *reader, summary));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{std::string(kImportAbortedMessage)});
  EXPECT_EQ(TableCounts(), before_);
}

TEST_P(AllOrNothingTest, FullDiskEndsTheImportAtTheFirstFailedWrite) {
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

TEST_P(AllOrNothingTest, ReadOnlyDatabaseEndsTheImportWithOneMessage) {
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

TEST_P(AllOrNothingTest, DatabaseHeldByAnotherConnectionIsRefusedWithOneMessage) {
  // Another import holds the database (the file's write lock, the server's lock on the
  // communications); this one waits a short time, not 10 s, and is refused before it has
  // written anything, with the reason and the way out.
  std::unique_ptr<db::Database> other = Connect();
  ASSERT_TRUE(other && other->IsConnected());
  ASSERT_TRUE(other->BeginTakingTurns("proto"));
  db::Database::OverrideBusyTimeout(300);
  Reopen();
  EXPECT_FALSE(Import(Replacement(3)));
  db::Database::OverrideBusyTimeout(std::nullopt);
  ExpectEndedByOneMessage(
      "Il database è in uso da un'altra operazione (un'altra importazione, ad esempio) e non "
      "può essere modificato ora: riprovare al suo termine.\n\n",
      IsPostgres() ? "lock timeout" : "database is locked");
  other->Rollback();
  EXPECT_EQ(TableCounts(), before_);
  EXPECT_TRUE(Import(Replacement(3)));
  EXPECT_EQ(Count("giorni"), 3 * 31);
}

TEST_P(AllOrNothingTest, ImportCheckedBeforeAnotherOneCommittedWritesNothing) {
  // Two communications numbered 2 checked at the same time: the one that commits second
  // finds the company changed since its check and writes nothing.
  Communication late = Plan(2);
  AddTrip(late, 7);
  late.days.push_back(Month(7, 2010, 4, {1}));
  CheckedState checked;
  std::vector<std::string> errors;
  std::unique_ptr<LineReader> reader =
      Validate(db(), ui, Write(late, "late.txt"), errors, nullptr, &checked);
  ASSERT_TRUE(reader && errors.empty());
  ASSERT_TRUE(Import(Replacement()));
  const std::vector<long long> after = TableCounts();
  ui.Clear();
  ImportSummary summary;
  EXPECT_FALSE(Insert(db(), ui, *reader, summary, &checked));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{std::string(kCheckedStateChangedMessage),
                                                  std::string(kImportAbortedMessage)}));
  EXPECT_EQ(TableCounts(), after);
  EXPECT_EQ(Count("corse", "ID = 7"), 0);
}

KVT_INSTANTIATE_ENGINES(AllOrNothingTest);

}  // namespace
}  // namespace kvt::comms::test
