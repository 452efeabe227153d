// The print view of the window: the print dialog, printing, and the preview window with
// page navigation, zoom, printing and PDF output.
#pragma once

#include <QDialog>

#include "platform/report.h"
#include "platform/ui.h"

class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class QAction;

namespace kvt::gui {

// The print dialog on `printer`: one copy, a page range from 1, printing to a PDF file
// offered. False when cancelled.
bool ChoosePrinter(QPrinter& printer, QWidget* parent);

// Lays the report out on `printer` and prints the page range chosen in its dialog. The
// printer message when the printer cannot be opened; false then, and when there was
// nothing to print (after its message).
bool PrintOn(QPrinter& printer, Report& report, Ui& ui);

// The preview: every page of the report as laid out on `printer`'s page, one below the
// other, with buttons for the first, previous, next and last page, zoom, printing (the
// print dialog, then the printer) and "Salva PDF..." (the same pages in a PDF file).
// Messages go through `ui`.
class PreviewDialog : public QDialog {
 public:
  PreviewDialog(Report& report, QPrinter& printer, Ui& ui, QWidget* parent);

  int CurrentPage() const;
  int PageCount() const;
  void GoToPage(int page);
  QPrintPreviewWidget* view() const { return view_; }

  // The toolbar's commands, by their captions (tests press them by name).
  QAction* Action(const QString& text) const;

 private:
  void PrintFromPreview();
  void SavePdf();
  void SetLandscape(bool landscape);
  void UpdateControls();

  Report& report_;
  QPrinter& printer_;
  Ui& ui_;
  QPrintPreviewWidget* view_ = nullptr;
  QLabel* pageLabel_ = nullptr;
  QLabel* zoomLabel_ = nullptr;
};

}  // namespace kvt::gui
