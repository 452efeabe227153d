#include "app/commands.h"

#include <cassert>

#include "app/shell.h"
#include "carto/association.h"
#include "carto/sqlite_script.h"
#include "comms/commands.h"
#include "contracts/attachments.h"
#include "contracts/commands.h"
#include "contracts/dump.h"
#include "contracts/profile_commands.h"
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
  r.Add(std::string(comms::kStatusCommandId),
        [](AppContext& c) { RunComms(c, comms::RunStatusCommand); },
        {.options = {Option::Value("azienda", "CODICE",
                                   "l'azienda, con il codice come elencato (0101)"),
                     Option::Value("comunicazioni", "NUMERO",
                                   "la comunicazione dell'azienda di cui mostrare il dettaglio")}});
  r.Add(std::string(comms::kDeleteCommandId),
        [](AppContext& c) { RunComms(c, comms::RunDeleteCommand); },
        {.options = {Option::Value("comunicazione", "TESTO",
                                   "l'ultima comunicazione di un'azienda, come elencata "
                                   "(\"0101 - 000003\")")}});
  r.Add(std::string(comms::kReferenceBaseCommandId),
        [](AppContext& c) { RunComms(c, comms::RunReferenceBaseCommand); },
        {.operands = "FILE",
         .options = {Option::Value("comunicazione", "TESTO",
                                   "l'ultima comunicazione di un'azienda, come elencata "
                                   "(\"0101 - 000003\")")}});
  r.Add(std::string(comms::kRegularityBaseCommandId),
        [](AppContext& c) { RunComms(c, comms::RunRegularityBaseCommand); },
        {.operands = "FILE",
         .options = {Option::Value("azienda", "CODICE",
                                   "l'azienda, con il codice come elencato (0101)"),
                     Option::Value("data", "GG/MM/AAAA", "primo giorno del periodo")}});
}

// A command of contracts/ on the current database.
void RunContracts(AppContext& ctx, bool (*run)(db::Database&, Ui&)) {
  if (db::Database* current = ctx.RequireDatabase()) run(*current, ctx.ui);
}

void RegisterContractsCommands(Registry& r) {
  r.Add(std::string(contracts::kExportCommandId),
        [](AppContext& c) { RunContracts(c, contracts::ExportDumpCommand); },
        {.operands = "FILE",
         .options = {Option::Value("enti", "ENTI",
                                   "gli enti, come elencati, separati da punto e virgola"),
                     Option::Flag("seleziona", "sceglie tutti gli enti"),
                     Option::Flag("pulisci", "toglie tutti gli enti dalla scelta")}});
  r.Add(std::string(contracts::kImportCommandId),
        [](AppContext& c) { RunContracts(c, contracts::ImportDumpCommand); },
        {.operands = "FILE",
         .options = {Option::Flag("mantieni",
                                  "non modifica le tavole Località, Comuni e Bacini")}});
  r.Add(std::string(contracts::kSecondaryCommandId),
        [](AppContext& c) { RunContracts(c, contracts::SecondaryImportDumpCommand); },
        {.operands = "FILE"});
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
  // The manual dialogs' fields, in the order the dialog takes them: company and search
  // text, the search button, then the stop, the target and "Assegna".
  namespace f = carto::field;
  const std::vector<Option> stopSearch = {
      Option::Value(f::kCompany, "CODICE", "l'azienda, con il codice come elencato (0101)"),
      Option::Value(f::kSearch, "TESTO", "parte della denominazione della fermata"),
      Option::Flag(f::kSearchButton, "esegue la ricerca delle fermate (\"Ricerca\")"),
      Option::Value(f::kStop, "CODICE", "la fermata, con il codice come elencato (0000000012)")};
  CommandSyntax municipal{.options = stopSearch};
  municipal.options.push_back(
      Option::Value(f::kMunicipalityFilter, "TESTO", "restringe l'elenco dei comuni"));
  municipal.options.push_back(
      Option::Value(f::kMunicipality, "CODICE", "il comune, con il codice come elencato (0034)"));
  municipal.options.push_back(Option::Flag(f::kAssign, "assegna il comune alla fermata"));
  CommandSyntax local{.options = stopSearch};
  local.options.push_back(
      Option::Value(f::kLocalitySearch, "TESTO", "parte della denominazione della località"));
  local.options.push_back(
      Option::Flag(f::kLocalitySearchButton, "esegue la ricerca delle località"));
  local.options.push_back(
      Option::Value(f::kLocality, "CODICE", "la località, con il codice come elencato (0007)"));
  local.options.push_back(Option::Flag(f::kAssign, "assegna la località alla fermata"));
  r.Add("associate-stop-municipality", Carto([](db::Database& d, Ui& ui) {
          carto::ManualAssociationCommand(d, ui, AreaKind::Municipalities);
        }),
        municipal);
  r.Add("associate-stop-locality", Carto([](db::Database& d, Ui& ui) {
          carto::ManualAssociationCommand(d, ui, AreaKind::Localities);
        }),
        local);
  r.Add("compute-speeds", Carto(carto::ComputeAverageSpeeds));
  r.Add("export-sqlite",
        Carto([](db::Database& d, Ui& ui) { (void)carto::RunSqliteScriptCommand(ui, d); }),
        {.operands = "FILE"});
}

// A statement of contracts/ on the current database; its dialog's fields come from the
// command line through the Ui.
constexpr std::string_view kLandscapeOption = "orizzontale";

void RunStatement(AppContext& ctx, contracts::StatementKind kind) {
  const PageOrientation orientation = ctx.options && ctx.options->Has(kLandscapeOption)
                                          ? PageOrientation::Landscape
                                          : PageOrientation::Automatic;
  if (db::Database* current = ctx.RequireDatabase())
    contracts::RunStatementCommand(ctx.ui, *current, kind, orientation);
}

// The fields of "Stampa dei Contratti di Servizio" (the PDF file is a common option).
CommandSyntax StatementSyntax() {
  return {.options = {
              Option::Value("contesto", "TESTO",
                            "il contesto come elencato (\"Piano di Esercizio (preventivo)\")"),
              Option::Value("ente", "CODICE", "l'ente, con il codice come elencato (0001)"),
              Option::Flag("tutti_enti", "tutti gli enti"),
              Option::Value("azienda", "CODICE", "l'azienda, con il codice come elencato (0101)"),
              Option::Flag("tutte_aziende", "tutte le aziende"),
              Option::Value("lotto", "CODICE", "il lotto di gara, con il codice come elencato"),
              Option::Flag("tutti_lotti", "tutti i lotti"),
              Option::Value("inizio", "GG/MM/AAAA", "primo giorno del periodo"),
              Option::Value("fine", "GG/MM/AAAA", "ultimo giorno del periodo"),
              Option::Value("dettaglio", "TESTO",
                            "\"Analitico (tutte le corse)\" o \"Sintetico (solo totali linea)\""),
              Option::Value("distanze", "TESTO", "\"Convenzionali\" o \"Cartografiche\""),
              Option::Value("uscita", "TESTO", "\"Anteprima di stampa\" o \"Stampa\""),
              Option::Flag(std::string(kLandscapeOption),
                           "pagine orizzontali (senza: orizzontali solo se la tabella non entra "
                           "in verticale)"),
          }};
}

// The fields of the contract text files' dialogs: those of the statement without the output,
// the detail level and the pages' orientation; the attachments also choose which files.
CommandSyntax ContractFilesSyntax(bool attachments) {
  CommandSyntax syntax = StatementSyntax();
  std::erase_if(syntax.options, [](const Option& o) {
    return o.name == "dettaglio" || o.name == "uscita" || o.name == kLandscapeOption;
  });
  if (attachments) {
    syntax.options.push_back(Option::Value(
        "elaborazione", "TESTO", "\"Solo Totali\", \"Solo Dettagli\" o \"Totali e Dettagli\""));
  }
  syntax.operands = "CARTELLA/NOME";
  return syntax;
}

void RunContractFiles(AppContext& ctx, bool (*run)(Ui&, db::Database&)) {
  if (db::Database* current = ctx.RequireDatabase()) run(ctx.ui, *current);
}

void RegisterStatementCommands(Registry& r) {
  r.Add(
      std::string(contracts::kAttachmentCommandId),
      [](AppContext& c) { RunContractFiles(c, contracts::RunAttachmentCommand); },
      ContractFilesSyntax(true));
  r.Add(
      std::string(contracts::kFunctionalCommandId),
      [](AppContext& c) { RunContractFiles(c, contracts::RunFunctionalAnalysisCommand); },
      ContractFilesSyntax(false));
  r.Add(
      std::string(contracts::kStatementCommandId),
      [](AppContext& c) { RunStatement(c, contracts::StatementKind::ByTrip); }, StatementSyntax());
  r.Add(
      std::string(contracts::kTenderStatementCommandId),
      [](AppContext& c) { RunStatement(c, contracts::StatementKind::ByRoute); }, StatementSyntax());
}

// The service profiles of contracts/; their dialogs' fields come from the command line.
void RegisterProfileCommands(Registry& r) {
  const auto run = [](bool (*command)(Ui&, db::Database&)) {
    return [command](AppContext& c) {
      if (db::Database* current = c.RequireDatabase()) command(c.ui, *current);
    };
  };
  const std::vector<Option> contract = {
      Option::Value("contesto", "TESTO",
                    "il contesto come elencato (\"Piano di Esercizio (preventivo)\")"),
      Option::Value("ente", "CODICE", "l'ente, con il codice come elencato (0001)"),
      Option::Flag("tutti_enti", "tutti gli enti"),
      Option::Value("azienda", "CODICE", "l'azienda, con il codice come elencato (0101)"),
      Option::Flag("tutte_aziende", "tutte le aziende")};
  const Option start = Option::Value("inizio", "GG/MM/AAAA", "primo giorno del periodo");
  const Option end = Option::Value("fine", "GG/MM/AAAA", "ultimo giorno del periodo");
  const Option output =
      Option::Value("uscita", "TESTO", "\"Anteprima di stampa\" o \"Stampa\"");
  CommandSyntax text{.operands = "CARTELLA/NOME", .options = contract};
  text.options.insert(text.options.end(), {start, end});
  CommandSyntax daily{.options = contract};
  daily.options.insert(daily.options.end(), {start, end, output});
  CommandSyntax hourly{.options = contract};
  hourly.options.insert(hourly.options.end(),
                        {Option::Value("data", "GG/MM/AAAA", "il giorno di riferimento"), output});
  r.Add(std::string(contracts::kProfileTxtCommandId), run(contracts::RunProfileTextCommand), text);
  r.Add(std::string(contracts::kDailyChartCommandId), run(contracts::RunDailyChartCommand), daily);
  r.Add(std::string(contracts::kHourlyChartCommandId), run(contracts::RunHourlyChartCommand),
        hourly);
}

}  // namespace

void RegisterAllCommands(Registry& r) {
  RegisterDatabaseCommands(r);
  RegisterCommsCommands(r);
  RegisterCartoCommands(r);
  RegisterContractsCommands(r);
  RegisterStatementCommands(r);
  RegisterProfileCommands(r);
  // Each feature adds one line here: RegisterCommsCommands(r); ...
}

}  // namespace kvt::app
