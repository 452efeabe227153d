#include "cli/cli.h"

#include <unistd.h>

#include <iomanip>
#include <iostream>
#include <optional>

#include "app/commands.h"
#include "app/menu.h"
#include "app/shell.h"
#include "platform/cli_ui.h"
#include "platform/settings.h"

namespace kvt::cli {
namespace {

struct Invocation {
  std::string command;
  std::optional<std::string> db;
  std::optional<std::string> dsn;
  std::optional<std::string> pdf;
  bool yes = false;
  app::CommandOptions options;
  std::vector<std::string> files;
};

// "--name=value" or "--name value" for the options that take a value.
bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string_view name,
               std::optional<std::string>* out) {
  const std::string& a = args[i];
  std::string flag = "--" + std::string(name);
  if (a == flag && i + 1 < args.size()) {
    *out = args[++i];
    return true;
  }
  if (a.rfind(flag + "=", 0) == 0) {
    *out = a.substr(flag.size() + 1);
    return true;
  }
  return false;
}

bool ParseOption(const std::vector<std::string>& args, size_t& i, Invocation* inv,
                 std::string* error) {
  const std::string& a = args[i];
  std::optional<std::string> file;
  if (TakeValue(args, i, "db", &inv->db) || TakeValue(args, i, "dsn", &inv->dsn) ||
      TakeValue(args, i, "pdf", &inv->pdf))
    return true;
  if (TakeValue(args, i, "file", &file)) {
    inv->files.push_back(*file);
    return true;
  }
  if (a == "--yes" || a == "-y") {
    inv->yes = true;
    return true;
  }
  if (a == "--db" || a == "--dsn" || a == "--file" || a == "--pdf" || a.size() <= 2 ||
      a[1] != '-') {
    *error = "Opzione non valida: " + a;
    return false;
  }
  size_t eq = a.find('=');
  std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
  inv->options.values[name] = eq == std::string::npos ? "1" : a.substr(eq + 1);
  return true;
}

bool Parse(const std::vector<std::string>& args, Invocation* inv, std::string* error) {
  inv->command = args[0];
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && !a.empty() && a[0] == '-' && a != "-") {
      if (!ParseOption(args, i, inv, error)) return false;
    } else {
      inv->options.args.push_back(a);
      inv->files.push_back(a);
    }
  }
  if (inv->db && inv->dsn) {
    *error = "Indicare --db oppure --dsn, non entrambi";
    return false;
  }
  return true;
}

void ListCommands(const app::Registry& registry, std::ostream& out) {
  for (const app::MenuCommand& c : app::MenuCommands()) {
    out << std::left << std::setw(30) << c.id << app::MenuPathText(c.id);
    if (!registry.Has(c.id)) out << "  (non disponibile)";
    out << "\n";
  }
}

// The database of this run: the one named on the command line, else the stored one.
bool OpenDatabase(const Invocation& inv, app::Shell& shell) {
  const Settings& s = shell.settings();
  if (inv.db) return shell.ConnectFile(*inv.db);
  if (inv.dsn) return shell.ConnectOdbc(*inv.dsn, "", s.rowSzAlfa, s.rowSzBlob);
  shell.Connect();
  return true;
}

int Run(const Invocation& inv, const app::CommandFn& fn, const PdfWriter& pdfWriter,
        std::ostream& out, std::ostream& err) {
  CliAnswers answers{inv.yes, {inv.files.begin(), inv.files.end()}, inv.options.values, inv.pdf};
  CliUi ui(std::move(answers), out, err, isatty(STDERR_FILENO) == 1);
  ui.SetPdfWriter(pdfWriter);
  app::Shell shell(ui, SettingsFile(SettingsFile::DefaultPath()));
  shell.LoadSettings();
  if (!OpenDatabase(inv, shell)) return static_cast<int>(CliOutcome::Failed);
  app::AppContext ctx{ui, shell, &inv.options};
  fn(ctx);
  for (const std::string& unused : ui.UnusedFields())
    if (!inv.options.claimed.count(unused)) err << "Opzione non usata: --" << unused << "\n";
  // A database named on the command line is for this run only: the settings stay as they
  // were. Otherwise the run ends like the program does.
  if (inv.db || inv.dsn) {
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
         "     kvtbase COMANDO [opzioni] [PERCORSO...]\n"
         "Opzioni:\n"
         "  --db FILE | --dsn NOME   database da usare per questa esecuzione\n"
         "  --yes                    risponde OK a ogni domanda\n"
         "  --file PERCORSO          file per le finestre di scelta file (ripetibile)\n"
         "  --pdf FILE               le stampe (e le anteprime) scritte in questo PDF\n"
         "  --CAMPO=valore           campo di una finestra di dialogo\n"
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
  if (args[0] == "--list") {
    ListCommands(registry, out);
    return 0;
  }
  if (app::MenuPathText(args[0]).empty()) {
    err << "Comando sconosciuto: " << args[0] << " (kvtbase --list elenca i comandi)\n";
    return static_cast<int>(CliOutcome::Usage);
  }
  const app::CommandFn* fn = registry.Find(args[0]);
  if (!fn) {
    err << "Comando non ancora disponibile: " << args[0] << "\n";
    return static_cast<int>(CliOutcome::Usage);
  }
  Invocation inv;
  std::string error;
  if (!Parse(args, &inv, &error)) {
    err << error << "\n";
    PrintUsage(err);
    return static_cast<int>(CliOutcome::Usage);
  }
  return Run(inv, *fn, pdfWriter, out, err);
}

}  // namespace kvt::cli
