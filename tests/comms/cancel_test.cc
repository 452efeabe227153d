// Stopping long work: an import stopped in either pass and a rebuild stopped half-way
// leave every table as it was and say so; the whole import reads as numbered phases; a
// refusal carries its first reasons folded under the question.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "comms/exports.h"
#include "comms/import.h"
#include "comms/rebuild.h"
#include "comms/status.h"
#include "import_fixture.h"
#include "platform/scripted_ui.h"
#include "support/run_program.h"

namespace kvt::comms::test {
namespace {

using Strings = std::vector<std::string>;

class CancelTest : public CommsDbTest {
 protected:
  // Plan 1 imported; plan 2 replaces its days (so that the second pass deletes).
  void SetUp() override {
    CommsDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(Import(Generate(Options(1), "plan1.txt")));
    GeneratorOptions o = Options(2);
    o.seed = 11;
    o.primacom = false;
    o.azzera = true;
    o.idBase = 1000;
    o.refTrips = 2;  // earlier trips given new days: the deletion has work to undo
    second_ = Generate(o, "plan2.txt");
    before_ = TableCounts();
    days_ = Days();
    ASSERT_GT(before_.back(), 0);
    ui.Clear();
  }

  Strings Days() {
    return Rows("SELECT ID, protoc, data FROM giorni WHERE azienda = 101 ORDER BY ID, data, protoc",
                3);
  }

  // Imports plan 2, asking to stop as `caption` shows.
  bool ImportStoppedAt(const std::string& caption) {
    ui.Clear();
    ui.cancelRequested = false;
    ui.cancelAtCaption = caption;
    ui.QueueFile(second_);
    return ImportCommunication(db(), ui);
  }

  std::string second_;
  std::vector<long long> before_;
  Strings days_;
};

TEST_P(CancelTest, ImportStoppedInEitherPassChangesNothingAndSaysSo) {
  for (const char* caption :
       {"Importazione <corse>", "Inserimento Orari", "Pulizia Giorni Effettuazione Obsoleti",
        "Inserimento Giorni Effettuazione"}) {
    SCOPED_TRACE(caption);
    EXPECT_FALSE(ImportStoppedAt(caption));
    // Neither the refusal question nor the report chooser: the user stopped it.
    EXPECT_EQ(ui.Texts(), Strings{std::string(kCancelledMessage)});
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.fileTitles.size(), 1u);
    EXPECT_EQ(ui.progressCaptions.back(), caption);  // nothing ran after the request
    EXPECT_EQ(TableCounts(), before_);
    EXPECT_EQ(Days(), days_);
    EXPECT_FALSE(ui.cancellable);  // "Annulla" withdrawn with the progress window
  }
  // Not stopped, the same file goes in.
  EXPECT_TRUE(ImportStoppedAt(""));
  EXPECT_EQ(Count("proto"), before_[0] + 1);
}

TEST_P(CancelTest, ImportReadsAsTwentySixPhasesOnePerCaption) {
  ASSERT_TRUE(ImportStoppedAt(""));
  EXPECT_TRUE(ui.everCancellable);
  Strings expected;
  for (int i = 1; i <= 26; ++i) expected.push_back(std::to_string(i) + "/26");
  EXPECT_EQ(ui.progressPhases, expected);
  ASSERT_EQ(ui.progressCaptions.size(), 26u);
  EXPECT_EQ(ui.progressCaptions[16], "Inserimento Protocollo Comunicazione");
}

TEST_P(CancelTest, RebuildStoppedLeavesTheDaysAsTheyWere) {
  const std::vector<std::pair<std::string, Strings>> stops{
      {"Determinazione Giorni Effettuazione", {"1/3", "2/3"}},
      {"Inserimento Giorni Effettuazione Corse", {"1/3", "2/3", "3/3"}}};
  for (const auto& [caption, phases] : stops) {
    SCOPED_TRACE(caption);
    ui.Clear();
    ui.cancelRequested = false;
    ui.cancelAtCaption = caption;
    RebuildResult result;
    EXPECT_FALSE(RebuildRunningDays(db(), ui, kCompany, result));
    EXPECT_EQ(ui.Texts(), Strings{std::string(kCancelledMessage)});
    EXPECT_EQ(result.inserted, 0);
    EXPECT_EQ(Days(), days_);
    EXPECT_EQ(ui.progressPhases, phases);
  }
}

TEST_P(CancelTest, DeletionAndExportsStoppedHalfWayLeaveEverythingAsItWas) {
  ui.Clear();
  ui.cancelAtCaption = "Eliminazione Orari";
  DeletionCounts deleted;
  EXPECT_FALSE(DeleteCommunication(db(), ui, {kCompany, 1}, deleted));
  EXPECT_EQ(ui.Texts(), Strings{std::string(kCancelledMessage)});
  EXPECT_EQ(ui.progressCaptions.back(), "Eliminazione Orari");  // nothing ran after it
  EXPECT_EQ(TableCounts(), before_);
  EXPECT_EQ(Days(), days_);

  // A file already there stays as it was, and nothing is left beside it.
  const std::string path = kvt::test::TempDir() + "/base.txt";
  std::ofstream(path) << "prima\n";
  const std::pair<std::string, std::function<bool()>> exports[] = {
      {"Estrazione <orari>",
       [&] {
         ReferenceBaseCounts counts;
         return ExportReferenceBase(db(), ui, {kCompany, 1}, path, counts);
       }},
      {"Estrazione <giorni>", [&] {
         RegularityBaseCounts counts;
         return ExportRegularityBase(db(), ui, kCompany, {1, 1, 2010}, path, counts);
       }}};
  for (const auto& [caption, run] : exports) {
    SCOPED_TRACE(caption);
    ui.Clear();
    ui.cancelRequested = false;
    ui.cancelAtCaption = caption;
    EXPECT_FALSE(run());
    EXPECT_EQ(ui.Texts(), Strings{std::string(kCancelledFileMessage)});
    EXPECT_EQ(kvt::test::ReadFile(path), "prima\n");
    for (const auto& e : std::filesystem::directory_iterator(kvt::test::TempDir()))
      EXPECT_FALSE(e.path().filename().string().starts_with("base.txt.")) << e.path();
  }
}

TEST_P(CancelTest, RefusalFoldsTheFirstTwentyLinesOfItsReportUnderTheQuestion) {
  // Stops 1-12 known already, 1-25 given twice in the file: more than twenty one-line
  // reasons.
  Communication c = Plan(3);
  for (int id = 1; id <= 30; ++id) c.stops.push_back({id, "F", "Fermata", "", 0, 0, 0});
  for (int id = 1; id <= 25; ++id) c.stops.push_back({id, "F", "Doppia", "", 0, 0, 0});
  const std::string path = Write(c, "refused.txt");
  const Strings errors = Errors(path);
  ASSERT_EQ(errors.size(), 12u + 12u + 13u);
  std::string head;
  for (size_t i = 0; i < 20; ++i) head += errors[i] + "\n";

  const std::string saved = kvt::test::TempDir() + "/ERRORI.TXT";
  ui.Clear();
  ui.QueueFile(path);
  ui.QueueAnswer(MsgResult::Ok);
  ui.QueueFile(saved);
  EXPECT_FALSE(ImportCommunication(db(), ui));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, kRefusedQuestion);
  EXPECT_EQ(ui.messages[0].detail, head + "...");
  // The report is offered next to the communication, and named once written.
  ASSERT_EQ(ui.fileDialogs.size(), 2u);
  EXPECT_EQ(ui.fileDialogs[1].folder, kvt::test::TempDir());
  EXPECT_EQ(ui.fileDialogs[1].kind, FileKind::Report);
  EXPECT_EQ(ui.progressTexts, Strings{"Report degli errori salvato in " + saved});
  EXPECT_TRUE(std::filesystem::exists(saved));
}

KVT_INSTANTIATE_ENGINES(CancelTest);

TEST(ReportHeadTest, CountsLinesInsideMessagesAndMarksWhatIsLeftOut) {
  const Strings errors{"<fermate>\n\tmanca", "RIGA 4", "RIGA 5"};
  EXPECT_EQ(ReportHead(errors, 2), "<fermate>\n\tmanca\n...");
  EXPECT_EQ(ReportHead(errors, 4), "<fermate>\n\tmanca\nRIGA 4\nRIGA 5");
  EXPECT_EQ(ReportHead({}, 20), "");
}

}  // namespace
}  // namespace kvt::comms::test
