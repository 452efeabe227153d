// Plane geometry of boundaries and route lines: rings, areas, entities, the point block
// stored in the geometry tables, point location, areas, centroids and line operations.
// Coordinates are projected metres; distances are Euclidean. Every structure is owned by
// the operation that builds it; nothing here touches the database or the Ui.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kvt::carto {

struct Point {
  double x, y;
};

// Bounding box. An empty box has min > max, so that the first point widened into it
// becomes the box.
struct Box {
  double minx, miny, maxx, maxy;
  static Box Empty();
  void Widen(Point p);
  bool IsEmpty() const { return minx > maxx || miny > maxy; }
};

// Largest number of points a stored shape may have: the `punti` column is a SMALLINT.
inline constexpr int kMaxStoredPoints = 32767;

// A sequence of points with its box: a boundary ring (closed, its last point repeats the
// first) or a route line (open).
class Ring {
 public:
  Ring() : box_(Box::Empty()) {}
  // `count` points at 0,0 and an empty box.
  explicit Ring(int count);
  // The box computed from the points.
  explicit Ring(std::vector<Point> points);
  // The box as given (boundaries loaded from storage keep their stored box).
  Ring(std::vector<Point> points, Box box) : points_(std::move(points)), box_(box) {}

  int Count() const { return static_cast<int>(points_.size()); }
  const std::vector<Point>& Points() const { return points_; }
  const Point& operator[](int i) const { return points_[static_cast<size_t>(i)]; }
  const Box& GetBox() const { return box_; }

  // Point i; false and no effect outside 0 .. Count()-1.
  bool GetPoint(int i, Point* out) const;
  // Sets point i and widens the box by it; false and no effect outside 0 .. Count()-1.
  bool SetPoint(int i, Point p);

 private:
  std::vector<Point> points_;
  Box box_;
};

// One distinct area: its outer ring and its exclusion rings, in row order.
struct Area {
  Ring outer;
  std::vector<Ring> exclusions;
};

// The boundary of one municipality or locality: its distinct areas in `sub` order.
struct AreaEntity {
  int id = 0;
  std::vector<Area> areas;
};

// Entities in insertion order, with an index by ascending ID built once after creation.
class AreaEntitySet {
 public:
  // Appends an empty entity and returns it (valid until the next Add).
  AreaEntity& Add(int id);
  // Sorts the index by ID (stable: the first inserted of equal IDs is found).
  void BuildIndex();
  // Binary search in the index; nullptr when absent or when the index is not built.
  AreaEntity* Find(int id);
  const std::vector<AreaEntity>& Entities() const { return entities_; }
  std::vector<AreaEntity>& Entities() { return entities_; }
  int Count() const { return static_cast<int>(entities_.size()); }

 private:
  std::vector<AreaEntity> entities_;
  std::vector<int> index_;  // positions in entities_, by ascending ID
};

// (ID, x, y) in insertion order; lookup gives the first entry of an ID.
class CentroidList {
 public:
  void Add(int id, Point p) { entries_.push_back({id, p}); }
  std::optional<Point> Find(int id) const;
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  struct Entry {
    int id;
    Point p;
  };
  std::vector<Entry> entries_;
};

// Crossing-number test on a closed ring, after the stored box; the closing point is
// ignored, and a ring with fewer than two distinct vertices contains nothing.
bool PointInRing(const Ring& ring, double x, double y);
// Inside the outer ring and inside none of the exclusion rings.
bool PointInArea(const Area& area, double x, double y);
// Inside any of the entity's areas.
bool PointInEntity(const AreaEntity& entity, double x, double y);
// The first entity in insertion order containing the point; nullptr when none does.
const AreaEntity* LocateEntity(const AreaEntitySet& set, double x, double y);

// Shoelace area, positive when the ring runs counter-clockwise.
double RingSignedArea(const Ring& ring);
bool IsClockwise(const Ring& ring);
double RingArea(const Ring& ring);
// Outer ring's area less the exclusion rings' areas.
double AreaNetArea(const Area& area);
// Centroid of the ring's polygon (exclusions not considered); 0,0 for a ring of no area.
Point RingCentroid(const Ring& ring);
// For each entity, the centroid of the outer ring of its area of largest net area (the
// earliest on a tie); entities with no area of positive net area get no entry.
CentroidList EntityCentroids(const AreaEntitySet& set);

// Sum of the segment lengths, with no closing segment.
double LineLength(const Ring& line);

// The part of the line between the points nearest to A and to B (vertices or feet of
// perpendiculars on segments), framed by A and B themselves. None when either has no
// nearest point or B does not come after A along the line.
std::optional<Ring> ExtractSubLine(const Ring& line, Point a, Point b);

struct Projection {
  double distance;  // the largest double when nothing was found
  Point point;      // the smallest positive double in both coordinates when nothing was found
  int segment;      // index of the segment's first vertex; -1 when nothing was found
};
// The nearest vertex or foot of a perpendicular from P on the line, scanning from segment
// `startIndex` on; once a point within `maxDistance` is held, the scan stops at the first
// candidate beyond it. A point more than 100 m outside the line's box finds nothing.
Projection ProjectOnLine(const Ring& line, Point p, double maxDistance, int startIndex);

// The stored point block: X then Y of every point, IEEE-754 doubles in little-endian
// order, 16 bytes a point, no header.
std::vector<uint8_t> EncodePointBlock(const Ring& ring);
// The ring of a stored block of `punti` points, box computed from its points. None when the
// block is not exactly punti * 16 bytes (or punti is negative).
std::optional<Ring> RingFromBlock(std::span<const uint8_t> block, int punti);
// The same with the stored box kept.
std::optional<Ring> RingFromBlock(std::span<const uint8_t> block, int punti, Box box);

}  // namespace kvt::carto
