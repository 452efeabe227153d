// The drawn length of a route from its stored point block (internal to contracts/).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kvt::contracts {

// The length in metres of the line whose `punti` points (X then Y, little-endian doubles,
// 16 bytes a point) are `block`; nothing when the block is not exactly `punti` x 16 bytes.
std::optional<double> PointBlockLength(std::span<const uint8_t> block, int punti);

}  // namespace kvt::contracts
