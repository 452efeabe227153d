#include "comms/import_ids.h"

#include <algorithm>

#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"

namespace kvt::comms {

namespace {
// Arrays are sized up front only up to this many entries; beyond, they grow with the rows.
constexpr int64_t kMaxReserve = int64_t{1} << 20;

int32_t KeyOf(const db::Selection& s, int sqlType) {
  return sqlType == db::kSqlInteger ? s.GetLong(0) : s.GetShort(0);
}
}  // namespace

bool IdSet::Load(db::Database& db, std::string_view table, std::string_view key, int sqlType,
                 std::string_view where, ProgressScope& progress) {
  existing_.clear();
  db::Selection s(&db);
  s.AddColumn(table, key, sqlType);
  s.SetFrom(table);
  if (!where.empty()) s.SetWhere(where);
  s.SetOrderBy(key);
  long count = 0;
  if (db::ForEachRow(s, [&] { ++count; }) != db::Walk::End) return false;
  existing_.reserve(static_cast<size_t>(count));
  for (db::Fetch f = count > 0 ? s.Requery() : db::Fetch::End;
       f != db::Fetch::End && existing_.size() < static_cast<size_t>(count); f = s.MoveNext()) {
    if (f == db::Fetch::Error) return false;
    existing_.push_back(KeyOf(s, sqlType));
    progress.Set(static_cast<long long>(existing_.size()), count);
  }
  // Binary search needs ascending order whatever the engine's collation of the key did.
  if (!std::is_sorted(existing_.begin(), existing_.end()))
    std::sort(existing_.begin(), existing_.end());
  known_ = existing_;
  return true;
}

void IdSet::ReserveNew(int64_t declared) {
  new_.clear();
  new_.reserve(static_cast<size_t>(std::clamp<int64_t>(declared, 0, kMaxReserve)));
}

void IdSet::RebuildKnown() {
  std::vector<int32_t> added = new_;
  std::sort(added.begin(), added.end());
  known_.clear();
  known_.reserve(existing_.size() + added.size());
  std::merge(existing_.begin(), existing_.end(), added.begin(), added.end(),
             std::back_inserter(known_));
}

bool IdSet::IsExisting(int32_t id) const {
  return std::binary_search(existing_.begin(), existing_.end(), id);
}

bool IdSet::IsKnown(int32_t id) const {
  return std::binary_search(known_.begin(), known_.end(), id);
}

}  // namespace kvt::comms
