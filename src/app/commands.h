// Commands: every menu item runs one function `void(AppContext&)`. A feature registers its
// commands by id, with the options its command line takes, from its own folder:
//
//   void RegisterCommsCommands(app::Registry& r) {
//     r.Add("import-kvt", ImportCommunication,
//           {.operands = "FILE",
//            .options = {Option::Value("report", "PERCORSO", "salva qui il report degli errori")}});
//     ...
//   }
//
// and RegisterAllCommands (commands.cc) calls that function once at start. A menu item
// whose command is not registered is shown disabled and refused on the command line.
//
// The command line accepts only the options a command declares (and the common ones,
// CommonOptions()): an undeclared option, an option that needs a value and has none, or a
// value given to an option that takes none is a command-line error (exit 2) before the
// command runs. Every dialog field the command line may fill (a Form field id) and every
// option the command reads itself (CommandOptions::Value) must be declared.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {
class Ui;
namespace db {
class Database;
}
}  // namespace kvt

namespace kvt::app {

class Shell;

// What the command line gave besides the command itself. Commands may read friendlier
// arguments from here; most never look: their file choosers and forms are answered by the
// command-line Ui from the same options.
struct CommandOptions {
  std::vector<std::string> args;              // positional arguments, in order
  std::map<std::string, std::string> values;  // declared options given (without "--"); a
                                              // flag given has the value "1"

  bool Has(std::string_view name) const;
  std::string Value(std::string_view name, std::string fallback = "") const;
};

// One option a command takes: "--name" (a flag) or "--name=VALUE" / "--name VALUE".
struct Option {
  std::string name;       // without "--": "report", a Form field id, ...
  bool takesValue = false;
  std::string valueName;  // the value's name in the help ("PERCORSO", "CODICE"); "" for a flag
  std::string help;       // one line, Italian, without a final full stop

  static Option Value(std::string name, std::string valueName, std::string help) {
    return {std::move(name), true, std::move(valueName), std::move(help)};
  }
  static Option Flag(std::string name, std::string help) {
    return {std::move(name), false, "", std::move(help)};
  }
};

// What a command's command line looks like besides the common options.
struct CommandSyntax {
  std::string operands;         // the positional arguments as shown in the help: "FILE",
                                // "ORIGINE DESTINAZIONE"; "" when it takes none
  std::vector<Option> options;  // in the order the help lists them
};

// The options every command takes: --db, --dsn, --yes (-y), --file, --help (-h).
const std::vector<Option>& CommonOptions();

struct AppContext {
  Ui& ui;
  Shell& shell;
  const CommandOptions* options = nullptr;  // set on the command line only

  // The current database when one is connected, else null.
  db::Database* db() const;
  // The current database; when there is none, says so with a stop box and returns null.
  db::Database* RequireDatabase() const;
};

// Shown by RequireDatabase.
inline constexpr std::string_view kNoDatabaseMessage =
    "Nessun database connesso.\n\n"
    "Occorre prima creare o connettere un database (menu \"Database\").";

using CommandFn = std::function<void(AppContext&)>;

struct Command {
  std::string id;
  CommandFn fn;
  CommandSyntax syntax;
};

class Registry {
 public:
  // Registers `fn` under `id` with its command-line syntax. An id registered twice, or an
  // option declared twice or named like a common option, is a programming error (asserts;
  // the later registration wins).
  void Add(std::string id, CommandFn fn, CommandSyntax syntax = {});
  const CommandFn* Find(std::string_view id) const;
  // The whole entry (function and syntax), null when `id` is not registered.
  const Command* FindCommand(std::string_view id) const;
  bool Has(std::string_view id) const { return Find(id) != nullptr; }
  std::vector<std::string> Ids() const;

 private:
  std::map<std::string, Command, std::less<>> commands_;
};

// The database commands of the shell: db-create, db-connect-file, db-disconnect, db-repair,
// db-duplicate, odbc-init, odbc-connect, exit, about.
void RegisterDatabaseCommands(Registry& r);

// Every feature's commands; the one place where a new feature adds its line.
void RegisterAllCommands(Registry& r);

}  // namespace kvt::app
