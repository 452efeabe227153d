#include "app/commands.h"

#include <cassert>

#include "app/shell.h"
#include "carto/association.h"
#include "comms/commands.h"
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

// A command of carto/ on the current database; its options are its dialog's fields.
template <typename Fn>
CommandFn Carto(Fn run) {
  return [run](AppContext& c) {
    if (db::Database* current = c.RequireDatabase()) run(*current, c.ui);
  };
}

void RegisterCartoCommands(Registry& r) {
  using carto::AreaKind;
  r.Add("geo-default-coordinates", Carto(carto::DefaultGeoreferencing));
  r.Add("geo-associate-municipality", Carto([](db::Database& d, Ui& ui) {
          carto::AssociateStopsCommand(d, ui, AreaKind::Municipalities);
        }));
  r.Add("geo-associate-locality", Carto([](db::Database& d, Ui& ui) {
          carto::AssociateStopsCommand(d, ui, AreaKind::Localities);
        }));
  r.Add("municipality-from-locality", Carto(carto::MunicipalityFromLocality));
  r.Add("associate-stop-municipality", Carto([](db::Database& d, Ui& ui) {
          carto::ManualAssociationCommand(d, ui, AreaKind::Municipalities);
        }));
  r.Add("associate-stop-locality", Carto([](db::Database& d, Ui& ui) {
          carto::ManualAssociationCommand(d, ui, AreaKind::Localities);
        }));
  r.Add("compute-speeds", Carto(carto::ComputeAverageSpeeds));
}

}  // namespace

void RegisterAllCommands(Registry& r) {
  RegisterDatabaseCommands(r);
  RegisterCommsCommands(r);
  RegisterCartoCommands(r);
  // Each feature adds one line here: RegisterCommsCommands(r); ...
}

}  // namespace kvt::app
