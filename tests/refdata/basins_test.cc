#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/form.h"
#include "refdata/basin_file.h"
#include "refdata/basins.h"
#include "refdata/commands.h"
#include "refdata_fixture.h"

namespace kvt::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace kvt::refdata;

class BasinsTest : public RefdataTest {
 protected:
  // Basins 1 "Val d'Orsa" (two municipalities) and 2 "Pianura 5%" (one); one without basin.
  void AddTerritory() {
    AddBasin(1, "Val d'Orsa");
    AddBasin(2, "Pianura 5%");
    AddMunicipality(1, "Sant'Angelo", "VL", "001002", 1);
    AddMunicipality(2, "Città Alta", "PL", "001001", 1);
    AddMunicipality(3, "Borgo", "VL", "002001", 2);
    AddMunicipality(4, "Nessuno", "CV", "003001", 0);
  }
  std::vector<std::string> Basins() { return Rows("SELECT ID, denom FROM bacini ORDER BY ID", 2); }
  std::vector<std::string> Composition() {
    return Rows("SELECT ID, bacino FROM comuni ORDER BY ID", 2);
  }
};

TEST_P(BasinsTest, FileRoundTripRestoresTheComposition) {
  AddTerritory();
  const std::string path = FilePath("BACINI.TXT");
  ui.QueueFile(path);
  ASSERT_TRUE(RunExportBasinsCommand(ui, db()));
  EXPECT_EQ(ReadBytes(path),
            "Start BaCiNi di KvtPro\nTB\tVal d'Orsa\tTB\nRB\t001001\tRB\nRB\t001002\tRB\n"
            "TB\tPianura 5%\tTB\nRB\t002001\tRB\nEnd bAcInI di KvtPro\n");
  EXPECT_THAT(TakeMessages(), ElementsAre("Sono state esportati 2 bacini (3 comuni)\n"));

  ASSERT_TRUE(DeleteBasins(db(), ui));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kDeleteBasinsQuestion),
                                          "Risultati dell'eliminazione dei Bacini\n\n"
                                          "Sono state invalidati 5 riferimenti sui Comuni\n"
                                          "Sono state eliminati 2 Bacini"));
  EXPECT_THAT(Basins(), ElementsAre("0|*** bacino non assegnato ***"));

  ui.QueueFile(path);
  ASSERT_TRUE(RunImportBasinsCommand(ui, db()));
  EXPECT_THAT(TakeMessages(), ElementsAre("Risultati dell'importazione dei bacini\n\n"
                                          "2 Bacini da importare\n\n2 Bacini inseriti.\n\n"
                                          "3 Comuni assegnati ai Bacini.\n\n"));
  EXPECT_THAT(Basins(),
              ElementsAre("0|*** bacino non assegnato ***", "1|Val d'Orsa", "2|Pianura 5%"));
  EXPECT_THAT(Composition(), ElementsAre("0|0", "1|1", "2|1", "3|2", "4|0"));
}

TEST_P(BasinsTest, ExportOfNoBasinsWritesOnlyTheMarkers) {
  AddMunicipality(1, "Solo", "VL", "001001", 0);
  const std::string path = FilePath("vuoto.txt");
  ASSERT_TRUE(ExportBasins(db(), ui, path));
  EXPECT_EQ(ReadBytes(path), "Start BaCiNi di KvtPro\nEnd bAcInI di KvtPro\n");
}

TEST_P(BasinsTest, UnknownMunicipalitiesAreAskedAboutAndCounted) {
  AddTerritory();
  const std::string path = FilePath("b.txt");
  WriteBytes(path,
             "Start BaCiNi di KvtPro\nTB\tNuovo \xe8\tTB\nRB\t003001\tRB\nRB\t999999\tRB\n"
             "End bAcInI di KvtPro\n");
  // Cancel at the first question: nothing written.
  ui.QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(ImportBasins(db(), ui, path));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kBasinUnknownQuestion)));
  ui.QueueAnswer(MsgResult::Ok);
  ui.QueueAnswer(MsgResult::Cancel);
  EXPECT_FALSE(ImportBasins(db(), ui, path));
  EXPECT_THAT(TakeMessages(),
              ElementsAre(std::string(kBasinUnknownQuestion), std::string(kBasinAppendQuestion)));
  EXPECT_EQ(Basins().size(), 3u);

  const std::optional<BasinImportCounts> c = ImportBasins(db(), ui, path);
  ASSERT_TRUE(c);
  EXPECT_EQ(BasinImportText(*c),
            "Risultati dell'importazione dei bacini\n\n1 Bacini da importare\n\n"
            "1 Bacini inseriti.\n\n1 Comuni assegnati ai Bacini.\n\n"
            "1 Righe non importate (Comuni senza corrispondenza)");
  EXPECT_THAT(Basins(), ElementsAre("0|*** bacino non assegnato ***", "1|Val d'Orsa",
                                    "2|Pianura 5%", "3|Nuovo è"));
  EXPECT_THAT(Composition(), ElementsAre("0|0", "1|1", "2|1", "3|2", "4|3"));
}

TEST_P(BasinsTest, MalformedFilesAreRefusedWithNothingWritten) {
  AddTerritory();
  const std::string good = "Start BaCiNi di KvtPro\nTB\tX\tTB\nRB\t003001\tRB\n";
  const std::vector<std::string> bad = {
      good,                                                                   // truncated
      good + "RB\t" + std::string(64, '1') + "\tRB\nEnd bAcInI di KvtPro\n",  // field too long
      good + "XX\t1\tXX\nEnd bAcInI di KvtPro\n",                             // unknown line
      good + "RB\t1\nEnd bAcInI di KvtPro\n",                                 // two fields
      "RB\t003001\tRB\n" + good + "End bAcInI di KvtPro\n",                   // before the start
      good + "End bAcInI di KvtPro\nTB\tY\tTB\n",                             // after the end
      "Start BaCiNi di KvtPro\nRB\t003001\tRB\nEnd bAcInI di KvtPro\n",       // no basin opened
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::string path = FilePath("bad" + std::to_string(i));
    WriteBytes(path, bad[i]);
    EXPECT_FALSE(ImportBasins(db(), ui, path)) << i;
    EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kBasinIllegalFileMessage))) << i;
  }
  // A folder and a pipe are no files.
  const std::string folder = FilePath("cartella");
  std::filesystem::create_directory(folder);
  const std::string fifo = FilePath("tubo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {folder, fifo}) {
    EXPECT_FALSE(ImportBasins(db(), ui, path));
    EXPECT_THAT(TakeMessages(), ElementsAre(HasSubstr(path)));
  }
  EXPECT_EQ(Basins().size(), 3u);
  EXPECT_THAT(Composition(), ElementsAre("0|0", "1|1", "2|1", "3|2", "4|0"));
}

TEST_P(BasinsTest, BasinTableKeepsBasinZero) {
  AddTerritory();
  ui.QueueForm([](Form& f) {
    f.SetFromText(kListField, "0000 - *** bacino non assegnato ***");
    f.SetText(kNameField, "Altro");
    f.Press(kSaveButton);
    f.Press(kDeleteButton);
    f.SetFromText(kListField, "0002 - Pianura 5%");
    EXPECT_EQ(f.Text(kNameField), "Pianura 5%");
    f.SetText(kNameField, "Pianura d'Oro");
    f.Press(kSaveButton);
    f.SetText(kNameField, "Monti");
    f.Press(kSaveButton);  // nothing chosen: a new basin
    return true;
  });
  ASSERT_TRUE(RunEditBasinsCommand(ui, db()));
  EXPECT_THAT(ui.Texts(), ElementsAre(std::string(kBasinZeroModifyMessage),
                                      std::string(kBasinZeroDeleteMessage)));
  EXPECT_THAT(Basins(), ElementsAre("0|*** bacino non assegnato ***", "1|Val d'Orsa",
                                    "2|Pianura d'Oro", "3|Monti"));
}

TEST_P(BasinsTest, MunicipalityAssociationChecksItsChoices) {
  AddTerritory();
  const std::vector<std::string> municipalities = *MunicipalityEntries(db());
  EXPECT_THAT(municipalities, ElementsAre("0004 - CV - Nessuno", "0002 - PL - Città Alta",
                                          "0003 - VL - Borgo", "0001 - VL - Sant'Angelo"));
  EXPECT_THAT(*MunicipalityEntries(db(), std::string("VL")),
              ElementsAre("0003 - VL - Borgo", "0001 - VL - Sant'Angelo"));
  EXPECT_THAT(*MunicipalityEntries(db(), std::string("' OR 1=1 OR provin = '")), ElementsAre());
  const std::vector<std::string> basins = *BasinEntries(db());

  EXPECT_FALSE(AssignMunicipalityBasin(db(), ui, "Nessuno", municipalities, "0001", basins));
  EXPECT_FALSE(AssignMunicipalityBasin(db(), ui, "0004", municipalities, "0009", basins));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kMunicipalityInvalidMessage),
                                          std::string(kBasinInvalidMessage)));
  EXPECT_EQ(CurrentBasinText(db(), 4), "0000 - *** bacino non assegnato ***");
  EXPECT_TRUE(AssignMunicipalityBasin(db(), ui, "0004 - CV - Nessuno", municipalities,
                                      "0001 - Val d'Orsa", basins));
  EXPECT_EQ(CurrentBasinText(db(), 4), "0001 - Val d'Orsa");
  EXPECT_EQ(CurrentBasinText(db(), 77), kNoBasinText);
  // A municipality gone since the list was read.
  Exec("DELETE FROM comuni WHERE ID = 4");
  EXPECT_FALSE(AssignMunicipalityBasin(db(), ui, "0004 - CV - Nessuno", municipalities,
                                       "0001 - Val d'Orsa", basins));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kMunicipalityReadError)));
}

TEST_P(BasinsTest, TerritorialDeletionsAreBlockedByWhatRefersToThem) {
  AddTerritory();
  AddProtocol(101);
  AddStop(101, 1, 1, 0);
  AddLocality(1, "Frazione", "001002");
  AddStop(101, 2, 1, 1);
  Exec("INSERT INTO tesmat (ID, denom) VALUES (1, 'M')");
  Exec("INSERT INTO detmat (ID, local, primario) VALUES (1, 1, 1)");

  EXPECT_FALSE(DeleteMunicipalities(db(), ui));
  EXPECT_FALSE(DeleteLocalities(db(), ui));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kMunicipalitiesHaveLocalitiesMessage),
                                          std::string(kLocalitiesHaveMatricesMessage)));

  Exec("DELETE FROM detmat");
  ASSERT_TRUE(DeleteLocalities(db(), ui));
  EXPECT_THAT(TakeMessages(),
              ElementsAre(std::string(kDeleteLocalitiesQuestion),
                          "Risultati dell'eliminazione delle Località\n\n"
                          "Sono state eliminati i riferimenti alla Località su 1 fermate\n"
                          "Sono state eliminate 0 Aree di Località\n"
                          "Sono state eliminate 1 Località"));

  Exec("INSERT INTO tesmcm (ID, denom) VALUES (1, 'M')");
  Exec("INSERT INTO detmcm (ID, comune, primario) VALUES (1, 2, 1)");
  EXPECT_FALSE(DeleteMunicipalities(db(), ui));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kMunicipalitiesHaveMatricesMessage)));
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM comuni"), 5);

  Exec("DELETE FROM detmcm");
  // Stopped: rolled back.
  ui.cancelAtCaption = "*";
  EXPECT_FALSE(DeleteMunicipalities(db(), ui));
  EXPECT_THAT(TakeMessages(), ElementsAre(std::string(kDeleteMunicipalitiesQuestion),
                                          std::string(kCancelledMessage)));
  EXPECT_EQ(QueryInt("SELECT COUNT(*) FROM comuni"), 5);
  ui.cancelAtCaption.clear();
  ui.cancelRequested = false;

  ASSERT_TRUE(DeleteMunicipalities(db(), ui));
  EXPECT_THAT(TakeMessages(),
              ElementsAre(std::string(kDeleteMunicipalitiesQuestion),
                          "Risultati dell'eliminazione dei Comuni\n\n"
                          "Sono state eliminati i riferimenti al Comune su 2 fermate\n"
                          "Sono state eliminate 0 Aree Comunali\n"
                          "Sono state eliminate 4 Comuni"));
  EXPECT_THAT(Rows("SELECT ID FROM comuni", 1), ElementsAre("0"));
  EXPECT_THAT(Rows("SELECT ID FROM local", 1), ElementsAre("0"));
  ASSERT_TRUE(DeleteBasins(db(), ui));
  EXPECT_THAT(Basins(), ElementsAre("0|*** bacino non assegnato ***"));
}

KVT_INSTANTIATE_ENGINES(BasinsTest);

}  // namespace
}  // namespace kvt::test
