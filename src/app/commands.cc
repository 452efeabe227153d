#include "app/commands.h"

#include <cassert>

#include "app/shell.h"
#include "comms/commands.h"
#include "contracts/dump.h"
#include "platform/ui.h"

namespace kvt::app {

bool CommandOptions::Has(std::string_view name) const {
  claimed.emplace(name);
  return values.count(std::string(name)) > 0;
}

std::string CommandOptions::Value(std::string_view name, std::string fallback) const {
  claimed.emplace(name);
  auto it = values.find(std::string(name));
  return it == values.end() ? std::move(fallback) : it->second;
}

db::Database* AppContext::db() const {
  return shell.database();
}

db::Database* AppContext::RequireDatabase() const {
  db::Database* current = shell.database();
  if (!current) ui.Stop(kNoDatabaseMessage);
  return current;
}

void Registry::Add(std::string id, CommandFn fn) {
  assert(!commands_.count(id) && "command registered twice");
  commands_[std::move(id)] = std::move(fn);
}

const CommandFn* Registry::Find(std::string_view id) const {
  auto it = commands_.find(id);
  return it == commands_.end() || !it->second ? nullptr : &it->second;
}

std::vector<std::string> Registry::Ids() const {
  std::vector<std::string> ids;
  for (const auto& [id, fn] : commands_) ids.push_back(id);
  return ids;
}

namespace {

// A command of comms/ on the current database, with what the command line gave.
void RunComms(AppContext& ctx, void (*run)(Ui&, db::Database&, const comms::CommandLine*)) {
  db::Database* current = ctx.RequireDatabase();
  if (!current) return;
  if (!ctx.options) return run(ctx.ui, *current, nullptr);
  const comms::CommandLine line{ctx.options->args, ctx.options->values, {}};
  run(ctx.ui, *current, &line);
  ctx.options->claimed.insert(line.claimed.begin(), line.claimed.end());
}

void RegisterCommsCommands(Registry& r) {
  r.Add(std::string(comms::kImportCommandId),
        [](AppContext& c) { RunComms(c, comms::RunImportCommand); });
  r.Add(std::string(comms::kRebuildCommandId),
        [](AppContext& c) { RunComms(c, comms::RunRebuildCommand); });
  r.Add(std::string(comms::kStatusCommandId),
        [](AppContext& c) { RunComms(c, comms::RunStatusCommand); });
  r.Add(std::string(comms::kDeleteCommandId),
        [](AppContext& c) { RunComms(c, comms::RunDeleteCommand); });
  r.Add(std::string(comms::kReferenceBaseCommandId),
        [](AppContext& c) { RunComms(c, comms::RunReferenceBaseCommand); });
  r.Add(std::string(comms::kRegularityBaseCommandId),
        [](AppContext& c) { RunComms(c, comms::RunRegularityBaseCommand); });
}

// A command of contracts/ on the current database.
void RunContracts(AppContext& ctx, bool (*run)(db::Database&, Ui&)) {
  if (db::Database* current = ctx.RequireDatabase()) run(*current, ctx.ui);
}

void RegisterContractsCommands(Registry& r) {
  r.Add(std::string(contracts::kExportCommandId),
        [](AppContext& c) { RunContracts(c, contracts::ExportDumpCommand); });
  r.Add(std::string(contracts::kImportCommandId),
        [](AppContext& c) { RunContracts(c, contracts::ImportDumpCommand); });
  r.Add(std::string(contracts::kSecondaryCommandId),
        [](AppContext& c) { RunContracts(c, contracts::SecondaryImportDumpCommand); });
}

}  // namespace

void RegisterAllCommands(Registry& r) {
  RegisterDatabaseCommands(r);
  RegisterCommsCommands(r);
  RegisterContractsCommands(r);
  // Each feature adds one line here: RegisterCommsCommands(r); ...
}

}  // namespace kvt::app
