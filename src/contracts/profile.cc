// The service profiles' readings: the daily kilometres per contract (the trips, then their
// months masked and merged as the statement merges them) and the minute counters of one
// reference day.
#include "contracts/profile.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "comms/running_days.h"
#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"

namespace kvt::contracts {

namespace {

std::string ChosenTrips(const ProfileParams& p) {
  std::string where;
  if (p.ente >= 0) where += Format(" AND corse.ente = %d", p.ente);
  if (p.azienda >= 0) where += Format(" AND corse.azienda = %d", p.azienda);
  return where;
}

using ContractKey = std::pair<int, int>;  // (ente, azienda)

// A trip of the daily profile: its contract length and the contract it counts for.
struct DailyTrip {
  int32_t length = 0;
  int contract = 0;
};

// The trips of the chosen contracts and the (empty) profiles of their contracts.
bool ReadDailyTrips(db::Database& db, const ProfileParams& p, const Date& from, const Date& to,
                    std::unordered_map<uint64_t, DailyTrip>& trips,
                    std::vector<DailyProfile>& profiles) {
  std::map<ContractKey, std::vector<uint64_t>> byContract;
  std::unordered_map<uint64_t, int32_t> lengths;
  db::Selection s(&db);
  s.AddColumn("corse", "ID", db::kSqlInteger);
  s.AddColumn("corse", "ente", db::kSqlSmallInt);
  s.AddColumn("corse", "azienda", db::kSqlSmallInt);
  s.AddColumn("corse", "ct_lung", db::kSqlInteger);
  s.SetFrom("corse");
  s.SetWhere("corse.azienda >= 0" + ChosenTrips(p));
  if (db::ForEachRow(s, [&] {
        const uint64_t key = comms::TripKey(s.GetShort(2), s.GetLong(0));
        byContract[{s.GetShort(1), s.GetShort(2)}].push_back(key);
        lengths[key] = s.GetLong(3);
      }) != db::Walk::End)
    return false;
  const int days = comms::PeriodDays(from, to);
  trips.reserve(lengths.size());
  for (const auto& [contract, keys] : byContract) {
    const int index = static_cast<int>(profiles.size());
    DailyProfile& profile = profiles.emplace_back();
    profile.ente = contract.first;
    profile.azienda = contract.second;
    profile.first = from;
    profile.metres.assign(days, 0);
    for (uint64_t key : keys) trips[key] = DailyTrip{lengths[key], index};
  }
  return true;
}

// The running days of the chosen trips, each trip's contract length added to its
// contract's days.
bool CountDailyDays(db::Database& db, const ProfileParams& p, const Date& from, const Date& to,
                    const comms::ContextCommunications& communications,
                    const std::unordered_map<uint64_t, DailyTrip>& trips,
                    std::vector<DailyProfile>& profiles, std::vector<bool>& runs,
                    ProgressScope& progress) {
  if (trips.empty()) return true;
  comms::TripChoice choice;
  choice.ente = p.ente;
  choice.azienda = p.azienda;
  const auto add = [&](const comms::TripRunningDays& t) {
    auto it = trips.find(comms::TripKey(t.azienda, t.id));
    if (it == trips.end()) return;
    const DailyTrip& trip = it->second;
    std::vector<int64_t>& metres = profiles[trip.contract].metres;
    runs[trip.contract] = true;
    t.days.ForEach([&](int day) { metres[day] += trip.length; });
  };
  return comms::WalkRunningDays(db, communications, from, to, choice,
                                static_cast<long long>(trips.size()), progress,
                                add) == comms::RunningDaysResult::Done;
}

}  // namespace

int64_t DailyProfile::TotalMetres() const {
  int64_t total = 0;
  for (int64_t m : metres) total += m;
  return total;
}

int64_t DailyProfile::MaxMetres() const {
  return metres.empty() ? 0 : *std::max_element(metres.begin(), metres.end());
}

Date DailyProfile::DayAt(size_t index) const {
  Date d = first;
  // Whole months first, then days: a year of days is twelve steps and a few.
  while (index > 0) {
    const int left = DaysInMonth(d.month, d.year) - d.day + 1;
    if (index >= static_cast<size_t>(left)) {
      index -= left;
      d = d.month == 12 ? Date{1, 1, d.year + 1} : Date{1, d.month + 1, d.year};
    } else {
      d.day += static_cast<int>(index);
      index = 0;
    }
  }
  return d;
}

std::optional<std::vector<DailyProfile>> ExtractDailyProfiles(db::Database& db, Ui& ui,
                                                              const ProfileParams& params) {
  const std::optional<Date> from = ParseDateByPosition(params.startDate);
  const std::optional<Date> to = ParseDateByPosition(params.endDate);
  if (!from || !to || !IsValidDate(*from) || !IsValidDate(*to) ||
      comms::PeriodDays(*from, *to) == 0)
    return std::vector<DailyProfile>{};

  WaitScope wait(ui);
  ProgressScope progress(ui, "Lettura Comunicazioni in Vigore", ProgressScope::Cancellable{});
  const std::optional<comms::ContextCommunications> communications =
      comms::ReadContextCommunications(db, params.context);
  if (!communications) return std::nullopt;

  progress.Caption("Lettura Corse");
  std::unordered_map<uint64_t, DailyTrip> trips;
  std::vector<DailyProfile> profiles;
  if (!ReadDailyTrips(db, params, *from, *to, trips, profiles)) return std::nullopt;

  progress.Caption("Conteggio Giorni di Effettuazione");
  std::vector<bool> runs(profiles.size(), false);
  if (!CountDailyDays(db, params, *from, *to, *communications, trips, profiles, runs, progress))
    return std::nullopt;

  std::vector<DailyProfile> running;
  for (size_t i = 0; i < profiles.size(); ++i)
    if (runs[i]) running.push_back(std::move(profiles[i]));
  return running;
}

int HourlyProfile::Peak() const {
  return *std::max_element(counters.begin(), counters.end());
}

int HourlyProfile::PeakMinute() const {
  return static_cast<int>(std::max_element(counters.begin(), counters.end()) - counters.begin());
}

int HourlyProfile::AxisEnd() const {
  int last = kProfileMinutes - 1;
  while (last > 0 && counters[last] == 0) --last;
  return std::max(last, kDayMinutes);
}

std::optional<std::vector<HourlyProfile>> ExtractHourlyProfiles(db::Database& db, Ui& ui,
                                                                const ProfileParams& params) {
  const std::optional<Date> date = ParseDateByPosition(params.date);
  if (!date || !IsValidDate(*date)) return std::vector<HourlyProfile>{};

  WaitScope wait(ui);
  ProgressScope progress(ui, "Lettura Comunicazioni in Vigore", ProgressScope::Cancellable{});
  const std::optional<comms::ContextCommunications> communications =
      comms::ReadContextCommunications(db, params.context);
  if (!communications) return std::nullopt;

  progress.Caption("Lettura Corse");
  db::Selection s(&db);
  s.AddColumn("corse", "ID", db::kSqlInteger);
  s.AddColumn("corse", "ente", db::kSqlSmallInt);
  s.AddColumn("corse", "azienda", db::kSqlSmallInt);
  s.AddColumn("corse", "hh_p", db::kSqlSmallInt);
  s.AddColumn("corse", "mm_p", db::kSqlSmallInt);
  s.AddColumn("corse", "hh_a", db::kSqlSmallInt);
  s.AddColumn("corse", "mm_a", db::kSqlSmallInt);
  s.AddColumn("mesi", "giorni", db::kSqlChar);
  s.AddColumn("mesi", "protoc", db::kSqlInteger);
  s.SetFrom("corse, mesi");
  s.SetWhere(Format("mesi.azienda = corse.azienda AND mesi.ID = corse.ID"
                    " AND mesi.anno = %d AND mesi.mese = %d",
                    date->year, date->month) +
             ChosenTrips(params));
  s.SetOrderBy("corse.ente, corse.azienda, corse.ID, mesi.anno, mesi.mese, mesi.protoc");

  // Per contract, +1 at each departure and -1 at each arrival; summed at the end.
  std::vector<HourlyProfile> profiles;
  std::vector<std::array<int, kProfileMinutes + 1>> steps;
  struct Trip {
    bool open = false;
    int azienda = 0;
    int32_t id = 0;
    bool runs = false;
    int departure = 0, arrival = 0;
  } trip;
  const auto closeTrip = [&] {
    if (!trip.open || !trip.runs) return;
    const int from = std::clamp(trip.departure, 0, kProfileMinutes);
    const int to = std::clamp(trip.arrival, 0, kProfileMinutes);
    ++profiles.back().trips;
    if (from >= to) return;
    ++steps.back()[from];
    --steps.back()[to];
  };
  const std::string day = FormatDate(*date);
  if (db::ForEachRow(s, [&] {
        if (progress.Stopped()) return false;
        const int32_t id = s.GetLong(0);
        const int ente = s.GetShort(1);
        const int azienda = s.GetShort(2);
        const int32_t protoc = s.GetLong(8);
        if (!comms::IsInForce(communications->map.FindCompany(azienda), protoc, *date)) return true;
        if (!trip.open || azienda != trip.azienda || id != trip.id) {
          closeTrip();
          if (profiles.empty() || profiles.back().ente != ente ||
              profiles.back().azienda != azienda) {
            profiles.emplace_back();
            profiles.back().ente = ente;
            profiles.back().azienda = azienda;
            steps.emplace_back();
            steps.back().fill(0);
          }
          trip = Trip{true, azienda, id};
          trip.departure = s.GetShort(3) * 60 + s.GetShort(4);
          trip.arrival = s.GetShort(5) * 60 + s.GetShort(6);
          if (trip.arrival < trip.departure) trip.arrival += kDayMinutes;
        }
        const std::string giorni = s.GetText(7);
        trip.runs = giorni.size() >= static_cast<size_t>(date->day) && giorni[date->day - 1] == 'S';
        return true;
      }) != db::Walk::End)
    return std::nullopt;
  closeTrip();
  for (size_t i = 0; i < profiles.size(); ++i) {
    int running = 0;
    for (int m = 0; m < kProfileMinutes; ++m) profiles[i].counters[m] = running += steps[i][m];
  }
  return profiles;
}

std::string WeekdayAbbreviation(const Date& d) {
  static const char* const kNames[] = {"LUN", "MAR", "MER", "GIO", "VEN", "SAB", "DOM"};
  const int w = Weekday(d);
  return w >= 1 && w <= 7 ? kNames[w - 1] : "";
}

std::string MonthName(int month) {
  static const char* const kNames[] = {"GENNAIO",   "FEBBRAIO", "MARZO",    "APRILE",
                                       "MAGGIO",    "GIUGNO",   "LUGLIO",   "AGOSTO",
                                       "SETTEMBRE", "OTTOBRE",  "NOVEMBRE", "DICEMBRE"};
  return month >= 1 && month <= 12 ? kNames[month - 1] : "";
}

std::string MonthHeading(int month, int year) {
  return MonthName(month) + Format(" %04d", year);
}

std::string ShortDay(const Date& d) {
  return MonthName(d.month).substr(0, 3) + Format(" %02d", d.day);
}

std::string DayKmText(int64_t metres) {
  const int64_t km = metres >= 0 ? (metres + 500) / 1000 : -((-metres + 500) / 1000);
  return Format("%lld Km ", static_cast<long long>(km));
}

std::string ContractTotalText(int64_t metres) {
  return "Totale Contratto " + KmText(metres) + " Km";
}

std::string PeakText(int peak) {
  return Format("Picco %d Corse", peak);
}

bool IsHoliday(const Date& d) {
  static constexpr int kFixed[][2] = {{1, 1},  {6, 1},  {25, 4}, {1, 5},   {2, 6},
                                      {15, 8}, {1, 11}, {8, 12}, {25, 12}, {26, 12}};
  for (const auto& f : kFixed)
    if (d.day == f[0] && d.month == f[1]) return true;
  // Easter Monday (anonymous Gregorian algorithm for Easter Sunday).
  const int y = d.year;
  const int a = y % 19, b = y / 100, c = y % 100, dd = b / 4, e = b % 4;
  const int f = (b + 8) / 25, g = (b - f + 1) / 3, h = (19 * a + b - dd - g + 15) % 30;
  const int i = c / 4, k = c % 4, l = (32 + 2 * e + 2 * i - h - k) % 7;
  const int m = (a + 11 * h + 22 * l) / 451;
  const int month = (h + l - 7 * m + 114) / 31;
  const int day = (h + l - 7 * m + 114) % 31 + 1;
  const Date monday = DayAfter(Date{day, month, y});
  return d == monday;
}

}  // namespace kvt::contracts
