// The print view of the window: Ui::PrintReport on the real printer and the preview.
// Like every window, it lives on the GUI thread: a command running on its worker waits
// there while the report is laid out and drawn.
#include <QApplication>
#include <QPrinter>

#include "gui/print_output.h"
#include "gui/print_preview.h"
#include "gui/qt_ui.h"
#include "platform/report.h"

namespace kvt::gui {

bool QtUi::PrintReport(Report& report, PrintMode mode) {
  bool ok = false;
  OnGui([&] {
    if (printing_) {
      Info(kPrintBusyMessage);
      return;
    }
    printing_ = true;
    struct Done {
      bool& flag;
      ~Done() { flag = false; }
    } done{printing_};

    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(kPrintResolution);
    printer.setDocName(ToQ(report.Title()));
    printer.setCreator(QStringLiteral("KVT-BASE2"));
    // The orientation last chosen; landscape at once for a report that asks for it or that
    // would run past the right edge of a portrait page.
    const bool landscape = landscape_ || WantsLandscape(report, printer.pageLayout());
    printer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    ArrowCursor(true);  // dialogs take the ordinary cursor even inside a long operation
    if (mode == PrintMode::Preview) {
      PreviewDialog preview(report, printer, *this, Parent());
      if (preview.PageCount() == 0) {
        Info(kNothingToPrintMessage);
      } else {
        preview.exec();
        ok = true;
      }
    } else if (ChoosePrinter(printer, Parent())) {
      ok = PrintOn(printer, report, *this);
    }
    ArrowCursor(false);
    // The orientation chosen is kept for the next print of the session.
    landscape_ = printer.pageLayout().orientation() == QPageLayout::Landscape;
  });
  return ok;
}

}  // namespace kvt::gui
