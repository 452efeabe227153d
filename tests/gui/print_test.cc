// The print view of the window on the offscreen platform: the QPainter canvas writing real
// PDF files (read back with Poppler's pdftotext), the preview window and the print dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "contracts/report.h"
#include "core/text.h"
#include "gui/print_output.h"
#include "gui/print_preview.h"
#include "gui/qt_ui.h"
#include "gui/answer.h"
#include "support/demo_report.h"

namespace kvt::gui::test {
namespace {

using kvt::test::DemoReport;
namespace fs = std::filesystem;

std::vector<std::pair<std::string, std::string>> Rows(int n) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (int i = 1; i <= n; ++i)
    rows.emplace_back(Format("Riga %03d Forlì-Cesena Perù", i), Format("%d,00", i * 7));
  return rows;
}

bool HavePoppler() {
  return std::system("pdftotext -v >/dev/null 2>&1") == 0;
}

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// The page count pdfinfo reads.
int PagesOf(const std::string& pdf) {
  std::string info = Shell("pdfinfo '" + pdf + "'");
  std::smatch m;
  return std::regex_search(info, m, std::regex("Pages:\\s+([0-9]+)")) ? std::stoi(m[1].str()) : -1;
}

struct TempDir {
  TempDir() : path(fs::temp_directory_path() / ("kvt-print-" + std::to_string(getpid()))) {
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  fs::path path;
};

// The right edges (xMax, points) of the words of a page that match `pattern`, from
// pdftotext's bounding boxes.
std::vector<double> RightEdges(const std::string& pdf, int page, const std::string& pattern) {
  std::string html = Shell(Format("pdftotext -bbox -f %d -l %d '%s' -", page, page, pdf.c_str()));
  std::vector<double> edges;
  std::regex word("xMax=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
  std::regex want(pattern);
  for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator();
       ++it)
    if (std::regex_match((*it)[2].str(), want)) edges.push_back(std::stod((*it)[1].str()));
  return edges;
}

TEST(PdfOutputTest, PagesTextsAndAccentsReachThePdf) {
  if (!HavePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) missing";
  TempDir dir;
  DemoReport report(Rows(100), "Prova di stampa àèìòù");
  PdfResult r = WritePdf(report, dir / "prova.pdf", DefaultPdfLayout());
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_GE(r.pages, 2);
  EXPECT_EQ(PagesOf(dir / "prova.pdf"), r.pages);
  std::string info = Shell("pdfinfo '" + (dir / "prova.pdf") + "'");
  EXPECT_NE(info.find("Title:           Prova di stampa àèìòù"), std::string::npos) << info;
  std::string text = Shell("pdftotext -layout '" + (dir / "prova.pdf") + "' -");
  for (std::string want :
       {std::string("Azienda: [101] Società Funivie Perù"),
        std::string("Riga 001 Forlì-Cesena Perù"), Format("Riga 100 Forlì-Cesena Perù"),
        Format("Pag. %d di %d", 2, r.pages), std::string("07/12/2026 09:05"),
        std::string("KVT-BASE2 - \"Trasvia - Regione Velmora\"")})
    EXPECT_NE(text.find(want), std::string::npos) << want;
  // Every row once: none lost at a page break, none drawn twice.
  size_t rows = 0;
  for (size_t at = text.find("Forlì-Cesena"); at != std::string::npos;
       at = text.find("Forlì-Cesena", at + 1))
    ++rows;
  EXPECT_EQ(rows, 100u);
  std::string fonts = Shell("pdffonts '" + (dir / "prova.pdf") + "'");
  EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;  // "Arial"
  // KVT_PRINT_TEST_OUT=DIR keeps the file, to look at it (scripts/render-pdf).
  if (const char* keep = std::getenv("KVT_PRINT_TEST_OUT"))
    fs::copy_file(dir / "prova.pdf", fs::path(keep) / "prova.pdf",
                  fs::copy_options::overwrite_existing);
}

// The statement's PDF is landscape when its table would run past a portrait page (the
// thirteen columns by trip in the synthetic level's larger font), portrait when it fits (the
// tender statement's eleven at the analytic level), landscape whenever asked.
TEST(PdfOutputTest, StatementsTakeLandscapePagesWhenTheirTableNeedsThem) {
  if (!HavePoppler()) GTEST_SKIP() << "pdfinfo (poppler-utils) missing";
  TempDir dir;
  auto pageSize = [&](contracts::StatementKind kind, contracts::DetailLevel detail,
                      PageOrientation orientation) {
    contracts::StatementRow trip;
    trip.ID = 7;
    trip.ente = 1;
    trip.azienda = 101;
    trip.codlinea = "L1";
    trip.percorso = "P1";
    trip.codcorsa = "C7";
    trip.departureText = "7:00 Piazza Garibaldi 12";
    trip.arrivalText = "7:40 Stazione Centrale";
    trip.days = 1;
    std::vector<contracts::StatementRow> rows{trip};
    contracts::InsertTotals(rows, kind);
    contracts::StatementParams params;
    params.detail = detail;
    contracts::StatementReport report(rows, params, kind, {}, {{7, 12, 2026}, 9, 5}, orientation);
    const PdfResult written = WriteDefaultPdf(report, dir / "s.pdf");
    EXPECT_TRUE(written.ok) << written.error;
    std::smatch m;
    const std::string info = Shell("pdfinfo '" + (dir / "s.pdf") + "'");
    return std::regex_search(info, m, std::regex("Page size:\\s+([0-9]+ x [0-9]+)")) ? m[1].str()
                                                                                   : info;
  };
  using contracts::DetailLevel;
  using contracts::StatementKind;
  EXPECT_EQ(pageSize(StatementKind::ByTrip, DetailLevel::Synthetic, PageOrientation::Automatic),
            "842 x 595");
  EXPECT_EQ(pageSize(StatementKind::ByRoute, DetailLevel::Analytic, PageOrientation::Automatic),
            "595 x 842");
  EXPECT_EQ(pageSize(StatementKind::ByRoute, DetailLevel::Analytic, PageOrientation::Landscape),
            "842 x 595");
}

// Right-aligned texts are placed with the widths the canvas measured: if measuring and
// drawing disagreed, the amounts of different lengths would end at different x.
TEST(PdfOutputTest, RightAlignedTextsEndOnOneEdge) {
  if (!HavePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) missing";
  TempDir dir;
  DemoReport report(Rows(30));
  ASSERT_TRUE(WritePdf(report, dir / "r.pdf", DefaultPdfLayout()).ok);
  std::vector<double> amounts = RightEdges(dir / "r.pdf", 1, "[0-9]+,00");
  ASSERT_EQ(amounts.size(), 30u);
  // A4 less 5 mm margins at 600 dpi: the printable page is 4724 units wide; amounts end at
  // its right margin less 20 units (4654), shifted by the 5 mm border.
  double expected = 5 / 25.4 * 72 + 4654 / 600.0 * 72;
  for (double x : amounts) EXPECT_NEAR(x, expected, 0.6);
  std::vector<double> pageNumber = RightEdges(dir / "r.pdf", 1, "1");
  ASSERT_FALSE(pageNumber.empty());  // "Pag. 1 di 1": its last word ends on the margin
  EXPECT_NEAR(pageNumber.back(), 5 / 25.4 * 72 + 4674 / 600.0 * 72, 0.6);
}

TEST(PdfOutputTest, NothingIsLeftBehindWhenThereIsNoPageOrNoFolder) {
  TempDir dir;
  {
    std::ofstream(dir / "old.pdf") << "vecchio";
    DemoReport empty({});
    PdfResult r = WritePdf(empty, dir / "old.pdf", DefaultPdfLayout());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.pages, 0);
    std::ifstream in(dir / "old.pdf");
    std::string kept((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(kept, "vecchio");
  }
  DemoReport report(Rows(3));
  PdfResult r = WritePdf(report, dir / "manca/x.pdf", DefaultPdfLayout());
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error.rfind("Impossibile creare il file " + (dir / "manca/x.pdf"), 0), 0u) << r.error;
  EXPECT_FALSE(fs::exists(dir / "manca"));
}

// A page range from the print dialog: the pages asked for, those past the end ignored.
TEST(PdfOutputTest, PageRangesDrawThePagesAskedFor) {
  if (!HavePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) missing";
  TempDir dir;
  DemoReport report(Rows(150));
  auto draw = [&](const std::string& name, int from, int to) {
    QPdfWriter writer(QString::fromStdString(dir / name));
    writer.setResolution(kPrintResolution);
    writer.setPageLayout(DefaultPdfLayout());
    QPainter painter(&writer);
    return DrawReport(report, painter, writer, from, to);
  };
  ASSERT_EQ(draw("all.pdf", 1, 0), 3);
  EXPECT_EQ(draw("two.pdf", 2, 2), 1);
  std::string text = Shell("pdftotext '" + (dir / "two.pdf") + "' -");
  EXPECT_NE(text.find("Pag. 2 di 3"), std::string::npos);
  EXPECT_EQ(text.find("Pag. 1 di 3"), std::string::npos);
  EXPECT_EQ(draw("tail.pdf", 2, 99), 2);
  EXPECT_EQ(PagesOf(dir / "tail.pdf"), 2);
  EXPECT_EQ(draw("none.pdf", 4, 9), 0);
}

std::string LabelText(QWidget* w, const char* name) {
  auto* label = w->findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text().toStdString() : "";
}

TEST(PreviewTest, NavigationZoomOrientationPrintingAndTheBusyView) {
  if (!HavePoppler()) GTEST_SKIP() << "pdfinfo (poppler-utils) missing";
  TempDir dir;
  QtUi ui;
  DemoReport report(Rows(150));
  std::vector<std::string> seen;
  int portrait = 0, landscapePages = 0;
  std::string busyBox;
  bool nested = true;
  WhenShown<PreviewDialog>([&](PreviewDialog* p) {
    seen.push_back(p->windowTitle().toStdString());
    portrait = p->PageCount();
    seen.push_back(LabelText(p, "pageLabel"));
    p->Action(QStringLiteral("Pagina successiva"))->trigger();
    seen.push_back(LabelText(p, "pageLabel"));
    if (const char* keep = std::getenv("KVT_PRINT_TEST_OUT"))  // to look at it
      p->grab().save(QString::fromLocal8Bit(keep) + QStringLiteral("/anteprima.png"));
    p->Action(QStringLiteral("Ultima pagina"))->trigger();
    seen.push_back(LabelText(p, "pageLabel"));
    p->Action(QStringLiteral("Pagina successiva"))->trigger();  // stays on the last
    seen.push_back(LabelText(p, "pageLabel"));
    std::string before = LabelText(p, "zoomLabel");
    p->Action(QStringLiteral("Ingrandisci"))->trigger();
    p->view()->zoomIn();
    seen.push_back(before != LabelText(p, "zoomLabel") ? "zoom" : "no zoom");
    p->Action(QStringLiteral("Orizzontale"))->trigger();  // fewer rows a page: more pages
    landscapePages = p->PageCount();
    // From the preview: the print dialog (to a PDF file, no printer being installed), and
    // "Salva PDF...": both give the pages shown.
    WhenShown<QPrintDialog>([&](QPrintDialog* d) {
      if (auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename")))
        file->setText(QString::fromStdString(dir / "stampata.pdf"));
      d->accept();
    });
    p->Action(QStringLiteral("Stampa..."))->trigger();
    WhenShown<QFileDialog>([&](QFileDialog* d) {
      Choose(d, QString::fromStdString(dir / "salvata.pdf"));
    });
    p->Action(QStringLiteral("Salva PDF..."))->trigger();
    seen.push_back(Format("%d pagine", p->PageCount()));
    // A second report while this one is shown: refused with its message.
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      busyBox = box->text().toStdString();
      box->accept();
    });
    DemoReport other(Rows(1));
    nested = ui.PrintReport(other, PrintMode::Print);
    p->Action(QStringLiteral("Chiudi"))->trigger();
  });
  EXPECT_TRUE(ui.PrintReport(report, PrintMode::Preview));
  ASSERT_GE(portrait, 3);
  std::string last = Format("Pagina %d di %d", portrait, portrait);
  EXPECT_EQ(seen, (std::vector<std::string>{"Anteprima di stampa - Prova di stampa",
                                            Format("Pagina 1 di %d", portrait),
                                            Format("Pagina 2 di %d", portrait), last, last, "zoom",
                                            Format("%d pagine", landscapePages)}));
  EXPECT_GT(landscapePages, portrait);
  EXPECT_EQ(PagesOf(dir / "stampata.pdf"), landscapePages);
  EXPECT_EQ(PagesOf(dir / "salvata.pdf"), landscapePages);
  EXPECT_NE(Shell("pdftotext '" + (dir / "salvata.pdf") + "' -").find("Riga 150 Forlì-Cesena Perù"),
            std::string::npos);
  EXPECT_FALSE(nested);
  EXPECT_EQ(busyBox, "E' impossibile associare la stampa !!!\n");

  // The orientation chosen is kept for the next print.
  bool landscape = false;
  WhenShown<PreviewDialog>([&](PreviewDialog* p) {
    landscape = p->Action(QStringLiteral("Orizzontale"))->isChecked();
    p->reject();
  });
  EXPECT_TRUE(ui.PrintReport(report, PrintMode::Preview));
  EXPECT_TRUE(landscape);
}

// The print dialog, with no printer installed, offers printing to a PDF file: the file
// chosen gets every page; a folder instead of a file cannot be opened.
TEST(PrintDialogTest, PrintsToTheChosenFileOrSaysThePrinterCannotBeOpened) {
  if (!HavePoppler()) GTEST_SKIP() << "pdftotext (poppler-utils) missing";
  TempDir dir;
  QtUi ui;
  DemoReport report(Rows(100));
  auto chooseFile = [](const std::string& path) {
    WhenShown<QPrintDialog>([path](QPrintDialog* d) {
      auto* file = d->findChild<QLineEdit*>(QStringLiteral("filename"));
      if (file) file->setText(QString::fromStdString(path));
      d->accept();
    });
  };
  chooseFile(dir / "stampa.pdf");
  ASSERT_TRUE(ui.PrintReport(report, PrintMode::Print));
  std::string text = Shell("pdftotext '" + (dir / "stampa.pdf") + "' -");
  EXPECT_NE(text.find("Riga 100 Forlì-Cesena Perù"), std::string::npos);
  int pages = PagesOf(dir / "stampa.pdf");
  EXPECT_GE(pages, 2);
  EXPECT_NE(text.find(Format("Pag. %d di %d", pages, pages)), std::string::npos);

  chooseFile(dir.path.string() + "/");
  std::string box;
  QTimer::singleShot(0, [&] {
    WhenShown<QMessageBox>([&](QMessageBox* b) {
      box = b->text().toStdString();
      b->accept();
    });
  });
  EXPECT_FALSE(ui.PrintReport(report, PrintMode::Print));
  EXPECT_EQ(box,
            "Non è possibile aprire la stampante.\n\n"
            "Verificare l'impostazione della stampante associata\n"
            "all'applicazione e riprovare successivamente.\n");

  WhenShown<QPrintDialog>([](QPrintDialog* d) { d->reject(); });
  EXPECT_FALSE(ui.PrintReport(report, PrintMode::Print));  // cancelled: no message
}

}  // namespace
}  // namespace kvt::gui::test
