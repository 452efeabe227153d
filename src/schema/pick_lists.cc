#include "schema/pick_lists.h"

#include "core/text.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "platform/ui.h"

namespace kvt::schema {

namespace {

std::string Column(PickTable table, std::string_view column) {
  return std::string(PickTableName(table)) + "." + std::string(column);
}

std::string OrderBy(const PickListQuery& q) {
  const std::string code = Column(q.table, PickCodeColumn(q.table));
  switch (q.order) {
    case PickOrder::ByCode:
      return code;
    case PickOrder::ByProvinceAndName:
      return Column(q.table, "provin") + ", " + Column(q.table, "denom") + ", " + code;
    case PickOrder::ByName:
      break;
  }
  return Column(q.table, "denom") + ", " + code;
}

void Configure(db::Selection& s, const PickListQuery& q) {
  const std::string_view table = PickTableName(q.table);
  s.AddColumn(table, PickCodeColumn(q.table), db::kSqlSmallInt);
  s.AddColumn(table, "denom", db::kSqlChar);
  if (q.province) s.AddColumn(table, "provin", db::kSqlChar);
  s.SetFrom(q.join.empty() ? std::string(table) : std::string(table) + ", " + q.join);
  if (!q.where.empty()) s.SetWhere(q.where);
  // A join repeats a code for every row that refers to it: one entry each.
  if (!q.join.empty()) {
    std::string group = Column(q.table, PickCodeColumn(q.table)) + ", " + Column(q.table, "denom");
    if (q.province) group += ", " + Column(q.table, "provin");
    s.SetGroupBy(group);
  }
  s.SetOrderBy(OrderBy(q));
}

std::string Entry(const db::Selection& s, bool province) {
  const std::string name(TrimRight(s.GetText(1)));
  if (!province) return PickEntry(s.GetShort(0), name);
  const std::string provin(TrimRight(s.GetText(2)));
  return Format("%04d - %-2s - %s", s.GetShort(0), provin.c_str(), name.c_str());
}

}  // namespace

std::string_view PickTableName(PickTable table) {
  switch (table) {
    case PickTable::Companies:
      return "regazi";
    case PickTable::Authorities:
      return "regent";
    case PickTable::Lots:
      return "lotti";
    case PickTable::Basins:
      return "bacini";
    case PickTable::Municipalities:
      break;
  }
  return "comuni";
}

std::string_view PickCodeColumn(PickTable table) {
  return table == PickTable::Companies || table == PickTable::Authorities ? "codice" : "ID";
}

std::optional<std::vector<std::string>> ReadPickList(db::Database& db, const PickListQuery& query) {
  db::Selection s(&db);
  Configure(s, query);
  std::vector<std::string> entries;
  if (db::ForEachRow(s, [&] { entries.push_back(Entry(s, query.province)); }) != db::Walk::End)
    return std::nullopt;
  return entries;
}

std::optional<std::map<int, std::string>> ReadPickNames(db::Database& db, PickTable table) {
  db::Selection s(&db);
  s.AddColumn(PickTableName(table), PickCodeColumn(table), db::kSqlSmallInt);
  s.AddColumn(PickTableName(table), "denom", db::kSqlChar);
  s.SetFrom(PickTableName(table));
  std::map<int, std::string> names;
  if (db::ForEachRow(s, [&] { names[s.GetShort(0)] = std::string(TrimRight(s.GetText(1))); }) !=
      db::Walk::End)
    return std::nullopt;
  return names;
}

std::optional<int> CheckedPickCode(Ui& ui, std::string_view chosen,
                                   const std::vector<std::string>& entries, std::string_view what,
                                   std::string_view closing) {
  const std::optional<int> code = PickCode(chosen, entries);
  if (!code) ui.Stop(PickInvalidMessage(what) + std::string(closing));
  return code;
}

}  // namespace kvt::schema
