// Tender lots: the lot table, the assignment of a company's trips to a lot, and the
// assignment file that moves a whole assignment between databases. The work behind the
// commands, over a Database and a Ui; the dialogs are in commands.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::refdata {

inline constexpr std::string_view kLotNameMissingMessage =
    "ATTENZIONE: non è stata indicata la denominazione del Lotto di Gara !!!\n\n";
inline constexpr std::string_view kLotInvalidMessage =
    "ATTENZIONE: Il Lotto di Gara selezionato non è valido.\n\n"
    "Occorre selezionare un Lotto di Gara presente nella lista.";
inline constexpr std::string_view kLotDeleteQuestion =
    "ATTENZIONE: Il Lotto di Gara stà per essere eliminato.\n\n"
    "Nel caso in cui il Lotto di Gara risulti utilizzato da una\n"
    "o più corse l'eliminazione non potrà essere effettuata.\n\n"
    "Confermi l'eliminazione del Lotto di Gara?";
// Lot 0 stands for "no lot" and every import writes it: it must stay.
inline constexpr std::string_view kLotZeroDeleteMessage =
    "ATTENZIONE: il Lotto di Gara con ID=0 non può essere eliminato !!!\n\n";
inline constexpr std::string_view kLotCleanQuestion =
    "ATTENZIONE: lanciando questa elaborazione:\n"
    "1) tutte le corse verranno associate al LOTTO=0 (lotto non assegnato)\n"
    "2) verranno eliminati tutti i lotti diversi dal LOTTO=0\n\n"
    "Questa funzione è preliminare all'Importazione dell'assegnazione dei Lotti di Gara\n\n"
    "Intendi procedere oltre ?";
inline constexpr std::string_view kLotExportTitle = "Esportazione Assegnazione Corse/Lotto";
inline constexpr std::string_view kLotImportTitle = "Importazione Assegnazione Corse/Lotto";
inline constexpr std::string_view kLotFileName = "CorseLotto";

// The lot pick list: every lot as "%04d - %s", ordered by name. Nothing after an error.
std::optional<std::vector<std::string>> LotEntries(db::Database& db);

// Insert or modify: `listText` is the list's text (a chosen entry, or anything else for a
// new lot), `name` the name field. True when the row was written; false after a message.
bool SaveLot(db::Database& db, Ui& ui, std::string_view listText, std::string_view name);

// Deletes the lot of `listText`, which must begin an entry of `entries`, after the question.
// True when deleted; false after a message or when the user said no.
bool DeleteLot(db::Database& db, Ui& ui, std::string_view listText,
               const std::vector<std::string>& entries);

// Sets the lot of the company's trips (those of `line` only, when given). The number of
// trips whose update succeeded; nothing when the database failed (shown).
std::optional<long> AssignLot(db::Database& db, int azienda, const std::optional<std::string>& line,
                              int lotto);

// Every trip back to lot 0 and every other lot deleted, in one transaction the user may
// stop. The number of trips processed; nothing after a message.
std::optional<long> ClearLotAssignment(db::Database& db, Ui& ui);

// Writes the assignment file to `path`, whole or not at all: the number of trips written,
// nothing after a message.
std::optional<long> ExportLotAssignment(db::Database& db, Ui& ui, const std::string& path);

// Reads the assignment file and applies it in one transaction the user may stop: lots
// inserted (a lot that exists is reported and skipped), trips set to their lot. The number
// of trips updated; nothing after a message.
std::optional<long> ImportLotAssignment(db::Database& db, Ui& ui, const std::string& path);

// Result texts.
std::string LotsAssignedText(long trips);
std::string TripsProcessedText(long trips);
std::string LotExportText(long trips);

// The whole of a file the user chose for reading, or nothing after the stop message
// (missing, not a regular file, unreadable, too large).
std::optional<std::string> ReadInputFile(Ui& ui, const std::string& path);

}  // namespace kvt::refdata
