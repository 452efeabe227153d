#include "app/commands.h"

#include <cassert>

#include "app/shell.h"
#include "comms/commands.h"
#include "platform/ui.h"

namespace kvt::app {

bool CommandOptions::Has(std::string_view name) const {
  return values.count(std::string(name)) > 0;
}

std::string CommandOptions::Value(std::string_view name, std::string fallback) const {
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

const std::vector<Option>& CommonOptions() {
  static const std::vector<Option> options = {
      Option::Value("db", "FILE", "database da usare per questa esecuzione (file)"),
      Option::Value("dsn", "NOME", "database da usare per questa esecuzione (data source ODBC)"),
      Option::Flag("yes", "risponde OK a ogni domanda"),
      Option::Value("file", "PERCORSO", "file per le finestre di scelta file (ripetibile)"),
      Option::Value("pdf", "FILE", "le stampe e le anteprime scritte in questo file PDF"),
      Option::Flag("help", "mostra le opzioni del comando"),
  };
  return options;
}

void Registry::Add(std::string id, CommandFn fn, CommandSyntax syntax) {
  assert(!commands_.count(id) && "command registered twice");
#ifndef NDEBUG
  std::set<std::string_view> names;
  for (const Option& common : CommonOptions()) names.insert(common.name);
  for (const Option& o : syntax.options) {
    assert(!o.name.empty() && o.name[0] != '-' && o.name.find('=') == std::string::npos &&
           "option names are given without dashes and without '='");
    assert(names.insert(o.name).second && "option declared twice or named like a common one");
  }
#endif
  Command& c = commands_[id];
  c = Command{std::move(id), std::move(fn), std::move(syntax)};
}

const Command* Registry::FindCommand(std::string_view id) const {
  auto it = commands_.find(id);
  return it == commands_.end() || !it->second.fn ? nullptr : &it->second;
}

const CommandFn* Registry::Find(std::string_view id) const {
  const Command* c = FindCommand(id);
  return c ? &c->fn : nullptr;
}

std::vector<std::string> Registry::Ids() const {
  std::vector<std::string> ids;
  for (const auto& [id, command] : commands_) ids.push_back(id);
  return ids;
}

namespace {

// A command of comms/ on the current database, with what the command line gave.
void RunComms(AppContext& ctx, void (*run)(Ui&, db::Database&, const comms::CommandLine*)) {
  db::Database* current = ctx.RequireDatabase();
  if (!current) return;
  if (!ctx.options) return run(ctx.ui, *current, nullptr);
  const comms::CommandLine line{ctx.options->args, ctx.options->values};
  run(ctx.ui, *current, &line);
}

void RegisterCommsCommands(Registry& r) {
  r.Add(std::string(comms::kImportCommandId),
        [](AppContext& c) { RunComms(c, comms::RunImportCommand); },
        {.operands = "FILE",
         .options = {Option::Value(std::string(comms::kReportOption), "PERCORSO",
                                   "se la comunicazione è rifiutata, salva qui il report degli "
                                   "errori senza chiedere")}});
  r.Add(std::string(comms::kRebuildCommandId),
        [](AppContext& c) { RunComms(c, comms::RunRebuildCommand); },
        {.options = {Option::Value(std::string(comms::kCompanyField), "CODICE",
                                   "l'azienda, con il codice come elencato (0101)")}});
}

}  // namespace

void RegisterAllCommands(Registry& r) {
  RegisterDatabaseCommands(r);
  RegisterCommsCommands(r);
  // Each feature adds one line here: RegisterCommsCommands(r); ...
}

}  // namespace kvt::app
