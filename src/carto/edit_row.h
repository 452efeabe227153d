// Writing the current row of an EditSelection (internal to carto/).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "db/diagnostic.h"
#include "db/selection.h"

namespace kvt::carto {

enum class RowWrite {
  Written,
  Refused,  // the database refused this row's values (shown): go on with the next row
  Failed,   // the database itself failed (shown): nothing more can be written
};

inline RowWrite WriteRow(db::EditSelection& e,
                         std::initializer_list<std::pair<std::string_view, std::string>> values) {
  bool ok = e.Edit();
  for (const auto& [column, text] : values) ok = ok && e.SetFieldText(column, text);
  if (ok && e.Update()) return RowWrite::Written;
  return e.LastError().RowRefused() ? RowWrite::Refused : RowWrite::Failed;
}

// Counts a written row in `written`; false when the database itself failed and the walk
// over the rows must end.
inline bool Counted(RowWrite write, long& written) {
  if (write == RowWrite::Written) ++written;
  return write != RowWrite::Failed;
}

// A column of the current row as text ("" when it cannot be read).
inline std::string FieldText(db::EditSelection& e, std::string_view column) {
  std::string text;
  if (!e.GetFieldText(column, text)) text.clear();
  return text;
}

}  // namespace kvt::carto
