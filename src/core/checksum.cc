#include "core/checksum.h"

namespace kvt {

int32_t LineChecksum(std::string_view record) {
  // Unsigned arithmetic gives the 32-bit wrap without undefined behaviour.
  uint32_t sum = 0;
  for (char c : record) {
    if (c == '\t' || c == '\n') continue;
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c)));
  }
  return static_cast<int32_t>(sum);
}

int32_t FoldChecksum(int32_t running, int32_t line) {
  // C++ division truncates, so the remainder keeps the sign of the dividend.
  return static_cast<int32_t>((static_cast<int64_t>(running) + line) % 1000000000);
}

}  // namespace kvt
