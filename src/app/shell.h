// The application shell: the settings, the one current Database and the way it is
// connected. Every command reaches the database through here (AppContext::db()).
//
// The shell owns the Database from connection to disconnection. It never touches a window:
// the front end gives it a Ui and listens for changes (title, window contents) through
// SetOnChange.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/settings.h"

namespace kvt {
class Ui;
namespace db {
class Database;
}
}  // namespace kvt

namespace kvt::app {

inline constexpr std::string_view kMainTitle = "KVT-BASE2 - \"Gestione Trasvia - Regione Velmora\"";
// Name of the database file the first start creates.
inline constexpr std::string_view kDefaultDatabaseName = "KVTBASE.MDB";

class Shell {
 public:
  Shell(Ui& ui, SettingsFile file);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  Ui& ui() const { return ui_; }
  // The stored values: path (`Database`), DSN (`DsnOdbc`), rowset sizes, `Directory`.
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  const SettingsFile& settingsFile() const { return file_; }
  const std::string& driverName() const { return driverName_; }
  bool fileMethod() const { return fileMethod_; }
  bool odbcMethod() const { return odbcMethod_; }
  // The current database, null when none is connected.
  db::Database* database() const { return db_.get(); }

  // After the main window exists: settings, the first-start offer to create a database,
  // Connect. False when the program cannot go on (the first-start creation failed).
  bool Startup();
  // Reads the settings and chooses the method (DSN first, then path). False, after the
  // grave-anomaly box, when the settings file exists but cannot be read.
  bool LoadSettings();
  // Writes every value; a failure is reported and returns false.
  bool SaveSettings();
  // Opens the current Database by the chosen method. A failed connection forgets the
  // stored DSN or path, so that the next start does not retry it.
  bool Connect();
  void Disconnect();
  // Disconnects and writes the settings (the end of the program).
  void Shutdown();

  // The connect commands: store the new method and its target, then Connect.
  bool ConnectFile(std::string path);
  bool ConnectOdbc(std::string dsn, std::string driverName, unsigned rowsetOrdinary,
                   unsigned rowsetBlob);
  // Opens `path` by the file method as the current database, without the completion of
  // Ardelio files (the completion itself calls this after compacting the file).
  bool Reopen(const std::string& path);
  // Disconnects and forgets the stored path and DSN: no database until the next connect.
  void ForgetDatabase();

  // What follows "Database: " in the information box ("Nessuno" when not connected).
  std::string DatabaseLine() const;
  // The text of the information box "&?".
  std::string AboutText() const;
  // Where the first start creates its database file.
  std::string DefaultDatabasePath() const;

  // "&Fine" answered OK: the front end closes the program.
  void RequestExit() { exitRequested_ = true; }
  bool exitRequested() const { return exitRequested_; }

  // Called after every change of connection, for the front end to refresh the window.
  void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
  void Changed() {
    if (onChange_) onChange_();
  }

  // The settings file was found unreadable at start (its contents are kept aside at save).
  bool settingsDamaged() const { return settingsDamaged_; }

 private:
  bool FirstStart();
  bool ConnectChosenFile();
  bool ConnectChosenOdbc();

  Ui& ui_;
  SettingsFile file_;
  Settings settings_;
  std::string driverName_;
  bool fileMethod_ = false;
  bool odbcMethod_ = false;
  bool settingsDamaged_ = false;
  bool exitRequested_ = false;
  std::unique_ptr<db::Database> db_;
  std::function<void()> onChange_;
};

// The operating system in one line, e.g. "Debian GNU/Linux 12 (bookworm) - Linux 6.1.0
// x86_64".
std::string OperatingSystemLine();

}  // namespace kvt::app
