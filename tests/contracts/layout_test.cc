// The statement's pages on a recording canvas: numbering, a page per contract, page breaks
// with the table header repeated, centring, the synthetic level, statements of many pages.
#include <gmock/gmock.h>

#include <algorithm>
#include <set>

#include "contracts/report.h"
#include "core/text.h"
#include "platform/recording_canvas.h"

namespace kvt::contracts::test {
namespace {

using ::testing::ElementsAre;

StatementRow TripRow(int ente, std::string line, int32_t id, int days = 2) {
  StatementRow r;
  r.ID = id;
  r.ente = ente;
  r.azienda = 101;
  r.codlinea = std::move(line);
  r.verso = 'A';
  r.codcorsa = "C" + std::to_string(id);
  r.mezzo = 'U';
  r.lung = 850;
  r.tempo = 10;
  r.contractLength = 1000;
  r.ct_tempo = 75;
  r.departureText = "7:00 Piazza Roma";
  r.arrivalText = "7:10 Piazza Università";
  r.days = days;
  r.firstDate = "04/01/2010";
  r.lastDate = "05/01/2010";
  return r;
}

StatementReport MakeReport(std::vector<StatementRow> rows, DetailLevel detail,
                           StatementKind kind = StatementKind::ByTrip) {
  InsertTotals(rows, kind);
  StatementParams p;
  p.startDate = "01/01/2010";
  p.endDate = "31/01/2010";
  p.detail = detail;
  HeaderNames names;
  names.authorities = {{1, "Regione Velmora"}, {2, "Comune di Città Alta"}};
  names.companies = {{101, "Trasporti Pubblici Società"}};
  return StatementReport(std::move(rows), p, kind, std::move(names), {{7, 12, 2026}, 9, 5});
}

// The rows drawn on a page: trip codes and total labels, in order.
std::vector<std::string> DrawnRows(StatementReport& report, int page, int w, int h) {
  RecordingCanvas c(w, h);
  report.DrawPage(c, page);
  std::vector<std::string> out;
  for (const std::string& t : c.Texts())
    if ((t.size() > 1 && t[0] == 'C' && isdigit(static_cast<unsigned char>(t[1]))) ||
        t.rfind("Totali", 0) == 0)
      out.push_back(t);
  return out;
}

TEST(StatementLayout, OnePageHeaderAndCentring) {
  StatementReport report = MakeReport({TripRow(1, "L1", 1)}, DetailLevel::Analytic);
  RecordingCanvas c(12000, 3000);
  ASSERT_EQ(report.Layout(c), 1);
  report.DrawPage(c, 1);
  EXPECT_EQ(report.Title(), "Contratti di servizio");
  const int lh = 60 * 15 / 10;
  EXPECT_EQ(report.LineHeight(), lh);
  // Header lines: title left, page number and print time right, the two bands.
  const CanvasCall* page = c.FindText("Pag. 1 di 1");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->x + c.MeasureText("Pag. 1 di 1").width, 11950);
  EXPECT_EQ(page->y, 50);
  ASSERT_TRUE(c.FindText("KVT-BASE2 - \"Trasvia - Regione Velmora\""));
  EXPECT_EQ(c.FindText("KVT-BASE2 - \"Trasvia - Regione Velmora\"")->x, 50);
  ASSERT_TRUE(c.FindText("07/12/2026 09:05"));
  EXPECT_EQ(c.FindText("07/12/2026 09:05")->y, 50 + lh + 10);
  const CanvasCall* ente = c.FindText("Ente: [1] Regione Velmora");
  ASSERT_TRUE(ente);
  EXPECT_EQ(ente->y, 50 + 2 * lh + 40);
  EXPECT_EQ(ente->x, 70);  // band texts keep 20 units off the band's ends
  EXPECT_EQ(ente->background.r, 192);
  const CanvasCall* period = c.FindText("Periodo dal 01/01/2010 al 31/01/2010");
  ASSERT_TRUE(period);
  EXPECT_EQ(period->x2, 11930);
  EXPECT_EQ(period->y, ente->y);
  ASSERT_TRUE(c.FindText("Azienda: [101] Trasporti Pubblici Società"));
  ASSERT_TRUE(c.FindText("Distanze convenzionali dichiarate dall'Azienda"));
  // Accented texts reach the page as they are.
  ASSERT_TRUE(c.FindText("7:10 Piazza Università"));

  // The table is narrower than the page: equal room on both sides.
  const int n = report.ColumnCount();
  ASSERT_EQ(n, 13);
  const int left = report.ColumnX(0) - 20 - 50;
  const int right = 11950 - (report.ColumnX(n - 1) + report.ColumnWidth(n - 1) + 20);
  EXPECT_LE(std::abs(left - right), 1);
  EXPECT_GT(left, 100);
  // Columns follow each other 40 units apart; the widest text sets the width.
  for (int i = 1; i < n; ++i)
    EXPECT_EQ(report.ColumnX(i), report.ColumnX(i - 1) + report.ColumnWidth(i - 1) + 40);
  EXPECT_EQ(report.ColumnWidth(4), c.MeasureText("7:10 Piazza Università").width);
  // Figures end at the right of their column; total labels are white on black.
  const CanvasCall* km = c.FindText("2.00");
  ASSERT_TRUE(km);
  EXPECT_EQ(km->x + c.MeasureText("2.00").width, report.ColumnX(11) + report.ColumnWidth(11));
  const CanvasCall* total = c.FindText("Totali Linea L1 A");
  ASSERT_TRUE(total);
  EXPECT_EQ(total->colour.r, 255);
  EXPECT_EQ(total->background.r, 0);
  EXPECT_EQ(total->x + c.MeasureText("Totali Linea L1 A").width, report.ColumnX(11) - 40);
  EXPECT_THAT(DrawnRows(report, 1, 12000, 3000),
              ElementsAre("C1", "Totali Linea L1 A", "Totali Contratto"));

  // A table wider than the page starts at the margin and is not scaled; it asks for landscape
  // pages, which a portrait page that holds it does not.
  EXPECT_FALSE(report.WiderThanPage());
  EXPECT_EQ(report.Orientation(), PageOrientation::Automatic);
  RecordingCanvas narrow(1000, 3000);
  report.Layout(narrow);
  EXPECT_EQ(report.ColumnX(0), 70);
  EXPECT_TRUE(report.WiderThanPage());
}

TEST(StatementLayout, EveryContractOnItsOwnPages) {
  StatementReport report =
      MakeReport({TripRow(1, "L1", 1), TripRow(2, "L1", 2)}, DetailLevel::Analytic);
  RecordingCanvas c(4000, 3000);
  ASSERT_EQ(report.Layout(c), 2);
  EXPECT_THAT(DrawnRows(report, 1, 4000, 3000),
              ElementsAre("C1", "Totali Linea L1 A", "Totali Contratto"));
  EXPECT_THAT(DrawnRows(report, 2, 4000, 3000),
              ElementsAre("C2", "Totali Linea L1 A", "Totali Contratto"));
  RecordingCanvas second(4000, 3000);
  report.DrawPage(second, 2);
  EXPECT_TRUE(second.FindText("Pag. 2 di 2"));
  EXPECT_TRUE(second.FindText("Ente: [2] Comune di Città Alta"));
}

// Long contracts break where the rows no longer fit; each page repeats the table header and
// draws exactly its rows, none below the bottom margin. At the synthetic level the trip rows
// take no room and only the totals are drawn, in the larger font.
TEST(StatementLayout, PageBreaksAtBothLevels) {
  std::vector<StatementRow> rows;
  for (int32_t i = 1; i <= 120; ++i) rows.push_back(TripRow(1, "L" + std::to_string(i / 10), i));
  for (DetailLevel level : {DetailLevel::Analytic, DetailLevel::Synthetic}) {
    StatementReport report = MakeReport(rows, level);
    RecordingCanvas c(4000, 1500);
    const int pages = report.Layout(c);
    EXPECT_GT(pages, 2);
    std::vector<std::string> all;
    for (int p = 1; p <= pages; ++p) {
      RecordingCanvas page(4000, 1500);
      report.DrawPage(page, p);
      EXPECT_TRUE(page.FindText("Codice Linea")) << p;
      EXPECT_TRUE(page.FindText("Tempo Contratto Periodo")) << p;
      EXPECT_TRUE(page.FindText(Format("Pag. %d di %d", p, pages)));
      for (const CanvasCall& call : page.Calls()) {
        if (call.op == CanvasOp::Text) {
          EXPECT_LE(call.y + report.LineHeight(), 1450) << call.text;
        } else if (call.op == CanvasOp::Line) {
          EXPECT_LE(std::max(call.y, call.y2), 1450);
        } else if (call.op == CanvasOp::Font) {
          EXPECT_EQ(call.size, level == DetailLevel::Synthetic ? 80 : 60);
        }
      }
      for (const std::string& t : DrawnRows(report, p, 4000, 1500)) all.push_back(t);
    }
    // Every row once, in order: trips only at the analytic level.
    std::vector<std::string> expected;
    for (const StatementRow& r : report.Rows()) {
      if (r.kind == RowKind::Trip) {
        if (level == DetailLevel::Analytic) expected.push_back(r.codcorsa);
      } else {
        expected.push_back(TotalLabel(r));
      }
    }
    EXPECT_EQ(all, expected);
    EXPECT_EQ(expected.size(), level == DetailLevel::Analytic ? 120u + 13 + 1 : 14u);
  }
}

// The column headers of both statements and of the cartographic distances.
TEST(StatementLayout, HeadersByKindAndDistance) {
  std::vector<StatementRow> rows{TripRow(1, "L1", 1)};
  rows[0].percorso = "P1";
  InsertTotals(rows, StatementKind::ByRoute);
  StatementParams p;
  p.distance = DistanceType::Cartographic;
  p.detail = DetailLevel::Analytic;
  StatementReport byRoute(rows, p, StatementKind::ByRoute, {}, {{7, 12, 2026}, 9, 5});
  RecordingCanvas c(12000, 3000);
  ASSERT_EQ(byRoute.Layout(c), 1);
  byRoute.DrawPage(c, 1);
  EXPECT_THAT(byRoute.Headers(),
              ElementsAre("Cod Linea", "Cod Percorso", "ID Corsa", "Parte", "Arriva",
                          "Periodo Effettuazione", "Km Contratto", "Tempo Contratto", "Giorni",
                          "Km Contratto Periodo", "Tempo Contratto Periodo"));
  EXPECT_TRUE(c.FindText("Distanze misurate su base cartografica"));
  EXPECT_TRUE(c.FindText("Totali Percorso P1"));
  EXPECT_TRUE(c.FindText("Ente: [1] *** ENTE INESISTENTE ***"));
  EXPECT_TRUE(c.FindText("Azienda: [101] *** AZIENDA INESISTENTE ***"));
  StatementReport byTrip(rows, p, StatementKind::ByTrip, {}, {{7, 12, 2026}, 9, 5});
  EXPECT_EQ(byTrip.Headers()[6], "Km Convenzionali");
  EXPECT_EQ(byTrip.Headers()[7], "Km Cartografici");
}

// A statement of more than 8,192 pages keeps every page.
TEST(StatementLayout, MorePagesThanEightThousand) {
  std::vector<StatementRow> rows;
  for (int ente = 1; ente <= 9000; ++ente) rows.push_back(TripRow(ente, "L1", ente));
  StatementReport report = MakeReport(std::move(rows), DetailLevel::Synthetic);
  RecordingCanvas c(4000, 3000);
  ASSERT_EQ(report.Layout(c), 9000);
  RecordingCanvas last(4000, 3000);
  report.DrawPage(last, 9000);
  EXPECT_TRUE(last.FindText("Pag. 9000 di 9000"));
  EXPECT_TRUE(last.FindText("Ente: [9000] *** ENTE INESISTENTE ***"));
  EXPECT_EQ(DrawnRows(report, 9000, 4000, 3000),
            (std::vector<std::string>{"Totali Linea L1 A", "Totali Contratto"}));
}

}  // namespace
}  // namespace kvt::contracts::test
