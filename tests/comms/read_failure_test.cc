// A read that fails is never taken for the end of the rows: the rebuild, the import's
// checks and its clean-up of obsolete days, and the orphan removal stop and change nothing,
// on both engines. The failure is provoked from the Ui at the step that reads, by renaming
// the table read (inside the command's transaction the rename is rolled back with it).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <numeric>

#include "comms/import.h"
#include "comms/rebuild.h"
#include "import_fixture.h"
#include "platform/scripted_ui.h"
#include "schema/ardelio.h"

namespace kvt::comms::test {
namespace {

// A Ui that runs an action when a step with a given caption begins.
class SabotageUi : public ScriptedUi {
 public:
  std::map<std::string, std::function<void()>> at;
  void ProgressBegin(std::string_view caption) override { Run(caption); }
  void ProgressCaption(std::string_view caption) override { Run(caption); }

 private:
  void Run(std::string_view caption) {
    auto found = at.find(std::string(caption));
    if (found != at.end()) found->second();
  }
};

class ReadFailureTest : public CommsDbTest {
 protected:
  // Company 101 with trips 1-2 running every day of March 2010.
  void SetUp() override {
    CommsDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Communication c = Plan(1);
    AddNetwork(c);
    for (int32_t trip : {1, 2}) {
      AddTrip(c, trip);
      std::vector<int> march(31);
      std::iota(march.begin(), march.end(), 1);
      c.days.push_back(Month(trip, 2010, 3, march));
    }
    ASSERT_TRUE(Import(Write(c, "base.txt")));
    before_ = TableCounts();
    ASSERT_EQ(before_.back(), 62);
  }

  // A replacing plan: every day of March goes, trip 3 comes with two days.
  std::string Replacement() {
    Communication c = Plan(2);
    c.protocol.azzera = true;
    AddTrip(c, 3);
    c.days.push_back(Month(3, 2010, 3, {1, 2}));
    return Write(c, "replace.txt");
  }

  std::function<void()> Rename(const std::string& from, const std::string& to) {
    return [this, from, to] { Exec("ALTER TABLE " + from + " RENAME TO " + to); };
  }

  // The database's Ui got one message, the failed read's, naming the table; the command's
  // Ui the closing one.
  // A DeleteSelection words its read's failure alike on both methods (`deleting`).
  void ExpectReadFailure(const std::string& table, std::string_view closing,
                         bool deleting = false) {
    EXPECT_EQ(sabotage.Texts(), std::vector<std::string>{std::string(closing)});
    ASSERT_EQ(ui.Texts().size(), 1u) << ::testing::PrintToString(ui.Texts());
    const std::string read = ui.Texts()[0];
    EXPECT_TRUE(read.starts_with(IsPostgres() || deleting ? "Errore estrazione Select SQL\n\n"
                                                          : "Errore sintassi SQL\n\n"))
        << read;
    EXPECT_NE(read.find(table), std::string::npos) << read;
  }

  bool ImportWith(const std::string& path) {
    ui.Clear();
    sabotage.defaultAnswer = MsgResult::Cancel;
    sabotage.QueueFile(path);
    return ImportCommunication(db(), sabotage);
  }

  SabotageUi sabotage;
  std::vector<long long> before_;
};

TEST_P(ReadFailureTest, RebuildStopsWhenItsCommunicationsOrMonthsCannotBeRead) {
  // Read after the days of the company were deleted: taken for "no communications" or "no
  // months", the rebuild would commit a company without running days.
  for (const char* table : {"proto", "mesi"}) {
    SCOPED_TRACE(table);
    sabotage.Clear();
    ui.Clear();
    sabotage.at.clear();
    sabotage.at["Determinazione Giorni Effettuazione"] =
        Rename(table, std::string(table) + "_away");
    RebuildResult result;
    EXPECT_FALSE(RebuildRunningDays(db(), sabotage, kCompany, result));
    ExpectReadFailure(table, kRebuildAbortedMessage);
    EXPECT_EQ(result.deleted, 0);
    EXPECT_EQ(TableCounts(), before_);  // the rename went with the rollback
  }
}

TEST_P(ReadFailureTest, ImportStopsWhenTheObsoleteDaysCannotBeRead) {
  // Taken for "nothing to delete", the import would keep every day the plan replaces.
  sabotage.at["Pulizia Giorni Effettuazione Obsoleti"] = Rename("giorni", "giorni_away");
  sabotage.at["Inserimento Giorni Effettuazione"] = Rename("giorni_away", "giorni");
  EXPECT_FALSE(ImportWith(Replacement()));
  ExpectReadFailure("giorni", kImportAbortedMessage, /*deleting=*/true);
  EXPECT_EQ(TableCounts(), before_);
}

TEST_P(ReadFailureTest, ImportStopsWhenTheKnownIdentifiersCannotBeRead) {
  // Read by the check before anything is written: taken for "no trips yet", an import
  // would not be told of the trips it repeats.
  sabotage.at["Recupero Corse Precedenti"] = Rename("corse", "corse_away");
  bool renamedBack = false;
  sabotage.at["Inserimento Protocollo Comunicazione"] = [&] {
    Rename("corse_away", "corse")();
    renamedBack = true;
  };
  EXPECT_FALSE(ImportWith(Replacement()));
  if (!renamedBack) Rename("corse_away", "corse")();
  EXPECT_FALSE(renamedBack);  // nothing was written
  ExpectReadFailure("corse", kImportAbortedMessage);
  EXPECT_EQ(TableCounts(), before_);
}

TEST_P(ReadFailureTest, OrphanRemovalStopsWhenItsReadFails) {
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

KVT_INSTANTIATE_ENGINES(ReadFailureTest);

}  // namespace
}  // namespace kvt::comms::test
