// Small text helpers shared by the schema builders (internal to schema/).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/dialect.h"

namespace kvt::schema {

// The key words of the dictionary tables' one-line constraint. SQL Server keeps its
// clustering option; PostgreSQL and SQLite have none. (The application tables take their
// key, index and foreign-key pieces from the Dialect.)
std::string_view PrimaryKeyWords(db::Engine engine);

template <typename Texts>
std::string Join(const Texts& items, std::string_view separator) {
  std::string out;
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += separator;
    out += item;
    first = false;
  }
  return out;
}

// " SMALLINT" -> "SMALLINT".
inline std::string StripLeadingBlank(std::string text) {
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  return text;
}

// A message followed by the driver's own text, as every error box of the generators shows.
inline std::string WithDriverText(std::string message, std::string_view driverText) {
  if (!driverText.empty()) message += "\n\n" + std::string(driverText);
  return message;
}

// Column names compare without regard to case on the engines we run (unquoted names).
bool SameName(std::string_view a, std::string_view b);
bool SameNames(const std::vector<std::string>& a, const std::vector<std::string>& b);

}  // namespace kvt::schema
