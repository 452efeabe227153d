// Writing is all or nothing: an import or a rebuild that fails or dies half-way leaves the
// database exactly as it was, on both engines.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <numeric>

#include "comms/import.h"
#include "comms/rebuild.h"
#include "import_fixture.h"
#include "platform/scripted_ui.h"

namespace kvt::comms::test {
namespace {

constexpr int kDied = 42;

// A Ui whose process dies, as in a power cut, when a step with the given caption begins.
class DyingUi : public ScriptedUi {
 public:
  explicit DyingUi(std::string caption) : caption_(std::move(caption)) {}
  void ProgressBegin(std::string_view caption) override { Check(caption); }
  void ProgressCaption(std::string_view caption) override { Check(caption); }

 private:
  void Check(std::string_view caption) {
    if (caption == caption_) _exit(kDied);
  }
  std::string caption_;
};

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
      std::vector<int> march(31);
      std::iota(march.begin(), march.end(), 1);
      c.days.push_back(Month(trip, 2010, 3, march));
    }
    ASSERT_TRUE(Import(Write(c, "base.txt")));
    before_ = TableCounts();
    ASSERT_EQ(before_.back(), 62);
  }

  // A replacing plan that deletes every day of March and brings trip 3 and its days.
  std::string Replacement() {
    Communication c = Plan(2);
    c.protocol.azzera = true;
    AddTrip(c, 3);
    c.days.push_back(Month(3, 2010, 3, {1, 2}));
    return Write(c, "replace.txt");
  }

  // Runs `work` in a child process with its own connection and a Ui that dies at `caption`;
  // true when the child died there.
  template <typename Work>
  bool DiesAt(const std::string& caption, Work work) {
    const pid_t pid = fork();
    if (pid == 0) {
      DyingUi dying(caption);
      std::unique_ptr<db::Database> own = Connect();
      if (own && own->IsConnected()) work(*own, dying);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == kDied;
  }

  std::vector<long long> before_;
};

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

TEST_P(AllOrNothingTest, ImportThatDiesHalfWayLeavesTheDatabaseAsItWas) {
  const std::string path = Replacement();
  for (const char* step : {"Inserimento Orari", "Inserimento Giorni Effettuazione"}) {
    EXPECT_TRUE(DiesAt(step, [&](db::Database& own, DyingUi& dying) {
      dying.QueueFile(path);
      ImportCommunication(own, dying);
    })) << step;
    EXPECT_EQ(TableCounts(), before_) << step;
  }
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

TEST_P(AllOrNothingTest, RebuildThatDiesAfterTheDeletionKeepsTheDays) {
  EXPECT_TRUE(
      DiesAt("Inserimento Giorni Effettuazione Corse", [](db::Database& own, DyingUi& dying) {
        RebuildResult result;
        RebuildRunningDays(own, dying, kCompany, result);
      }));
  EXPECT_EQ(TableCounts(), before_);
}

KVT_INSTANTIATE_ENGINES(AllOrNothingTest);

}  // namespace
}  // namespace kvt::comms::test
