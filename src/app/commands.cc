#include "app/commands.h"

#include <cassert>

#include "app/shell.h"
#include "comms/commands.h"
#include "contracts/commands.h"
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
}

// A statement of contracts/ on the current database; its dialog's fields come from the
// command line through the Ui.
void RunStatement(AppContext& ctx, contracts::StatementKind kind) {
  if (db::Database* current = ctx.RequireDatabase())
    contracts::RunStatementCommand(ctx.ui, *current, kind);
}

void RegisterContractsCommands(Registry& r) {
  r.Add(std::string(contracts::kStatementCommandId),
        [](AppContext& c) { RunStatement(c, contracts::StatementKind::ByTrip); });
  r.Add(std::string(contracts::kTenderStatementCommandId),
        [](AppContext& c) { RunStatement(c, contracts::StatementKind::ByRoute); });
}

}  // namespace

void RegisterAllCommands(Registry& r) {
  RegisterDatabaseCommands(r);
  RegisterCommsCommands(r);
  RegisterContractsCommands(r);
  // Each feature adds one line here: RegisterCommsCommands(r); ...
}

}  // namespace kvt::app
