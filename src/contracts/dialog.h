// The dialog "Stampa dei Contratti di Servizio": context, authority, company, lot, period,
// output, detail level and distance type, with its checks. The context, the authority and
// company codes and the two dates are remembered for the life of the program and offered
// again; the other choices start at their defaults every time.
//
// Field ids (also the command-line options): contesto, ente, tutti_enti, azienda,
// tutte_aziende, lotto, tutti_lotti, distanze, uscita, dettaglio, inizio, fine.
//
// The contract text files use the same dialog under their own titles, without the output
// and the detail level; the attachments add "Tipo Elaborazione" (id elaborazione).
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

// Which fields a variant of the dialog shows, under which title.
struct FormLayout {
  std::string title = std::string(kDialogTitle);
  bool lot = true;        // "Lotto di Gara" with "Tutti"
  bool distances = true;  // "Convenzionali" / "Cartografiche"
  bool output = true;     // "Anteprima di stampa" / "Stampa"
  bool detail = true;     // "Analitico ..." / "Sintetico ..."
  // "Tipo Elaborazione": its choices; none when empty. The last one is chosen at first.
  std::vector<std::string> processing;
};

// The form, filled from the remembered choices. On OK its checks run in order (context,
// authority, company, lot, start date, end date); the first failure shows its message and
// keeps the form open. When it closes by OK, `params` holds the choices (fields the layout
// leaves out keep their values) and they are remembered; `processing`, when given, the
// position of the "Tipo Elaborazione" choice.
Form StatementForm(Ui& ui, const DialogLists& lists, StatementParams& params,
                   const FormLayout& layout = {}, int* processing = nullptr);

// The first fields of every dialog of the family, for those with other fields after them
// (the hourly profile's single date): "Selezione Contesto", "Ente" with "Tutti" and
// "Azienda" with "Tutte", filled from the remembered choices (ticking an "all" box disables
// its list, choosing an entry unticks it); and their checks in that order with their
// messages: nothing, said, when one fails. -1 stands for all.
struct ContractChoice {
  char context = 'B';
  int ente = -1;
  int azienda = -1;
};
void AddContractFields(Form& form, const DialogLists& lists);
std::optional<ContractChoice> CheckContractFields(Ui& ui, const Form& f, const DialogLists& lists);

// The attachments' "Tipo Elaborazione", in the order offered.
enum class Processing { TotalsOnly = 0, DetailsOnly = 1, TotalsAndDetails = 2 };
inline constexpr std::string_view kAttachmentTitle =
    "Esportazione Allegati Contratti di Servizio";
inline constexpr std::string_view kFunctionalTitle =
    "Esportazione Analisi Funzionale Contratti di Servizio";
FormLayout AttachmentLayout();  // lot, distances, "Tipo Elaborazione"
FormLayout FunctionalLayout();  // lot, distances

// The dates' messages.
inline constexpr std::string_view kBadStartDate =
    "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";
inline constexpr std::string_view kBadEndDate =
    "ATTENZIONE: la data di fine periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";

}  // namespace kvt::contracts
