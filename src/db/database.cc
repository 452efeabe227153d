#include "db/database.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/text.h"
#include "db/file_engine.h"
#include "db/odbc.h"
#include "platform/ui.h"

namespace kvt::db {

namespace {

constexpr unsigned kQueryTimeoutSeconds = 360;

// psqlODBC must stream results (otherwise a large result is loaded whole), report bytea as
// a byte block, roll back only the failed statement inside a transaction (a DSN set to roll
// back the whole transaction would silently undo an import's earlier work), and prepare
// statements on the server (a bulk block costs 4 times more otherwise).
constexpr std::string_view kPsqlOdbcOptions =
    ";UseDeclareFetch=1;Fetch=10000;ByteaAsLongVarBinary=1;Protocol=7.4-2;UseServerSidePrepare=1";
// The SQLite3 driver reached by the ODBC method: stream results and enforce foreign keys.
// Whether a missing file is created stays the data source's own choice.
constexpr std::string_view kSqliteOdbcOptions = ";StepAPI=1;FKSupport=1";

// The options this program needs from the driver behind a connection, or "" for none.
std::string_view DriverOptions(const std::string& driverFile) {
  if (driverFile.starts_with("psqlodbc")) return kPsqlOdbcOptions;
  if (driverFile.find("sqlite3odbc") != std::string::npos) return kSqliteOdbcOptions;
  return {};
}

// The value of `key` in a connection string "K1=V1;K2=V2" (keys compared without case).
std::string ConnectionStringValue(std::string_view text, std::string_view key) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view part = text.substr(start, end - start);
    size_t eq = part.find('=');
    if (eq != std::string_view::npos && EqualsNoCase(part.substr(0, eq), key))
      return std::string(part.substr(eq + 1));
    start = end + 1;
  }
  return {};
}

// The driver name the rest of the program compares: "Access" for the Microsoft Access
// drivers (first 16 characters), else the description in full.
std::string DriverNameOf(const std::string& description) {
  if (description.compare(0, 16, "Microsoft Access") == 0) return "Access";
  return description;
}

// A connection-string value in braces when it holds a separator.
std::string ConnValue(const std::string& value) {
  if (value.find_first_of(";{}") == std::string::npos) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

}  // namespace

Database::Database(Ui& ui) : ui_(ui) {}

Database::~Database() {
  Close();
}

bool Database::IsConnected() const {
  return connected_ && conn_ != nullptr;
}

std::unique_ptr<Database> Database::ConnectOdbc(Ui& ui, std::string_view dsn,
                                                std::string* driverNameOut,
                                                unsigned rowsetSizeOrdinary,
                                                unsigned rowsetSizeBlob) {
  std::unique_ptr<Database> db(new Database(ui));
  db->connected_ = true;
  db->isOdbc_ = true;
  db->rowsetSizeOrdinary_ = std::max(1u, rowsetSizeOrdinary);
  db->rowsetSizeBlob_ = std::max(1u, rowsetSizeBlob);
  if (driverNameOut) driverNameOut->clear();
  if (!OdbcEnvironment::Create()) {
    ui.Stop("Impossibile allocare ambiente ODBC");
    return db;
  }
  const bool isConnectionString = dsn.find('=') != std::string_view::npos;
  const std::string dsnName =
      isConnectionString ? ConnectionStringValue(dsn, "DSN") : std::string(dsn);
  for (const DataSource& source : ListDataSources()) {
    if (source.name != dsnName) continue;
    db->driverName_ = DriverNameOf(source.description);
    if (driverNameOut) *driverNameOut = db->driverName_;
    break;
  }
  db->dsn_ = std::string(dsn);
  db->Connect(isConnectionString ? std::string(dsn) : "DSN=" + ConnValue(std::string(dsn)));
  return db;
}

void Database::Connect(const std::string& connectionString) {
  WaitScope wait(ui_);
  Diagnostic error;
  // The driver is known only once connected: connect again with the options it needs.
  conn_ = OdbcConnection::Open(connectionString, &error);
  const std::string_view options = conn_ ? DriverOptions(conn_->InfoText(SQL_DRIVER_NAME)) : "";
  if (!options.empty()) {
    conn_.reset();
    conn_ = OdbcConnection::Open(connectionString + std::string(options), &error);
  }
  if (!conn_) {
    if (error.state == "HY001")
      ui_.Stop("ERRORE: CMemoryException\n\n");
    else
      ui_.Stop("Errore in fase di conessione al database \n\n" + error.text);
    connected_ = false;
    return;
  }
  conn_->queryTimeout = kQueryTimeoutSeconds;
  dialect_ = Dialect::FromDbmsName(DbmsName());
}

std::unique_ptr<Database> Database::OpenFile(Ui& ui, std::string_view path) {
  std::unique_ptr<Database> db(new Database(ui));
  db->connected_ = true;
  db->isDao_ = true;
  db->rowsetSizeOrdinary_ = 1;
  db->rowsetSizeBlob_ = 1;
  db->path_ = std::string(path);
  WaitScope wait(ui);
  std::string problem = db->CheckFile();
  if (problem.empty()) problem = db->ConnectFile();
  if (!problem.empty()) {
    ui.Stop("Errore in fase di apertura del database\n\n" + problem);
    db->conn_.reset();
    db->connected_ = false;
  }
  return db;
}

// Why the file cannot be opened, or "" when it may be. A missing file is never created and
// an Access file is never touched.
std::string Database::CheckFile() const {
  std::error_code ec;
  if (path_.empty() || !std::filesystem::exists(path_, ec))
    return "Impossibile trovare il file '" + path_ + "'.";
  if (!std::filesystem::is_regular_file(path_, ec))
    return "'" + path_ + "' non è un file di database.";
  if (IsAccessFile(path_))
    return "Il file '" + path_ +
           "' è un database Microsoft Access (Jet/ACE), che questo programma non può aprire: "
           "il file non è stato modificato.";
  return {};
}

std::string Database::ConnectFile() {
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(path_, ec).string();
  if (ec) absolute = path_;
  const std::string connection = "DRIVER=SQLite3;Database=" + ConnValue(absolute) +
                                 ";StepAPI=1;FKSupport=1;NoCreat=1;NoWCHAR=1;Timeout=100000";
  Diagnostic error;
  conn_ = OdbcConnection::Open(connection, &error);
  if (!conn_) return error.text;
  conn_->queryTimeout = kQueryTimeoutSeconds;
  dialect_ = Dialect::FromDbmsName(DbmsName());
  // The driver opens any file; the first read tells whether it is a database.
  OdbcStatement probe(*conn_);
  if (!probe.ExecDirect("SELECT COUNT(*) FROM sqlite_master")) return probe.LastError().text;
  return {};
}

void Database::Close() {
  conn_.reset();
  path_.clear();
  dsn_.clear();
  driverName_.clear();
  connected_ = false;
  txDepth_ = 0;
  txFailed_ = false;
}

std::string Database::DbmsName() const {
  return conn_ ? conn_->InfoText(SQL_DBMS_NAME) : "";
}

std::string Database::DbmsVersion() const {
  return conn_ ? conn_->InfoText(SQL_DBMS_VER) : "";
}

bool Database::ExecuteSql(std::string_view sql) {
  if (!IsConnected()) {
    error_ = {"", std::string(kNoDriverText)};
    return false;
  }
  OdbcStatement stmt(*conn_);
  if (stmt.ExecDirect(sql)) return true;
  error_ = stmt.LastError();
  return false;
}

bool Database::Begin() {
  if (!IsConnected()) return false;
  if (txDepth_ == 0 && !StartTransaction()) return false;
  ++txDepth_;
  return true;
}

// The SQLite driver ends every open cursor of the connection when its autocommit attribute
// changes (a selection being read would stop short), so SQLite transactions are plain SQL
// statements; other drivers get the ODBC way.
bool Database::StartTransaction() {
  if (dialect_.engine() == Engine::Sqlite) return ExecuteSql("BEGIN");
  return conn_->SetAutocommit(false);
}

bool Database::EndOutermost(bool commit) {
  bool ended = false;
  if (dialect_.engine() == Engine::Sqlite) {
    ended = ExecuteSql(commit ? "COMMIT" : "ROLLBACK");
    if (!ended && commit) {  // never leave the transaction open
      const Diagnostic why = error_;
      (void)ExecuteSql("ROLLBACK");
      error_ = why;
    }
  } else {
    ended = conn_->EndTransaction(commit);
    if (!ended) error_ = conn_->Diag();
    conn_->SetAutocommit(true);
  }
  txDepth_ = 0;
  txFailed_ = false;
  return ended;
}

bool Database::Commit() {
  if (txDepth_ == 0 || !IsConnected()) return false;
  if (txDepth_ > 1) {
    --txDepth_;
    return !txFailed_;
  }
  const bool failed = txFailed_;
  return EndOutermost(!failed) && !failed;
}

bool Database::Rollback() {
  if (txDepth_ == 0 || !IsConnected()) return false;
  if (txDepth_ > 1) {
    --txDepth_;
    txFailed_ = true;
    return true;
  }
  return EndOutermost(false);
}

std::vector<DataSource> Database::ListDataSources() {
  std::vector<DataSource> sources;
  auto env = OdbcEnvironment::Create();
  if (!env) return sources;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1] = {};
    SQLCHAR description[512] = {};
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    SQLRETURN rc = SQLDataSources(env->handle(), direction, name, sizeof name, &nameLength,
                                  description, sizeof description, &descriptionLength);
    if (!Ok(rc)) break;
    sources.push_back({reinterpret_cast<char*>(name), reinterpret_cast<char*>(description)});
    direction = SQL_FETCH_NEXT;
  }
  return sources;
}

std::vector<std::string> Database::ListTables() {
  std::vector<std::string> tables;
  if (!IsConnected()) return tables;
  OdbcStatement stmt(*conn_);
  SQLCHAR type[] = "TABLE";
  if (!stmt.Check(SQLTables(stmt.handle(), nullptr, 0, nullptr, 0, nullptr, 0, type, SQL_NTS)))
    return tables;
  while (stmt.Fetch() == SQL_SUCCESS) {
    std::string name = GetDataText(stmt, 3);
    if (!name.starts_with("sqlite_")) tables.push_back(std::move(name));
  }
  return tables;
}

bool Database::TableExists(std::string_view table) {
  for (const std::string& name : ListTables()) {
    if (EqualsNoCase(name, table)) return true;
  }
  return false;
}

}  // namespace kvt::db
