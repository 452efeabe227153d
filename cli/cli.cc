#include "cli/cli.h"

#include <unistd.h>

#include <iomanip>
#include <iostream>
#include <optional>

#include "cli/options.h"

#include "app/commands.h"
#include "app/menu.h"
#include "app/shell.h"
#include "app/version.h"
#include "platform/cli_ui.h"
#include "platform/settings.h"

namespace kvt::cli {
namespace {

void ListCommands(const app::Registry& registry, std::ostream& out) {
  for (const app::MenuCommand& c : app::MenuCommands()) {
    out << std::left << std::setw(30) << c.id << app::MenuPathText(c.id);
    if (!registry.Has(c.id)) out << "  (non disponibile)";
    out << "\n";
  }
}

// The database of this run: the one named on the command line (the settings file is then
// not even read: a damaged or odd one cannot disturb a run that does not use it), else
// the stored one.
bool OpenDatabase(const ParsedLine& line, app::Shell& shell) {
  if (line.db) return shell.ConnectFile(*line.db);
  if (line.dsn) return shell.ConnectOdbc(*line.dsn, "", kDefaultRowSzAlfa, kDefaultRowSzBlob);
  shell.LoadSettings();
  shell.Connect();
  return true;
}

int Run(const ParsedLine& line, const app::CommandFn& fn, const PdfWriter& pdfWriter,
        std::ostream& out, std::ostream& err) {
  CliAnswers answers{line.yes, {line.files.begin(), line.files.end()}, line.options.values,
                     line.pdf};
  CliUi ui(std::move(answers), out, err, isatty(STDERR_FILENO) == 1);
  ui.SetPdfWriter(pdfWriter);
  app::Shell shell(ui, SettingsFile(SettingsFile::DefaultPath()));
  if (!OpenDatabase(line, shell)) return static_cast<int>(CliOutcome::Failed);
  // A warning of the start (damaged settings, a stored database that would not open) has
  // been shown; the exit status tells how the command itself ended.
  ui.ResetOutcome();
  app::AppContext ctx{ui, shell, &line.options};
  fn(ctx);
  // A stopped command has said so already.
  if (line.pdf && !ui.PrintAsked() && ui.Outcome() != CliOutcome::Cancelled)
    err << "Il comando non ha stampato nulla: " << *line.pdf << " non è stato scritto\n";
  // A database named on the command line is for this run only: the settings stay as they
  // were. Otherwise the run ends like the program does.
  if (line.db || line.dsn) {
    shell.Disconnect();
  } else {
    shell.Shutdown();
  }
  return static_cast<int>(ui.Outcome());
}

}  // namespace

void PrintUsage(std::ostream& out) {
  out << "Uso: kvtbase                        apre la finestra del programma\n"
         "     kvtbase --list                 elenca i comandi (id e voce di menu)\n"
         "     kvtbase --version              mostra la versione del programma\n"
         "     kvtbase --help                 mostra questo riepilogo\n"
         "     kvtbase [opzioni comuni] COMANDO [opzioni] [PERCORSO...]\n"
         "     kvtbase COMANDO --help         le opzioni del comando\n"
         "Opzioni comuni:\n"
         "  --db FILE | --dsn NOME   database da usare per questa esecuzione\n"
         "  --yes, -y                risponde OK a ogni domanda\n"
         "  --file PERCORSO          file per le finestre di scelta file (ripetibile)\n"
         "  --pdf FILE               le stampe e le anteprime scritte in questo file PDF\n"
         "  --                       termina le opzioni: il resto sono percorsi\n"
         "Uscita: 0 eseguito, 1 rifiutato o errore, 2 riga di comando errata, 3 annullato\n";
}

int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
         const PdfWriter& pdfWriter) {
  app::Registry registry;
  app::RegisterAllCommands(registry);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    PrintUsage(out);
    return args.empty() ? static_cast<int>(CliOutcome::Usage) : 0;
  }
  if (args[0] == "--version") {
    out << "kvtbase (KVT-BASE2) " << app::kVersion << "\n";
    return 0;
  }
  if (args[0] == "--list") {
    ListCommands(registry, out);
    return 0;
  }
  // Common options may come before the command ("kvtbase --db x.mdb about").
  const size_t at = CommandPosition(args);
  if (at == args.size()) {
    err << "Manca il comando (kvtbase --list elenca i comandi)\n";
    return static_cast<int>(CliOutcome::Usage);
  }
  const std::string& id = args[at];
  if (app::MenuPathText(id).empty()) {
    err << "Comando sconosciuto: " << id << " (kvtbase --list elenca i comandi)\n";
    return static_cast<int>(CliOutcome::Usage);
  }
  const app::Command* command = registry.FindCommand(id);
  if (!command) {
    err << "Comando non ancora disponibile: " << id << "\n";
    return static_cast<int>(CliOutcome::Usage);
  }
  std::vector<std::string> rest(args.begin(), args.begin() + static_cast<ptrdiff_t>(at));
  rest.insert(rest.end(), args.begin() + static_cast<ptrdiff_t>(at) + 1, args.end());
  ParsedLine line;
  if (auto error = ParseCommandLine(rest, command->syntax, &line)) {
    err << *error << "\n(kvtbase " << command->id << " --help elenca le opzioni del comando)\n";
    return static_cast<int>(CliOutcome::Usage);
  }
  if (line.help) {
    out << CommandHelp(*command);
    return 0;
  }
  return Run(line, command->fn, pdfWriter, out, err);
}

}  // namespace kvt::cli
