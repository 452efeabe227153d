// The in-force map: for one context (a letter chosen by the user), on which
// days each communication of each company is still valid. A replacing communication
// (`azzera`) cuts its period out of every lower-numbered communication of its company.
//
// Reports, timetables and exports build the map once per operation and then mask the day
// strings of `mesi` with it, or test single dates. The map owns plain values; it is built
// either from rows fed one by one (InForceMap::Add) or from the database (BuildInForceMap;
// comms/running_days.h reads it together with each communication's period).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/dates.h"

namespace kvt::db {
class Database;
}

namespace kvt::comms {

// A validity interval of day numbers yyyymmdd, both ends included; (0, 0) is empty.
struct Interval {
  int32_t first = 0;
  int32_t last = 0;
  friend bool operator==(const Interval&, const Interval&) = default;
};

struct InForceCommunication {
  int32_t protoc = 0;
  std::vector<Interval> intervals;  // in insertion order
};

struct InForceCompany {
  int32_t azienda = 0;
  std::vector<InForceCommunication> communications;  // in insertion order

  const InForceCommunication* Find(int32_t protoc) const;
};

class InForceMap {
 public:
  // One `proto` row; rows must come ordered by company and communication number.
  void Add(int32_t azienda, int32_t protoc, bool azzera, const Date& datini, const Date& datfin);

  const InForceCompany* FindCompany(int32_t azienda) const;
  const std::vector<InForceCompany>& Companies() const { return companies_; }

 private:
  std::vector<InForceCompany> companies_;
};

// Cuts [first, last] (day numbers) out of the intervals of a communication.
void CutPeriod(InForceCommunication& communication, const Date& first, const Date& last);

// True when the company entry holds the communication and one of its intervals contains the
// date ("GG/MM/AAAA", read by position). False for a null company or an unreadable date.
bool IsInForce(const InForceCompany* company, int32_t protoc, std::string_view date);
bool IsInForce(const InForceCompany* company, int32_t protoc, const Date& date);

// Sets to 'N' each of the 31 positions of `giorni` whose date (day d of the month, taken
// nominally even past the month's end) is not in force. Nothing changes when the company
// entry is null or does not hold the communication.
void MaskMonth(const InForceCompany* company, int32_t protoc, int anno, int mese,
               std::string& giorni);

// Reads `proto` for the context (its communication types: ContextTypeCondition of
// comms/running_days.h) and builds the map; nullopt when the database could not be read
// (the selection has shown why): a map of the rows read so far would tell trips out of force.
std::optional<InForceMap> BuildInForceMap(db::Database& db, char context);

// The context chooser "Selezione Contesto": its entries in order, the letter of a chosen
// position (nothing for no choice), and the message for an invalid choice.
inline constexpr std::string_view kContextCaption = "Selezione Contesto";
std::vector<std::string> ContextEntries();
std::optional<char> ContextLetter(int position);
std::string ContextInvalidMessage();

}  // namespace kvt::comms
