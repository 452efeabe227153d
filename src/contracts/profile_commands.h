// The service profiles as menu commands:
//   profile-daily-txt     "Profilo Giornaliero (&Txt)"     one "PROF_A%d_E%d.TXT" per contract
//   profile-daily-chart   "Profilo Giornaliero (&Grafico)" the daily chart, printed or previewed
//   profile-hourly-chart  "Profilo &Orario (Grafico)"      the hourly chart of one day
// On the command line the dialog's fields are options (--contesto, --azienda=0101,
// --inizio=01/01/2010, --data=15/03/2010, ...); the folder chooser takes --file or an
// operand, and --pdf FILE names the PDF of a chart.
#pragma once

#include <string_view>

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::contracts {

inline constexpr std::string_view kProfileTxtCommandId = "profile-daily-txt";
inline constexpr std::string_view kDailyChartCommandId = "profile-daily-chart";
inline constexpr std::string_view kHourlyChartCommandId = "profile-hourly-chart";

// Each whole command. False when cancelled, refused, empty or failed (the reason shown).
bool RunProfileTextCommand(Ui& ui, db::Database& db);
bool RunDailyChartCommand(Ui& ui, db::Database& db);
bool RunHourlyChartCommand(Ui& ui, db::Database& db);

}  // namespace kvt::contracts
