#include "comms/commands.h"

#include <optional>

#include "comms/exports.h"
#include "comms/import.h"
#include "comms/rebuild.h"
#include "comms/status.h"

namespace kvt::comms {

namespace {

// Where --report asks the error report to go.
std::optional<std::string> ReportPath(const CommandLine& line) {
  auto it = line.values.find(std::string(kReportOption));
  if (it == line.values.end()) return std::nullopt;
  return it->second;
}

}  // namespace

void RunImportCommand(Ui& ui, db::Database& db, const CommandLine* commandLine) {
  ImportCommunication(db, ui, commandLine ? ReportPath(*commandLine) : std::nullopt);
}

void RunRebuildCommand(Ui& ui, db::Database& db, const CommandLine*) {
  RebuildRunningDaysCommand(db, ui);
}

void RunStatusCommand(Ui& ui, db::Database& db, const CommandLine*) {
  CommunicationStatusCommand(db, ui);
}

void RunDeleteCommand(Ui& ui, db::Database& db, const CommandLine*) {
  DeleteCommunicationCommand(db, ui);
}

void RunReferenceBaseCommand(Ui& ui, db::Database& db, const CommandLine*) {
  ExportReferenceBaseCommand(db, ui);
}

void RunRegularityBaseCommand(Ui& ui, db::Database& db, const CommandLine*) {
  ExportRegularityBaseCommand(db, ui);
}

}  // namespace kvt::comms
