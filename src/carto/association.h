// Stops and the territory: default positions from the locality centroids, the automatic
// association of stops with the municipality or locality whose boundary holds them, the
// municipality derived from the locality, the two dialogs that associate one stop by hand,
// and the average commercial speed of trips.
//
// Each function is a whole menu command: it asks its question (Cancel changes nothing),
// works with the wait cursor and a progress line, and ends with its result box.
#pragma once

#include <string>
#include <string_view>

#include "carto/areas.h"

namespace kvt {
class Ui;
class Form;
}  // namespace kvt
namespace kvt::db {
class Database;
}

namespace kvt::carto {

// Counts of the automatic association (also returned for tests and benchmarks).
struct AssociationCounts {
  long analysed = 0, assigned = 0, unidentified = 0;
};

// "&Georeferenziazione Fermate Default".
void DefaultGeoreferencing(db::Database& db, Ui& ui);
// "Associazione Fermata Co&mune" / "Associazione Fermata L&ocalità".
void AssociateStopsCommand(db::Database& db, Ui& ui, AreaKind kind);
// The association itself, without question or result box; false when a read failed.
bool AssociateStops(db::Database& db, Ui& ui, AreaKind kind, AssociationCounts* counts);
// "Assegnazione C&omune da Località".
void MunicipalityFromLocality(db::Database& db, Ui& ui);
// "&Calcola Velocità Medie".
void ComputeAverageSpeeds(db::Database& db, Ui& ui);
// "Associazione Fermata &Comune" / "Associazione Fermata &Località": the dialogs.
void ManualAssociationCommand(db::Database& db, Ui& ui, AreaKind kind);

// Field ids of the manual dialogs (also the command-line options).
namespace field {
inline constexpr const char* kCompany = "azienda";
inline constexpr const char* kSearch = "ricerca";
inline constexpr const char* kSearchButton = "cerca";
inline constexpr const char* kNewSearch = "nuova-ricerca";
inline constexpr const char* kStop = "fermata";
inline constexpr const char* kLocation = "ubicazione";
inline constexpr const char* kStopMunicipality = "comune-fermata";
inline constexpr const char* kStopLocality = "localita-fermata";
inline constexpr const char* kMunicipalityFilter = "filtro-comuni";
inline constexpr const char* kMunicipality = "comune";
inline constexpr const char* kLocalitySearch = "ricerca-localita";
inline constexpr const char* kLocalitySearchButton = "cerca-localita";
inline constexpr const char* kLocality = "localita";
inline constexpr const char* kAssign = "assegna";
}  // namespace field

}  // namespace kvt::carto
