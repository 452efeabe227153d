#include "app/schema_hooks.h"

#include "app/shell.h"
#include "db/database.h"
#include "schema/ardelio.h"
#include "schema/init.h"

namespace kvt::app {
namespace {

// The completion closes the shell's connection to compact the file and opens it again.
class ShellConnection : public schema::ConnectionHost {
 public:
  explicit ShellConnection(Shell& shell) : shell_(shell) {}
  db::Database* Current() override { return shell_.database(); }
  void Disconnect() override { shell_.Disconnect(); }
  bool Reconnect(const std::string& path) override { return shell_.Reopen(path); }

 private:
  Shell& shell_;
};

}  // namespace

bool CreateDatabaseFile(Ui& ui, const std::string& path) {
  return schema::CreateDatabase(ui, path);
}

bool InitialiseOdbcDatabase(db::Database& db) {
  return schema::InitialiseDatabase(db);
}

void CompleteArdelio(Shell& shell) {
  ShellConnection host(shell);
  schema::CompleteArdelioDatabase(host);
}

void FixArdelioNumbering(db::Database& db) {
  schema::FixArdelioRouteNumbering(db);
}

}  // namespace kvt::app
