#include "app/shell.h"

#include <sys/utsname.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/schema_hooks.h"
#include "db/database.h"
#include "db/file_engine.h"
#include "platform/ui.h"

namespace kvt::app {
namespace {

constexpr std::string_view kGraveAnomaly =
    "ATTENZIONE: è stata riscontrata una anomalia grave\n"
    "che rende impossibile il corretto funzionamento di\n"
    "questo programma.\n\n"
    "Ipotesi A) Il prodotto non è stato installato nella\n"
    "           maniera corretta, utilizzando Setup.\n\n"
    "Ipotesi B) Il registro di configurazione di Windows\n"
    "           si è corrotto e deve essere ripristinato.\n\n";

constexpr std::string_view kFirstStartQuestion =
    "L'applicazione KVT-BASE2 non è associata ad un database.\n\n"
    "Prima di iniziare ad operare con KVT-BASE2 è necessario\n"
    "creare un database vuoto oppure occorre associare un\n"
    "database già esistente.\n\n"
    "Intendi procedere alla creazione di un nuovo database ?";

constexpr std::string_view kNoValidDatabase =
    "Non è stato possibile associare un database valido.\n\n"
    "Non è pertanto possibile procedere oltre !!!\n\n";

// A rowset size of 0 would fetch nothing; the stored value is then taken as unset.
unsigned RowsetOrDefault(uint32_t value, uint32_t fallback) {
  return value == 0 ? fallback : value;
}

std::string OsReleaseName() {
  std::ifstream in("/etc/os-release");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string value = line.substr(12);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return "";
}

}  // namespace

std::string OperatingSystemLine() {
  std::string line = OsReleaseName();
  struct utsname u {};
  if (uname(&u) == 0) {
    if (!line.empty()) line += " - ";
    line += std::string(u.sysname) + " " + u.release + " " + u.machine;
  }
  return line.empty() ? "Linux" : line;
}

Shell::Shell(Ui& ui, SettingsFile file) : ui_(ui), file_(std::move(file)) {}

Shell::~Shell() = default;

bool Shell::LoadSettings() {
  settings_ = Settings{};
  settingsDamaged_ = file_.Load(&settings_) == SettingsLoad::Unreadable;
  if (settingsDamaged_) ui_.Stop(kGraveAnomaly);
  odbcMethod_ = !settings_.dsnOdbc.empty();
  fileMethod_ = !odbcMethod_ && !settings_.database.empty();
  return !settingsDamaged_;
}

bool Shell::SaveSettings() {
  std::string error;
  if (file_.Save(settings_, &error)) return true;
  ui_.Stop("Impossibile salvare le impostazioni del programma.\n\n" + error);
  return false;
}

std::string Shell::DefaultDatabasePath() const {
  std::string folder = settings_.directory;
  if (folder.empty()) {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    folder = data && *data ? std::string(data) + "/kvtbase"
                           : std::string(home && *home ? home : ".") + "/.local/share/kvtbase";
  }
  if (folder.back() != '/') folder += '/';
  return folder + std::string(kDefaultDatabaseName);
}

// The offer to create a database when none is configured. False when the program cannot
// go on.
bool Shell::FirstStart() {
  if (!ui_.Ask(kFirstStartQuestion)) return true;
  std::string path = DefaultDatabasePath();
  std::error_code ec;
  bool created = false;
  if (std::filesystem::exists(path, ec)) {
    // Made by an earlier first start whose settings were lost: use it rather than fail on
    // the existing file; Connect checks it.
    created = true;
  } else {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    WaitScope wait(ui_);
    created = CreateDatabaseFile(ui_, path);
  }
  if (!created) {
    ui_.Stop(kNoValidDatabase);
    return false;
  }
  settings_.database = path;
  fileMethod_ = true;
  odbcMethod_ = false;
  return true;
}

bool Shell::Startup() {
  LoadSettings();
  if (settings_.dsnOdbc.empty() && settings_.database.empty() && !FirstStart()) return false;
  Connect();
  Changed();
  return true;
}

bool Shell::ConnectChosenOdbc() {
  db_ = db::Database::ConnectOdbc(ui_, settings_.dsnOdbc, &driverName_,
                                  RowsetOrDefault(settings_.rowSzAlfa, kDefaultRowSzAlfa),
                                  RowsetOrDefault(settings_.rowSzBlob, kDefaultRowSzBlob));
  if (db_ && db_->IsConnected()) return true;
  db_.reset();
  settings_.dsnOdbc.clear();
  driverName_.clear();
  return false;
}

bool Shell::Reopen(const std::string& path) {
  db_ = db::Database::OpenFile(ui_, path);
  if (db_ && db_->IsConnected()) return true;
  db_.reset();
  return false;
}

bool Shell::ConnectChosenFile() {
  if (Reopen(settings_.database)) {
    CompleteArdelio(*this);
    if (db_) FixArdelioNumbering(*db_);
    return db_ != nullptr;
  }
  settings_.database.clear();
  return false;
}

bool Shell::Connect() {
  db_.reset();
  if (odbcMethod_ && !settings_.dsnOdbc.empty()) return ConnectChosenOdbc();
  if (fileMethod_ && !settings_.database.empty()) return ConnectChosenFile();
  return false;
}

void Shell::Disconnect() {
  db_.reset();
}

void Shell::Shutdown() {
  Disconnect();
  SaveSettings();
}

bool Shell::ConnectFile(std::string path) {
  Disconnect();
  settings_.database = std::move(path);
  fileMethod_ = true;
  odbcMethod_ = false;
  settings_.dsnOdbc.clear();
  driverName_.clear();
  bool ok = Connect();
  Changed();
  return ok;
}

bool Shell::ConnectOdbc(std::string dsn, std::string driverName, unsigned rowsetOrdinary,
                        unsigned rowsetBlob) {
  Disconnect();
  settings_.database.clear();
  settings_.dsnOdbc = std::move(dsn);
  driverName_ = std::move(driverName);
  odbcMethod_ = true;
  fileMethod_ = false;
  settings_.rowSzAlfa = rowsetOrdinary;
  settings_.rowSzBlob = rowsetBlob;
  bool ok = Connect();
  Changed();
  return ok;
}

void Shell::ForgetDatabase() {
  Disconnect();
  settings_.database.clear();
  settings_.dsnOdbc.clear();
  driverName_.clear();
  fileMethod_ = odbcMethod_ = false;
  Changed();
}

std::string Shell::DatabaseLine() const {
  if (db_ && db_->IsConnected() && db_->IsDao())
    return settings_.database + " (Jet " + db::EngineVersion() + ")";
  if (odbcMethod_ && !settings_.dsnOdbc.empty()) {
    return "ODBC via DSN \"" + settings_.dsnOdbc + "\" Driver: " + driverName_ + "\n" +
           "RowsetSize (Dati ordinari): " +
           std::to_string(RowsetOrDefault(settings_.rowSzAlfa, kDefaultRowSzAlfa)) + "\n" +
           "RowsetSize (Dati Blob): " +
           std::to_string(RowsetOrDefault(settings_.rowSzBlob, kDefaultRowSzBlob));
  }
  return "Nessuno";
}

std::string Shell::AboutText() const {
  return "INFORMAZIONI SUL PROGRAMMA\n\n"
         "KVTBASE - \"Gestione Trasvia - Regione Velmora\"\n"
         "Sistema operativo " +
         OperatingSystemLine() + "\n\nDatabase: " + DatabaseLine();
}

}  // namespace kvt::app
