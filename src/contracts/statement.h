// Contract statements: which trips of a context, authority, company and lot run in a
// period, on how many days, for how many contract kilometres and minutes; grouped into line,
// route and contract totals.
//
// The extraction gives plain rows that other outputs (the printed statement, the contract
// attachments, the service profiles) build on: one `StatementRow` per trip that runs at
// least one day in the period, in print order, with its figures per month. The grouping
// inserts the total rows in a separate step, so that a caller who wants trips only skips it.
//
// Exactness: lengths are whole metres and times whole minutes; every product and total is
// kept in 64-bit integers and written with two decimals rounded half up, so that a figure
// never depends on the rounding of a double.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace kvt::db {
class Database;
}

namespace kvt::contracts {

// "Contratti di &Servizio" (one row a trip, totals per line) and "Contratti di Servizio
// (&Gara)" (one row a trip shown with its route code, totals per route and line).
enum class StatementKind { ByTrip, ByRoute };
enum class DetailLevel { Analytic, Synthetic };          // all trips / line totals only
enum class DistanceType { Conventional, Cartographic };  // ct_lung / the route's drawn line
enum class OutputKind { Preview, Print };

struct StatementParams {
  char context = 'B';  // 'B', 'P' or 'I'; a 'P' statement counts 'A' communications too
  int ente = -1;       // authority code, -1 for all
  int azienda = -1;    // company code, -1 for all
  int lotto = -1;      // lot ID, -1 for all
  std::string startDate = "01/01/2010";  // "GG/MM/AAAA", a valid date
  std::string endDate = "31/12/2010";
  OutputKind output = OutputKind::Preview;
  DetailLevel detail = DetailLevel::Synthetic;
  DistanceType distance = DistanceType::Conventional;
};

// The days a trip runs in one month of the period (after the in-force masking and the
// merge of the communications that declare that month).
struct MonthFigures {
  int anno = 0;
  int mese = 0;
  int days = 0;   // running days counted in the period
  int first = 0;  // first and last running day (1-based), 0 when none
  int last = 0;
};

enum class RowKind : char {
  Trip = ' ',
  LineTotal = 'L',
  RouteTotal = 'P',
  ContractTotal = 'T',
};

struct StatementRow {
  RowKind kind = RowKind::Trip;

  // Trip (and, for totals, the group they close: contract, line, route).
  int32_t ID = 0;  // corse.ID
  int ente = 0;
  int azienda = 0;
  std::string codlinea;  // trailing blanks removed
  char verso = ' ';
  std::string codcorsa;  // trailing blanks removed
  std::string percorso;  // tesitine.codperc, by-route statement only (trailing blanks removed)
  int32_t codperc = 0;   // corse.codperc, the route ID
  char mezzo = ' ';

  int32_t lung = 0;            // declared length, metres
  int tempo = 0;               // declared time, minutes
  int32_t contractLength = 0;  // ct_lung, or the route's drawn length (truncated metres)
  int ct_tempo = 0;            // contract time, minutes

  int departure = 0;  // minute of the day (hh_p * 60 + mm_p)
  int32_t capol_p = 0;
  std::string departureText;  // "%d:%02d %s" (by route "%d:%02d"); empty when not looked up
  int arrival = 0;
  int32_t capol_a = 0;
  std::string arrivalText;

  int days = 0;                          // running days in the period
  std::string firstDate = "99/99/9999";  // first and last running day, "GG/MM/AAAA"
  std::string lastDate = "00/00/0000";
  std::vector<MonthFigures> months;  // months with their counts, by year and month

  // Total rows: the contract kilometres (metres) and minutes of the group.
  int64_t totalMetres = 0;
  int64_t totalMinutes = 0;

  // Trip rows: contract metres and minutes over the period.
  int64_t PeriodMetres() const { return int64_t{contractLength} * days; }
  int64_t PeriodMinutes() const { return int64_t{ct_tempo} * days; }
};

// Reads the trips and their months and counts their running days. Trip rows only, in print
// order, each with at least one running day. Terminus texts are filled at the analytic
// level, contract lengths replaced by drawn lengths with cartographic distances (a corrupt
// line is reported and its trips get 0). Progress goes to `ui`, which may stop the work.
// Nothing when the database failed (the error has been shown) or the work was stopped; an
// empty list when no trip runs.
std::optional<std::vector<StatementRow>> ExtractTrips(db::Database& db, Ui& ui,
                                                      const StatementParams& params,
                                                      StatementKind kind);

// Inserts the total rows into a list of trip rows: a line total (by route also a route
// total) when the line (route) changes, a contract total when the contract changes, and the
// last ones at the end.
void InsertTotals(std::vector<StatementRow>& rows, StatementKind kind);

// ExtractTrips followed by InsertTotals.
std::optional<std::vector<StatementRow>> Extract(db::Database& db, Ui& ui,
                                                 const StatementParams& params, StatementKind kind);

// --- Texts of the figures, as printed ---
std::string ModeName(char mezzo);                   // "Urbano", "Extra", ... "???"
std::string KmText(int64_t metres);                 // "%1.2lf" of km, rounded half up
std::string TripTimeText(int minutes);              // "%d.%02d" from an hour, else "%d"
std::string PeriodTimeText(int64_t minutes);        // "%d:%02d", under an hour "00:%02d"
std::string TotalTimeText(int64_t minutes);         // "%ld:%02ld", under an hour "00:%02ld"
std::string LineCodeText(const StatementRow& row);  // line code + " %c"
std::string PeriodText(const StatementRow& row);    // "%s / %s"
std::string TotalLabel(const StatementRow& row);    // "Totali Linea L1 A", ...

inline constexpr std::string_view kNoDataMessage = "Non ci sono dati da stampare !!!";
inline constexpr std::string_view kPrintTitle = "Contratti di servizio";

// Whether an extraction left something to print or write. When not, says why, unless it
// has been said: a stop (`cancelled`), or nothing to print; a database failure was shown.
template <typename Row>
bool HasData(Ui& ui, const std::optional<std::vector<Row>>& rows, std::string_view cancelled) {
  if (!rows) {
    if (ui.CancelRequested()) ui.Info(cancelled);
    return false;
  }
  if (rows->empty()) {
    ui.Info(kNoDataMessage);
    return false;
  }
  return true;
}

}  // namespace kvt::contracts
