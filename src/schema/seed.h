// The rows every new database starts with: the companies (regazi) and authorities (regent)
// of the region, from the seed lists compiled in from seed/*.txt, and the placeholder rows
// ID 0 of bacini, comuni, local and lotti that stand for "not assigned".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::db {
class Database;
}

namespace kvt::schema {

struct SeedEntry {
  int code;
  std::string name;
  bool operator==(const SeedEntry&) const = default;
};

// One entry a line: the code (0..32767), blanks, the name (1 to 40 characters). Blank lines
// and lines starting with '#' are skipped. Nothing, with the reason in `error`, when a line
// is malformed or a code repeats.
std::optional<std::vector<SeedEntry>> ParseSeedList(std::string_view text, std::string* error);

// The compiled-in lists (empty if its file was malformed).
const std::vector<SeedEntry>& SeedCompanies();
const std::vector<SeedEntry>& SeedAuthorities();
// Why a compiled-in list is unusable, or "" when both are fine.
std::string SeedListProblem();

// Writes `entries` into `table` (regazi or regent) as codice / denom.
bool WriteSeedList(db::Database& db, std::string_view table, const std::vector<SeedEntry>& entries);

// The placeholder rows ID 0, in the order their relations need. onlyMissing: skip the tables
// that already hold a row with ID 0.
bool WritePlaceholderRows(db::Database& db, bool onlyMissing = false);

// Companies, authorities, then the placeholder rows. A malformed list is reported (stop box)
// and nothing is written.
bool WriteSeedRows(db::Database& db);

}  // namespace kvt::schema
