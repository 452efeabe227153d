// Checksums of the tagged text files exchanged with other systems (communications,
// reference bases, contract dumps). Computed on the bytes as they stand on disk.
#pragma once

#include <cstdint>
#include <string_view>

namespace kvt {

// The sum of the record's bytes taken as signed 8-bit values, TAB and LF left out, in 32-bit
// signed arithmetic (wrapping). The record is given without its line terminator.
int32_t LineChecksum(std::string_view record);

// One step of the running checksum: (running + line) modulo 1,000,000,000, the remainder
// having the sign of the dividend.
int32_t FoldChecksum(int32_t running, int32_t line);

// The running checksum of a list of lines, fed one line at a time.
class RunningChecksum {
 public:
  void Add(std::string_view record) { value_ = FoldChecksum(value_, LineChecksum(record)); }
  void Reset() { value_ = 0; }
  int32_t Value() const { return value_; }

 private:
  int32_t value_ = 0;
};

}  // namespace kvt
