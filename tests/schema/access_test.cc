// An ODBC data source whose driver is Microsoft Access is refused before anything is
// written. The driver manager reads its configuration paths once per process, so the check
// runs in a fresh child process with a configuration of its own: a data source whose driver
// carries the Access name but is the SQLite one, so the connection works and the refusal can
// only come from the name.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

// GCC names AddressSanitizer with a macro, clang with a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define KVT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KVT_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(KVT_ADDRESS_SANITIZER)
#include <sanitizer/lsan_interface.h>
#endif

#include "db/database.h"
#include "platform/scripted_ui.h"
#include "schema/init.h"
#include "support/engines.h"

namespace kvt::schema {
namespace {

std::string CheckAccessRefusal() {
  std::string dir = kvt::test::TempDir();
  const char* sys = std::getenv("ODBCSYSINI");
  std::stringstream drivers;
  drivers << std::ifstream(sys ? std::string(sys) + "/odbcinst.ini" : "/etc/odbcinst.ini").rdbuf();
  std::ofstream(dir + "/odbcinst.ini")
      << drivers.str() << "\n[Microsoft Access Driver (*.mdb)]\nDriver=libsqlite3odbc.so\n";
  std::ofstream(dir + "/odbc.ini") << "";
  std::ofstream(dir + "/user.ini") << "[kvt_access]\nDriver=Microsoft Access Driver (*.mdb)\n"
                                   << "Database=" << dir << "/access.db\n";
  setenv("ODBCSYSINI", dir.c_str(), 1);
  setenv("ODBCINI", (dir + "/user.ini").c_str(), 1);
  ScriptedUi ui;
  std::string driver;
  std::unique_ptr<db::Database> d;
  {
#if defined(KVT_ADDRESS_SANITIZER)
    // The SQLite ODBC driver keeps a few blocks of its own when reached through a data
    // source name; they are not ours to free.
    __lsan::ScopedDisabler driverAllocations;
#endif
    d = db::Database::ConnectOdbc(ui, "kvt_access", &driver, 25, 1);
  }
  if (!d->IsConnected()) return "not connected";
  if (driver != "Access") return "driver name " + driver;
  if (InitialiseDatabase(*d)) return "initialised";
  std::vector<std::string> expected = {
      "ATTENZIONE: l'inizializzazione del database di tipo Access (*.MDB)\n"
      "tramite connessione ODBC non è consentita.\n\n"
      "Si consiglia di inizializzare il database Access tramite connessione\n"
      "DAO/JET e successivamente di utilizzarlo via ODBC.",
      "Si sono verificati errori durante la creazione delle tavole\n"
      "primarie del database.\n\n"
      "Non risulta possibile inizializzare il database"};
  if (ui.Texts() != expected) return "messages differ";
  if (ui.messages[0].icon != MsgIcon::Information || ui.messages[1].icon != MsgIcon::Stop) {
    return "icons differ";
  }
  if (!d->ListTables().empty()) return "tables written";
  return "";
}

TEST(AccessDriverDeathTest, InitialisationIsRefusedBeforeAnythingIsWritten) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::string problem = CheckAccessRefusal();
        std::fprintf(stderr, "%s\n",
                     problem.empty() ? "refused, nothing written" : problem.c_str());
        std::exit(problem.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "refused, nothing written");
}

}  // namespace
}  // namespace kvt::schema
