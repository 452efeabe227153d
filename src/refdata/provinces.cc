#include "refdata/provinces.h"

#include "core/text.h"
#include "platform/data_dir.h"
#include "refdata/lot_file.h"
#include "refdata/output.h"

namespace kvt::refdata {

namespace {
constexpr int64_t kMaxProvinceFileBytes = 1 << 20;
}

std::vector<Province> ParseProvinces(std::string_view text) {
  std::vector<Province> out;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') return;
    const size_t blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) return;
    std::string_view caption = line.substr(blank);
    while (!caption.empty() && (caption.front() == ' ' || caption.front() == '\t'))
      caption.remove_prefix(1);
    if (!caption.empty()) out.push_back({std::string(line.substr(0, blank)), std::string(caption)});
  });
  return out;
}

std::vector<Province> InstalledProvinces() {
  const std::optional<std::string> text =
      ReadWholeFile(DataDir() + "/" + std::string(kProvinceFileName), kMaxProvinceFileBytes);
  return text ? ParseProvinces(*text) : std::vector<Province>{};
}

}  // namespace kvt::refdata
