// Text files for systems outside the program, in the tagged style of the communications
// (Windows-1252, TAB-separated rows, running checksums):
//
//   reference base   "RT2_<company>_<number>_BASE.TXT": the stops, arcs, routes, trips and
//                    timetables of a company up to one of its communications, in the
//                    communication layout with "R" in the protocol row and no <giorni>.
//   regularity base  "REGRT_<company>_<ddmmyyyy>.TXT": the stops, trips, timetables, running
//                    days and route progressives of the trips that run from a date on.
//
// Files are written whole or not at all: a file that fails half-way is removed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comms/status.h"
#include "core/dates.h"

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::comms {

// ---------------------------------------------------------------------------------------
// Reference base

inline constexpr std::string_view kReferenceBaseTitle = "Esportazione Base di Riferimento Aziendale";

struct ReferenceBaseCounts {
  long fermate = 0, archi = 0, tesitine = 0, detitine = 0, corse = 0, orari = 0;
};

// Writes the base of communication `key` (its rows and those of every earlier number of
// the company) to `path`. False when the file cannot be created (the warning shown) or
// the writing failed (the file removed, the reason shown).
bool ExportReferenceBase(db::Database& db, Ui& ui, const CommunicationKey& key,
                         const std::string& path, ReferenceBaseCounts& counts);
std::string ReferenceBaseResultText(const ReferenceBaseCounts& counts);
// The command: chooser of the latest communications, save chooser, export, result.
bool ExportReferenceBaseCommand(db::Database& db, Ui& ui);

// ---------------------------------------------------------------------------------------
// Regularity base

inline constexpr std::string_view kRegularityTitle = "Esportazione Base Gestione Regolarità";
inline constexpr std::string_view kBadStartDateMessage =
    "ATTENZIONE: la data di inizio periodo è espressa in un formato illegale.\n\n"
    "Le date devono essere espresse nella forma GG/MM/AAAA.\n\n";

struct RegularityBaseCounts {
  long fermate = 0, corse = 0, orari = 0, giorni = 0, progressive = 0;
};

// "%04d - %s" of every company with a communication of type "P", ordered by name; nothing
// when the read failed (the failure has been shown).
std::optional<std::vector<std::string>> RegularityCompanyEntries(db::Database& db);

// The chooser: drop-down "azienda" and field "data" (at most 10 characters). Its accept
// handler refuses an illegal date or an unlisted company with their stop messages.
Form RegularityForm(Ui& ui, std::vector<std::string> entries, int& azienda, Date& from);

bool ExportRegularityBase(db::Database& db, Ui& ui, int azienda, const Date& from,
                          const std::string& path, RegularityBaseCounts& counts);
std::string RegularityBaseResultText(const RegularityBaseCounts& counts);
bool ExportRegularityBaseCommand(db::Database& db, Ui& ui);

}  // namespace kvt::comms
