// Walking the rows of a selection, so that a failed read can never pass for the end.
//
// ForEachRow opens a Selection or an EditSelection and calls visit() on each row; visit
// returns nothing, or a bool: false stops the walk there (the user stopped the work, a
// write on the row failed). The outcome says which way the walk ended:
//
//   std::vector<std::string> names;
//   if (db::ForEachRow(s, [&] { names.push_back(s.GetText(0)); }) != db::Walk::End)
//     return std::nullopt;   // an error (shown) or a stop: the list is not whole
//
// DeleteRows runs a DeleteSelection: the rows deleted, or nothing when it failed.
#pragma once

#include <optional>
#include <type_traits>

#include "db/diagnostic.h"

namespace kvt::db {

class DeleteSelection;

enum class [[nodiscard]] Walk {
  End,      // every row was visited
  Stopped,  // visit() returned false: the rows after it were not visited
  Error,    // a read failed (its message has been shown): the rows visited are not all
};

template <typename Rows, typename Visit>
Walk ForEachRow(Rows& rows, Visit&& visit) {
  for (Fetch f = rows.Open(); f != Fetch::End; f = rows.MoveNext()) {
    if (f == Fetch::Error) return Walk::Error;
    if constexpr (std::is_void_v<std::invoke_result_t<Visit&>>) {
      visit();
    } else if (!visit()) {
      return Walk::Stopped;
    }
  }
  return Walk::End;
}

// Deletes every row the selection matches: how many, or nothing when the database failed
// (shown) and the caller must roll back.
[[nodiscard]] std::optional<long> DeleteRows(DeleteSelection& rows);

// For tests: once `rows` more rows have been read (by any Selection or EditSelection), the
// next MoveNext fails as a failing driver's read does (message shown, Fetch::Error, the
// selection ended). Once; a negative count disarms it.
void FailReadAfterRowsForTesting(int rows);

}  // namespace kvt::db
