// A shell on a private settings file and folder, with a scripted Ui.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/commands.h"
#include "app/shell.h"
#include "db/database.h"
#include "platform/scripted_ui.h"
#include "support/run_program.h"
#include "support/engines.h"

namespace kvt::app::test {

// What a damaged settings file makes the program say at its start.
inline const std::string kGraveAnomaly =
    "ATTENZIONE: è stata riscontrata una anomalia grave\n"
    "che rende impossibile il corretto funzionamento di\n"
    "questo programma.\n\n"
    "Ipotesi A) Il prodotto non è stato installato nella\n"
    "           maniera corretta, utilizzando Setup.\n\n"
    "Ipotesi B) Il registro di configurazione di Windows\n"
    "           si è corrotto e deve essere ripristinato.\n\n";

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kvt::test::TempDir();
    Restart();
    RegisterAllCommands(registry_);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  Shell& shell() { return *shell_; }
  // A new shell on the same settings file, as at the next start of the program.
  Shell& Restart() {
    shell_ = std::make_unique<Shell>(ui, SettingsFile(Path("kvtbase.ini")));
    return *shell_;
  }
  void Run(const std::string& id) {
    AppContext ctx{ui, *shell_, nullptr};
    (*registry_.Find(id))(ctx);
  }
  // A new database file made by the "&Crea" command; its message is checked and cleared.
  std::string CreateDatabase(const std::string& name) {
    ui.QueueFile(Path(name));
    Run("db-create");
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Il database " + Path(name) +
                                                   " è stato creato con successo\n\n"});
    ui.Clear();
    return Path(name);
  }
  void WriteSettings(const std::string& body) {
    std::ofstream(Path("kvtbase.ini")) << "[Software\\KVTBASE\\KVTBASE\\1.00]\n" << body;
  }
  static std::string ReadFile(const std::string& path) { return kvt::test::ReadFile(path); }
  Settings StoredSettings() const {
    Settings s;
    SettingsFile(Path("kvtbase.ini")).Load(&s);
    return s;
  }
  // The "&?" box as the shell shows it now, and as it should read for a database line.
  std::string ShownAbout() {
    ui.Clear();
    Run("about");
    return ui.messages.size() == 1 ? ui.messages[0].text : "";
  }
  static std::string AboutText(const std::string& databaseLine) {
    return "INFORMAZIONI SUL PROGRAMMA\n\nKVTBASE - \"Gestione Trasvia - Regione Velmora\"\n"
           "Sistema operativo " +
           OperatingSystemLine() + "\n\nDatabase: " + databaseLine;
  }

  ScriptedUi ui;

 private:
  std::string dir_;
  std::unique_ptr<Shell> shell_;
  Registry registry_;
};

}  // namespace kvt::app::test
