// The basin file: which municipalities (by their ISTAT code) make up each basin. Windows-1252
// on disk, lines ended by a line feed, fields separated by one tab:
//
//   Start BaCiNi di KvtPro
//   TB\t<basin name>\tTB      one per basin with municipalities, in increasing ID
//   RB\t<istat>\tRB           one per municipality of that basin, in increasing code
//   End bAcInI di KvtPro
//
// The reader is strict: anything else, a field over its limit (first and third at most 15
// bytes, second at most 63), an "RB" before any "TB", or a file that stops before its end
// marker makes the whole file illegal. A "\r" before a line feed is taken with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::refdata {

inline constexpr std::string_view kBasinStart = "Start BaCiNi di KvtPro";
inline constexpr std::string_view kBasinEnd = "End bAcInI di KvtPro";

struct BasinGroup {
  std::string name;                // UTF-8
  std::vector<std::string> istat;  // UTF-8, in file order
};

// The basins of the file in file order; nothing when the file is illegal.
std::optional<std::vector<BasinGroup>> ParseBasinFile(std::string_view bytes);

// Writes the file a row at a time, in the order of the export's selection (basin ID, code).
class BasinFileWriter {
 public:
  BasinFileWriter() : text_(std::string(kBasinStart) + '\n') {}
  void Add(int basinId, std::string_view utf8Name, std::string_view utf8Istat);
  // The whole file: the marker lines around what was added.
  std::string Finish() const { return text_ + std::string(kBasinEnd) + '\n'; }
  int Basins() const { return basins_; }
  int Municipalities() const { return municipalities_; }

 private:
  std::string text_;
  bool any_ = false;
  int lastBasin_ = 0;
  int basins_ = 0, municipalities_ = 0;
};

}  // namespace kvt::refdata
