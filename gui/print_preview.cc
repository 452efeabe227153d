#include "gui/print_preview.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "gui/print_output.h"
#include "gui/qt_ui.h"

namespace kvt::gui {
namespace {

// Page numbers a print dialog accepts before the page count is known.
constexpr int kMaxPageNumber = 999999;

}  // namespace

bool ChoosePrinter(QPrinter& printer, QWidget* parent) {
  printer.setCopyCount(1);
  printer.setFromTo(0, 0);  // every page unless a range is chosen
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Stampa"));
  dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile |
                    QAbstractPrintDialog::PrintShowPageSize);
  dialog.setMinMax(1, kMaxPageNumber);
  return dialog.exec() == QDialog::Accepted;
}

bool PrintOn(QPrinter& printer, Report& report, Ui& ui) {
  QPainter painter;
  if (!painter.begin(&printer)) {
    ui.Stop(kPrinterOpenMessage);
    return false;
  }
  int from = printer.printRange() == QPrinter::PageRange ? printer.fromPage() : 1;
  int to = printer.printRange() == QPrinter::PageRange ? printer.toPage() : 0;
  if (DrawReport(report, painter, printer, from, to) == 0) {
    printer.abort();
    painter.end();
    ui.Info(kNothingToPrintMessage);
    return false;
  }
  if (!painter.end()) {
    ui.Stop(kPrinterOpenMessage);
    return false;
  }
  return true;
}

PreviewDialog::PreviewDialog(Report& report, QPrinter& printer, Ui& ui, QWidget* parent)
    : QDialog(parent), report_(report), printer_(printer), ui_(ui) {
  setWindowTitle(QStringLiteral("Anteprima di stampa - ") + ToQ(report.Title()));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  auto* layout = MakeChild<QVBoxLayout>(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = MakeChild<QToolBar>(this);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  layout->addWidget(bar);
  view_ = MakeChild<QPrintPreviewWidget>(&printer_, this);
  layout->addWidget(view_, 1);

  auto add = [this, bar](const QString& text, QKeySequence key, auto slot) {
    QAction* a = bar->addAction(text);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  add(QStringLiteral("Stampa..."), QKeySequence::Print, [this] { PrintFromPreview(); });
  add(QStringLiteral("Salva PDF..."), QKeySequence::Save, [this] { SavePdf(); });
  QAction* landscape =
      add(QStringLiteral("Orizzontale"), QKeySequence(), [this](bool on) { SetLandscape(on); });
  landscape->setCheckable(true);
  landscape->setChecked(printer_.pageLayout().orientation() == QPageLayout::Landscape);
  bar->addSeparator();
  // Page turning by icons (their captions show as tips), so that the bar fits a window.
  auto iconOnly = [bar](QAction* a, QStyle::StandardPixmap icon) {
    a->setIcon(bar->style()->standardIcon(icon));
    if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a)))
      b->setToolButtonStyle(Qt::ToolButtonIconOnly);
  };
  iconOnly(add(QStringLiteral("Prima pagina"), QKeySequence(Qt::CTRL | Qt::Key_Home),
               [this] { GoToPage(1); }),
           QStyle::SP_MediaSkipBackward);
  iconOnly(add(QStringLiteral("Pagina precedente"), QKeySequence(Qt::Key_PageUp),
               [this] { GoToPage(CurrentPage() - 1); }),
           QStyle::SP_ArrowLeft);
  pageLabel_ = MakeChild<QLabel>(bar);
  pageLabel_->setObjectName(QStringLiteral("pageLabel"));
  pageLabel_->setContentsMargins(8, 0, 8, 0);
  bar->addWidget(pageLabel_);
  iconOnly(add(QStringLiteral("Pagina successiva"), QKeySequence(Qt::Key_PageDown),
               [this] { GoToPage(CurrentPage() + 1); }),
           QStyle::SP_ArrowRight);
  iconOnly(add(QStringLiteral("Ultima pagina"), QKeySequence(Qt::CTRL | Qt::Key_End),
               [this] { GoToPage(PageCount()); }),
           QStyle::SP_MediaSkipForward);
  bar->addSeparator();
  // Zoom: short captions on the bar, the whole one as the tip.
  auto zoom = [this, add](const QString& text, const QString& shortText, QKeySequence key,
                          std::function<void()> step) {
    add(text, key, [this, step] {
      step();
      UpdateControls();
    })->setIconText(shortText);
  };
  zoom(QStringLiteral("Pagina intera"), QStringLiteral("Intera"), QKeySequence(),
       [this] { view_->fitInView(); });
  zoom(QStringLiteral("Larghezza pagina"), QStringLiteral("Larghezza"), QKeySequence(),
       [this] { view_->fitToWidth(); });
  zoom(QStringLiteral("Riduci"), QStringLiteral("\u2212"), QKeySequence::ZoomOut,
       [this] { view_->zoomOut(); });
  zoom(QStringLiteral("Ingrandisci"), QStringLiteral("+"), QKeySequence::ZoomIn,
       [this] { view_->zoomIn(); });
  zoomLabel_ = MakeChild<QLabel>(bar);
  zoomLabel_->setObjectName(QStringLiteral("zoomLabel"));
  zoomLabel_->setContentsMargins(8, 0, 8, 0);
  bar->addWidget(zoomLabel_);
  bar->addSeparator();
  add(QStringLiteral("Chiudi"), QKeySequence(), [this] { accept(); });

  connect(view_, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* p) {
    QPainter painter(p);
    DrawReport(report_, painter, *p, 1, 0);
  });
  connect(view_, &QPrintPreviewWidget::previewChanged, this, [this] { UpdateControls(); });
  // Lays the report out now: the page count is known before the window shows.
  view_->updatePreview();
  view_->fitToWidth();
  UpdateControls();

  QSize room = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableSize()
                                             : QSize(1024, 768);
  resize(std::min(room.width(), 1000), room.height() * 9 / 10);
}

int PreviewDialog::CurrentPage() const {
  return view_->currentPage();
}
int PreviewDialog::PageCount() const {
  return view_->pageCount();
}

void PreviewDialog::GoToPage(int page) {
  if (PageCount() == 0) return;
  view_->setCurrentPage(std::clamp(page, 1, PageCount()));
  UpdateControls();
}

QAction* PreviewDialog::Action(const QString& text) const {
  for (QAction* a : findChildren<QAction*>())
    if (a->text() == text) return a;
  return nullptr;
}

void PreviewDialog::UpdateControls() {
  pageLabel_->setText(QStringLiteral("Pagina %1 di %2").arg(CurrentPage()).arg(PageCount()));
  zoomLabel_->setText(QStringLiteral("%1%").arg(qRound(view_->zoomFactor() * 100)));
}

void PreviewDialog::PrintFromPreview() {
  if (!ChoosePrinter(printer_, this)) return;
  PrintOn(printer_, report_, ui_);
  view_->updatePreview();  // the printer chosen may have another page
}

void PreviewDialog::SavePdf() {
  FileDialogSpec spec;
  spec.title = "Salva PDF";
  spec.filter = "Documenti PDF (*.pdf)|*.pdf|Tutti i files (*.*)|*.*||";
  spec.defaultExt = "pdf";
  spec.defaultName = report_.Title() + ".pdf";
  std::optional<std::string> path = ui_.SaveFile(spec);
  if (!path) return;
  PdfResult result = WritePdf(report_, *path, printer_.pageLayout(), printer_.resolution());
  view_->updatePreview();  // the writer laid the report out again
  if (!result.ok) ui_.Stop(result.error);
}

void PreviewDialog::SetLandscape(bool landscape) {
  printer_.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  view_->updatePreview();
}

}  // namespace kvt::gui
