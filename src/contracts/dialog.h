// The dialog "Stampa dei Contratti di Servizio": context, authority, company, lot, period,
// output, detail level and distance type, with its checks. The context, the authority and
// company codes and the two dates are remembered for the life of the program and offered
// again; the other choices start at their defaults every time.
//
// Field ids (also the command-line options): contesto, ente, tutti_enti, azienda,
// tutte_aziende, lotto, tutti_lotti, distanze, uscita, dettaglio, inizio, fine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/statement.h"
#include "platform/form.h"

namespace kvt::contracts {

inline constexpr std::string_view kDialogTitle = "Stampa dei Contratti di Servizio";

// What the dialog offers again at its next opening.
struct RememberedChoices {
  char context = 'B';
  int ente = -1;
  int azienda = -1;
  std::string startDate;  // empty: 1 January of the current year
  std::string endDate;    // empty: 31 December of the current year
};
RememberedChoices& Remembered();
void ForgetChoices();  // back to the first opening (tests)

// The lists: "%04d - %s" for each authority, company and lot that has at least one trip.
struct DialogLists {
  std::vector<std::string> authorities;
  std::vector<std::string> companies;
  std::vector<std::string> lots;
};
// Nothing when the database failed (the error has been shown).
std::optional<DialogLists> ReadDialogLists(db::Database& db);

// The form, filled from the remembered choices. On OK its checks run in order (context,
// authority, company, lot, start date, end date); the first failure shows its message and
// keeps the form open. When it closes by OK, `params` holds the choices and they are
// remembered.
Form StatementForm(Ui& ui, const DialogLists& lists, StatementParams& params);

// The dates' messages.
inline constexpr std::string_view kBadStartDate =
    "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
inline constexpr std::string_view kBadEndDate =
    "ATTENZIONE: la data di fine periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";

}  // namespace kvt::contracts
