// How the database layer reports what happened (public).
//
// Diagnostic: the first diagnostic record of a failed call, as the driver gave it. Every
// object of the layer keeps the one of its last failure, read with LastError(); the message
// shown to the user is built from `text`, the SQLSTATE and native code are for logs and tests.
//
// Fetch: the outcome of every call that reads or positions a selection. A failed read is
// never the end of the rows: a caller that writes on what it read must stop at Error.
#pragma once

#include <string>
#include <string_view>

namespace kvt::db {

// What a driver message reads when the driver gave none.
inline constexpr std::string_view kNoDriverText = "????";

struct Diagnostic {
  std::string state;  // SQLSTATE: "23505", "HY000", ...; empty when the driver gave none
  std::string text;   // the driver's text; kNoDriverText when it gave none
  long native = 0;    // the driver's own code (the SQLite result code under SQLite)

  bool empty() const { return state.empty() && text.empty(); }
  // True when the database refused the values of a row (a key already present, a missing
  // parent, a value out of range): other rows can still be written. False for a failure of
  // the database itself (disk full, locked, read-only, connection lost), after which
  // nothing more can be written.
  bool RowRefused() const;
};

enum class [[nodiscard]] Fetch {
  Row,    // positioned on a row
  End,    // no (more) rows
  Error,  // the database failed (its message has been shown), or nothing could be run
};

}  // namespace kvt::db
