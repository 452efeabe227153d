#include "contracts/geometry.h"

#include <cmath>
#include <cstring>

namespace kvt::contracts {

namespace {

double LittleEndianDouble(const uint8_t* p) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

std::optional<double> PointBlockLength(std::span<const uint8_t> block, int punti) {
  if (punti < 0 || block.size() != static_cast<size_t>(punti) * 16) return std::nullopt;
  double length = 0;
  for (int i = 1; i < punti; ++i) {
    const uint8_t* a = block.data() + (i - 1) * 16;
    const uint8_t* b = block.data() + i * 16;
    const double dx = LittleEndianDouble(b) - LittleEndianDouble(a);
    const double dy = LittleEndianDouble(b + 8) - LittleEndianDouble(a + 8);
    length += std::sqrt(dx * dx + dy * dy);
  }
  return length;
}

}  // namespace kvt::contracts
