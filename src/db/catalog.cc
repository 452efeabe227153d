#include "db/catalog.h"

#include <algorithm>
#include <map>

#include "db/columns.h"
#include "db/database.h"
#include "db/odbc.h"

namespace kvt::db {

namespace {

SQLCHAR* Arg(std::string& text) {
  return reinterpret_cast<SQLCHAR*>(text.data());
}

std::vector<LiveIndex> ReadIndices(OdbcConnection& conn, std::string table) {
  std::vector<LiveIndex> indices;
  OdbcStatement stmt(conn);
  if (!stmt.Check(SQLStatistics(stmt.handle(), nullptr, 0, nullptr, 0, Arg(table), SQL_NTS,
                                SQL_INDEX_ALL, SQL_QUICK)))
    return indices;
  std::map<std::string, std::vector<std::pair<long, std::string>>> parts;
  std::map<std::string, bool> unique;
  std::vector<std::string> order;
  while (stmt.Fetch() == SQL_SUCCESS) {
    if (GetDataLong(stmt, 7) == SQL_TABLE_STAT) continue;
    const std::string name = GetDataText(stmt, 6);
    if (!parts.count(name)) order.push_back(name);
    unique[name] = GetDataLong(stmt, 4, 1) == SQL_FALSE;
    parts[name].emplace_back(GetDataLong(stmt, 8), GetDataText(stmt, 9));
  }
  for (const std::string& name : order) {
    auto& columns = parts[name];
    std::sort(columns.begin(), columns.end());
    LiveIndex index{name, unique[name], {}};
    for (auto& column : columns) index.columns.push_back(column.second);
    indices.push_back(std::move(index));
  }
  return indices;
}

std::vector<LiveForeignKey> ReadForeignKeys(OdbcConnection& conn, std::string table) {
  std::vector<LiveForeignKey> keys;
  OdbcStatement stmt(conn);
  if (!stmt.Check(SQLForeignKeys(stmt.handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                 nullptr, 0, Arg(table), SQL_NTS)))
    return keys;
  std::vector<std::vector<std::pair<long, std::pair<std::string, std::string>>>> pairs;
  while (stmt.Fetch() == SQL_SUCCESS) {
    const std::string parent = GetDataText(stmt, 3);
    const std::string parentColumn = GetDataText(stmt, 4);
    const std::string childColumn = GetDataText(stmt, 8);
    const long sequence = GetDataLong(stmt, 9, 1);
    const std::string name = GetDataText(stmt, 12);
    // A key starts at sequence 1 (SQLite gives no names to tell keys apart).
    if (keys.empty() || sequence <= 1 || keys.back().name != name ||
        keys.back().parentTable != parent) {
      keys.push_back({name, parent, {}, {}});
      pairs.emplace_back();
    }
    pairs.back().push_back({sequence, {parentColumn, childColumn}});
  }
  for (size_t k = 0; k < keys.size(); ++k) {
    std::sort(pairs[k].begin(), pairs[k].end());
    for (auto& pair : pairs[k]) {
      keys[k].parentColumns.push_back(pair.second.first);
      keys[k].childColumns.push_back(pair.second.second);
    }
  }
  return keys;
}

}  // namespace

LiveTable ReadLiveTable(Database& db, const std::string& table) {
  LiveTable live;
  if (!db.IsConnected()) return live;
  OdbcConnection& conn = *db.connection();
  std::string actual;
  std::vector<ColumnInfo> columns;
  if (!ReadColumns(conn, table, actual, columns)) return live;
  live.name = actual;
  for (const ColumnInfo& c : columns)
    live.columns.push_back({c.name, c.sqlType, c.typeName, static_cast<int>(c.size), c.nullable});
  live.primaryKey = ReadPrimaryKey(conn, actual);
  live.indices = ReadIndices(conn, actual);
  live.foreignKeys = ReadForeignKeys(conn, actual);
  return live;
}

std::vector<LiveTable> ReadLiveSchema(Database& db) {
  std::vector<LiveTable> tables;
  for (const std::string& name : db.ListTables()) {
    LiveTable table = ReadLiveTable(db, name);
    if (!table.name.empty()) tables.push_back(std::move(table));
  }
  return tables;
}

}  // namespace kvt::db
