#include "schema/sql_text.h"

#include <strings.h>

namespace kvt::schema {

std::string_view PrimaryKeyWords(db::Engine engine) {
  return engine == db::Engine::SqlServer ? " PRIMARY KEY CLUSTERED" : " PRIMARY KEY";
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool SameNames(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameName(a[i], b[i])) return false;
  }
  return true;
}

}  // namespace kvt::schema
