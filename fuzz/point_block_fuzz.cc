// The stored point block on any bytes: the input is the point count (2 bytes, little-endian,
// signed as the SMALLINT column) followed by the block. A block is accepted exactly when it
// is 16 bytes a point, and an accepted block written back gives the same bytes. The plane
// operations then run on the ring it gives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "carto/geometry.h"

namespace {

[[noreturn]] void Broken(const char* what) {
  std::fprintf(stderr, "PROPERTY BROKEN: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::carto;
  if (size < 2) return 0;
  const int punti = static_cast<int16_t>(data[0] | data[1] << 8);
  const std::span<const uint8_t> block(data + 2, size - 2);
  const auto ring = RingFromBlock(block, punti);
  const bool fits = punti >= 0 && block.size() == static_cast<size_t>(punti) * 16;
  if (ring.has_value() != fits) Broken("accepted a block of the wrong length, or refused one");
  if (!ring) return 0;
  const std::vector<uint8_t> back = EncodePointBlock(*ring);
  if (!std::equal(back.begin(), back.end(), block.begin(), block.end()))
    Broken("the block written back differs");
  if (ring->Count() > 0) {
    const Point p = (*ring)[0];
    (void)PointInRing(*ring, p.x, p.y);
    (void)RingCentroid(*ring);
    (void)LineLength(*ring);
    (void)ProjectOnLine(*ring, p, 10, 0);
    if (ring->Count() > 1) (void)ExtractSubLine(*ring, p, (*ring)[ring->Count() - 1]);
  }
  return 0;
}
