#include "carto/geometry.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace kvt::carto {

Box Box::Empty() { return Box{DBL_MAX, DBL_MAX, -DBL_MAX, -DBL_MAX}; }

void Box::Widen(Point p) {
  minx = std::min(minx, p.x);
  miny = std::min(miny, p.y);
  maxx = std::max(maxx, p.x);
  maxy = std::max(maxy, p.y);
}

Ring::Ring(int count)
    : points_(static_cast<size_t>(std::max(count, 0)), Point{0, 0}), box_(Box::Empty()) {}

Ring::Ring(std::vector<Point> points) : points_(std::move(points)), box_(Box::Empty()) {
  for (const Point& p : points_) box_.Widen(p);
}

bool Ring::GetPoint(int i, Point* out) const {
  if (i < 0 || i >= Count()) return false;
  *out = points_[static_cast<size_t>(i)];
  return true;
}

bool Ring::SetPoint(int i, Point p) {
  if (i < 0 || i >= Count()) return false;
  points_[static_cast<size_t>(i)] = p;
  box_.Widen(p);
  return true;
}

AreaEntity& AreaEntitySet::Add(int id) {
  entities_.push_back(AreaEntity{id, {}});
  return entities_.back();
}

void AreaEntitySet::BuildIndex() {
  index_.resize(entities_.size());
  for (size_t i = 0; i < index_.size(); ++i) index_[i] = static_cast<int>(i);
  std::stable_sort(index_.begin(), index_.end(), [this](int a, int b) {
    return entities_[static_cast<size_t>(a)].id < entities_[static_cast<size_t>(b)].id;
  });
}

AreaEntity* AreaEntitySet::Find(int id) {
  auto it = std::lower_bound(index_.begin(), index_.end(), id, [this](int pos, int key) {
    return entities_[static_cast<size_t>(pos)].id < key;
  });
  if (it == index_.end() || entities_[static_cast<size_t>(*it)].id != id) return nullptr;
  return &entities_[static_cast<size_t>(*it)];
}

std::optional<Point> CentroidList::Find(int id) const {
  for (const Entry& e : entries_)
    if (e.id == id) return e.p;
  return std::nullopt;
}

bool PointInRing(const Ring& ring, double x, double y) {
  const Box& b = ring.GetBox();
  if (x < b.minx || x > b.maxx || y < b.miny || y > b.maxy) return false;
  const int n = ring.Count() - 1;  // the closing point repeats the first
  if (n < 2) return false;
  const Point* v = ring.Points().data();
  bool inside = false;
  for (int i = 0, j = n - 1; i < n; j = i++) {
    if ((v[i].y > y) != (v[j].y > y) &&
        x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x)
      inside = !inside;
  }
  return inside;
}

bool PointInArea(const Area& area, double x, double y) {
  if (!PointInRing(area.outer, x, y)) return false;
  for (const Ring& r : area.exclusions)
    if (PointInRing(r, x, y)) return false;
  return true;
}

bool PointInEntity(const AreaEntity& entity, double x, double y) {
  for (const Area& a : entity.areas)
    if (PointInArea(a, x, y)) return true;
  return false;
}

const AreaEntity* LocateEntity(const AreaEntitySet& set, double x, double y) {
  for (const AreaEntity& e : set.Entities())
    if (PointInEntity(e, x, y)) return &e;
  return nullptr;
}

double RingSignedArea(const Ring& ring) {
  const int n = ring.Count();
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const Point& a = ring[i];
    const Point& b = ring[(i + 1) % n];
    sum += a.x * b.y - b.x * a.y;
  }
  return 0.5 * sum;
}

bool IsClockwise(const Ring& ring) { return RingSignedArea(ring) < 0; }

double RingArea(const Ring& ring) { return std::fabs(RingSignedArea(ring)); }

double AreaNetArea(const Area& area) {
  double net = RingArea(area.outer);
  for (const Ring& r : area.exclusions) net -= RingArea(r);
  return net;
}

Point RingCentroid(const Ring& ring) {
  const int n = ring.Count();
  const double a = RingSignedArea(ring);
  if (a == 0) return Point{0, 0};
  double cx = 0, cy = 0;
  for (int i = 0; i < n; ++i) {
    const Point& p = ring[i];
    const Point& q = ring[(i + 1) % n];
    const double cross = p.x * q.y - q.x * p.y;
    cx += (p.x + q.x) * cross;
    cy += (p.y + q.y) * cross;
  }
  return Point{cx / (6 * a), cy / (6 * a)};
}

CentroidList EntityCentroids(const AreaEntitySet& set) {
  CentroidList list;
  for (const AreaEntity& e : set.Entities()) {
    double best = DBL_MIN;
    const Area* chosen = nullptr;
    for (const Area& a : e.areas) {
      const double net = AreaNetArea(a);
      if (net > best) {
        best = net;
        chosen = &a;
      }
    }
    if (chosen) list.Add(e.id, RingCentroid(chosen->outer));
  }
  return list;
}

double LineLength(const Ring& line) {
  double len = 0;
  for (int i = 1; i < line.Count(); ++i)
    len += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
  return len;
}

namespace {

double Distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Foot of the perpendicular from p on the straight line through a and b, when it lies
// within the segment's box.
std::optional<Point> FootOnSegment(Point a, Point b, Point p) {
  Point f;
  if (a.x == b.x) {
    f = Point{b.x, p.y};
  } else {
    const double m = (a.y - b.y) / (a.x - b.x);
    const double q = b.y - m * b.x;
    const double d = 1 + m * m;
    f = Point{(p.x + m * p.y - m * q) / d, (m * p.x + m * m * p.y + q) / d};
  }
  if (f.x < std::min(a.x, b.x) || f.x > std::max(a.x, b.x) || f.y < std::min(a.y, b.y) ||
      f.y > std::max(a.y, b.y))
    return std::nullopt;
  return f;
}

}  // namespace

std::optional<Ring> ExtractSubLine(const Ring& line, Point a, Point b) {
  double da = DBL_MAX, db = DBL_MAX;
  int ia = -1, ib = -1;
  bool fa = false, fb = false;
  Point foot_a{0, 0}, foot_b{0, 0};
  const int n = line.Count();
  if (n > 0) {
    if (double d = Distance(a, line[0]); d < da) da = d, ia = 0;
    if (double d = Distance(b, line[0]); d < db) db = d, ib = 0;
  }
  for (int i = 1; i < n; ++i) {
    if (double d = Distance(a, line[i]); d < da) da = d, ia = i, fa = false;
    if (double d = Distance(b, line[i]); d < db) db = d, ib = i, fb = false;
    if (auto f = FootOnSegment(line[i - 1], line[i], a)) {
      if (double d = Distance(a, *f); d < da) da = d, foot_a = *f, ia = i, fa = true;
    }
    if (auto f = FootOnSegment(line[i - 1], line[i], b)) {
      if (double d = Distance(b, *f); d < db) db = d, foot_b = *f, ib = i - 1, fb = true;
    }
  }
  if (ia < 0 || ib < 0 || ia >= ib) return std::nullopt;
  std::vector<Point> pts;
  pts.reserve(static_cast<size_t>(ib - ia + 5));
  pts.push_back(a);
  if (fa) pts.push_back(foot_a);
  for (int i = ia; i <= ib; ++i) pts.push_back(line[i]);
  if (fb) pts.push_back(foot_b);
  pts.push_back(b);
  return Ring(std::move(pts));
}

Projection ProjectOnLine(const Ring& line, Point p, double maxDistance, int startIndex) {
  Projection r{DBL_MAX, Point{DBL_MIN, DBL_MIN}, -1};
  const Box& box = line.GetBox();
  if (p.x - 100 > box.maxx || p.y - 100 > box.maxy || p.x + 100 < box.minx ||
      p.y + 100 < box.miny)
    return r;
  // Takes a candidate; false when the scan must stop.
  auto consider = [&](Point c, int segment) {
    const double d = Distance(p, c);
    if (r.distance <= maxDistance && d > maxDistance) return false;
    if (d < r.distance) r = Projection{d, c, segment};
    return true;
  };
  for (int i = std::max(startIndex + 1, 1); i < line.Count(); ++i) {
    if (!consider(line[i], i - 1)) break;
    if (auto f = FootOnSegment(line[i - 1], line[i], p))
      if (!consider(*f, i - 1)) break;
  }
  return r;
}

std::vector<uint8_t> EncodePointBlock(const Ring& ring) {
  std::vector<uint8_t> block(static_cast<size_t>(ring.Count()) * 16);
  uint8_t* out = block.data();
  auto put = [&out](double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int k = 0; k < 8; ++k) *out++ = static_cast<uint8_t>(bits >> (8 * k));
  };
  for (const Point& p : ring.Points()) {
    put(p.x);
    put(p.y);
  }
  return block;
}

namespace {

std::optional<std::vector<Point>> PointsFromBlock(std::span<const uint8_t> block, int punti) {
  if (punti < 0 || block.size() != static_cast<size_t>(punti) * 16) return std::nullopt;
  std::vector<Point> pts(static_cast<size_t>(punti));
  const uint8_t* in = block.data();
  auto get = [&in]() {
    uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits |= static_cast<uint64_t>(*in++) << (8 * k);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  };
  for (Point& p : pts) {
    p.x = get();
    p.y = get();
  }
  return pts;
}

}  // namespace

std::optional<Ring> RingFromBlock(std::span<const uint8_t> block, int punti) {
  auto pts = PointsFromBlock(block, punti);
  if (!pts) return std::nullopt;
  return Ring(std::move(*pts));
}

std::optional<Ring> RingFromBlock(std::span<const uint8_t> block, int punti, Box box) {
  auto pts = PointsFromBlock(block, punti);
  if (!pts) return std::nullopt;
  return Ring(std::move(*pts), box);
}

}  // namespace kvt::carto
