#include "db/database.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/text.h"
#include "db/file_engine.h"
#include "db/odbc.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace kvt::db {

namespace {

constexpr unsigned kQueryTimeoutSeconds = 360;
// How long an SQLite connection waits for another one's lock before giving up, in
// milliseconds: long enough for another command's commit, short enough that a command
// meeting a long import is refused with a message instead of appearing to hang.
constexpr unsigned kSqliteBusyTimeoutMs = 10000;
std::optional<unsigned> busyTimeoutOverride;

std::string SqliteBusyTimeout() {
  return ";Timeout=" + std::to_string(busyTimeoutOverride.value_or(kSqliteBusyTimeoutMs));
}

// Shown when a transaction cannot start: the database's own reason follows.
constexpr std::string_view kBeginLockedMessage =
    "Il database è in uso da un'altra operazione (un'altra importazione, ad esempio) e non "
    "può essere modificato ora: riprovare al suo termine.\n\n";
constexpr std::string_view kBeginFailedMessage =
    "Impossibile iniziare la modifica del database.\n\n";

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
std::string DriverOptions(const std::string& driverFile) {
  if (driverFile.starts_with("psqlodbc")) return std::string(kPsqlOdbcOptions);
  if (driverFile.find("sqlite3odbc") != std::string::npos)
    return std::string(kSqliteOdbcOptions) + SqliteBusyTimeout();
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

// The SQLite driver takes its Database value up to the first ';' and knows no quoting, but it
// opens URIs: every legal file name reaches it as "file://" + the path, with the bytes that
// would end the value or mean something in a URI written as %XX.
std::string FileUri(const std::string& absolutePath) {
  std::string uri = "file://";
  for (unsigned char c : absolutePath) {
    if (c == ';' || c == '%' || c == '?' || c == '#' || c < 0x20 || c == 0x7F) {
      uri += Format("%%%02X", c);
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri;
}

// The driver cuts a longer value short, and would open another file or none.
constexpr size_t kMaxDriverValue = 510;

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
  const std::string options = conn_ ? DriverOptions(conn_->InfoText(SQL_DRIVER_NAME)) : "";
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
  if (CheckRegularFile(path_) != FileCheck::Ok) return "Impossibile leggere il file '" + path_ + "'.";
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
  const std::string uri = FileUri(absolute);
  if (uri.size() > kMaxDriverValue)
    return "Il percorso del file '" + path_ + "' è troppo lungo per il driver del database.";
  const std::string connection = "DRIVER=SQLite3;Database=" + uri +
                                 ";StepAPI=1;FKSupport=1;NoCreat=1;NoWCHAR=1" +
                                 SqliteBusyTimeout();
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
  if (txDepth_ == 0 && !StartTransaction()) {
    ui_.Stop(std::string(error_.Busy() ? kBeginLockedMessage : kBeginFailedMessage) +
             error_.text);
    return false;
  }
  ++txDepth_;
  return true;
}

bool Database::BeginTakingTurns(std::string_view table) {
  const bool outermost = txDepth_ == 0;
  if (!Begin()) return false;
  if (!outermost) return true;
  for (const std::string& sql :
       dialect_.TakeTurnsSql(table, busyTimeoutOverride.value_or(kSqliteBusyTimeoutMs))) {
    if (ExecuteSql(sql)) continue;
    ui_.Stop(std::string(error_.Busy() ? kBeginLockedMessage : kBeginFailedMessage) +
             error_.text);
    Rollback();
    return false;
  }
  return true;
}

// The SQLite driver ends every open cursor of the connection when its autocommit attribute
// changes (a selection being read would stop short), so SQLite transactions are plain SQL
// statements; other drivers get the ODBC way.
//
// An SQLite transaction takes the write lock at once (IMMEDIATE): a second writer then waits
// here, a bounded time, before it has changed anything, instead of failing half-way through
// its work, or waiting on a reader of its own transaction that waits on it.
bool Database::StartTransaction() {
  if (dialect_.engine() == Engine::Sqlite) return ExecuteSql("BEGIN IMMEDIATE");
  if (conn_->SetAutocommit(false)) return true;
  error_ = conn_->Diag();
  return false;
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

void Database::OverrideBusyTimeout(std::optional<unsigned> milliseconds) {
  busyTimeoutOverride = milliseconds;
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
