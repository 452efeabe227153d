#include "db/rows.h"

#include <atomic>

#include "db/reader.h"
#include "db/selection.h"

namespace kvt::db {

namespace {

// Rows still to be read before the injected failure; negative when none is armed.
std::atomic<int> rowsBeforeFailure{-1};

}  // namespace

std::optional<long> DeleteRows(DeleteSelection& rows) {
  long deleted = 0;
  const Walk walk = ForEachRow(rows, [&] {
    if (!rows.DeleteRowset()) return false;
    deleted += rows.RowsDeleted();
    return true;
  });
  if (walk != Walk::End) return std::nullopt;
  return deleted;
}

void FailReadAfterRowsForTesting(int rows) {
  rowsBeforeFailure = rows;
}

void CountRowRead() {
  if (rowsBeforeFailure.load(std::memory_order_relaxed) > 0) --rowsBeforeFailure;
}

bool ReadFailsForTesting(Diagnostic& error) {
  if (rowsBeforeFailure.load(std::memory_order_relaxed) != 0) return false;
  int expected = 0;
  if (!rowsBeforeFailure.compare_exchange_strong(expected, -1)) return false;
  error = {"HY000", "lettura interrotta (prova)"};
  return true;
}

}  // namespace kvt::db
