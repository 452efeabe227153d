#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/form.h"
#include "refdata/commands.h"
#include "refdata/lot_file.h"
#include "refdata/lots.h"
#include "refdata_fixture.h"

namespace kvt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace kvt::refdata;

class LotsTest : public RefdataTest {
 protected:
  // Two companies' trips: 101 on lines "L'1" and "L2", 102 on "L'1".
  void AddTrips() {
    AddProtocol(101);
    AddProtocol(102);
    AddTrip(101, 1, "L'1");
    AddTrip(101, 2, "L'1");
    AddTrip(101, 3, "L2");
    AddTrip(102, 1, "L'1");
  }
  std::vector<std::string> Lots() { return Rows("SELECT ID, denom FROM lotti ORDER BY ID", 2); }
  std::vector<std::string> TripLots() {
    return Rows("SELECT azienda, ID, lotto FROM corse ORDER BY azienda, ID", 3);
  }
};

TEST_P(LotsTest, EditDialogInsertsModifiesAndRefusesBlankNames) {
  ui.QueueFormSteps({{kNameField, "   "},
                     {kSaveButton, ""},  // refused
                     {kNameField, " Lotto d'Arco è 100% "},
                     {kSaveButton, ""},  // new: ID 1
                     {kNameField, "Secondo"},
                     {kSaveButton, ""}});  // new: ID 2
  ASSERT_TRUE(RunEditLotsCommand(ui, db()));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kLotNameMissingMessage)));
  EXPECT_THAT(Lots(),
              ElementsAre("0|*** lotto non assegnato ***", "1|Lotto d'Arco è 100%", "2|Secondo"));

  // Choosing an entry fills the name and turns "Inserisci" into "Modifica".
  ui.QueueForm([](Form& f) {
    EXPECT_FALSE(f.Press(kDeleteButton));  // nothing chosen yet: disabled
    EXPECT_TRUE(f.SetFromText(kListField, "0002 - Secondo"));
    EXPECT_EQ(f.Text(kNameField), "Secondo");
    EXPECT_EQ(f.Field(kSaveButton).caption, "Modifica");
    EXPECT_TRUE(f.Field(kDeleteButton).enabled);
    f.SetText(kNameField, "Terzo '%'");
    EXPECT_TRUE(f.Press(kSaveButton));
    EXPECT_EQ(f.Field(kSaveButton).caption, "Inserisci");
    EXPECT_FALSE(f.Field(kDeleteButton).enabled);
    EXPECT_EQ(f.Text(kListField), "");
    EXPECT_THAT(f.Field(kListField).entries,
                ElementsAre("0000 - *** lotto non assegnato ***", "0001 - Lotto d'Arco è 100%",
                            "0002 - Terzo '%'"));
    return true;
  });
  ASSERT_TRUE(RunEditLotsCommand(ui, db()));
  EXPECT_THAT(Lots(),
              ElementsAre("0|*** lotto non assegnato ***", "1|Lotto d'Arco è 100%", "2|Terzo '%'"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(LotsTest, DeletionRefusesLotZeroAndLotsInUse) {
  AddTrips();
  AddLot(1, "Usato");
  AddLot(2, "Libero");
  Exec("UPDATE corse SET lotto = 1 WHERE azienda = 101 AND ID = 1");
  const std::vector<std::string> entries = *LotEntries(db());

  EXPECT_FALSE(DeleteLot(db(), ui, "0000 - *** lotto non assegnato ***", entries));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kLotZeroDeleteMessage)));

  EXPECT_FALSE(DeleteLot(db(), ui, "0009 - Mai visto", entries));
  EXPECT_FALSE(DeleteLot(db(), ui, "x001", entries));
  EXPECT_THAT(TakeMessages(),
              ElementsAre(std::string(kLotInvalidMessage), std::string(kLotInvalidMessage)));

  // Still used by a trip: the database refuses and the user is told.
  EXPECT_FALSE(DeleteLot(db(), ui, "0001 - Usato", entries));
  const std::vector<std::string> said = TakeMessages();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0], kLotDeleteQuestion);
  EXPECT_THAT(said[1], HasSubstr("lotti"));

  ui.QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(DeleteLot(db(), ui, "0002 - Libero", entries));
  EXPECT_TRUE(DeleteLot(db(), ui, "0002 - Libero", entries));
  EXPECT_THAT(Lots(), ElementsAre("0|*** lotto non assegnato ***", "1|Usato"));
}

TEST_P(LotsTest, AssignmentByLineQuotesTheLineCode) {
  AddTrips();
  AddLot(1, "Uno");
  EXPECT_EQ(AssignLot(db(), 101, std::string("L'1"), 1), 2);
  // A crafted code is a code like any other: no trip has it.
  EXPECT_EQ(AssignLot(db(), 101, std::string("x' OR '1'='1"), 1), 0);
  EXPECT_THAT(TripLots(), ElementsAre("101|1|1", "101|2|1", "101|3|0", "102|1|0"));
  EXPECT_EQ(AssignLot(db(), 101, std::nullopt, 1), 3);
  EXPECT_THAT(TripLots(), ElementsAre("101|1|1", "101|2|1", "101|3|1", "102|1|0"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_P(LotsTest, AssignDialogChecksInOrderAndAllLinesSkipsTheLineList) {
  AddTrips();
  AddLot(1, "Uno");
  ui.QueueForm([](Form& f) {
    EXPECT_THAT(f.Field("azienda").entries,
                ElementsAre(HasSubstr("0101 - "), HasSubstr("0102 - ")));
    f.Press("assegna");  // no company
    f.SetFromText("azienda", f.Field("azienda").entries[0]);
    EXPECT_THAT(f.Field("linea").entries, ElementsAre("L'1", "L2"));
    f.Press("assegna");  // no line
    f.SetFromText("linea", "L'1");
    f.Press("assegna");  // no lot
    f.SetFromText("lotto", "0001 - Uno");
    f.Press("assegna");
    f.SetFromText("linea", "");
    f.SetFromText("tutte", "1");
    EXPECT_FALSE(f.Field("linea").enabled);
    f.Press("assegna");
    return true;
  });
  ASSERT_TRUE(RunAssignLotsCommand(ui, db()));
  EXPECT_THAT(ui.Texts(),
              ElementsAre(PickInvalidMessage("Codice Azienda"), PickInvalidMessage("Codice Linea"),
                          PickInvalidMessage("Lotto di Gara"),
                          "Sono state associate 2 Corse al Lotto di Gara",
                          "Sono state associate 3 Corse al Lotto di Gara"));
}

TEST_P(LotsTest, ExportWritesUsedLotsButNeverLotZeroAndEveryTrip) {
  AddTrips();
  AddLot(1, "Zona Nord è 5%");
  AddLot(2, "Mai usato");
  AddLot(3, "Alto");
  Exec("UPDATE corse SET lotto = 1 WHERE ID = 1");
  Exec("UPDATE corse SET lotto = 3 WHERE azienda = 101 AND ID = 3");
  const std::string path = FilePath("CorseLotto.TXT");
  ui.QueueFile(path);
  ASSERT_TRUE(RunExportLotAssignmentCommand(ui, db()));
  EXPECT_EQ(ReadBytes(path),
            "<lotti>\n3\tAlto\n1\tZona Nord \xe8 5%\n<fi_lotti>\n"
            "<corse>\n101\t1\t1\n101\t2\t0\n101\t3\t3\n102\t1\t1\n<fi_corse>\n");
  EXPECT_THAT(ui.Texts(), ElementsAre(LotExportText(4)));
  EXPECT_EQ(ui.fileDialogs.at(0).title, kLotExportTitle);
  EXPECT_EQ(ui.fileDialogs.at(0).defaultName, "CorseLotto");

  // A folder is no file: refused, nothing written.
  ui.Clear();
  const std::string folder = FilePath("cartella");
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(ExportLotAssignment(db(), ui, folder));
  EXPECT_EQ(ui.messages.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_P(LotsTest, ImportTwiceReportsDuplicateLotsAndStillAppliesTrips) {
  AddTrips();
  const std::string path = FilePath("CorseLotto.TXT");
  WriteBytes(path,
             "<lotti>\r\n4\tL'ottavo \xe8 100%   \r\n<fi_lotti>\r\nfuori\t1\t1\n<corse>\n"
             "101\t1\t4\n102\t1\t4\n999\t7\t4\n101\n<fi_corse>\n");
  ui.QueueFile(path);
  ASSERT_TRUE(RunImportLotAssignmentCommand(ui, db()));
  EXPECT_THAT(TakeMessages(), ElementsAre("Elaborate 2 Corse"));
  EXPECT_THAT(Lots(), ElementsAre("0|*** lotto non assegnato ***", "4|L'ottavo è 100%"));
  EXPECT_THAT(TripLots(), ElementsAre("101|1|4", "101|2|0", "101|3|0", "102|1|4"));

  Exec("UPDATE corse SET lotto = 0");
  ui.QueueFile(path);
  ASSERT_TRUE(RunImportLotAssignmentCommand(ui, db()));
  const std::vector<std::string> said = TakeMessages();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_THAT(said[0], HasSubstr("lotti"));  // the duplicate lot, from the table
  EXPECT_EQ(said[1], "Elaborate 2 Corse");
  EXPECT_THAT(TripLots(), ElementsAre("101|1|4", "101|2|0", "101|3|0", "102|1|4"));
}

TEST_P(LotsTest, CleanUpAndStoppedImportLeaveTheDatabaseConsistent) {
  AddTrips();
  AddLot(1, "Uno");
  Exec("UPDATE corse SET lotto = 1 WHERE azienda = 101");

  // Stopped at once: everything rolled back, and said.
  const std::string path = FilePath("CorseLotto.TXT");
  WriteBytes(path, "<lotti>\n7\tSette\n<fi_lotti>\n<corse>\n102\t1\t7\n<fi_corse>\n");
  ui.cancelAtCaption = "*";
  ui.QueueFile(path);
  EXPECT_FALSE(RunImportLotAssignmentCommand(ui, db()));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kCancelledMessage)));
  EXPECT_THAT(Lots(), ElementsAre("0|*** lotto non assegnato ***", "1|Uno"));
  ui.cancelAtCaption.clear();
  ui.cancelRequested = false;

  ui.QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(RunClearLotAssignmentCommand(ui, db()));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kLotCleanQuestion)));
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse WHERE lotto = 1"), 3);

  ASSERT_TRUE(RunClearLotAssignmentCommand(ui, db()));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kLotCleanQuestion), "Elaborate 4 Corse"));
  EXPECT_THAT(Lots(), ElementsAre("0|*** lotto non assegnato ***"));
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM corse WHERE lotto = 0"), 4);
}

KVT_INSTANTIATE_ENGINES(LotsTest);

}  // namespace
}  // namespace kvt::test
