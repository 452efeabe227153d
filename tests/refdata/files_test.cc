#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "refdata/basin_file.h"
#include "refdata/lot_file.h"
#include "refdata/provinces.h"

namespace kvt::refdata {
namespace {

using ::testing::ElementsAre;

TEST(LotFile, ReadsSectionsLeniently) {
  const LotAssignment a = ParseLotAssignment(
      "prima\n<lotti>\n12\tNord \xe8 5%  \n7\n<fi_lotti>\n3\t4\t5\n<corse>\r\n101\t-1\t12\n"
      "102\t70000\t7\tresto\n103\t1\n<fi_corse>\n<corse>\n104\t2\t3");
  ASSERT_EQ(a.lots.size(), 2u);
  EXPECT_EQ(a.lots[0].id, 12);
  EXPECT_EQ(a.lots[0].name, "Nord è 5%");
  EXPECT_EQ(a.lots[1].id, 7);
  EXPECT_EQ(a.lots[1].name, "");
  EXPECT_THAT(a.trips,
              ElementsAre(TripLot{101, -1, 12}, TripLot{102, 70000, 7}, TripLot{104, 2, 3}));
  // Tags are whole lines only.
  EXPECT_TRUE(ParseLotAssignment("<corse> \n1\t2\t3\n").trips.empty());
}

TEST(LotFile, WritesWindows1252AndKeepsRecordsWhole) {
  EXPECT_EQ(LotLine(3, "Lotto d'Arco è 100%  "), "3\tLotto d'Arco \xe8 100%\n");
  EXPECT_EQ(LotLine(4, "a\tb\nc"), "4\ta b c\n");
  EXPECT_EQ(TripLotLine({101, 123456, 0}), "101\t123456\t0\n");
  const std::string file =
      std::string(kLotsOpenTag) + "\n" + LotLine(3, "Città") + std::string(kLotsCloseTag) + "\n";
  const LotAssignment back = ParseLotAssignment(file);
  ASSERT_EQ(back.lots.size(), 1u);
  EXPECT_EQ(back.lots[0].name, "Città");
}

TEST(BasinFile, WriterAndReaderAgree) {
  BasinFileWriter w;
  w.Add(1, "Val d'Orsa è 5%", "001001");
  w.Add(1, "Val d'Orsa è 5%", "001002");
  w.Add(4, "Altro", "009001");
  EXPECT_EQ(w.Basins(), 2);
  EXPECT_EQ(w.Municipalities(), 3);
  const std::string bytes = w.Finish();
  EXPECT_EQ(bytes,
            "Start BaCiNi di KvtPro\nTB\tVal d'Orsa \xe8 5%\tTB\nRB\t001001\tRB\nRB\t001002\tRB\n"
            "TB\tAltro\tTB\nRB\t009001\tRB\nEnd bAcInI di KvtPro\n");
  const std::optional<std::vector<BasinGroup>> back = ParseBasinFile(bytes);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[0].name, "Val d'Orsa è 5%");
  EXPECT_THAT((*back)[0].istat, ElementsAre("001001", "001002"));
  EXPECT_THAT((*back)[1].istat, ElementsAre("009001"));
}

TEST(BasinFile, FieldLimitsAndMarkers) {
  const auto file = [](const std::string& body) {
    return "Start BaCiNi di KvtPro\n" + body + "End bAcInI di KvtPro\n";
  };
  EXPECT_TRUE(ParseBasinFile(file("TB\t" + std::string(63, 'x') + "\tTB\n")));
  EXPECT_FALSE(ParseBasinFile(file("TB\t" + std::string(64, 'x') + "\tTB\n")));
  EXPECT_FALSE(ParseBasinFile(file("TB" + std::string(14, ' ') + "\tx\tTB\n")));
  EXPECT_TRUE(ParseBasinFile(file("")));
  EXPECT_TRUE(ParseBasinFile("Start BaCiNi di KvtPro\r\nEnd bAcInI di KvtPro"));
  EXPECT_FALSE(ParseBasinFile(""));
  EXPECT_FALSE(
      ParseBasinFile("Start BaCiNi di KvtPro\nStart BaCiNi di KvtPro\n"
                     "End bAcInI di KvtPro\n"));
  EXPECT_FALSE(ParseBasinFile(file("\n")));
  EXPECT_FALSE(ParseBasinFile(file("TB\tx\tRB\n")));
}

TEST(Provinces, ReadsCodesAndCaptions) {
  const std::vector<Province> p =
      ParseProvinces("# commento\n\nVL  Provincia di Velmora\r\nXX\nPL\tPortoleone è qui\n");
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].code, "VL");
  EXPECT_EQ(p[0].caption, "Provincia di Velmora");
  EXPECT_EQ(p[1].code, "PL");
  EXPECT_EQ(p[1].caption, "Portoleone è qui");
}

TEST(Provinces, TheInstalledListIsFound) {
  const std::vector<Province> p = InstalledProvinces();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p[0].code, "VL");
  EXPECT_EQ(p[0].caption, "Provincia di Velmora");
}

}  // namespace
}  // namespace kvt::refdata
