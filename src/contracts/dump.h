// The contract dump: the service of a set of authorities (their trips with everything the
// trips refer to) moved from one database to another through a text file (dump_format.h).
//
//   export-contracts            "&Export Contratti Servizio"
//       kvtbase export-contracts --enti="0001 - Regione Velmora;..." FILE
//       (or --seleziona for every authority)
//   import-contracts            "&Import Contratti Servizio" (into a database without service)
//       kvtbase import-contracts [--mantieni] FILE
//   import-contracts-secondary  "&Import Secondario Contratti Servizio"
//       kvtbase import-contracts-secondary FILE
//
// Imports check the whole file before writing anything and write it in one transaction: a
// corrupt file, a failure or a killed process leaves the database as it was.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/dump_format.h"
#include "platform/form.h"

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::contracts {

inline constexpr std::string_view kExportCommandId = "export-contracts";
inline constexpr std::string_view kImportCommandId = "import-contracts";
inline constexpr std::string_view kSecondaryCommandId = "import-contracts-secondary";

inline constexpr std::string_view kNoAuthorityMessage =
    "ATTENZIONE: non è stato selezionato neppure un Ente.\n\n"
    "Occorrse selezionare almeno un Ente.";
inline constexpr std::string_view kBadAuthorityListMessage =
    "ATTENZIONE: La lista degli enti selezionati non è valida.";
inline constexpr std::string_view kNotEmptyMessage =
    "ATTENZIONE: il database corrente contiene già dei dati\n"
    "inerenti alle corse.\n\n"
    "L'importazione del DUMP dei contratti di servizio è consentita\n"
    "solo utilizzando un database che non contenga ancora nessun\n"
    "dato inerente alle corse.\n\n"
    "Pertanto l'importazione del DUMP non può essere effettuata.";
inline constexpr std::string_view kCorruptMessage =
    "Il file di DUMP proposto è corrotto oppure presenta un formato illegale.\n\n"
    "L'importazione non è possibile";
inline constexpr std::string_view kDuplicateMessage =
    "ATTENZIONE: l'importazione del DUMP selezionato non risulta\n"
    "possibile in quanto causerebbe una duplicazione degli indici.\n\n"
    "[tentativo di creare registrazioni doppie]\n\n"
    "Pertanto l'importazione del DUMP non può essere effettuata.";
// Shown when the load stops half-way (a table that cannot be opened, a file changed since
// it was checked, a failed commit): everything it wrote is rolled back.
inline constexpr std::string_view kImportAbortedMessage =
    "ATTENZIONE: l'importazione del DUMP si è interrotta per un errore.\n\n"
    "Il database non è stato modificato.";

// Rows per section, in file order.
using DumpCounts = std::array<long, kDumpSections>;

// "%04d - %s" of every authority that has trips, ordered by name, then code; nothing when
// the read failed (the failure has been shown).
std::optional<std::vector<std::string>> AuthorityEntries(db::Database& db);
// The export dialog: multiple list "enti", buttons "seleziona" and "pulisci". Its accept
// handler refuses an empty or unreadable selection and stays open.
Form ExportForm(Ui& ui, std::vector<std::string> entries, std::vector<int>& codes);

// Writes the dump of the trips of `authorities` to `path`. False when the file cannot be
// created or the writing failed (the file removed, the reason shown).
bool ExportDump(db::Database& db, Ui& ui, const std::vector<int>& authorities,
                const std::string& path, DumpCounts& counts);
std::string ExportResultText(const DumpCounts& counts);
bool ExportDumpCommand(db::Database& db, Ui& ui);

struct ImportCounts {
  std::array<bool, kDumpSections> loaded{};
  DumpCounts read{}, written{};
};

// True when the database holds no service (`keepReference`: its basins, municipalities and
// localities do not count).
bool IsEmptyOfService(db::Database& db, bool keepReference);

// The structure pass, then (secondary) the duplicate check, then the load in one
// transaction. `keepReference` skips the basin, municipality and locality sections. False
// with the message shown when anything refused the file or stopped the load.
bool ImportDump(db::Database& db, Ui& ui, const std::string& path, bool keepReference,
                bool secondary, ImportCounts& counts);
std::string ImportResultText(const ImportCounts& counts);

bool ImportDumpCommand(db::Database& db, Ui& ui);
bool SecondaryImportDumpCommand(db::Database& db, Ui& ui);

}  // namespace kvt::contracts
