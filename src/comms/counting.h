// Row counts for files whose sections declare their row count before the rows.
#pragma once

#include <optional>
#include <string_view>

namespace kvt::db {
class Database;
}

namespace kvt::comms {

// COUNT(table.column) over FROM `from` WHERE `where` (no grouping): the rows a selection
// with the same clauses returns, when `column` is never NULL. Nothing when the database
// failed (the selection has shown why).
std::optional<long> CountRows(db::Database& db, std::string_view table, std::string_view column,
                              std::string_view from, std::string_view where);

}  // namespace kvt::comms
