#include "schema/sql_text.h"

#include <strings.h>

namespace kvt::schema {

KeySyntax KeySyntaxFor(db::Engine engine) {
  switch (engine) {
    case db::Engine::SqlServer:
      return {" PRIMARY KEY CLUSTERED", "NONCLUSTERED INDEX ", false};
    case db::Engine::Sqlite:
      return {" PRIMARY KEY", "INDEX ", true};
    default:
      return {" PRIMARY KEY", "INDEX ", false};
  }
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
