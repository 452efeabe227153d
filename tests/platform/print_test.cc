// The print view without a printer: the page model, the recording canvas, the common page
// header and the print flow of the scripted and command-line Ui.
#include <gtest/gtest.h>

#include <sstream>

#include "core/text.h"
#include "platform/cli_ui.h"
#include "platform/recording_canvas.h"
#include "platform/report.h"
#include "platform/scripted_ui.h"
#include "support/demo_report.h"

namespace kvt {
namespace {

using test::DemoReport;

const char kPrinterText[] =
    "Non è possibile aprire la stampante.\n\n"
    "Verificare l'impostazione della stampante associata\n"
    "all'applicazione e riprovare successivamente.\n";

std::vector<std::pair<std::string, std::string>> Rows(int n) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (int i = 1; i <= n; ++i) rows.emplace_back(Format("Riga %03d", i), Format("%d,00", i));
  return rows;
}

TEST(RecordingCanvasTest, MetricsCountCharactersAndCallsKeepTheirState) {
  RecordingCanvas c(4800, 6800);
  c.SelectFont("Arial", 80, kWeightNormal);
  // An accented letter is one character, not two bytes.
  EXPECT_EQ(c.MeasureText("Città"), (TextExtent{5 * 48, 120}));
  c.SelectPen(2, kBlack);
  c.MoveTo(10, 20);
  c.LineTo(300, 20);
  c.LineTo(300, 400);
  c.SelectFont("Arial", 60, kWeightBold);
  c.DrawText(100, 200, "Perù", kWhite, kBlack);
  c.FillRect(1, 2, 3, 4, kGrey);

  std::vector<CanvasCall> lines;
  for (const CanvasCall& call : c.Calls())
    if (call.op == CanvasOp::Line) lines.push_back(call);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ((std::vector<int>{lines[1].x, lines[1].y, lines[1].x2, lines[1].y2}),
            (std::vector<int>{300, 20, 300, 400}));  // the second line starts where the first ended
  EXPECT_EQ(lines[1].penWidth, 2);
  const CanvasCall* text = c.FindText("Perù");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ((std::vector<int>{text->x, text->y, text->x2, text->y2, text->size, text->weight}),
            (std::vector<int>{100, 200, 100 + 4 * 36, 200 + 90, 60, kWeightBold}));
  EXPECT_EQ(text->colour, kWhite);
  EXPECT_EQ(text->background, kBlack);
  EXPECT_EQ(c.Calls().back().op, CanvasOp::Fill);
  EXPECT_EQ(c.Calls().back().colour, kGrey);
}

TEST(PageTableTest, UnsetPagesReadMinusOneAndPagesPast8192KeepTheirRow) {
  PageTable t;
  EXPECT_EQ(t.Get(1), -1);
  t.Set(0, 5);
  t.Set(-3, 5);
  EXPECT_EQ(t.Count(), 0);
  t.Set(1, 0);
  t.Set(3, 40);
  EXPECT_EQ(t.Get(2), -1);
  EXPECT_EQ(t.Get(3), 40);
  EXPECT_EQ(t.Count(), 3);
  t.Set(8193, 81920);
  t.Set(20000, 199990);
  EXPECT_EQ(t.Get(8193), 81920);
  EXPECT_EQ(t.Get(20000), 199990);
  EXPECT_EQ(t.Get(20001), -1);
  EXPECT_EQ(t.Get(0), -1);
  t.Clear();
  EXPECT_EQ(t.Get(3), -1);
}

TEST(PageHeaderTest, LinesBandsAndRightAlignedTextsSitWhereTheyShould) {
  RecordingCanvas c(4800, 6800);
  LayoutArea area = AreaOf(c);
  EXPECT_EQ((std::vector<int>{area.left, area.top, area.width, area.height}),
            (std::vector<int>{50, 50, 4700, 6700}));
  c.SelectFont("Arial", 100, kWeightNormal);  // 60 units a character, 150 high
  PageHeader h;
  h.page = 2;
  h.pageCount = 13;
  h.printed = PrintStamp{Date{7, 3, 2026}, 9, 5};
  h.band1Left = "Ente: [1] Regione";
  h.band1Right = "Periodo dal 01/01/2026 al 31/01/2026";
  h.band2Left = "Azienda: [101] Società Perù";
  h.note = "Distanze convenzionali dichiarate dall'Azienda";
  EXPECT_EQ(DrawPageHeader(c, area, 150, h), 50 + 5 * 150 + 145);
  EXPECT_EQ(PageHeaderBottom(area, 150), 50 + 5 * 150 + 145);

  auto at = [&](const std::string& text) {
    const CanvasCall* t = c.FindText(text);
    return t ? std::vector<int>{t->x, t->y, t->x2} : std::vector<int>{};
  };
  EXPECT_EQ(at("KVT-BASE2 - \"Trasvia - Regione Velmora\""),
            (std::vector<int>{50, 50, 50 + 39 * 60}));
  EXPECT_EQ(at("Pag. 2 di 13"), (std::vector<int>{4750 - 12 * 60, 50, 4750}));
  EXPECT_EQ(at("07/03/2026 09:05"), (std::vector<int>{4750 - 16 * 60, 210, 4750}));
  // Band texts 20 units inside the band.
  EXPECT_EQ(at("Ente: [1] Regione"), (std::vector<int>{70, 390, 70 + 17 * 60}));
  EXPECT_EQ(at("Periodo dal 01/01/2026 al 31/01/2026"),
            (std::vector<int>{4730 - 36 * 60, 390, 4730}));
  EXPECT_EQ(at("Azienda: [101] Società Perù"), (std::vector<int>{70, 555, 70 + 27 * 60}));
  EXPECT_EQ(at("Distanze convenzionali dichiarate dall'Azienda"),
            (std::vector<int>{50, 750, 50 + 46 * 60}));
  EXPECT_EQ(c.FindText("Ente: [1] Regione")->background, kGrey);
  EXPECT_EQ(c.FindText("Distanze convenzionali dichiarate dall'Azienda")->background, kWhite);
  // Two grey bands across the layout width, the text boxes inside them.
  std::vector<std::vector<int>> bands;
  for (const CanvasCall& call : c.Calls())
    if (call.op == CanvasOp::Fill && call.colour == kGrey)
      bands.push_back({call.x, call.y, call.x2, call.y2});
  EXPECT_EQ(bands, (std::vector<std::vector<int>>{{50, 380, 4750, 560}, {50, 545, 4750, 725}}));
  // Empty texts are not drawn.
  EXPECT_EQ(c.Texts().size(), 7u);
}

TEST(PrintStampTest, Texts) {
  EXPECT_EQ(PrintStampText(PrintStamp{Date{1, 2, 2026}, 0, 7}), "01/02/2026 00:07");
  EXPECT_EQ(PageNumberText(8193, 9000), "Pag. 8193 di 9000");
}

// Every row drawn once, on the page the layout gave it, under its page's header.
TEST(ScriptedPrintTest, EveryPageIsDrawnWithItsRowsAndNumber) {
  ScriptedUi ui;
  DemoReport report(Rows(100));
  ASSERT_TRUE(ui.PrintReport(report, PrintMode::Print));
  EXPECT_TRUE(ui.messages.empty());
  ASSERT_EQ(ui.prints.size(), 1u);
  const RecordedPrint& p = ui.prints[0];
  EXPECT_EQ(p.title, "Prova di stampa");
  EXPECT_EQ(p.mode, PrintMode::Print);
  // Header down to 945, rows 170 high, page bottom 6750: 34 rows a page.
  ASSERT_EQ(p.pageCount, 3);
  EXPECT_EQ(p.canvas->PagesBegun(), 3);
  std::vector<std::string> drawn;
  for (int page = 1; page <= 3; ++page) {
    EXPECT_NE(p.canvas->FindText(Format("Pag. %d di 3", page), page), nullptr) << page;
    for (const std::string& t : p.canvas->Texts(page))
      if (t.rfind("Riga ", 0) == 0) drawn.push_back(Format("%d:", page) + t);
  }
  ASSERT_EQ(drawn.size(), 100u);
  EXPECT_EQ(drawn[0], "1:Riga 001");
  EXPECT_EQ(drawn[33], "1:Riga 034");
  EXPECT_EQ(drawn[34], "2:Riga 035");
  EXPECT_EQ(drawn[99], "3:Riga 100");
  EXPECT_EQ(p.canvas->FindText("Riga 035")->y, 945 + 10);
  // The last row of a full page still ends inside the layout area.
  EXPECT_LE(p.canvas->FindText("Riga 034")->y2, 6750);
}

TEST(ScriptedPrintTest, ReportsPastThe8192ndPageAreDrawnWhole) {
  ScriptedUi ui;
  ui.printPageHeight = 1200;  // one row a page
  DemoReport report(Rows(9000));
  ASSERT_TRUE(ui.PrintReport(report, PrintMode::Preview));
  const RecordedPrint& p = ui.prints.at(0);
  ASSERT_EQ(p.pageCount, 9000);
  EXPECT_NE(p.canvas->FindText("Riga 8193", 8193), nullptr);
  EXPECT_NE(p.canvas->FindText("Riga 9000", 9000), nullptr);
  EXPECT_NE(p.canvas->FindText("Pag. 9000 di 9000", 9000), nullptr);
}

TEST(ScriptedPrintTest, LandscapeSwapsThePageAndLayoutSeesIt) {
  ScriptedUi ui;
  ui.printLandscape = true;
  DemoReport report(Rows(100));
  ASSERT_TRUE(ui.PrintReport(report, PrintMode::Preview));
  const RecordedPrint& p = ui.prints.at(0);
  EXPECT_TRUE(p.landscape);
  EXPECT_EQ(p.canvas->PageWidth(), 6800);
  EXPECT_EQ(p.canvas->PageHeight(), 4800);
  // (4750 - 945) / 170 = 22 rows a page.
  EXPECT_EQ(p.pageCount, 5);
  EXPECT_EQ(p.canvas->FindText("Pag. 1 di 5")->x2, 6750);
}

// A report that, while being laid out, tries to print another one.
class NestingReport : public DemoReport {
 public:
  NestingReport(Ui& ui) : DemoReport(Rows(1)), ui_(ui) {}
  int Layout(Canvas& canvas) override {
    DemoReport other(Rows(1));
    nestedResult = ui_.PrintReport(other, PrintMode::Print);
    return DemoReport::Layout(canvas);
  }
  bool nestedResult = true;

 private:
  Ui& ui_;
};

TEST(ScriptedPrintTest, RefusalsSayWhyAndPrintNothing) {
  ScriptedUi ui;
  NestingReport nesting(ui);
  EXPECT_TRUE(ui.PrintReport(nesting, PrintMode::Preview));
  EXPECT_FALSE(nesting.nestedResult);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "E' impossibile associare la stampa !!!\n");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
  EXPECT_EQ(ui.prints.size(), 1u);  // the outer one only
  // The view is free again once a print ends.
  DemoReport report(Rows(3));
  ui.Clear();
  EXPECT_TRUE(ui.PrintReport(report, PrintMode::Print));
  EXPECT_TRUE(ui.messages.empty());

  ui.Clear();
  ui.printerFails = true;
  EXPECT_FALSE(ui.PrintReport(report, PrintMode::Print));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{kPrinterText}));
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
  EXPECT_TRUE(ui.prints.empty());

  ui.Clear();
  ui.printerFails = false;
  ui.printDialogCancels = true;
  EXPECT_FALSE(ui.PrintReport(report, PrintMode::Print));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(ui.prints.empty());

  ui.Clear();
  ui.printDialogCancels = false;
  DemoReport empty({});
  EXPECT_FALSE(ui.PrintReport(empty, PrintMode::Preview));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Non ci sono dati da stampare !!!"}));
  EXPECT_TRUE(ui.prints.empty());
}

struct CliPrint {
  explicit CliPrint(std::optional<std::string> pdf)
      : ui(CliAnswers{false, {}, {}, std::move(pdf)}, out, err, false) {}
  std::ostringstream out, err;
  CliUi ui;
};

TEST(CliPrintTest, ReportsGoToTheNamedPdfOrAreRefusedWithTheReason) {
  DemoReport report(Rows(100));
  {
    CliPrint r("/tmp/out.pdf");  // a command that prints nothing
    EXPECT_FALSE(r.ui.PrintAsked());
  }
  {
    CliPrint r(std::nullopt);
    r.ui.SetPdfWriter([](Report&, const std::string&) { return PdfResult{true, 1, ""}; });
    EXPECT_FALSE(r.ui.PrintReport(report, PrintMode::Preview));
    EXPECT_EQ(r.err.str(), std::string("Nessun file indicato per la stampa (--pdf FILE)\n"
                                       "ERRORE: KVT-BASE2\n") +
                               kPrinterText);
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  }
  {
    CliPrint r("/tmp/out.pdf");  // a front end without Qt
    EXPECT_FALSE(r.ui.PrintReport(report, PrintMode::Print));
    EXPECT_EQ(r.err.str(), std::string("Stampa in PDF non disponibile: kvtbase costruito senza "
                                       "Qt\nERRORE: KVT-BASE2\n") +
                               kPrinterText);
  }
  {
    CliPrint r("/tmp/out.pdf");
    std::string written;
    r.ui.SetPdfWriter([&written](Report& rep, const std::string& path) {
      RecordingCanvas canvas(4800, 6800);
      written = path;
      return PdfResult{true, rep.Layout(canvas), ""};
    });
    EXPECT_TRUE(r.ui.PrintReport(report, PrintMode::Preview));
    EXPECT_EQ(written, "/tmp/out.pdf");
    EXPECT_EQ(r.out.str(), "PDF scritto: /tmp/out.pdf (3 pagine)\n");
    EXPECT_TRUE(r.ui.PrintAsked());
    EXPECT_EQ(r.err.str(), "");
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Success);
  }
  {
    CliPrint r("/nonexistent/out.pdf");
    r.ui.SetPdfWriter([](Report&, const std::string& path) {
      return PdfResult{false, 0, "Impossibile scrivere " + path};
    });
    EXPECT_FALSE(r.ui.PrintReport(report, PrintMode::Print));
    EXPECT_EQ(r.err.str(), std::string("Impossibile scrivere /nonexistent/out.pdf\n"
                                       "ERRORE: KVT-BASE2\n") +
                               kPrinterText);
    EXPECT_EQ(r.ui.Outcome(), CliOutcome::Failed);
  }
  {
    CliPrint r("/tmp/out.pdf");
    r.ui.SetPdfWriter([](Report&, const std::string&) { return PdfResult{true, 0, ""}; });
    EXPECT_FALSE(r.ui.PrintReport(report, PrintMode::Print));
    EXPECT_EQ(r.out.str(), "INFORMAZIONE: KVT-BASE2\nNon ci sono dati da stampare !!!\n");
  }
}

}  // namespace
}  // namespace kvt
