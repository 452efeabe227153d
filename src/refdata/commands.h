// The menu commands of this folder, as the shell runs them: one entry per command id.
// Each opens its dialog or file chooser through the Ui, works on the Database and ends with
// its message; true when the work was done.
#pragma once

namespace kvt {
class Ui;
class Form;
}  // namespace kvt
namespace kvt::db {
class Database;
}

namespace kvt::refdata {

bool RunEditLotsCommand(Ui& ui, db::Database& db);                 // edit-lots
bool RunAssignLotsCommand(Ui& ui, db::Database& db);               // assign-lots
bool RunExportLotAssignmentCommand(Ui& ui, db::Database& db);      // export-lot-assignment
bool RunClearLotAssignmentCommand(Ui& ui, db::Database& db);       // clear-lot-assignment
bool RunImportLotAssignmentCommand(Ui& ui, db::Database& db);      // import-lot-assignment
bool RunEditBasinsCommand(Ui& ui, db::Database& db);               // edit-basins
bool RunAssignMunicipalityBasinCommand(Ui& ui, db::Database& db);  // assign-municipality-basin
bool RunExportBasinsCommand(Ui& ui, db::Database& db);             // export-basins
bool RunImportBasinsCommand(Ui& ui, db::Database& db);             // import-basins
bool RunDeleteBasinsCommand(Ui& ui, db::Database& db);             // delete-basins
bool RunDeleteMunicipalitiesCommand(Ui& ui, db::Database& db);     // delete-municipalities
bool RunDeleteLocalitiesCommand(Ui& ui, db::Database& db);         // delete-localities

// Field ids of the list-and-field dialogs ("Editing Lotti di Gara", "Tabella Bacini"): the
// list, the name, the two buttons.
inline constexpr const char* kListField = "lista";
inline constexpr const char* kNameField = "denominazione";
inline constexpr const char* kSaveButton = "inserisci";
inline constexpr const char* kDeleteButton = "elimina";

}  // namespace kvt::refdata
