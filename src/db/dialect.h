// The few pieces of SQL that differ between database engines. Callers compose their SQL as
// text and ask the Dialect of their Database only for these pieces. The SQL Server dialect
// reproduces the historical statements byte for byte; SQLite (the embedded file engine) and
// PostgreSQL are the engines we run and test.
#pragma once

#include <string>
#include <string_view>

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

  // `column LIKE <pattern>` matching values that contain `text`, safely quoted.
  std::string Contains(std::string_view column, std::string_view text) const;

 private:
  Engine engine_;
};

}  // namespace kvt::db
