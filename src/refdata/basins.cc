#include "refdata/basins.h"

#include "core/text.h"
#include "db/database.h"
#include "db/dialect.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/ui.h"
#include "refdata/rows.h"
#include "schema/pick_lists.h"

namespace kvt::refdata {

std::optional<std::vector<std::string>> BasinEntries(db::Database& db) {
  return schema::ReadPickList(db, {.table = schema::PickTable::Basins,
                                   .order = schema::PickOrder::ByCode});
}

std::optional<std::vector<std::string>> MunicipalityEntries(
    db::Database& db, const std::optional<std::string>& province) {
  std::string where = "comuni.ID > 0";
  // A municipality without a province is stored with a blank code, which the table writes
  // as an empty text: both count as "none".
  if (province)
    where += " AND (comuni.provin = " + db::SqlQuote(*province) +
             " OR comuni.provin = ' ' OR comuni.provin = '')";
  return schema::ReadPickList(db, {.table = schema::PickTable::Municipalities,
                                   .where = where,
                                   .order = schema::PickOrder::ByProvinceAndName,
                                   .province = true});
}

bool SaveBasin(db::Database& db, Ui& ui, std::optional<int> chosen, std::string_view name) {
  const std::string_view trimmed = Trim(name);
  if (trimmed.empty()) {
    ui.Stop(kBasinNameMissingMessage);
    return false;
  }
  if (chosen == 0) {
    ui.Stop(kBasinZeroModifyMessage);
    return false;
  }
  if (!chosen) {
    const std::optional<int64_t> largest = LargestId(db, "bacini");
    if (!largest) return false;
    db::Table t(&db, "bacini");
    return InsertRow(t, {{"ID", Format("%lld", static_cast<long long>(*largest + 1))},
                         {"denom", std::string(trimmed)}}) == RowWrite::Written;
  }
  db::EditSelection e(&db);
  e.AddColumn("bacini", "denom", db::kSqlChar);
  e.SetFrom("bacini");
  e.SetWhere(Format("ID = %d", *chosen));
  if (e.Open() != db::Fetch::Row) return false;
  return WriteRow(e, {{"denom", std::string(trimmed)}}) == RowWrite::Written;
}

bool DeleteBasin(db::Database& db, Ui& ui, int chosen) {
  if (chosen == 0) {
    ui.Stop(kBasinZeroDeleteMessage);
    return false;
  }
  const std::optional<long> deleted = DeleteRows(db, "bacini", "ID", Format("ID = %d", chosen));
  return deleted && *deleted > 0;
}

std::string CurrentBasinText(db::Database& db, int municipality) {
  std::string text(kNoBasinText);
  (void)ForEachRow(
      db,
      [&](db::Selection& s) {
        s.AddColumn("bacini", "ID", db::kSqlSmallInt);
        s.AddColumn("bacini", "denom", db::kSqlChar);
        s.SetFrom("bacini, comuni");
        s.SetWhere(Format("comuni.ID = %d AND bacini.ID = comuni.bacino", municipality));
      },
      [&](const db::Selection& s) { text = PickEntry(s.GetShort(0), TrimRight(s.GetText(1))); });
  return text;
}

bool AssignMunicipalityBasin(db::Database& db, Ui& ui, std::string_view municipalityText,
                             const std::vector<std::string>& municipalities,
                             std::string_view basinText, const std::vector<std::string>& basins) {
  const std::optional<int> municipality = PickCode(municipalityText, municipalities);
  if (!municipality) {
    ui.Stop(kMunicipalityInvalidMessage);
    return false;
  }
  const std::optional<int> basin = PickCode(basinText, basins);
  if (!basin) {
    ui.Stop(kBasinInvalidMessage);
    return false;
  }
  db::EditSelection e(&db);
  e.AddColumn("comuni", "bacino", db::kSqlSmallInt);
  e.SetFrom("comuni");
  e.SetWhere(Format("ID = %d", *municipality));
  if (e.Open() != db::Fetch::Row) {
    ui.Stop(kMunicipalityReadError);
    return false;
  }
  if (WriteRow(e, {{"bacino", Format("%d", *basin)}}) != RowWrite::Written) {
    ui.Stop(kMunicipalityUpdateError);
    return false;
  }
  return true;
}

}  // namespace kvt::refdata
