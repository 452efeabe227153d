// The few pieces of SQL that differ between database engines. Callers compose their SQL as
// text and ask the Dialect of their Database only for these pieces. The SQL Server dialect
// reproduces the historical statements byte for byte; SQLite (the embedded file engine) and
// PostgreSQL are the engines we run and test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::db {

enum class Engine { SqlServer, PostgreSql, Sqlite, Access, Other };

// A text literal for SQL: the text in single quotes, every quote doubled. The only way user
// text may enter an SQL statement.
std::string SqlQuote(std::string_view text);

// The body of a LIKE pattern that matches texts containing `text`, quoted and with the
// engine's wildcards; LIKE wildcards inside `text` match themselves.
// (Declared on Dialect below because the wildcard and escape syntax differ.)

class Dialect {
 public:
  explicit Dialect(Engine engine) : engine_(engine) {}

  // How Table's bulk mode sends a block of rows.
  enum class BulkStrategy {
    MultiRowValues,  // one prepared INSERT ... VALUES (...), (...) per block
    // The same INSERT behind a WITH clause: the SQLite3 ODBC driver compiles a statement that
    // begins with INSERT again at every execution (most of a block's cost), one that begins
    // with WITH it keeps prepared and only binds again (about 2.5 times faster).
    KeptMultiRowValues,
    ArrayUnnest,  // one INSERT ... SELECT * FROM unnest(?::type[], ...) per block
  };

  // Chooses the dialect from the DBMS name the driver reports (SQL_DBMS_NAME).
  static Dialect FromDbmsName(std::string_view dbmsName);

  Engine engine() const { return engine_; }

  // Column type for a dictionary type letter (A B D F I L M N O), with its leading blank as
  // the schema generator writes it: " CHAR(40)", " SMALLINT", ... Empty for an unknown letter.
  std::string ColumnType(char letter, int size) const;

  // A date condition literal for day/month/year, e.g. '2010-01-31' on SQLite.
  std::string DateLiteral(int day, int month, int year) const;

  // "expr IS NULL" or the engine's equivalent.
  std::string IsNull(std::string_view expr) const;

  // Literal for a true flag in conditions ("1" where flags are stored as numbers).
  std::string TrueLiteral() const;

  // `column LIKE <pattern>` matching values that contain `text`, safely quoted. The match
  // ignores case on every engine (ILIKE on PostgreSQL); % and _ in `text` match themselves.
  std::string Contains(std::string_view column, std::string_view text) const;

  // Key and index pieces of the schema generator. Column lists are written one name a line:
  // "\n(\ncol1,\ncol2\n)". SQL Server keeps CLUSTERED / NONCLUSTERED; the others omit them.
  //
  // The primary-key clause that ends a CREATE TABLE column list:
  //   ",\nCONSTRAINT <name> PRIMARY KEY CLUSTERED\n(\n...\n)".
  std::string PrimaryKeyClause(std::string_view name,
                               const std::vector<std::string>& columns) const;
  // "CREATE [UNIQUE ]NONCLUSTERED INDEX <name> ON <table>\n(\n...\n)\n".
  std::string CreateIndex(std::string_view name, std::string_view table,
                          const std::vector<std::string>& columns, bool unique) const;
  // True where foreign keys can only be declared inside CREATE TABLE (SQLite).
  bool ForeignKeysInCreateTable() const { return engine_ == Engine::Sqlite; }
  // True where a table gains a primary key, a mandatory column or a foreign key only by being
  // rebuilt (created anew, rows copied): SQLite's ALTER TABLE adds none of them.
  bool AddsConstraintsByRebuild() const { return engine_ == Engine::Sqlite; }
  // The statement switching the foreign-key checks of the connection on or off (outside a
  // transaction); empty where the checks cannot be switched.
  std::string ForeignKeyChecksSql(bool on) const;
  // The statements that make writers of `table` take turns inside their transactions, each
  // waiting at most `waitMs` for the one before (none where a transaction already holds the
  // whole database for writing, as SQLite's immediate transactions do).
  std::vector<std::string> TakeTurnsSql(std::string_view table, unsigned waitMs) const;
  // The ORDER BY term that gives rows in the order they were inserted; empty where the
  // engine keeps no such order.
  std::string InsertionOrder() const { return engine_ == Engine::Sqlite ? "rowid" : ""; }
  BulkStrategy bulkStrategy() const {
    if (engine_ == Engine::PostgreSql) return BulkStrategy::ArrayUnnest;
    if (engine_ == Engine::Sqlite) return BulkStrategy::KeptMultiRowValues;
    return BulkStrategy::MultiRowValues;
  }
  // The foreign-key clause of a CREATE TABLE column list (engines that need it there):
  //   ",\nCONSTRAINT <name> FOREIGN KEY\n(\n...\n) REFERENCES <parent>\n(\n...\n)".
  std::string ForeignKeyClause(std::string_view name, const std::vector<std::string>& childColumns,
                               std::string_view parent,
                               const std::vector<std::string>& parentColumns) const;
  // The statement adding a foreign key to an existing table:
  //   "ALTER TABLE <child> ADD CONSTRAINT <name> FOREIGN KEY\n(\n...\n)REFERENCES <parent>
  //   \n(\n...\n)\n". Empty where the engine cannot (ForeignKeysInCreateTable()).
  std::string AddForeignKey(std::string_view child, std::string_view name,
                            const std::vector<std::string>& childColumns, std::string_view parent,
                            const std::vector<std::string>& parentColumns) const;

 private:
  Engine engine_;
};

}  // namespace kvt::db
