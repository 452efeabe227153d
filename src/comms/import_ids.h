// Identifier sets of the import's first pass (internal to comms/). One set per kind of
// object that rows introduce or reference, as three sorted arrays of 32-bit integers:
// existing (in the database), new (introduced by the file, in file order, duplicates left
// out) and known (both together, rebuilt once the section of its kind has been read).
// Tests are binary searches; nothing here grows with the rows that only reference.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kvt {
class ProgressScope;
}
namespace kvt::db {
class Database;
}

namespace kvt::comms {

class IdSet {
 public:
  // Loads the existing identifiers: the key column of `table` under `where` (none: every
  // row), counted first, then read again into an array of that size. `sqlType` is the
  // column's type (SMALLINT or INTEGER). The progress bar shows the share read.
  // False when the database could not be read (its message has been shown).
  [[nodiscard]] bool Load(db::Database& db, std::string_view table, std::string_view key, int sqlType,
            std::string_view where, ProgressScope& progress);

  // Room for the identifiers a section declares; the array still grows only with real rows,
  // so that a count no file could hold does not allocate it.
  void ReserveNew(int64_t declared);
  void AddNew(int32_t id) { new_.push_back(id); }
  // Known = existing + new, sorted.
  void RebuildKnown();

  bool IsExisting(int32_t id) const;
  bool IsKnown(int32_t id) const;

  size_t ExistingCount() const { return existing_.size(); }

 private:
  std::vector<int32_t> existing_;
  std::vector<int32_t> new_;
  std::vector<int32_t> known_;
};

}  // namespace kvt::comms
