// Commands: every menu item runs one function `void(AppContext&)`. A feature registers its
// commands by id, one line each, from its own folder:
//
//   void RegisterCommsCommands(app::Registry& r) {
//     r.Add("import-kvt", ImportCommunication);
//     ...
//   }
//
// and RegisterAllCommands (commands.cc) calls that function once at start. A menu item
// whose command is not registered is shown disabled and refused on the command line.
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
  std::map<std::string, std::string> values;  // --name=value options (without "--")
  // Options the command read itself (Has/Value record them), so that the command line does
  // not call them unused.
  mutable std::set<std::string> claimed;

  bool Has(std::string_view name) const;
  std::string Value(std::string_view name, std::string fallback = "") const;
};

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

class Registry {
 public:
  // Registers `fn` under `id`; an id registered twice is a programming error (asserts; the
  // later registration wins).
  void Add(std::string id, CommandFn fn);
  const CommandFn* Find(std::string_view id) const;
  bool Has(std::string_view id) const { return Find(id) != nullptr; }
  std::vector<std::string> Ids() const;

 private:
  std::map<std::string, CommandFn, std::less<>> commands_;
};

// The database commands of the shell: db-create, db-connect-file, db-disconnect, db-repair,
// db-duplicate, odbc-init, odbc-connect, exit, about.
void RegisterDatabaseCommands(Registry& r);

// Every feature's commands; the one place where a new feature adds its line.
void RegisterAllCommands(Registry& r);

}  // namespace kvt::app
