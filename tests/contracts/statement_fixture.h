// Databases for the statement tests, filled through the import: communications spelled out
// row by row (comms/import_fixture.h), with helpers that run a statement and show its rows
// as short texts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comms/import_fixture.h"
#include "contracts/report.h"
#include "contracts/statement.h"
#include "core/text.h"

namespace kvt::contracts::test {

using comms::test::kCompany;
using comms::test::Month;

// A trip on route `route` of line `line`: departs 7.00 from stop 1, arrives 7.10 at stop 2.
inline comms::CorsaRow Trip(int32_t id, std::string_view codcorsa, std::string_view line,
                            char verso, int ente, int32_t ctLung, int ctTempo, char mezzo = 'U',
                            int32_t route = 1) {
  return {id, codcorsa, line, verso, ente, "P1",   route,   1, 7, 0,
          2,  7,        10,   850,   10,   ctLung, ctTempo, 0, 0, mezzo};
}

// Stops 1 and 2 (the second with an accented name), arc 1 and routes 1..3 along it.
inline void AddStatementNetwork(comms::test::Communication& c) {
  static const std::string accented = Utf8ToCp1252("Piazza Università");
  c.stops.push_back({1, "F1", "Piazza Roma", "Lato nord", 0, 1600000.5, 5000000.25});
  c.stops.push_back({2, "F2", accented, "", 0, 1601000, 5001000});
  c.arcs.push_back({1, 1, 2, 850});
  c.routes.push_back({1, "P1", "Piazza Roma - Piazza Universita"});
  c.routes.push_back({2, "P2", "Variante"});
  c.routes.push_back({3, "P3", "Rientro"});
  for (int32_t r = 1; r <= 3; ++r) c.routeRows.push_back({r, 1, 1, 850, 1, 2});
}

class StatementTest : public comms::test::CommsDbTest {
 protected:
  // Imports a communication; fails the test when it is refused.
  void Load(const comms::test::Communication& c, const std::string& name) {
    ASSERT_TRUE(Import(Write(c, name))) << ::testing::PrintToString(ui.Texts());
    ui.Clear();
  }

  static StatementParams Params(char context, const char* from, const char* to) {
    StatementParams p;
    p.context = context;
    p.startDate = from;
    p.endDate = to;
    return p;
  }

  // The statement's rows as texts: a trip row
  //   "ente/azienda L1 A|C1|days|first / last|contract km|period km|period time"
  // and a total row "Totali Linea L1 A|km|time".
  std::vector<std::string> Statement(const StatementParams& p,
                                     StatementKind kind = StatementKind::ByTrip) {
    auto rows = Extract(db(), ui, p, kind);
    EXPECT_TRUE(rows.has_value());
    std::vector<std::string> out;
    if (!rows) return out;
    for (const StatementRow& r : *rows) out.push_back(Text(r, kind));
    return out;
  }

  static std::string Text(const StatementRow& r, StatementKind kind) {
    if (r.kind != RowKind::Trip)
      return TotalLabel(r) + "|" + KmText(r.totalMetres) + "|" + TotalTimeText(r.totalMinutes);
    return Format("%d/%d ", r.ente, r.azienda) + LineCodeText(r) + "|" +
           (kind == StatementKind::ByRoute ? r.percorso + "|" : "") + r.codcorsa + "|" +
           Format("%d|", r.days) + PeriodText(r) + "|" + KmText(r.contractLength) + "|" +
           KmText(r.PeriodMetres()) + "|" + PeriodTimeText(r.PeriodMinutes());
  }
};

}  // namespace kvt::contracts::test
