// The daily profile as text files: one "PROF_A%d_E%d.TXT" per contract (company code first),
// tab-separated, decimal commas, Windows-1252, in the folder the user chose:
//
//   Legenda<TAB>Giorno<TAB>Data<TAB>Totali Km
//   Ente 1 <name>
//   Azienda 101 <name>
//   Periodo dal 01/03/2010 al 31/03/2010
//   (empty line)
//   <TAB>LUN<TAB>01/03/2010<TAB>12,50        one line a day of the period
//   ...
//   Totale Contratto 387,50
//   (empty line)
#pragma once

#include <string>
#include <vector>

#include "contracts/profile.h"
#include "platform/ui.h"

namespace kvt::contracts {

struct ContractNames;

inline constexpr std::string_view kProfileLegend = "Legenda\tGiorno\tData\tTotali Km\n";

// The save chooser that picks the folder ("PROFILI" offered).
FileDialogSpec ProfileFolderChooser();

// The whole text of one contract's file (UTF-8; the file is written in Windows-1252).
std::string ProfileFileText(const DailyProfile& profile, const ProfileParams& params,
                            const ContractNames& names);

// Writes every contract's file into the folder of `chosenPath`; all or none. False, with
// the reason shown, when a file could not be written. `done`, when given, holds the
// closing message.
bool WriteProfileFiles(db::Database& db, Ui& ui, const std::vector<DailyProfile>& profiles,
                       const ProfileParams& params, const std::string& chosenPath,
                       std::string* done = nullptr);

}  // namespace kvt::contracts
