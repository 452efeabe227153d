// Synthetic KvtTxt V2 communications of any size, for tests, benchmarks and demos.
//
// The output depends only on the options (the seed included): the same options write the
// same bytes. Every object is derived from its own index, so nothing grows in memory with
// the size of the file. Names sometimes carry accented letters (Windows-1252 on disk).
//
// Incremental communications: objects 1..N (after `refBase`) of an earlier communication
// can be referenced; new objects are numbered from `idBase` + 1. When the earlier file was
// generated with the same route length and these counts, the referenced arcs and routes are
// reproduced exactly (same ends, same lengths).
//
// One fault can be planted on purpose; the report gives the line at which the import
// reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "comms/kvt_format.h"
#include "core/dates.h"

namespace kvt::comms {

enum class GenFault {
  None,
  Checksum,           // wrong checksum on a section's closing line (default <orari>)
  ProtocolChecksum,   // wrong checksum on </protocollo>
  WrongCount,         // a section header that differs from its declarator (default <orari>)
  MissingDeclarator,  // a declarator with a blank instead of its TAB (default FERMATE)
  BadRow,             // a row with one field missing (default <corse>)
  LongText,           // a stop name of 41 characters
  BadMonth,           // a <giorni> row with month 13
  UnknownStop,        // a timetable row naming a stop that does not exist
  UnknownRoute,       // a trip on a route that does not exist
  UnknownTrip,        // a <giorni> row of a trip that does not exist
  // An extra row after the chosen one repeating the first stop (trip) ID: an earlier
  // communication's when refStops (refTrips) > 0, which the import reports; otherwise the
  // file's own, which only the database refuses on insertion.
  DuplicateStop,
  DuplicateTrip,
  UnknownCompany,  // the protocol row names company `faultValue`
};

struct GeneratorOptions {
  uint64_t seed = 1;
  // Protocol row.
  int32_t azienda = 1;
  int32_t protoc = 1;
  char tipo = 'P';
  bool azzera = false;
  bool primacom = true;
  bool reference = false;  // a reference base ("R", no <giorni>) instead of a communication
  Date datini{1, 1, 2010};
  Date datfin{31, 12, 2010};
  std::optional<Date> p_data;                // default: the first day of the period
  std::string resple = "Ufficio Esercizio";  // UTF-8
  // Sizes.
  int32_t stops = 50;
  std::optional<int32_t> arcs;  // default: as many as the stops
  int32_t routes = 5;
  int32_t routeRows = 8;  // arcs per route
  int32_t trips = 40;
  std::optional<int32_t> orariPerTrip;  // default: routeRows + 1
  int runShare = 85;                    // percent of the period's days on which a trip runs
  int accentShare = 10;                 // percent of names with accented letters
  int noCoordShare = 5;                 // percent of stops without coordinates
  std::vector<int32_t> localities{0};
  std::vector<int32_t> authorities{1};
  std::string modes = "UX";
  // Numbering and references to an earlier communication.
  int32_t idBase = 0;
  int32_t refBase = 0;
  int32_t refStops = 0, refArcs = 0, refRoutes = 0;
  int32_t refTrips = 0;  // earlier trips that get <giorni> rows in this communication
  // Planted fault.
  GenFault fault = GenFault::None;
  std::optional<Section> faultSection;
  std::optional<int64_t> faultRow;  // 0-based row of the section; default the middle one
  int32_t faultValue = 9999;        // the unknown company code
};

struct PlantedFault {
  long line = 0;  // where the import reports it
  std::string description;
};

struct GeneratorReport {
  bool ok = false;
  std::string error;
  SectionCounts counts;
  int64_t runningDays = 0;  // "S" over all <giorni> rows
  long lines = 0;
  std::optional<PlantedFault> fault;
};

// Writes the communication to `path`.
GeneratorReport GenerateCommunication(const GeneratorOptions& options, const std::string& path);

// Command-line form: options as "--name=value" or "--name value", and the output file.
// False with a message for anything not understood.
bool ParseGeneratorArguments(std::span<const std::string_view> args, GeneratorOptions& options,
                             std::string& path, std::string& error);
std::string GeneratorUsage();
// The fault of a name given to --fault ("checksum", "unknown-stop", ...).
std::optional<GenFault> FaultFromName(std::string_view name);

}  // namespace kvt::comms
