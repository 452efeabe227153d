// Service profiles: how much service a contract (authority, company) runs over time.
//
//  - the daily profile: the contract kilometres of every day of a period (each trip's
//    `ct_lung` on every day it runs, with the in-force masking and the later communication
//    replacing the earlier one inside its own period, as the statements count them); the
//    base of the "PROF" text file and of the daily chart;
//  - the hourly profile: how many trips are in service at every minute of one reference
//    day, on a 48-hour axis so that trips running past midnight fit.
//
// Kilometres are kept as 64-bit integer metres; texts are made only where they are printed
// or written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "contracts/statement.h"
#include "core/dates.h"

namespace kvt::contracts {

struct ProfileParams {
  char context = 'B';  // 'B', 'P' or 'I' (a 'P' profile counts 'A' communications too)
  int ente = -1;       // authority code, -1 for all
  int azienda = -1;    // company code, -1 for all
  std::string startDate = "01/01/2010";  // daily profile: the period, "GG/MM/AAAA"
  std::string endDate = "31/12/2010";
  std::string date = "15/03/2010";  // hourly profile: the reference day
  OutputKind output = OutputKind::Preview;
};

struct DailyProfile {
  int ente = 0;
  int azienda = 0;
  Date first;                   // the first day of the period
  std::vector<int64_t> metres;  // contract metres of each day of the period, in order

  int64_t TotalMetres() const;
  int64_t MaxMetres() const;
  Date DayAt(size_t index) const;  // the date of metres[index]
};

// One profile per contract that runs at least one day in the period, ordered by authority
// and company (the lot is not a condition). Nothing when the database failed (the error
// has been shown) or the user stopped the work; an empty list when nothing runs.
std::optional<std::vector<DailyProfile>> ExtractDailyProfiles(db::Database& db, Ui& ui,
                                                              const ProfileParams& params);

// Minute 0 is 00:00 of the reference day; 48 hours.
inline constexpr int kProfileMinutes = 2880;
inline constexpr int kDayMinutes = 1440;

struct HourlyProfile {
  int ente = 0;
  int azienda = 0;
  std::array<int, kProfileMinutes> counters{};  // trips in service at each minute
  int trips = 0;                                // trips running on the reference day

  int Peak() const;        // the largest counter
  int PeakMinute() const;  // the first minute that reaches it
  // The last minute with service, never below 1440: the axis always shows the whole day.
  int AxisEnd() const;
};

// One profile per contract (in the order authority, company) that has a trip whose
// communication is in force on the reference day. Each trip counts from its departure
// (included) to its arrival (excluded); an arrival before the departure is on the next day.
// Of several months of a trip (one per communication) the last in force decides whether it
// runs. Nothing when the database failed or the user stopped the work; an empty list when
// nothing is in force.
std::optional<std::vector<HourlyProfile>> ExtractHourlyProfiles(db::Database& db, Ui& ui,
                                                                const ProfileParams& params);

// --- Texts ---
std::string WeekdayAbbreviation(const Date& d);  // "LUN" .. "DOM"
std::string MonthName(int month);                // "GENNAIO" .. "DICEMBRE"
std::string MonthHeading(int month, int year);   // "GENNAIO %04d"
std::string ShortDay(const Date& d);             // "GEN %02d" (day of the month)
std::string DayKmText(int64_t metres);           // "%1.0lf Km " of the kilometres, half up
std::string ContractTotalText(int64_t metres);   // "Totale Contratto %1.2lf Km"
std::string PeakText(int peak);                  // "Picco %d Corse"

// National public holidays (fixed dates and Easter Monday): coloured with the Sundays.
bool IsHoliday(const Date& d);

inline constexpr std::string_view kDailyTitle = "Profilo di servizio";
inline constexpr std::string_view kHourlyTitle = "Profilo Orario";

}  // namespace kvt::contracts
