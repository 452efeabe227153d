// Basins and the territorial tables: the basin table, a municipality's basin, the basin
// file, and the three commands that empty the basins, the municipalities and the
// localities. The work behind the commands; the dialogs are in commands.h.
#pragma once

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

inline constexpr std::string_view kBasinNameMissingMessage =
    "ATTENZIONE: non è stata indicata la denominazione del Bacino !!!\n\n";
inline constexpr std::string_view kBasinZeroModifyMessage =
    "ATTENZIONE: il bacino con ID=0 non può essere modificato !!!\n\n";
inline constexpr std::string_view kBasinZeroDeleteMessage =
    "ATTENZIONE: il bacino con ID=0 non può essere eliminato !!!\n\n";
inline constexpr std::string_view kMunicipalityInvalidMessage =
    "ATTENZIONE: Il Comune selezionato non è valido.\n\n"
    "Occorre selezionare un Comune presente nella lista.\n\n"
    "L'associazione tra Comune e Bacino non può essere effettuata.";
inline constexpr std::string_view kBasinInvalidMessage =
    "ATTENZIONE: Il Bacino selezionato non è valido.\n\n"
    "Occorre selezionare un Bacino presente nella lista.\n\n"
    "L'associazione tra Comune e Bacino non può essere effettuata.";
inline constexpr std::string_view kMunicipalityReadError = "Errore di lettura del Comune";
inline constexpr std::string_view kMunicipalityUpdateError = "Errore di aggiornamento del Comune";
inline constexpr std::string_view kNoBasinText = "*** INESISTENTE ***";
inline constexpr std::string_view kBasinIllegalFileMessage =
    "ATTENZIONE: Il file proposto per l'importazione dei Bacini presenta un\n"
    "formato illegale.\n\n"
    "Pertanto l'importazione dei Bacini non può avere luogo.";
inline constexpr std::string_view kBasinUnknownQuestion =
    "ATTENZIONE: Il file proposto per l'importazione dei Bacini contiene\n"
    "alcuni Comuni che risultano sconosciuti.\n\n"
    "Intendi proseguire ignorando i Comuni ignoti?";
inline constexpr std::string_view kBasinAppendQuestion =
    "ATTENZIONE: Esistono già dei Bacini registrati nel database.\n\n"
    "I nuovi bacini verranno accodati ai precedenti.\n\n"
    "Intendi proseguire accodando i Bacini?";
inline constexpr std::string_view kBasinExportTitle = "Esportazione Bacini";
inline constexpr std::string_view kBasinImportTitle = "Importazione Bacini";
inline constexpr std::string_view kBasinFileName = "BACINI";

inline constexpr std::string_view kDeleteBasinsQuestion =
    "ATTENZIONE: Questa operazione causerà la cancellazione della tavola dei Bacini.\n\n"
    "Qualora non si fosse provveduto a salvare i dati relativi alla composizione dei Bacini\n"
    "tutto il lavoro svolto verrebbe perso per sempre.\n\n"
    "Intendi confermare l'eliminazione dei Bacini?";
inline constexpr std::string_view kMunicipalitiesHaveLocalitiesMessage =
    "ATTENZIONE: Non è possibile eliminare i Comuni perchè esistono delle\n"
    "Località che vi fanno riferimento.\n\n"
    "Prima di eliminare i Comuni è necessario eliminare le Località";
// The municipal connection matrices refer to municipalities too: the database would refuse
// the deletion half-way.
inline constexpr std::string_view kMunicipalitiesHaveMatricesMessage =
    "ATTENZIONE: Non è possibile eliminare i Comuni perchè esistono delle\n"
    "Matrici di connessione (tavola detmcm) che vi fanno riferimento.\n\n"
    "Prima di eliminare i Comuni è necessario eliminare le Matrici";
inline constexpr std::string_view kDeleteMunicipalitiesQuestion =
    "ATTENZIONE: Questa operazione causerà la cancellazione della tavola dei Comuni.\n"
    "Inoltre tutti i riferimenti esistenti tra Fermate e Comuni verranno eliminati.\n\n"
    "Qualora non si fosse provveduto a salvare i dati relativi alla normalizzazione\n"
    "delle Fermate tutto il lavoro svolto verrebbe perso per sempre.\n\n"
    "Intendi confermare l'eliminazione dei Comuni?";
inline constexpr std::string_view kLocalitiesHaveMatricesMessage =
    "ATTENZIONE: Non è possibile eliminare le Località perchè esistono delle\n"
    "Matrici che vi fanno riferimento.\n\n"
    "Prima di eliminare le Località è necessario eliminare le Matrici";
inline constexpr std::string_view kDeleteLocalitiesQuestion =
    "ATTENZIONE: Questa operazione causerà la cancellazione della tavola delle Località.\n"
    "Inoltre tutti i riferimenti esistenti tra Fermate e Località verranno eliminati.\n\n"
    "Qualora non si fosse provveduto a salvare i dati relativi alla normalizzazione\n"
    "delle Fermate tutto il lavoro svolto verrebbe perso per sempre.\n\n"
    "Intendi confermare l'eliminazione delle Località?";

// Pick lists: every basin "%04d - %s" by ID; municipalities other than 0 as
// "%04d - %-2s - %s" by province and name, only those of `province` (and those without a
// province) when given. Nothing after a database error.
std::optional<std::vector<std::string>> BasinEntries(db::Database& db);
std::optional<std::vector<std::string>> MunicipalityEntries(
    db::Database& db, const std::optional<std::string>& province = std::nullopt);

// Insert (no `chosen` basin) or modify. True when written; false after a message.
bool SaveBasin(db::Database& db, Ui& ui, std::optional<int> chosen, std::string_view name);
// True when deleted; false after a message.
bool DeleteBasin(db::Database& db, Ui& ui, int chosen);

// The basin of a municipality as its list line shows it: "%04d - %s", or kNoBasinText.
std::string CurrentBasinText(db::Database& db, int municipality);

// "Assegna": both choices checked against their lists, then the municipality's basin set.
bool AssignMunicipalityBasin(db::Database& db, Ui& ui, std::string_view municipalityText,
                             const std::vector<std::string>& municipalities,
                             std::string_view basinText, const std::vector<std::string>& basins);

struct BasinExportCounts {
  int basins = 0, municipalities = 0;
};
// Writes the basin file, whole or not at all; nothing after a message.
std::optional<BasinExportCounts> ExportBasins(db::Database& db, Ui& ui, const std::string& path);
std::string BasinExportText(const BasinExportCounts& counts);

struct BasinImportCounts {
  int inFile = 0, inserted = 0, assigned = 0, unmatched = 0;
};
// Reads the basin file (strict), asks the two questions, and appends its basins in one
// transaction the user may stop. Nothing after a message or a No.
std::optional<BasinImportCounts> ImportBasins(db::Database& db, Ui& ui, const std::string& path);
std::string BasinImportText(const BasinImportCounts& counts);

// The three deletions: the checks that block them, the question, then all in one
// transaction the user may stop, and the result message. False when refused, declined,
// stopped or failed (after a message).
bool DeleteBasins(db::Database& db, Ui& ui);
bool DeleteMunicipalities(db::Database& db, Ui& ui);
bool DeleteLocalities(db::Database& db, Ui& ui);

}  // namespace kvt::refdata
