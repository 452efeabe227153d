// Pick lists of the coded tables: companies, authorities, lots, basins and municipalities.
//
// An entry begins with the code in four digits: "%04d - %s" (code, name without trailing
// blanks), or "%04d - %-2s - %s" (code, province, name) for municipalities shown with their
// province. A list is read whole or not at all: a failed read (shown by the database layer)
// gives nothing, never the entries read before it.
//
//   // the companies that have sent a communication, by name
//   auto entries = ReadPickList(db, {PickTable::Companies, "proto",
//                                    "proto.azienda = regazi.codice"});
//   ...
//   std::optional<int> code = CheckedPickCode(ui, form.Text("azienda"), entries,
//                                             "Codice Azienda");
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {
class Ui;
}
namespace kvt::db {
class Database;
}

namespace kvt::schema {

enum class PickTable {
  Companies,       // regazi (codice, denom)
  Authorities,     // regent (codice, denom)
  Lots,            // lotti (ID, denom)
  Basins,          // bacini (ID, denom)
  Municipalities,  // comuni (ID, denom, provin)
};

enum class PickOrder { ByName, ByCode, ByProvinceAndName };  // ties go by code

struct PickListQuery {
  PickTable table;
  // A table beside the listed one in FROM ("corse"): one entry per code the rows join.
  std::string join;
  std::string where;  // "corse.ente = regent.codice"; empty for every row
  PickOrder order = PickOrder::ByName;
  bool province = false;  // municipalities: "%04d - %-2s - %s"
};

// The table's name and its code column: "regazi", "codice".
std::string_view PickTableName(PickTable table);
std::string_view PickCodeColumn(PickTable table);

std::optional<std::vector<std::string>> ReadPickList(db::Database& db, const PickListQuery& query);

// Every row's name (trailing blanks removed) by code; nothing when the read failed.
std::optional<std::map<int, std::string>> ReadPickNames(db::Database& db, PickTable table);

// The code of the entry chosen in `entries` (PickCode); when there is none, the stop message
// for an invalid `what` ("Codice Azienda") followed by `closing` (what cannot be done now),
// and nothing.
std::optional<int> CheckedPickCode(Ui& ui, std::string_view chosen,
                                   const std::vector<std::string>& entries, std::string_view what,
                                   std::string_view closing = {});

}  // namespace kvt::schema
