// The import of a company communication (KvtTxt V2) in two passes.
//
//   Validate  reads the whole file and checks its structure, row formats, counts, checksums
//             and every identifier against the database and the file itself. It writes
//             nothing. Every fault goes to the error list as "RIGA <n> <text>".
//   Insert    reads the file again and writes it, running days included, in one database
//             transaction: on any failure the database is left exactly as it was.
//   Report    offers to save the error list of a refused communication.
//
// ImportCommunication runs the whole command: chooser, Validate, then Insert or Report.
// Everything the user sees goes through the Ui; texts from the file (Windows-1252) reach
// the database as UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comms/kvt_format.h"

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::comms {

// Rows read from the file and rows the database accepted, for one table.
struct ImportCount {
  long read = 0;
  long written = 0;
};

// What the second pass did. For `giorni`, `read` is the running days found.
struct ImportSummary {
  ImportCount proto, fermate, archi, tesitine, detitine, corse, orari, mesi, giorni;
  long giorniDeleted = 0;
};

// The information message that ends a successful import.
std::string SummaryText(const ImportSummary& summary);

inline constexpr std::string_view kImportAdvice =
    "ATTENZIONE: al termine dell'acquisizione di un lotto di Comunicazioni Aziendali\n"
    "per aggiornare tutte le situazioni occorre:\n\n"
    "***** (1) ASSEGNARE LE FERMATE AI COMUNI SU BASE CARTOGRAFICA\n"
    "***** (2) ASSEGNARE I COMUNI DA LOCALITA'\n"
    "***** (3) CALCOLARE LE VELOCITA' MEDIE\n"
    "***** (4) ASSOCIARE LE FERMATE ALLE ZONIZZAZIONI\n\n"
    "Le funzioni relative possono essere attivate dal menu Utilità";

inline constexpr std::string_view kCannotOpenMessage =
    "ATTENZIONE: non risulta possibile aprire il file KvtTxt V2 selezionato !!!";
inline constexpr std::string_view kRefusedQuestion =
    "ATTENZIONE: L'importazione della Comunicazione Aziendale in formato KvtTxt V2\n"
    "non risulta possibile !!!\n\n"
    "Vuoi salvare il report degli errori riscontrati ?";
inline constexpr std::string_view kReportFailedMessage =
    "ATTENZIONE: non risulta possibile salvare il report degli errori !!!";
inline constexpr std::string_view kReportOverCommunicationMessage =
    "ATTENZIONE: il report degli errori non può essere salvato\n"
    "sul file della Comunicazione Aziendale che si sta importando !!!";
// Shown when the second pass stops half-way (a table that cannot be opened, a file that
// changed since it was checked, a failed commit): everything it wrote is rolled back.
inline constexpr std::string_view kImportAbortedMessage =
    "ATTENZIONE: l'acquisizione della Comunicazione Aziendale si è interrotta per un errore.\n\n"
    "Il database non è stato modificato: la comunicazione non risulta acquisita.";

// Shown when another import or a deletion changed the company's rows between the two
// passes: the checks of the first pass no longer hold, nothing is written.
inline constexpr std::string_view kCheckedStateChangedMessage =
    "ATTENZIONE: durante il controllo della comunicazione un'altra operazione (un'altra "
    "importazione, ad esempio) ha modificato i dati dell'azienda.\n\n"
    "Ripetere l'importazione.";

// What the first pass checked the file against: the company's stored communications, stops,
// arcs, routes and trips, counted. The second pass writes only when they are the same inside
// its transaction, which takes turns with every other import: an import or deletion that
// ran in between would otherwise let a repeated number or identifier through.
struct CheckedState {
  int32_t azienda = 0;
  std::array<long, 5> counts{};
  bool operator==(const CheckedState&) const = default;
};

// The import as one job of numbered phases, one per caption: the first pass has 16
// (protocol, seven reference sets, seven sections, <corse> read twice), the second 10
// (protocol, seven sections, two for the running days, which a communication that marks
// no days skips).
inline constexpr int kCheckPhases = 16;
inline constexpr int kImportPhases = kCheckPhases + 10;

inline constexpr std::string_view kTextFileFilter =
    "File di testo (*.txt)|*.txt|Tutti i files (*.*)|*.*||";

// The first pass. Returns the open reader when the file can be imported; nothing when it
// cannot be opened (after the stop message), when `errors` is not empty, when the user
// stopped it (after kCancelledMessage), or when the database could not be read (after the
// database's message; *databaseFailed is then set). `checked`, when given, receives what the
// file was checked against.
std::unique_ptr<LineReader> Validate(db::Database& db, Ui& ui, const std::string& path,
                                     std::vector<std::string>& errors,
                                     bool* databaseFailed = nullptr,
                                     CheckedState* checked = nullptr);

// The second pass over a reader that Validate accepted. Writes everything in one
// transaction; true when it was committed (then `summary` holds the counts). On failure
// the transaction is rolled back and kImportAbortedMessage shown (kCancelledMessage when the
// user stopped it). Closes the reader. With `checked` (from Validate), nothing is written
// unless the company's rows are still as they were checked (else
// kCheckedStateChangedMessage).
bool Insert(db::Database& db, Ui& ui, LineReader& reader, ImportSummary& summary,
            const CheckedState* checked = nullptr);

// The refusal dialogue. `reportPath`, when given, answers it without asking: the report
// goes there (the command line's --report). Otherwise the user is asked and chooses.
void Report(Ui& ui, const std::string& path, const std::vector<std::string>& errors,
            const std::optional<std::string>& reportPath = std::nullopt);

// The first `lines` lines of the report's messages (then "..." when there are more): the
// detail of the refusal question.
inline constexpr size_t kReportHeadLines = 20;
std::string ReportHead(const std::vector<std::string>& errors, size_t lines);
// In the status line once the report is saved, followed by its path.
inline constexpr std::string_view kReportSavedText = "Report degli errori salvato in ";

// Writes the error report: date-time line, rule, header with the file name, rule, empty
// line, the messages. Windows-1252 like every text file the office exchanges. False when
// the file cannot be written in full.
bool WriteErrorReport(const std::string& reportPath, const std::string& importedPath,
                      const std::vector<std::string>& errors);

// The command "&Import Comunicazione KvtTxt V2": the open chooser, then Validate and Insert
// or Report. `reportPath` as for Report. True when the communication was imported.
bool ImportCommunication(db::Database& db, Ui& ui,
                         const std::optional<std::string>& reportPath = std::nullopt);

}  // namespace kvt::comms
