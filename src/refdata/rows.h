// The small row operations this folder repeats, on the database layer's row walker
// (db/rows.h): a selection built and walked in one call, a largest ID, a row test, one
// row's write with the three ways it can end, a column set and rows deleted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/selection.h"

namespace kvt {
class ProgressScope;
}
namespace kvt::db {
class Database;
class Table;
}  // namespace kvt::db

namespace kvt::refdata {

// Runs the selection `configure` builds, calling `row` on each row. False on a database
// error (shown by the selection).
bool ForEachRow(db::Database& db, const std::function<void(db::Selection&)>& configure,
                const std::function<void(const db::Selection&)>& row);

// The largest `column` of `table`, -1 when it has no rows; nothing after an error.
std::optional<int64_t> LargestId(db::Database& db, std::string_view table,
                                 std::string_view column = "ID");

// Whether any row of `table` matches `where`; nothing after an error.
std::optional<bool> AnyRow(db::Database& db, std::string_view table, std::string_view where);

// What one row's update did: written; refused (shown; go on with the next row); or the
// database failed (shown; the work ends).
enum class RowWrite { Written, Refused, Failed };

// Edits the current row of `e`: every (column, text), then Update.
RowWrite WriteRow(db::EditSelection& e,
                  std::initializer_list<std::pair<std::string_view, std::string>> values);

// Inserts one row of (column, text) pairs into `t`, as WriteRow.
RowWrite InsertRow(db::Table& t,
                   std::initializer_list<std::pair<std::string_view, std::string>> values);

// Sets `column` to `value` on every row of `table` that `where` selects, row by row. A row
// already holding the value counts without a write; a refused row is shown and not
// counted. Nothing when the database failed or the user stopped `progress`.
std::optional<long> SetColumnOnRows(db::Database& db, const ProgressScope* progress,
                                    std::string_view table, std::string_view column,
                                    std::string_view where, int value);

// Deletes the rows of `table` that `where` selects: how many; nothing after an error.
std::optional<long> DeleteRows(db::Database& db, std::string_view table, std::string_view column,
                               std::string_view where);

}  // namespace kvt::refdata
