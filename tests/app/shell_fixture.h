// A shell on a private settings file and folder, with a scripted Ui, for the shell and
// command tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/commands.h"
#include "app/shell.h"
#include "db/database.h"
#include "platform/scripted_ui.h"

namespace kvt::app::test {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt-shell-XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
    shell_ = std::make_unique<Shell>(ui, SettingsFile(Path("kvtbase.ini")));
    RegisterAllCommands(registry_);
  }
  void TearDown() override {
    shell_.reset();
    std::filesystem::remove_all(dir_);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  Shell& shell() { return *shell_; }
  // A new shell on the same settings file, as at the next start of the program.
  Shell& Restart() {
    shell_ = std::make_unique<Shell>(ui, SettingsFile(Path("kvtbase.ini")));
    return *shell_;
  }

  void Run(const std::string& id) {
    const CommandFn* fn = registry_.Find(id);
    ASSERT_NE(fn, nullptr) << id;
    AppContext ctx{ui, *shell_, nullptr};
    (*fn)(ctx);
  }

  // A new database file made by the "&Crea" command; the messages it showed are cleared.
  std::string CreateDatabase(const std::string& name) {
    std::string path = Path(name);
    ui.QueueFile(path);
    Run("db-create");
    EXPECT_EQ(ui.Texts(),
              std::vector<std::string>{"Il database " + path + " è stato creato con successo\n\n"});
    ui.Clear();
    return path;
  }

  void WriteSettings(const std::string& body) {
    std::ofstream(Path("kvtbase.ini")) << "[Software\\KVTBASE\\KVTBASE\\1.00]\n" << body;
  }
  std::string ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The settings as the next start will read them.
  Settings StoredSettings() const {
    Settings s;
    SettingsFile(Path("kvtbase.ini")).Load(&s);
    return s;
  }

  std::string AboutText(const std::string& databaseLine) const {
    return "INFORMAZIONI SUL PROGRAMMA\n\n"
           "KVTBASE - \"Gestione Trasvia - Regione Velmora\"\n"
           "Sistema operativo " +
           OperatingSystemLine() + "\n\nDatabase: " + databaseLine;
  }
  // The text of the information box "&?" as the shell shows it now.
  std::string ShownAbout() {
    ui.Clear();
    Run("about");
    EXPECT_EQ(ui.messages.size(), 1u);
    if (ui.messages.empty()) return "";
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    return ui.messages[0].text;
  }

  ScriptedUi ui;

 private:
  std::string dir_;
  std::unique_ptr<Shell> shell_;
  Registry registry_;
};

}  // namespace kvt::app::test
