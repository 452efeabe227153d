#include "comms/commands.h"

#include <optional>

#include "comms/import.h"
#include "comms/rebuild.h"

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

}  // namespace kvt::comms
