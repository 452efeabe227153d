// The contract attachments: tab-separated texts for a spreadsheet, one per contract
// (authority and company) and kind, built on the statement's trips.
//
//   "TOT_A%d_E%d.TXT"  kilometres per line code: outward, return, all directions
//   "DET_A%d_E%d.TXT"  per line and direction, its trips three to a text line
//   "FNZ_A%d_E%d.TXT"  per line and direction: kilometres, minutes, commercial speed, runs
//
// Commands (menu "&Export Allegato Contrattuale" and "Export Analisi Funzionale"):
//   kvtbase export-attachment --elaborazione="Solo Totali" --inizio=01/01/2010 ... FOLDER/NAME
//   kvtbase export-functional-analysis --azienda=0101 ... FOLDER/NAME
// The files go into the folder of the path chosen (or into the path itself when it is a
// folder); the name chosen is not written.
//
// Within a contract the trips come by line code, direction, departure, arrival, trip code
// and ID. A line code with both directions gives one TOT line, and in DET and FNZ one group
// per direction, outward before return (the database's order of the direction letters).
// Trips of another direction than A and R count in the TOT line and contract totals, and
// form their own group in DET and FNZ. "Totale Corse" counts trip runs (the days of every
// trip in the period); the commercial speed of a group without minutes is written 0,00.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/attachment_text.h"
#include "contracts/statement.h"

namespace kvt::contracts {

inline constexpr std::string_view kAttachmentCommandId = "export-attachment";
inline constexpr std::string_view kFunctionalCommandId = "export-functional-analysis";

inline constexpr std::string_view kTotalsLegend =
    "Legenda\tTotali Andata\tTotali Ritorno\tTotali Km\n";
inline constexpr std::string_view kDetailsLegend =
    "Legenda\tTotali Km\tCorsa\tGiorni\tKm\t\tCorsa\tGiorni\tKm\t\tCorsa\tGiorni\tKm\n";
inline constexpr std::string_view kFunctionalLegend =
    "Legenda\tTotale Km\tTotale Min\tVelComm Km/h\tTotale Corse\n";

// Trip rows in print order (ExtractTrips) put into the attachments' order: within each
// line and direction, by departure, arrival, then as they were (trip code, ID).
void AttachmentOrder(std::vector<StatementRow>& rows);

// The body of one contract's file (after the head); `trips` are that contract's trips in
// the attachments' order.
std::string TotalsText(std::span<const StatementRow> trips);
std::string DetailsText(std::span<const StatementRow> trips);
std::string FunctionalText(std::span<const StatementRow> trips);

// Which files each contract gets.
struct AttachmentKinds {
  bool totals = false;
  bool details = false;
  bool functional = false;
};

// Writes the chosen files of every contract of `trips` (attachments' order) into the folder
// of `path`. False after its message, with none of the files left; else `done`, when
// given, holds the closing message (FinishedMessage).
bool WriteContractFiles(Ui& ui, const ContractNames& names, const StatementParams& params,
                        std::span<const StatementRow> trips, AttachmentKinds kinds,
                        const std::string& path, std::string* done = nullptr);
// "Esportazione terminata.\n\n%zu files scritti nella cartella\n" + the folder.
std::string FinishedMessage(size_t files, const std::string& folder);

// The whole commands: dialog, folder chooser, extraction, files. False when cancelled,
// refused, empty or failed.
bool RunAttachmentCommand(Ui& ui, db::Database& db);
bool RunFunctionalAnalysisCommand(Ui& ui, db::Database& db);

}  // namespace kvt::contracts
