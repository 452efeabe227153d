// The date and time readers of the dialogs and of stored dates. Properties: what they accept
// is a real date (a valid time) and reads again the same from the form the program writes;
// a 10-character dialog date is the written form with its separators.
#include <string>

#include "core/dates.h"
#include "core/text.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kvt::fuzz;
  const std::string_view text = AsText(data, size);

  if (auto d = kvt::ParseDialogDate(text)) {
    Check(kvt::IsValidDate(*d), "a dialog date that does not exist is accepted", text);
    const std::string written = kvt::FormatDate(*d);
    Check(kvt::ParseDialogDate(written) == d, "a dialog date does not read back", written);
    Check(kvt::ParseDateByPosition(written) == d, "a written date does not read by position",
          written);
    if (text.size() == 10) {
      for (size_t i : {0, 1, 3, 4, 6, 7, 8, 9})
        Check(written[i] == text[i], "a dialog date is written with other digits", text);
    }
    Check(kvt::FromDayNumber(kvt::DayNumber(*d)) == *d, "a day number does not read back", text);
    const int weekday = kvt::Weekday(*d);
    Check(weekday >= 1 && weekday <= 7, "a weekday is out of range", text);
    Check(kvt::DayAfter(kvt::DayBefore(*d)) == *d, "the day before and after disagree", text);
  }
  if (auto d = kvt::ParseDateByPosition(text)) {
    Check(kvt::FormatDate(*d) == std::string(text.substr(0, 2)) + "/" +
                                     std::string(text.substr(3, 2)) + "/" +
                                     std::string(text.substr(6, 4)),
          "a stored date reads other digits", text);
  }
  if (auto t = kvt::ParseDialogTime(text)) {
    Check(t->hours >= 0 && t->hours <= 23 && t->minutes >= 0 && t->minutes <= 59,
          "a time out of range is accepted", text);
    const std::string written = kvt::Format("%d.%02d", t->hours, t->minutes);
    Check(kvt::ParseDialogTime(written) == t, "a time does not read back", written);
    Check(t->Minutes() == t->hours * 60 + t->minutes && t->Hhmm() == t->hours * 100 + t->minutes,
          "a time's minutes are wrong", text);
  }
  return 0;
}
