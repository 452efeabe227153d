// The seed-list reader (companies and authorities). Properties: every entry read has a code
// in 0..32767, a name of 1 to 40 characters and a code of its own; the entries written one a
// line ("code name") read back the same.
#include <set>
#include <string>

#include "core/text.h"
#include "fuzz_util.h"
#include "schema/seed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  std::string error;
  auto entries = kvt::schema::ParseSeedList(AsText(data, size), &error);
  if (!entries) {
    Check(!error.empty(), "a seed list is refused without a reason");
    return 0;
  }
  std::set<int> codes;
  std::string written;
  for (const kvt::schema::SeedEntry& e : *entries) {
    Check(e.code >= 0 && e.code <= 32767, "a seed code is out of range", e.name);
    const size_t length = kvt::Utf8Length(e.name);
    Check(length >= 1 && length <= 40, "a seed name has a wrong length", e.name);
    Check(codes.insert(e.code).second, "a seed code repeats", e.name);
    written += std::to_string(e.code) + " " + e.name + "\n";
  }
  std::string again;
  auto reread = kvt::schema::ParseSeedList(written, &again);
  Check(reread.has_value(), "a seed list written from its entries is refused", again);
  Check(*reread == *entries, "a seed list written from its entries reads differently", written);
  return 0;
}
