#include "db/select_sql.h"

#include <algorithm>

#include "core/text.h"

namespace kvt::db {

namespace {

}  // namespace

std::string SelectClauses::SelectSql(bool withGroupBy) const {
  std::string sql = "SELECT ";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += columns[i].table + "." + columns[i].column;
  }
  sql += " FROM " + from + " ";
  if (!where.empty()) sql += "WHERE " + where + " ";
  if (withGroupBy && !groupBy.empty()) sql += "GROUP BY " + groupBy + " ";
  if (!orderBy.empty()) sql += "ORDER BY " + orderBy + " ";
  return sql;
}

int SelectClauses::Find(std::string_view fullName) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].table + "." + columns[i].column == fullName) return static_cast<int>(i);
  for (size_t i = 0; i < columns.size(); ++i)
    if (EqualsNoCase(columns[i].table + "." + columns[i].column, fullName))
      return static_cast<int>(i);
  return -1;
}

bool SelectClauses::SingleTable() const {
  if (columns.empty()) return false;
  return std::all_of(columns.begin(), columns.end(), [&](const SelectColumn& c) {
    return EqualsNoCase(c.table, columns.front().table);
  });
}

std::string UnknownTypeMessage(int sqlType) {
  return "ATTENZIONE: tipo dati SQL (" + std::to_string(sqlType) +
         ") non riconosciuto.\n\n[Binding colonna fallito]\n";
}

}  // namespace kvt::db
