// What each company has sent and taking back its latest communication:
//
//   "Situazione Comunicazioni Aziendali"  two lists (companies with communications, the
//       communications of the chosen one) and the protocol data of one communication.
//   "Eliminazione Comunicazione"          the latest communication of a company and every
//       row it brought, deleted in one transaction (a failure or a killed process leaves
//       the database as it was).
//
// The chooser of the latest communications serves the reference-base export too.
#pragma once

#include <cstdint>
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

// Texts of the coded protocol fields.
std::string_view PrimacomText(bool primacom);
std::string_view TipoText(char tipo);
std::string_view AzzeraText(bool azzera);

// ---------------------------------------------------------------------------------------
// Status

inline constexpr std::string_view kStatusTitle = "Situazione Comunicazioni Aziendali";

// "%04d - %s" for every company with at least one communication, ordered by name (then
// code, so that companies of the same name keep apart); nothing when the read failed.
std::optional<std::vector<std::string>> StatusCompanyEntries(db::Database& db);
// "%ld %c del %s [dal %s al %s]" for every communication of the company, by number;
// nothing when the read failed.
std::optional<std::vector<std::string>> StatusCommunicationEntries(db::Database& db,
                                                                   int azienda);
// The information message of one communication; nothing when it is not found.
std::optional<std::string> CommunicationDetail(db::Database& db, int azienda, int32_t protoc);

// The status window: lists "azienda" and "comunicazioni"; choosing a company fills the
// second list, choosing a communication shows its detail message.
// `companies`: StatusCompanyEntries.
Form StatusForm(db::Database& db, Ui& ui, std::vector<std::string> companies);
void CommunicationStatusCommand(db::Database& db, Ui& ui);

// ---------------------------------------------------------------------------------------
// The latest communication of each company

struct CommunicationKey {
  int azienda = 0;
  int32_t protoc = 0;
};

// "%04d - %06ld - %c del %s %s" (code, number, type, date of sending, company name) of the
// highest number of every company, ordered by company name, then code.
// Nothing when the read failed (the failure has been shown).
std::optional<std::vector<std::string>> LatestCommunicationEntries(db::Database& db);

// The chosen text, validated: four digits of a listed company, and "%04d - %06d" of code
// and number beginning an entry. Nothing otherwise.
std::optional<CommunicationKey> ChosenCommunication(std::string_view chosen,
                                                    const std::vector<std::string>& entries);

// A chooser with the drop-down "comunicazione" ("Comunicazione") under `title`; its accept
// handler refuses an invalid choice with the stop message and stays open.
Form CommunicationChooser(Ui& ui, std::string title, std::vector<std::string> entries,
                          CommunicationKey& chosen);

// ---------------------------------------------------------------------------------------
// Deletion

inline constexpr std::string_view kDeletionTitle = "Eliminazione Comunicazione";

inline constexpr std::string_view kDeletionQuestion =
    "ATTENZIONE: è stata richiesta l'eliminazione di una Comunicazione Aziendale.\n\n"
    "Questa operazione può avere conseguenze negative sulla coerenza logica dei dati\n"
    "già registrati, anche se l'integrità referenziale del database verrà salvaguardata.\n\n"
    "Confermi l'eliminazione della Comunicazione Aziendale selezionata ?";

inline constexpr std::string_view kDeletionAdvice =
    "ATTENZIONE: al termine dell'eliminazione di una Comunicazione Aziendale\n"
    "la situazione dei giorni di effettuazione dell'Azienda interessata potrebbe\n"
    "potrebbe essere errata.\n\n"
    "Per ripristinare con certezza la situazione occorre:\n\n"
    "***** RIPRISTINARE I GIORNI DI EFFETTUAZIONE DELL'AZIENDA\n"
    "La funzione relativa può essere attivata dal menu Comunicazioni Aziendali";

// Shown when the deletion stops half-way: everything it deleted is back.
inline constexpr std::string_view kDeletionAbortedMessage =
    "ATTENZIONE: l'eliminazione della Comunicazione Aziendale si è interrotta per un errore.\n\n"
    "Il database non è stato modificato: la comunicazione non risulta eliminata.";

// Rows deleted per table.
struct DeletionCounts {
  long linkzone = 0, giorni = 0, mesi = 0, symday = 0, polferma = 0, orari = 0, corse = 0,
       detitine = 0, geoitine = 0, tesitine = 0, archi = 0, fermate = 0, proto = 0;
};

// Deletes the communication and its rows (the company's `symday` and `polferma` rows too),
// referencing rows first, in one transaction. False when it failed: rolled back,
// kDeletionAbortedMessage shown, counts zero.
bool DeleteCommunication(db::Database& db, Ui& ui, const CommunicationKey& key,
                         DeletionCounts& counts);

std::string DeletionResultText(const DeletionCounts& counts);

// The whole command: chooser, question, deletion, the two messages. True when deleted.
bool DeleteCommunicationCommand(db::Database& db, Ui& ui);

}  // namespace kvt::comms
