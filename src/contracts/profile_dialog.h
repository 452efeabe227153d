// The dialogs of the service profiles, checked as the statement dialog is (same lists, same
// messages, same remembered context, authority, company and period; no lot):
//   "Export Txt dei Profili di Servizio"  context, authority, company, period
//   "Stampa dei Profili di Servizio"      the same and the output
//   "Stampa dei Profili Orari"            context, authority, company, output, one date
//
// Field ids (also the command-line options): contesto, ente, tutti_enti, azienda,
// tutte_aziende, uscita, inizio, fine (daily), data (hourly).
#pragma once

#include <string_view>

#include "contracts/dialog.h"
#include "contracts/profile.h"
#include "platform/form.h"

namespace kvt::contracts {

inline constexpr std::string_view kProfileTxtDialogTitle = "Export Txt dei Profili di Servizio";
inline constexpr std::string_view kDailyDialogTitle = "Stampa dei Profili di Servizio";
inline constexpr std::string_view kHourlyDialogTitle = "Stampa dei Profili Orari";

inline constexpr std::string_view kBadReferenceDate =
    "ATTENZIONE: la data di riferimento è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";

enum class ProfileDialog { DailyText, DailyChart, HourlyChart };

// The form, filled from the remembered choices; on OK its checks run in order (context,
// authority, company, then the dates) and the first failure shows its message and keeps
// the form open. Closed by OK, `params` holds the choices and they are remembered.
Form ProfileForm(Ui& ui, const DialogLists& lists, ProfileDialog kind, ProfileParams& params);

// Forgets the remembered reference date (tests).
void ForgetReferenceDate();

}  // namespace kvt::contracts
