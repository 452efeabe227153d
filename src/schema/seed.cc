#include "schema/seed.h"

#include <set>

#include "core/text.h"
#include "db/database.h"
#include "db/selection.h"
#include "db/sql_types.h"
#include "db/table.h"
#include "platform/ui.h"

namespace kvt::schema {
namespace {

#include "schema/seed_lists.inc"

struct Value {
  std::string_view column;
  std::string_view text;
};

struct Placeholder {
  std::string_view table;
  std::vector<Value> values;
};

// Each stands for "not assigned"; comuni and local point at the placeholder basin and
// municipality, so the order matters.
const std::vector<Placeholder>& Placeholders() {
  static const std::vector<Placeholder> rows = {
      {"bacini", {{"ID", "0"}, {"denom", "*** bacino non assegnato ***"}}},
      {"comuni",
       {{"ID", "0"},
        {"denom", "*** comune non assegnato ***"},
        {"provin", " "},
        {"istat", " "},
        {"bacino", "0"},
        {"centro_x", "0,0"},
        {"centro_y", "0,0"}}},
      {"local",
       {{"ID", "0"},
        {"denom", "*** località non assegnata ***"},
        {"istat", " "},
        {"nucleo", "0"},
        {"abitanti", "0"},
        {"centro_x", "0,0"},
        {"centro_y", "0,0"}}},
      {"lotti", {{"ID", "0"}, {"denom", "*** lotto non assegnato ***"}}},
  };
  return rows;
}

size_t CharacterCount(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// "101 Autolinee ..." -> entry; the reason otherwise.
std::optional<SeedEntry> ParseLine(std::string_view line, std::string* reason) {
  size_t digits = 0;
  while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
  bool separated = digits < line.size() && (line[digits] == ' ' || line[digits] == '\t');
  std::string_view name = TrimBlanks(line.substr(digits));
  if (digits == 0 || !separated) {
    *reason = "codice mancante";
  } else if (digits > 5 || std::stoi(std::string(line.substr(0, digits))) > 32767) {
    *reason = "codice oltre 32767";
  } else if (!IsValidUtf8(name)) {
    *reason = "denominazione non in UTF-8";  // a list saved by an editor in another code page
  } else if (CharacterCount(name) > 40) {
    *reason = "denominazione oltre 40 caratteri";
  }
  if (!reason->empty()) return std::nullopt;
  return SeedEntry{std::stoi(std::string(line.substr(0, digits))), std::string(name)};
}

// Row when the table has its placeholder row, End when not.
db::Fetch HasPlaceholder(db::Database& db, std::string_view table) {
  db::Selection s(&db);
  s.AddColumn(table, "ID", db::kSqlSmallInt);
  s.SetFrom(table);
  s.SetWhere("ID = 0");
  return s.Open();
}

bool InsertRow(db::Table& t, const std::vector<Value>& values) {
  if (!t.AddNew()) return false;
  for (const Value& v : values) {
    if (!t.SetFieldText(v.column, v.text)) return false;
  }
  return t.Update();
}

}  // namespace

std::optional<std::vector<SeedEntry>> ParseSeedList(std::string_view text, std::string* error) {
  std::vector<SeedEntry> entries;
  std::set<int> codes;
  int lineNo = 0;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = TrimBlanks(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++lineNo;
    if (line.empty() || line.front() == '#') continue;
    std::string reason;
    std::optional<SeedEntry> e = ParseLine(line, &reason);
    if (e && !codes.insert(e->code).second) reason = "codice ripetuto";
    if (!reason.empty()) {
      if (error) *error = "riga " + std::to_string(lineNo) + ": " + reason;
      return std::nullopt;
    }
    entries.push_back(std::move(*e));
  }
  return entries;
}

namespace {

struct CompiledList {
  std::vector<SeedEntry> entries;
  std::string problem;
};

CompiledList Compile(std::string_view text, std::string_view file) {
  CompiledList list;
  std::string error;
  auto parsed = ParseSeedList(text, &error);
  if (parsed) {
    list.entries = std::move(*parsed);
  } else {
    list.problem = "L'elenco " + std::string(file) + " non è valido (" + error + ").";
  }
  return list;
}

const CompiledList& Companies() {
  static const CompiledList list = Compile(kCompaniesText, "seed/aziende.txt");
  return list;
}

const CompiledList& Authorities() {
  static const CompiledList list = Compile(kAuthoritiesText, "seed/enti.txt");
  return list;
}

}  // namespace

const std::vector<SeedEntry>& SeedCompanies() {
  return Companies().entries;
}
const std::vector<SeedEntry>& SeedAuthorities() {
  return Authorities().entries;
}

std::string SeedListProblem() {
  return !Companies().problem.empty() ? Companies().problem : Authorities().problem;
}

bool WriteSeedList(db::Database& db, std::string_view table,
                   const std::vector<SeedEntry>& entries) {
  db::Table t(&db, table);
  if (!t.IsOpen()) return false;
  for (const SeedEntry& e : entries) {
    std::string code = std::to_string(e.code);
    if (!InsertRow(t, {{"codice", code}, {"denom", e.name}})) return false;
  }
  return true;
}

bool WritePlaceholderRows(db::Database& db, bool onlyMissing) {
  for (const Placeholder& p : Placeholders()) {
    if (onlyMissing) {
      const db::Fetch found = HasPlaceholder(db, p.table);
      if (found == db::Fetch::Error) return false;
      if (found == db::Fetch::Row) continue;
    }
    db::Table t(&db, p.table);
    if (!t.IsOpen() || !InsertRow(t, p.values)) return false;
  }
  return true;
}

bool WriteSeedRows(db::Database& db) {
  if (std::string problem = SeedListProblem(); !problem.empty()) {
    db.ui().Stop(problem);  // never a database without its companies, silently
    return false;
  }
  return WriteSeedList(db, "regazi", SeedCompanies()) &&
         WriteSeedList(db, "regent", SeedAuthorities()) && WritePlaceholderRows(db);
}

}  // namespace kvt::schema
