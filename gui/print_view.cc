// The print view of the window: print dialog, preview and printing of a Report.
#include "gui/qt_ui.h"
#include "platform/report.h"

namespace kvt::gui {

bool QtUi::PrintReport(Report& report, PrintMode mode) {
  if (printing_) {
    Info(kPrintBusyMessage);
    return false;
  }
  Stop(kPrinterOpenMessage);
  return false;
}

}  // namespace kvt::gui
