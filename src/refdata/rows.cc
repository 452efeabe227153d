#include "refdata/rows.h"

#include <algorithm>

#include "core/text.h"
#include "db/database.h"
#include "db/rows.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/ui.h"

namespace kvt::refdata {

bool ForEachRow(db::Database& db, const std::function<void(db::Selection&)>& configure,
                const std::function<void(const db::Selection&)>& row) {
  db::Selection s(&db);
  configure(s);
  return db::ForEachRow(s, [&] { row(s); }) == db::Walk::End;
}

std::optional<int64_t> LargestId(db::Database& db, std::string_view table,
                                 std::string_view column) {
  int64_t largest = -1;
  const bool ok = ForEachRow(
      db,
      [&](db::Selection& s) {
        s.AddColumn(table, column, db::kSqlSmallInt);
        s.SetFrom(table);
      },
      [&](const db::Selection& s) { largest = std::max<int64_t>(largest, s.GetShort(0)); });
  if (!ok) return std::nullopt;
  return largest;
}

std::optional<bool> AnyRow(db::Database& db, std::string_view table, std::string_view where) {
  bool any = false;
  db::Selection s(&db);
  s.AddColumn(table, "ID", db::kSqlSmallInt);
  s.SetFrom(table);
  s.SetWhere(where);
  const db::Fetch f = s.Open();
  if (f == db::Fetch::Error) return std::nullopt;
  any = f == db::Fetch::Row;
  return any;
}

RowWrite WriteRow(db::EditSelection& e,
                  std::initializer_list<std::pair<std::string_view, std::string>> values) {
  bool ok = e.Edit();
  for (const auto& [column, text] : values) ok = ok && e.SetFieldText(column, text);
  if (ok && e.Update()) return RowWrite::Written;
  return e.LastError().RowRefused() ? RowWrite::Refused : RowWrite::Failed;
}

RowWrite InsertRow(db::Table& t,
                   std::initializer_list<std::pair<std::string_view, std::string>> values) {
  bool ok = t.AddNew();
  for (const auto& [column, text] : values) ok = ok && t.SetFieldText(column, text);
  if (ok && t.Update()) return RowWrite::Written;
  return t.LastError().RowRefused() ? RowWrite::Refused : RowWrite::Failed;
}

std::optional<long> SetColumnOnRows(db::Database& db, const ProgressScope* progress,
                                    std::string_view table, std::string_view column,
                                    std::string_view where, int value) {
  db::EditSelection e(&db);
  e.AddColumn(table, column, db::kSqlSmallInt);
  e.SetFrom(table);
  e.SetWhere(where);
  const std::string text = Format("%d", value);
  long count = 0;
  const db::Walk walk = db::ForEachRow(e, [&] {
    if (progress && progress->Stopped()) return false;
    std::string current;
    if (e.GetFieldText(column, current) && LeadingInt(current) == value) {
      ++count;
      return true;
    }
    const RowWrite w = WriteRow(e, {{column, text}});
    if (w == RowWrite::Written) ++count;
    return w != RowWrite::Failed;
  });
  if (walk != db::Walk::End) return std::nullopt;
  return count;
}

std::optional<long> DeleteRows(db::Database& db, std::string_view table, std::string_view column,
                               std::string_view where) {
  db::DeleteSelection d(&db);
  d.SetColumns(column);
  d.SetFrom(table);
  d.SetWhere(where);
  return db::DeleteRows(d);
}

}  // namespace kvt::refdata
