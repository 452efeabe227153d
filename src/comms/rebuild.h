// The command "&Ripristina Giorni di Effettuazione Corse": rebuilds every running day
// (`giorni`) of one company from the months (`mesi`) of its communications of type "P" and
// "A", as importing them again in ascending number would. The deletion and the new rows
// are one transaction: a failure half-way leaves the company's days as they were.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/form.h"

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::comms {

// What the rebuild of one company did.
struct RebuildResult {
  long deleted = 0;   // day rows of the company before the rebuild
  long inserted = 0;  // day rows the database accepted
  long total = 0;     // running days of the months ("S"), non-existent days included
};

// The chooser's entries: "%04d - %s" for every company with a "P" or "A" communication,
// ordered by name; nullopt when the database could not be read (its message shown).
std::optional<std::vector<std::string>> RebuildCompanyEntries(db::Database& db);

// The chooser form: one list, field id "azienda". Its accept handler refuses a text that
// is not the code of a listed company with the stop message of pick lists, and stays open.
// `code` receives the chosen company.
Form RebuildCompanyForm(Ui& ui, std::vector<std::string> entries, int& code);

// Rebuilds the days of `azienda` in one transaction. False when it failed (rolled back,
// kRebuildAbortedMessage shown, or kCancelledMessage when the user stopped it).
bool RebuildRunningDays(db::Database& db, Ui& ui, int azienda, RebuildResult& result);

// The result message.
std::string RebuildResultText(const RebuildResult& result);

inline constexpr std::string_view kRebuildTitle = "Ripristino Giorni di Effettuazione Corse";
inline constexpr std::string_view kRebuildAbortedMessage =
    "ATTENZIONE: la rigenerazione della Tavola Giorni Effettuazione Corse si è interrotta per "
    "un errore.\n\n"
    "I giorni di effettuazione dell'azienda sono rimasti quelli precedenti.";

// The whole command: chooser, rebuild, result message. False when cancelled or failed.
bool RebuildRunningDaysCommand(db::Database& db, Ui& ui);

}  // namespace kvt::comms
