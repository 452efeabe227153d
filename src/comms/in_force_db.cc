// The database half of the in-force map, apart so that the map itself links without a
// database.
#include "comms/in_force.h"
#include "core/text.h"
#include "db/dialect.h"
#include "db/rows.h"
#include "db/selection.h"
#include "db/sql_types.h"

namespace kvt::comms {
namespace {

// A stored period bound: the open-bound texts stand for the dates they are stored as; an
// unreadable text (never written by the import) is taken as open.
Date StoredDate(const std::string& text, const Date& open) {
  if (text == kNoLowerBound) return kLowerBoundDate;
  if (text == kNoUpperBound) return kUpperBoundDate;
  auto d = ParseDateByPosition(text);
  return d ? *d : open;
}

}  // namespace

std::optional<InForceMap> BuildInForceMap(db::Database& db, char context) {
  InForceMap map;
  db::Selection sel(&db);
  sel.AddColumn("proto", "azienda", db::kSqlSmallInt);
  sel.AddColumn("proto", "protoc", db::kSqlInteger);
  sel.AddColumn("proto", "azzera", db::kSqlSmallInt);
  sel.AddColumn("proto", "datini", db::kSqlTypeDate);
  sel.AddColumn("proto", "datfin", db::kSqlTypeDate);
  sel.SetFrom("proto");
  sel.SetWhere("tipo = " + db::SqlQuote(std::string(1, context)));
  sel.SetOrderBy("azienda, protoc");
  if (db::ForEachRow(sel, [&] {
        map.Add(sel.GetShort(0), sel.GetLong(1), sel.GetShort(2) != 0,
                StoredDate(sel.GetText(3), kLowerBoundDate),
                StoredDate(sel.GetText(4), kUpperBoundDate));
      }) != db::Walk::End)
    return std::nullopt;
  return map;
}

}  // namespace kvt::comms
