// The tender-lot assignment file "CorseLotto": the lots trips use and every trip's lot, so
// that an assignment moves between databases. Windows-1252 on disk, one record a line:
//
//   <lotti>
//   <ID>\t<name>          one per lot used by trips, lot 0 never
//   <fi_lotti>
//   <corse>
//   <company>\t<trip>\t<lot>
//   <fi_corse>
//
// The reader is lenient as the file always was: tags are whole lines, other lines are split
// at tabs, lines outside the two sections are ignored. A line ending "\r\n" reads as one
// ending "\n".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::refdata {

struct LotName {
  int64_t id = 0;
  std::string name;  // UTF-8, trailing blanks trimmed
};

struct TripLot {
  int64_t azienda = 0;
  int64_t id = 0;
  int64_t lotto = 0;
  auto operator<=>(const TripLot&) const = default;
};

struct LotAssignment {
  std::vector<LotName> lots;   // in file order
  std::vector<TripLot> trips;  // in file order
};

// Reads the bytes of a file. A trip line with fewer than three fields is skipped: there is
// no trip to assign.
LotAssignment ParseLotAssignment(std::string_view bytes);

// The pieces of the file, in Windows-1252 with their line feeds.
std::string LotLine(int64_t id, std::string_view utf8Name);
std::string TripLotLine(const TripLot& trip);

inline constexpr std::string_view kLotsOpenTag = "<lotti>";
inline constexpr std::string_view kLotsCloseTag = "<fi_lotti>";
inline constexpr std::string_view kTripsOpenTag = "<corse>";
inline constexpr std::string_view kTripsCloseTag = "<fi_corse>";

// A text of the database as a field of these files: Windows-1252, trailing blanks trimmed,
// a tab or line break inside it (which would split the record) written as a blank.
std::string FieldBytes(std::string_view utf8);

// Splits `line` at tab characters (an empty line gives one empty field).
std::vector<std::string_view> SplitTabs(std::string_view line);

// Calls `line` for every line of `bytes` without its "\n" (and a "\r" before it). A last line
// without a line feed counts; an empty text has no lines.
template <class F>
void ForEachLine(std::string_view bytes, F&& line) {
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view l = bytes.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    line(l);
    start = end + 1;
  }
}

}  // namespace kvt::refdata
