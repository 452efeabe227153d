// Plane geometry with hand-computed coordinates.
#include "carto/geometry.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kvt::carto {
namespace {

Ring Square(double x0, double y0, double side) {
  return Ring({{x0, y0}, {x0 + side, y0}, {x0 + side, y0 + side}, {x0, y0 + side}, {x0, y0}});
}

TEST(GeometryTest, PointInRingFollowsBoxThenCrossings) {
  // Rings with fewer than two distinct vertices contain nothing, even inside their box.
  EXPECT_FALSE(PointInRing(Ring({{0, 0}, {10, 10}}), 5, 5));
  EXPECT_FALSE(PointInRing(Ring({{0, 0}, {10, 10}, {0, 0}}), 5, 5));
  // A triangle (0,0) (10,0) (0,10).
  Ring tri({{0, 0}, {10, 0}, {0, 10}, {0, 0}});
  EXPECT_TRUE(PointInRing(tri, 2, 2));
  EXPECT_FALSE(PointInRing(tri, 6, 6));  // in the box, beyond the hypotenuse
  // On the box edge the crossing test decides: the left edge x = 0 counts as inside, the
  // bottom edge y = 0 too (y > 0 differs for the edges leaving it), the box corner (10,10)
  // is outside.
  EXPECT_TRUE(PointInRing(tri, 0, 5));
  EXPECT_TRUE(PointInRing(tri, 5, 0));
  EXPECT_FALSE(PointInRing(tri, 10, 10));
  // The stored box filters first, even when the points would say inside.
  Ring boxed({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, Box{0, 0, 4, 4});
  EXPECT_TRUE(PointInRing(boxed, 4, 4));
  EXPECT_FALSE(PointInRing(boxed, 5, 5));
}

TEST(GeometryTest, AreasExclusionsAndLocation) {
  // Entity 7: area 0 is the square 0..10 with a hole 4..6; area 1 is the square 4.5..5.5
  // inside that hole (an island).
  AreaEntitySet set;
  set.Add(9).areas.push_back(Area{Square(100, 100, 10), {}});
  AreaEntity& seven = set.Add(7);
  seven.areas.push_back(Area{Square(0, 0, 10), {Square(4, 4, 2)}});
  seven.areas.push_back(Area{Square(4.5, 4.5, 1), {}});
  // Entity 3 overlaps 7 on 8..12; it comes later in the set.
  set.Add(3).areas.push_back(Area{Square(8, 8, 4), {}});
  set.BuildIndex();

  EXPECT_FALSE(PointInArea(set.Entities()[1].areas[0], 4.2, 4.2));  // in the hole
  EXPECT_TRUE(PointInArea(set.Entities()[1].areas[0], 2, 2));
  EXPECT_TRUE(PointInEntity(set.Entities()[1], 5, 5));    // hole, but on the island
  EXPECT_FALSE(PointInEntity(set.Entities()[1], 4.2, 4.2));  // hole, off the island
  EXPECT_EQ(LocateEntity(set, 4.2, 4.2), nullptr);
  // The first entity of the set wins an overlap, whatever its ID.
  ASSERT_NE(LocateEntity(set, 9, 9), nullptr);
  EXPECT_EQ(LocateEntity(set, 9, 9)->id, 7);
  EXPECT_EQ(LocateEntity(set, 11, 11)->id, 3);
  EXPECT_EQ(LocateEntity(set, 105, 105)->id, 9);

  ASSERT_NE(set.Find(7), nullptr);
  EXPECT_EQ(set.Find(7)->areas.size(), 2u);
  EXPECT_EQ(set.Find(8), nullptr);
}

TEST(GeometryTest, AreaOrientationAndCentroids) {
  Ring ccw({{0, 0}, {4, 0}, {4, 2}, {0, 2}, {0, 0}});
  Ring cw({{0, 0}, {0, 2}, {4, 2}, {4, 0}, {0, 0}});
  EXPECT_DOUBLE_EQ(RingSignedArea(ccw), 8);
  EXPECT_DOUBLE_EQ(RingSignedArea(cw), -8);
  EXPECT_FALSE(IsClockwise(ccw));
  EXPECT_TRUE(IsClockwise(cw));
  EXPECT_DOUBLE_EQ(RingArea(cw), 8);
  for (const Ring& r : {ccw, cw}) {
    Point c = RingCentroid(r);
    EXPECT_DOUBLE_EQ(c.x, 2);
    EXPECT_DOUBLE_EQ(c.y, 1);
  }
  // Triangle (0,0) (6,0) (0,3): centroid (2,1).
  Point t = RingCentroid(Ring({{0, 0}, {6, 0}, {0, 3}, {0, 0}}));
  EXPECT_DOUBLE_EQ(t.x, 2);
  EXPECT_DOUBLE_EQ(t.y, 1);
  EXPECT_DOUBLE_EQ(AreaNetArea(Area{Square(0, 0, 10), {Square(1, 1, 2), Square(5, 5, 3)}}),
                   100 - 4 - 9);

  AreaEntitySet set;
  // Small area first, large second: the centroid of the second.
  AreaEntity& a = set.Add(1);
  a.areas.push_back(Area{Square(0, 0, 2), {}});
  a.areas.push_back(Area{Square(100, 100, 10), {}});
  // Equal net areas: the first. The first area's hole makes it equal to the second.
  AreaEntity& b = set.Add(2);
  b.areas.push_back(Area{Square(0, 0, 5), {Square(1, 1, 3)}});  // 25 - 9 = 16
  b.areas.push_back(Area{Square(50, 50, 4), {}});               // 16
  // Only a degenerate area: no entry.
  set.Add(3).areas.push_back(Area{Ring({{1, 1}, {2, 2}, {1, 1}}), {}});
  CentroidList list = EntityCentroids(set);
  EXPECT_EQ(list.Count(), 2);
  ASSERT_TRUE(list.Find(1));
  EXPECT_DOUBLE_EQ(list.Find(1)->x, 105);
  EXPECT_DOUBLE_EQ(list.Find(1)->y, 105);
  ASSERT_TRUE(list.Find(2));
  EXPECT_DOUBLE_EQ(list.Find(2)->x, 2.5);  // outer ring's centroid: holes are not considered
  EXPECT_FALSE(list.Find(3));
}

TEST(GeometryTest, PointsOutsideTheRingAreRefused) {
  Ring r(3);
  EXPECT_TRUE(r.SetPoint(2, {-1, 7}));
  EXPECT_FALSE(r.SetPoint(3, {1000, 1000}));
  EXPECT_FALSE(r.SetPoint(-1, {1000, 1000}));
  Point p{42, 42};
  EXPECT_FALSE(r.GetPoint(3, &p));
  EXPECT_DOUBLE_EQ(p.x, 42);
}

// When KVT_FUZZ_SEED_DIR is set (the fuzz corpus folder), a point block becomes a seed of
// the point-block fuzz target: the point count (2 bytes, little-endian), then the block.
void KeepAsSeed(int punti, const std::vector<uint8_t>& block, const std::string& name) {
  const char* dir = std::getenv("KVT_FUZZ_SEED_DIR");
  if (!dir) return;
  std::filesystem::create_directories(std::string(dir) + "/point_block_fuzz");
  std::ofstream out(std::string(dir) + "/point_block_fuzz/" + name, std::ios::binary);
  out.put(static_cast<char>(punti & 0xFF)).put(static_cast<char>(punti >> 8 & 0xFF));
  out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
}

TEST(GeometryTest, PointBlockIsLittleEndianDoublesAndLengthChecked) {
  Ring r({{1.0, -2.5}, {1234567.25, 4987654.5}});
  std::vector<uint8_t> block = EncodePointBlock(r);
  ASSERT_EQ(block.size(), 32u);
  // 1.0 = 0x3FF0000000000000, -2.5 = 0xC004000000000000, little-endian.
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 16),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0x04, 0xC0}));
  KeepAsSeed(2, block, "two_points");
  KeepAsSeed(5, EncodePointBlock(Square(1600000, 5000000, 250.5)), "square");
  KeepAsSeed(10, std::vector<uint8_t>(159, 0x40), "corrupt");
  auto back = RingFromBlock(block, 2);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Count(), 2);
  EXPECT_DOUBLE_EQ((*back)[1].x, 1234567.25);
  EXPECT_DOUBLE_EQ((*back)[1].y, 4987654.5);
  EXPECT_DOUBLE_EQ(back->GetBox().maxy, 4987654.5);
  EXPECT_DOUBLE_EQ(back->GetBox().miny, -2.5);
  auto kept = RingFromBlock(block, 2, Box{0, 0, 1, 1});
  ASSERT_TRUE(kept);
  EXPECT_DOUBLE_EQ(kept->GetBox().maxx, 1);
  // 159 bytes for 10 points, 160 for 9, a negative count: corrupt.
  std::vector<uint8_t> odd(159);
  EXPECT_FALSE(RingFromBlock(odd, 10));
  std::vector<uint8_t> ten(160);
  EXPECT_FALSE(RingFromBlock(ten, 9));
  EXPECT_TRUE(RingFromBlock(ten, 10));
  EXPECT_FALSE(RingFromBlock(std::span<const uint8_t>(), -1));
  EXPECT_TRUE(RingFromBlock(std::span<const uint8_t>(), 0));
}

TEST(GeometryTest, LineLengthSubLineAndProjection) {
  // An L: (0,0) (10,0) (10,10) (20,10).
  Ring line({{0, 0}, {10, 0}, {10, 10}, {20, 10}});
  EXPECT_DOUBLE_EQ(LineLength(line), 30);
  EXPECT_DOUBLE_EQ(LineLength(Ring({{0, 0}, {3, 4}, {0, 0}})), 10);  // no closing segment
  EXPECT_DOUBLE_EQ(LineLength(Ring({{7, 7}})), 0);

  // A above the first segment, B above the last one: A, its foot, vertices 1 and 2, B's
  // foot, B.
  auto sub = ExtractSubLine(line, {4, 1}, {15, 11});
  ASSERT_TRUE(sub);
  ASSERT_EQ(sub->Count(), 6);
  const std::vector<std::pair<double, double>> want = {{4, 1},   {4, 0},   {10, 0},
                                                       {10, 10}, {15, 10}, {15, 11}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_DOUBLE_EQ((*sub)[i].x, want[i].first) << i;
    EXPECT_DOUBLE_EQ((*sub)[i].y, want[i].second) << i;
  }
  EXPECT_DOUBLE_EQ(sub->GetBox().maxy, 11);
  // At the ends: A on vertex 0, B on the last vertex: the whole line framed by them.
  auto whole = ExtractSubLine(line, {0, 0}, {20, 10});
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->Count(), 6);
  EXPECT_DOUBLE_EQ(LineLength(*whole), 30);
  // B before A, both on one segment, both nearest the same vertex: nothing.
  EXPECT_FALSE(ExtractSubLine(line, {11, 5}, {4, 1}));
  EXPECT_FALSE(ExtractSubLine(line, {2, 1}, {6, 1}));
  EXPECT_FALSE(ExtractSubLine(line, {9.5, 0.2}, {10.2, 0.3}));
  EXPECT_FALSE(ExtractSubLine(Ring(), {0, 0}, {1, 1}));

  // Projection: (15, 12) falls on the last segment at (15, 10).
  Projection p = ProjectOnLine(line, {15, 12}, 50, 0);
  EXPECT_DOUBLE_EQ(p.distance, 2);
  EXPECT_DOUBLE_EQ(p.point.x, 15);
  EXPECT_DOUBLE_EQ(p.point.y, 10);
  EXPECT_EQ(p.segment, 2);
  // At the far end: the last vertex, segment 2.
  p = ProjectOnLine(line, {21, 10}, 50, 0);
  EXPECT_DOUBLE_EQ(p.distance, 1);
  EXPECT_DOUBLE_EQ(p.point.x, 20);
  EXPECT_EQ(p.segment, 2);
  // From segment 1 on, the first segment is not looked at, nor its vertices.
  p = ProjectOnLine(line, {3, -1}, 50, 1);
  EXPECT_DOUBLE_EQ(p.point.x, 10);
  EXPECT_DOUBLE_EQ(p.point.y, 10);
  EXPECT_EQ(p.segment, 1);
  // Once within reach (the foot at 0.3 m), the scan stops at the first candidate beyond
  // 2 m, although the last vertex, 0.1 m away, would be nearer; without the limit it wins.
  Ring back({{0, 0}, {10, 0}, {30, 0}, {9, 0.2}});
  p = ProjectOnLine(back, {9, 0.3}, 2, 0);
  EXPECT_NEAR(p.distance, 0.3, 1e-12);
  EXPECT_DOUBLE_EQ(p.point.x, 9);
  EXPECT_EQ(p.segment, 0);
  p = ProjectOnLine(back, {9, 0.3}, 1000, 0);
  EXPECT_NEAR(p.distance, 0.1, 1e-12);
  EXPECT_DOUBLE_EQ(p.point.y, 0.2);
  EXPECT_EQ(p.segment, 2);
  // 150 m outside the box: nothing, the point left at the smallest positive double.
  p = ProjectOnLine(line, {170, 5}, 1000, 0);
  EXPECT_EQ(p.distance, DBL_MAX);
  EXPECT_EQ(p.point.x, DBL_MIN);
  EXPECT_EQ(p.point.y, DBL_MIN);
}

}  // namespace
}  // namespace kvt::carto
