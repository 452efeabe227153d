// The dictionary: seven reserved tables in which the database describes its own tables,
// columns, indices and relations. CreateSpecialTables makes them; DictionaryWriter fills
// them, one row per definition, through ordinary Table objects.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "db/dialect.h"

namespace kvt::db {
class Database;
class Table;
}  // namespace kvt::db

namespace kvt::schema {

// In creation order.
inline constexpr std::array<std::string_view, 7> kReservedTables = {
    "tavole", "campi", "indici", "indici2", "relaz", "relaz2", "utenti"};

inline constexpr std::string_view kSpecialTablesCaption = "Creazione Tavole Speciali";

// True when `name` is one of the reserved tables (letter case ignored: the engines we run
// fold unquoted names, so "RELAZ" would collide with relaz).
bool IsReservedTable(std::string_view name);

// The CREATE TABLE statement of one reserved table. sqlPath: the statement of the ODBC
// method (key constraint named <table>_<key>; the SQL Server text verbatim on that engine);
// otherwise the file method's (key named as the dictionary index, positions defaulted
// because that method does not write them).
std::string SpecialTableSql(std::string_view table, const db::Dialect& dialect, bool sqlPath);

// Creates the seven tables by the method of the connection. ODBC: refuses an Access driver
// and a data source that already holds any reserved table, before writing anything. Every
// refusal or failure is shown to the Database's Ui; false then.
bool CreateSpecialTables(db::Database& db);

// The writers of the catalogue: each one AddNew / SetFieldText / Update on the open meta
// table. Numbers are written as decimal text, flags as "1"/"0", empty texts store NULL.
class DictionaryWriter {
 public:
  // Opens tavole, campi, indici, indici2, relaz and relaz2 on `db`.
  explicit DictionaryWriter(db::Database& db);
  ~DictionaryWriter();
  DictionaryWriter(const DictionaryWriter&) = delete;
  DictionaryWriter& operator=(const DictionaryWriter&) = delete;

  bool IsOpen() const;

  bool DefineTable(std::string_view name, std::string_view label, std::string_view description);
  // `posiz` is written on ODBC connections only, from a counter that restarts at 0 whenever
  // the table changes.
  bool DefineColumn(std::string_view table, std::string_view column, char letter, int size,
                    bool mandatory, std::string_view label, std::string_view description,
                    std::string_view rule = {}, std::string_view message = {});
  bool DefineIndex(std::string_view table, std::string_view index, bool primaryKey,
                   std::string_view label, std::string_view description = {});
  bool DefineIndexColumn(std::string_view table, std::string_view index, int position,
                         std::string_view column);
  bool DefineRelation(std::string_view name, std::string_view parent, std::string_view child);
  bool DefineRelationColumn(std::string_view name, int position, std::string_view parentColumn,
                            std::string_view childColumn);

 private:
  struct Field {
    std::string_view column;
    std::string text;
  };
  bool WriteRow(db::Table& table, std::initializer_list<Field> fields);

  db::Database& db_;
  std::unique_ptr<db::Table> tavole_, campi_, indici_, indici2_, relaz_, relaz2_;
  std::string positionTable_;
  int position_ = 0;
};

}  // namespace kvt::schema
