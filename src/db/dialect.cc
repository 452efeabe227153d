#include "db/dialect.h"

#include <cctype>

namespace kvt::db {

namespace {

std::string Pad(int value, size_t width) {
  std::string text = std::to_string(value);
  return text.size() < width ? std::string(width - text.size(), '0') + text : text;
}

// "\n(\ncol1,\ncol2\n)": how the generator writes every column list.
std::string ColumnList(const std::vector<std::string>& columns) {
  std::string text = "\n(\n";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += ",\n";
    text += columns[i];
  }
  return text + "\n)";
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < word.size() && std::tolower(static_cast<unsigned char>(text[i + j])) ==
                                  std::tolower(static_cast<unsigned char>(word[j])))
      ++j;
    if (j == word.size()) return true;
  }
  return false;
}

}  // namespace

std::string SqlQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\0') continue;  // a NUL would end the statement text early
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

Dialect Dialect::FromDbmsName(std::string_view name) {
  if (ContainsNoCase(name, "SQLite")) return Dialect(Engine::Sqlite);
  if (ContainsNoCase(name, "PostgreSQL")) return Dialect(Engine::PostgreSql);
  if (ContainsNoCase(name, "SQL Server")) return Dialect(Engine::SqlServer);
  if (ContainsNoCase(name, "ACCESS")) return Dialect(Engine::Access);
  return Dialect(Engine::Other);
}

std::string Dialect::ColumnType(char letter, int size) const {
  const bool sqlite = engine_ == Engine::Sqlite;
  const bool pg = engine_ == Engine::PostgreSql;
  const bool access = engine_ == Engine::Access;
  switch (letter) {
    case 'A':
      if (sqlite || pg) return " VARCHAR(" + std::to_string(size) + ")";
      if (access) return " TEXT(" + std::to_string(size) + ")";
      return " CHAR(" + std::to_string(size) + ")";
    // Flags as SMALLINT: "= 1" then works on every engine (PostgreSQL's BIT refuses it).
    case 'B':
      return (sqlite || pg) ? " SMALLINT" : " BIT";
    case 'D':
      return (sqlite || pg) ? " DATE" : " DATETIME";
    case 'F':
      if (pg) return " DOUBLE PRECISION";
      return access ? " DOUBLE" : " FLOAT";
    case 'I':
      return " SMALLINT";
    case 'L':
      return " INTEGER";
    case 'M':
      return access ? " MEMO" : " TEXT";
    case 'N':
      return access ? " CURRENCY" : " DECIMAL";
    case 'O':
      if (sqlite) return " BLOB";
      if (pg) return " BYTEA";
      return access ? " LONGBINARY" : " IMAGE";
    default:
      return {};
  }
}

std::string Dialect::DateLiteral(int day, int month, int year) const {
  switch (engine_) {
    case Engine::SqlServer:
      return "'" + Pad(year, 4) + Pad(month, 2) + Pad(day, 2) + "'";
    case Engine::Access:
      return "#" + Pad(month, 2) + "/" + Pad(day, 2) + "/" + Pad(year, 4) + "#";
    // SQLite keeps dates as "YYYY-MM-DD" texts: only this form compares correctly there,
    // and PostgreSQL reads it as the same date.
    case Engine::Sqlite:
    case Engine::PostgreSql:
      return "'" + Pad(year, 4) + "-" + Pad(month, 2) + "-" + Pad(day, 2) + "'";
    default:
      return "{d '" + Pad(year, 4) + "-" + Pad(month, 2) + "-" + Pad(day, 2) + "'}";
  }
}

std::string Dialect::IsNull(std::string_view expr) const {
  if (engine_ == Engine::Access) return "IsNull(" + std::string(expr) + ") = TRUE";
  return std::string(expr) + " IS NULL";
}

std::string Dialect::TrueLiteral() const {
  return engine_ == Engine::Access ? "TRUE" : "1";
}

std::string Dialect::Contains(std::string_view column, std::string_view text) const {
  std::string pattern;
  if (engine_ == Engine::Access) {
    for (char c : text) {
      if (c == '*' || c == '?' || c == '#' || c == '[')
        pattern += std::string("[") + c + "]";
      else
        pattern += c;
    }
    return std::string(column) + " LIKE " + SqlQuote("*" + pattern + "*");
  }
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\' || (c == '[' && engine_ == Engine::SqlServer))
      pattern += '\\';
    pattern += c;
  }
  const char* like = engine_ == Engine::PostgreSql ? " ILIKE " : " LIKE ";
  return std::string(column) + like + SqlQuote("%" + pattern + "%") + " ESCAPE '\\'";
}

std::string Dialect::PrimaryKeyClause(std::string_view name,
                                      const std::vector<std::string>& columns) const {
  const char* kind = engine_ == Engine::SqlServer ? " PRIMARY KEY CLUSTERED" : " PRIMARY KEY";
  return ",\nCONSTRAINT " + std::string(name) + kind + ColumnList(columns);
}

std::string Dialect::CreateIndex(std::string_view name, std::string_view table,
                                 const std::vector<std::string>& columns, bool unique) const {
  std::string text = unique ? "CREATE UNIQUE " : "CREATE ";
  if (engine_ == Engine::SqlServer) text += "NONCLUSTERED ";
  return text + "INDEX " + std::string(name) + " ON " + std::string(table) + ColumnList(columns) +
         "\n";
}

std::string Dialect::ForeignKeyClause(std::string_view name,
                                      const std::vector<std::string>& childColumns,
                                      std::string_view parent,
                                      const std::vector<std::string>& parentColumns) const {
  return ",\nCONSTRAINT " + std::string(name) + " FOREIGN KEY" + ColumnList(childColumns) +
         " REFERENCES " + std::string(parent) + ColumnList(parentColumns);
}

std::string Dialect::AddForeignKey(std::string_view child, std::string_view name,
                                   const std::vector<std::string>& childColumns,
                                   std::string_view parent,
                                   const std::vector<std::string>& parentColumns) const {
  if (ForeignKeysInCreateTable()) return {};
  return "ALTER TABLE " + std::string(child) + " ADD CONSTRAINT " + std::string(name) +
         " FOREIGN KEY" + ColumnList(childColumns) + "REFERENCES " + std::string(parent) +
         ColumnList(parentColumns) + "\n";
}

std::vector<std::string> Dialect::TakeTurnsSql(std::string_view table, unsigned waitMs) const {
  if (engine_ != Engine::PostgreSql) return {};
  return {"SET LOCAL lock_timeout = " + std::to_string(waitMs),
          "LOCK TABLE " + std::string(table) + " IN SHARE ROW EXCLUSIVE MODE"};
}

std::string Dialect::ForeignKeyChecksSql(bool on) const {
  if (engine_ != Engine::Sqlite) return {};
  return on ? "PRAGMA foreign_keys = ON" : "PRAGMA foreign_keys = OFF";
}

}  // namespace kvt::db
