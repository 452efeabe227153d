// The lot assignment file reader (ParseLotAssignment). Property: the lots and trips it
// reads, written again with LotLine and TripLotLine inside their tags, read the same.
#include <string>

#include "fuzz_util.h"
#include "refdata/lot_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  using namespace kvt::refdata;
  const LotAssignment a = ParseLotAssignment(AsText(data, size));
  std::string written = std::string(kLotsOpenTag) + "\n";
  for (const LotName& lot : a.lots) {
    if (lot.name.find('\r') != std::string::npos) return 0;  // written as a blank
    written += LotLine(lot.id, lot.name);
  }
  written += std::string(kLotsCloseTag) + "\n" + std::string(kTripsOpenTag) + "\n";
  for (const TripLot& trip : a.trips) written += TripLotLine(trip);
  written += std::string(kTripsCloseTag) + "\n";
  const LotAssignment again = ParseLotAssignment(written);
  Check(again.trips == a.trips, "written trips read differently", written);
  Check(again.lots.size() == a.lots.size(), "written lots are other lots", written);
  for (size_t i = 0; i < a.lots.size(); ++i)
    Check(again.lots[i].id == a.lots[i].id && again.lots[i].name == a.lots[i].name,
          "a written lot reads differently", written);
  return 0;
}
