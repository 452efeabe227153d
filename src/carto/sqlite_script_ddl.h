// The fixed texts of the SpatiaLite script (internal to carto/): each table's CREATE TABLE,
// its indices and views, the support table and the referential triggers. "\n" stands for the
// script's line end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::carto::script {

struct IndexDef {
  std::string_view name;     // idx_fermate_azienda
  std::string_view what;     // "Azienda": the label reads FERMATE.Azienda
  std::string_view columns;  // "IdAzienda"
};

struct ViewDef {
  std::string_view name;
  std::string select;  // the SELECT after "CREATE VIEW name AS\n", ended by ";\n"
};

struct TableDef {
  std::string_view name;         // Fermate
  std::string_view label;        // FERMATE, as the comment and the creation line write it
  std::string_view quotedLabel;  // as SQL literals write it (LOCALITA'')
  std::string_view create;       // "CREATE TABLE ... ;\n\n"
  std::string_view geometry;     // "POINT", ... ; empty for none
  std::vector<IndexDef> indices;
  bool spatialIndex = false;
  std::vector<ViewDef> views;
};

// The ten tables in script order: Aziende, Enti, Lotti, Comuni, Localita, Fermate, Percorsi,
// Corse, Orari, Giorni.
const std::vector<TableDef>& Tables();

// After the Giorni section: TotaliGiorniCorsa and VistaContratti, each in a transaction.
std::string SupportTableText();
// The comment, the announcement and the three triggers of every relation.
std::string TriggersText();

}  // namespace kvt::carto::script
