// The basin file reader (ParseBasinFile). Properties: every accepted field is within its
// limit; the basins that have municipalities, written again with BasinFileWriter, read the
// same.
#include <string>

#include "core/text.h"
#include "fuzz_util.h"
#include "refdata/basin_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  const auto basins = kvt::refdata::ParseBasinFile(AsText(data, size));
  if (!basins) return 0;
  kvt::refdata::BasinFileWriter writer;
  std::vector<kvt::refdata::BasinGroup> expected;
  bool rewritable = true;
  for (size_t i = 0; i < basins->size(); ++i) {
    const kvt::refdata::BasinGroup& b = (*basins)[i];
    Check(kvt::Utf8ToCp1252(b.name).size() < 64, "a basin name over its limit", b.name);
    for (const std::string& code : b.istat) {
      Check(kvt::Utf8ToCp1252(code).size() < 64, "a code over its limit", code);
      rewritable = rewritable && code.find('\r') == std::string::npos;
      writer.Add(static_cast<int>(i), b.name, code);
    }
    rewritable = rewritable && b.name.find('\r') == std::string::npos;
    if (!b.istat.empty()) expected.push_back(b);
  }
  if (!rewritable) return 0;  // a carriage return inside a field is written as a blank
  const std::string written = writer.Finish();
  const auto again = kvt::refdata::ParseBasinFile(written);
  Check(again.has_value(), "a written basin file is refused", written);
  Check(again->size() == expected.size(), "a written basin file has other basins", written);
  for (size_t i = 0; i < expected.size(); ++i)
    Check((*again)[i].name == expected[i].name && (*again)[i].istat == expected[i].istat,
          "a written basin file reads differently", written);
  return 0;
}
