#include "refdata/basin_file.h"

#include "core/text.h"
#include "refdata/lot_file.h"

namespace kvt::refdata {

namespace {

constexpr size_t kMaxTagBytes = 15;
constexpr size_t kMaxValueBytes = 63;

class BasinReader {
 public:
  // False once the file is known to be illegal.
  bool Line(std::string_view line);
  bool Ended() const { return ended_; }
  std::vector<BasinGroup>& Basins() { return basins_; }

 private:
  bool Record(const std::vector<std::string_view>& f);

  bool started_ = false, ended_ = false;
  std::vector<BasinGroup> basins_;
};

bool BasinReader::Line(std::string_view line) {
  if (ended_) return false;  // nothing may follow the end marker
  const std::vector<std::string_view> f = SplitTabs(line);
  if (f.size() == 1) {
    if (!started_ && line == kBasinStart) return started_ = true;
    if (started_ && line == kBasinEnd) return ended_ = true;
    return false;
  }
  return started_ && f.size() == 3 && Record(f);
}

bool BasinReader::Record(const std::vector<std::string_view>& f) {
  if (f[0].size() > kMaxTagBytes || f[1].size() > kMaxValueBytes || f[2].size() > kMaxTagBytes)
    return false;
  if (f[0] == "TB" && f[2] == "TB") {
    basins_.push_back({Cp1252ToUtf8(Trim(f[1])), {}});
    return true;
  }
  if (f[0] == "RB" && f[2] == "RB" && !basins_.empty()) {
    basins_.back().istat.push_back(Cp1252ToUtf8(Trim(f[1])));
    return true;
  }
  return false;
}

}  // namespace

std::optional<std::vector<BasinGroup>> ParseBasinFile(std::string_view bytes) {
  BasinReader reader;
  bool legal = true;
  ForEachLine(bytes, [&](std::string_view line) { legal = legal && reader.Line(line); });
  if (!legal || !reader.Ended()) return std::nullopt;
  return std::move(reader.Basins());
}

void BasinFileWriter::Add(int basinId, std::string_view utf8Name, std::string_view utf8Istat) {
  if (!any_ || basinId != lastBasin_) {
    text_ += "TB\t" + FieldBytes(utf8Name) + "\tTB\n";
    ++basins_;
    any_ = true;
    lastBasin_ = basinId;
  }
  text_ += "RB\t" + FieldBytes(utf8Istat) + "\tRB\n";
  ++municipalities_;
}

}  // namespace kvt::refdata
