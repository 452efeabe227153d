// The provinces of the municipality filter: deployment data, a file installed with the
// program ("province.txt" in DataDir()), read each time the dialog opens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::refdata {

struct Province {
  std::string code;     // as in comuni.provin
  std::string caption;  // the entry of the filter list
};

inline constexpr std::string_view kAllMunicipalitiesEntry = "Tutti i Comuni della Velmora";
inline constexpr std::string_view kProvinceFileName = "province.txt";

// Lines "CODE caption"; blank lines and lines beginning with '#' are skipped, and so is a
// line without a caption. UTF-8.
std::vector<Province> ParseProvinces(std::string_view text);
// The installed list; empty when the file is missing or unreadable (the filter then offers
// every municipality only).
std::vector<Province> InstalledProvinces();

}  // namespace kvt::refdata
