#include "comms/counting.h"

#include <string>

#include "db/selection.h"
#include "db/sql_types.h"

namespace kvt::comms {

std::optional<long> CountRows(db::Database& db, std::string_view table, std::string_view column,
                              std::string_view from, std::string_view where) {
  db::Selection s(&db);
  // The selection writes its columns as "table.column": the aggregate wraps that pair.
  s.AddColumn("COUNT(" + std::string(table), std::string(column) + ")", db::kSqlInteger);
  s.SetFrom(from);
  if (!where.empty()) s.SetWhere(where);
  const db::Fetch f = s.Open();
  if (f == db::Fetch::Error) return std::nullopt;
  // An aggregate without grouping always gives its one row; none would mean none counted.
  return f == db::Fetch::Row ? static_cast<long>(s.GetLong(0)) : 0L;
}

}  // namespace kvt::comms
