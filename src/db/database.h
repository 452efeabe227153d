// The connection to the trips database. Two methods:
//  - ODBC: a data source name registered with the driver manager (any driver);
//  - file ("DAO/JET" in the menus): the path of a database file served by the embedded
//    engine (an SQLite file driven through the SQLite3 ODBC driver).
// Both run through the same ODBC code path; IsDao/IsOdbc tell callers which method is in
// use, dialect() tells them how to write the engine-specific bits of SQL.
//
// Failures are reported to the Ui given at construction, as message boxes, and the object
// stays usable (or unconnected); LastError() keeps the driver's diagnostic of the last
// failed statement. A Database is used from one thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/diagnostic.h"
#include "db/dialect.h"

namespace kvt {
class Ui;
}

namespace kvt::db {

class OdbcConnection;  // ODBC handles; see odbc.h (internal to db/)

struct DataSource {
  std::string name;
  std::string description;  // the driver's description as the driver manager gives it
};

class Database {
 public:
  // ODBC method. `dsn` is a data source name; a text containing '=' is taken as a full
  // connection string instead (used by tests). `driverNameOut`, when given, receives the
  // driver name found for the DSN ("Access" for Microsoft Access drivers), empty when the
  // DSN is not among the data sources. The caller then tests IsConnected().
  static std::unique_ptr<Database> ConnectOdbc(Ui& ui, std::string_view dsn,
                                               std::string* driverNameOut,
                                               unsigned rowsetSizeOrdinary,
                                               unsigned rowsetSizeBlob);

  // File method: opens an existing database file of the embedded engine. A file that is not
  // one (a genuine Access file, say) is refused with a message and left untouched.
  static std::unique_ptr<Database> OpenFile(Ui& ui, std::string_view path);

  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool IsConnected() const;
  bool IsOdbc() const { return isOdbc_; }
  bool IsDao() const { return isDao_; }
  // Empty when unknown; "Access" for a Microsoft Access driver.
  const std::string& DriverName() const { return driverName_; }
  const std::string& Path() const { return path_; }
  const std::string& Dsn() const { return dsn_; }
  unsigned RowsetSizeOrdinary() const { return rowsetSizeOrdinary_; }
  unsigned RowsetSizeBlob() const { return rowsetSizeBlob_; }
  const Dialect& dialect() const { return dialect_; }
  Ui& ui() const { return ui_; }

  // DBMS name and version as the driver reports them ("SQLite", "PostgreSQL", ...).
  std::string DbmsName() const;
  std::string DbmsVersion() const;

  // Executes one statement without a result set. On failure returns false with the driver's
  // diagnostic in LastError() (no message box: the caller owns the wording).
  [[nodiscard]] bool ExecuteSql(std::string_view sql);
  const Diagnostic& LastError() const { return error_; }

  // Explicit transactions. Writes made between Begin and Commit are atomic. Begin nests by
  // counting: only the outermost Commit or Rollback ends the transaction. A Rollback at any
  // depth marks the whole transaction for rollback.
  [[nodiscard]] bool Begin();
  [[nodiscard]] bool Commit();
  bool Rollback();  // ends the transaction whatever the database answers
  // Begin for work that must not interleave with another connection's work of the same kind
  // (two imports): such transactions take turns on `table`. The second waits the busy time
  // (10 s), then is refused with the message of a database in use.
  [[nodiscard]] bool BeginTakingTurns(std::string_view table);
  bool InTransaction() const { return txDepth_ > 0; }

  // Closes whatever is open and clears every field (idempotent).
  void Close();

  // For tests: how long SQLite connections opened afterwards, and transactions taking turns,
  // wait for another connection's lock, in milliseconds; nullopt goes back to 10 s.
  static void OverrideBusyTimeout(std::optional<unsigned> milliseconds);

  // The data sources of the driver manager, in its order.
  static std::vector<DataSource> ListDataSources();

  // Catalogue of the live database, read from the driver (for the schema checks and the
  // completion of existing files).
  std::vector<std::string> ListTables();
  bool TableExists(std::string_view table);

  // For the db layer's own objects.
  OdbcConnection* connection() const { return conn_.get(); }

 private:
  explicit Database(Ui& ui);
  void Connect(const std::string& connectionString);
  std::string CheckFile() const;
  std::string ConnectFile();
  bool StartTransaction();
  bool EndOutermost(bool commit);

  Ui& ui_;
  std::unique_ptr<OdbcConnection> conn_;
  std::string path_;
  std::string dsn_;
  std::string driverName_;
  bool isDao_ = false;
  bool isOdbc_ = false;
  bool connected_ = false;
  unsigned rowsetSizeOrdinary_ = 25;
  unsigned rowsetSizeBlob_ = 1;
  int txDepth_ = 0;
  bool txFailed_ = false;
  Diagnostic error_;
  Dialect dialect_{Engine::Other};
};

// Commits at Commit(), rolls back when destroyed without it.
class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db), active_(db.Begin()) {}
  // A transaction that takes turns with the others on `table` (Database::BeginTakingTurns).
  Transaction(Database& db, std::string_view turnsTable)
      : db_(db), active_(db.BeginTakingTurns(turnsTable)) {}
  ~Transaction() {
    if (active_) db_.Rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  [[nodiscard]] bool Commit() {
    if (!active_) return false;
    active_ = false;
    return db_.Commit();
  }

 private:
  Database& db_;
  bool active_;
};

}  // namespace kvt::db
