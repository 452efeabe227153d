// The contract text files' numbers, head and folder.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "contracts/attachment_text.h"
#include "platform/scripted_ui.h"
#include "support/engines.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  return names;
}

TEST(AttachmentText, NumbersWithADecimalComma) {
  EXPECT_EQ(KmComma(1234500), "1234,50");
  EXPECT_EQ(KmComma(2555), "2,56");  // half up, whatever a double makes of 2.555
  EXPECT_EQ(KmComma(0), "0,00");
  EXPECT_EQ(MinutesText(450), "450");
  EXPECT_EQ(CountText(0), "0");
  // 10 km in 20 minutes: 30 km/h; 1 km in 7 minutes: 8.571.. km/h; 2.5 m in 1 minute:
  // 0.15 km/h exactly, rounded up from the half.
  EXPECT_EQ(SpeedComma(10000, 20), "30,00");
  EXPECT_EQ(SpeedComma(1000, 7), "8,57");
  EXPECT_EQ(SpeedComma(25, 10), "0,15");
  // No minutes: no infinity, no NaN.
  EXPECT_EQ(SpeedComma(5000, 0), "0,00");
  EXPECT_EQ(SpeedComma(0, 0), "0,00");
}

TEST(AttachmentText, HeadWithAndWithoutDistances) {
  ContractNames names;
  names.authorities[1] = "Regione Università";
  names.companies[101] = "Autolinee Rossi";
  FileHead head{"Legenda\tTotali Km\n", 1, 101, "01/01/2010", "31/12/2010",
                DistanceType::Cartographic};
  EXPECT_EQ(HeadText(head, names),
            "Legenda\tTotali Km\nEnte 1 Regione Università\nAzienda 101 Autolinee Rossi\n"
            "Periodo dal 01/01/2010 al 31/12/2010\n\n"
            "Distanze misurate su base cartografica\n\n");
  head.distances = DistanceType::Conventional;
  head.ente = 7;  // not in regent: the name is left empty
  EXPECT_EQ(HeadText(head, names),
            "Legenda\tTotali Km\nEnte 7 \nAzienda 101 Autolinee Rossi\n"
            "Periodo dal 01/01/2010 al 31/12/2010\n\n"
            "Distanze convenzionali dichiarate dall'Azienda\n\n");
  head.distances.reset();
  EXPECT_EQ(HeadText(head, names),
            "Legenda\tTotali Km\nEnte 7 \nAzienda 101 Autolinee Rossi\n"
            "Periodo dal 01/01/2010 al 31/12/2010\n\n");
}

TEST(AttachmentText, FolderNamesFilesOnlyWhenTheWholeExportSucceeds) {
  const std::string folder = kvt::test::TempDir() + "/folder";
  std::filesystem::create_directories(folder);
  ScriptedUi ui;
  {
    AttachmentFolder files(ui, folder + "/CONTRATTI.txt");
    AttachmentFile* tot = files.Create("TOT", 101, 1);
    ASSERT_NE(tot, nullptr);
    tot->Write("Ente 1 Università\n");
    ASSERT_NE(files.Create("DET", 101, 1), nullptr);
    EXPECT_THAT(FilesIn(folder), ::testing::Not(::testing::Contains("TOT_A101_E1.TXT")));
    ASSERT_TRUE(files.Finish());
    EXPECT_THAT(files.Names(), ElementsAre("TOT_A101_E1.TXT", "DET_A101_E1.TXT"));
  }
  EXPECT_THAT(FilesIn(folder), UnorderedElementsAre("TOT_A101_E1.TXT", "DET_A101_E1.TXT"));
  EXPECT_EQ(ReadAll(folder + "/TOT_A101_E1.TXT"), "Ente 1 Universit\xe0\n");  // Windows-1252
  EXPECT_THAT(ui.Texts(), IsEmpty());

  // An export dropped half-way leaves nothing, and the files of the earlier one stand.
  {
    AttachmentFolder files(ui, folder + "/CONTRATTI.txt");
    files.Create("TOT", 102, 2)->Write("x");
  }
  EXPECT_THAT(FilesIn(folder), UnorderedElementsAre("TOT_A101_E1.TXT", "DET_A101_E1.TXT"));
}

}  // namespace
}  // namespace kvt::contracts::test
