// The clauses of a selection and the SELECT text assembled from them (internal to db/).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/values.h"

namespace kvt::db {

struct SelectColumn {
  std::string table;
  std::string column;
  int sqlType = 0;
  Kind kind = Kind::Unknown;
};

struct SelectClauses {
  std::vector<SelectColumn> columns;
  std::string from, where, groupBy, orderBy;  // empty when not set

  // "SELECT t.a, t.b FROM <from> WHERE <where> GROUP BY <g> ORDER BY <o> ", each clause
  // followed by a blank and left out when not set (GROUP BY also when !withGroupBy).
  std::string SelectSql(bool withGroupBy) const;
  // The column named "table.column" (exact, then ignoring case); -1 when not listed.
  int Find(std::string_view fullName) const;
  // True when every column names the same table (ignoring case).
  bool SingleTable() const;
};

// "ATTENZIONE: tipo dati SQL (%d) non riconosciuto.\n\n[Binding colonna fallito]\n"
std::string UnknownTypeMessage(int sqlType);

}  // namespace kvt::db
