// Boundaries stored in and loaded from the geometry tables, and the centroids computed from
// them, on both engines.
#include "carto/areas.h"

#include <gtest/gtest.h>

#include "carto_fixture.h"

namespace kvt::carto::test {
namespace {

class AreasTest : public CartoDbTest {
 protected:
  // Municipalities 1, 2, 3 (3 without boundary) and boundaries:
  //   1: area 0 = square 0..10 with hole 4..6 (net 96), area 1 = square 20..25 (25);
  //   2: area 0 = square 100..102 (4), area 1 corrupt (159 bytes for 10 points),
  //      area 2 = square 200..210 (100);
  //   0: a boundary for the placeholder.
  void SetUp() override {
    CartoDbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Municipality(1, "L'Aquila", "066049");
    Municipality(2, "Pescara", "068028");
    Municipality(3, "Chieti", "069022");
    Boundary("geocom", 0, 0, 0, Square(500, 500, 4));
    Boundary("geocom", 1, 0, 0, Square(0, 0, 10));
    Boundary("geocom", 1, 0, 1, Square(4, 4, 2));
    Boundary("geocom", 1, 1, 0, Square(20, 0, 5));
    Boundary("geocom", 2, 0, 0, Square(100, 100, 2));
    CorruptBoundary("geocom", 2, 1, std::string(159, '\x40'));
    Boundary("geocom", 2, 2, 0, Square(200, 200, 10));
    ASSERT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
  }
};

TEST_P(AreasTest, LoadsBoundariesInBothOwnerModesSkippingTheCorruptRow) {
  AreaEntitySet set;
  ASSERT_TRUE(LoadAreaEntities(db(), AreaKind::Municipalities, OwnerMode::OwnerTable,
                               "Confine Comune ", &set));
  EXPECT_EQ(ui.Texts(), (Strings{"Confine Comune 2/1/0 corrotto !!!"}));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  // One entity per municipality above 0, in ID order; the placeholder's boundary is skipped.
  ASSERT_EQ(set.Count(), 3);
  const auto& e = set.Entities();
  EXPECT_EQ(e[0].id, 1);
  ASSERT_EQ(e[0].areas.size(), 2u);
  EXPECT_EQ(e[0].areas[0].exclusions.size(), 1u);
  EXPECT_TRUE(e[1].areas.size() == 2u && e[1].areas[1].outer.GetBox().minx == 200);
  EXPECT_EQ(e[2].id, 3);
  EXPECT_TRUE(e[2].areas.empty());
  EXPECT_EQ(LocateEntity(set, 5, 5), nullptr);  // in the hole
  EXPECT_EQ(LocateEntity(set, 3, 5)->id, 1);
  EXPECT_EQ(LocateEntity(set, 205, 205)->id, 2);
  EXPECT_EQ(LocateEntity(set, 502, 502), nullptr);
  // Points came back exactly; the stored box is the one written (two decimals).
  EXPECT_DOUBLE_EQ(e[0].areas[1].outer[2].x, 25);
  EXPECT_DOUBLE_EQ(e[0].areas[1].outer.GetBox().maxy, 5);

  ui.Clear();
  ASSERT_TRUE(LoadAreaEntities(db(), AreaKind::Municipalities, OwnerMode::PerGeometryId,
                               "Confine comuni ", &set));
  ASSERT_EQ(set.Count(), 3);
  EXPECT_EQ(set.Entities()[0].id, 0);
  EXPECT_EQ(set.Entities()[2].id, 2);
  EXPECT_EQ(set.Find(2)->areas.size(), 2u);
}

TEST_P(AreasTest, CentroidsOfTheLargestAreaAndZeroWithoutBoundary) {
  EXPECT_EQ(ComputeCentroids(db(), AreaKind::Municipalities), 4);
  EXPECT_EQ(ui.Texts(), (Strings{"Confine comuni 2/1/0 corrotto !!!"}));
  // 1: area 0 (net 96 beats 25); 2: the larger later area; 3: no boundary, 0 (was 9).
  EXPECT_EQ(Rows("SELECT ID, centro_x, centro_y FROM comuni ORDER BY ID", 3),
            (Strings{"0|502|502", "1|5|5", "2|205|205", "3|0|0"}));

  // Localities: a locality boundary whose centroid falls on a fraction is written with two
  // decimals; the corrupt-row text names localities.
  Locality(1, "Paganica", "066049", 7, 7);
  Boundary("geoloc", 1, 0, 0, Ring({{0, 0}, {1, 0}, {0, 1}, {0, 0}}));
  ui.Clear();
  EXPECT_EQ(ComputeCentroids(db(), AreaKind::Localities), 2);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(Rows("SELECT ID FROM local WHERE centro_x = 0.33 AND centro_y = 0.33", 1),
            (Strings{"1"}));
}

TEST_P(AreasTest, ShapesBeyondTheStoredPointLimitAreRefused) {
  std::vector<Point> pts(32768);
  for (size_t i = 0; i < pts.size(); ++i) pts[i] = {static_cast<double>(i), 1.0 * (i % 7)};
  db::Table t(&db(), "geoitine");
  EXPECT_FALSE(StoreRouteLine(t, ui, 101, 7, Ring(pts), "Percorso 101/7"));
  EXPECT_EQ(ui.Texts(),
            (Strings{"Percorso 101/7: la geometria ha 32768 punti, oltre il massimo di 32767 "
                     "memorizzabili.\n\nLa geometria non viene registrata."}));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM geoitine", 1), (Strings{"0"}));

  // The largest storable line goes in and reads back whole, with its length.
  pts.pop_back();
  ui.Clear();
  Protocol(101);
  AddRow("tesitine", {{"azienda", "101"}, {"ID", "7"}, {"protoc", "1"}, {"codperc", "P7"},
                      {"denom", "Percorso lungo"}});
  ASSERT_TRUE(StoreRouteLine(t, ui, 101, 7, Ring(pts), "Percorso 101/7"));
  db::Selection s(&db());
  s.AddColumn("geoitine", "punti", db::kSqlSmallInt);
  s.AddColumn("geoitine", "coord", db::kSqlLongVarBinary);
  s.SetFrom("geoitine");
  ASSERT_EQ(s.Open(false, 16), db::Fetch::Row);
  std::vector<uint8_t> block;
  ASSERT_TRUE(s.GetBlob(1, block));
  auto ring = RingFromBlock(block, s.GetShort(0));
  ASSERT_TRUE(ring);
  EXPECT_EQ(ring->Count(), 32767);
  EXPECT_DOUBLE_EQ((*ring)[32766].x, 32766);
  EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
}

KVT_INSTANTIATE_ENGINES(AreasTest);

}  // namespace
}  // namespace kvt::carto::test
