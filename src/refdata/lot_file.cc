#include "refdata/lot_file.h"

#include "core/text.h"

namespace kvt::refdata {

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

LotAssignment ParseLotAssignment(std::string_view bytes) {
  enum class In { None, Lots, Trips } in = In::None;
  LotAssignment out;
  ForEachLine(bytes, [&](std::string_view line) {
    if (line == kLotsOpenTag) {
      in = In::Lots;
    } else if (line == kTripsOpenTag) {
      in = In::Trips;
    } else if (line == kLotsCloseTag || line == kTripsCloseTag) {
      in = In::None;
    } else if (in == In::Lots) {
      const std::vector<std::string_view> f = SplitTabs(line);
      const std::string_view name = f.size() > 1 ? f[1] : std::string_view();
      out.lots.push_back({LeadingInt(f[0]), Cp1252ToUtf8(TrimRight(name))});
    } else if (in == In::Trips) {
      const std::vector<std::string_view> f = SplitTabs(line);
      if (f.size() >= 3)
        out.trips.push_back({LeadingInt(f[0]), LeadingInt(f[1]), LeadingInt(f[2])});
    }
  });
  return out;
}

std::string FieldBytes(std::string_view utf8) {
  std::string bytes = Utf8ToCp1252(TrimRight(utf8));
  for (char& c : bytes)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return std::string(TrimRight(bytes));
}

std::string LotLine(int64_t id, std::string_view utf8Name) {
  std::string line;
  AppendInt(line, id);
  line += '\t';
  line += FieldBytes(utf8Name);
  line += '\n';
  return line;
}

std::string TripLotLine(const TripLot& trip) {
  std::string line;
  AppendInt(line, trip.azienda);
  line += '\t';
  AppendInt(line, trip.id);
  line += '\t';
  AppendInt(line, trip.lotto);
  line += '\n';
  return line;
}

}  // namespace kvt::refdata
