// The pages of a Report on Qt's paged devices: the printer, the preview and PDF files.
#pragma once

#include <QPageLayout>
#include <string>

#include "platform/cli_ui.h"
#include "platform/report.h"

class QPainter;
class QPagedPaintDevice;

namespace kvt::gui {

// The resolution of every page we lay out: a report's fixed gaps (margins 50, cell padding
// 20) are in device units, and at 600 dpi they read as the layout intends.
inline constexpr int kPrintResolution = 600;

// Lays `report` out on the printable page of `device` (`painter` active on it) and draws
// its pages from..to (from 1; to <= 0 or past the end means the last), starting a new
// device page for each after the first. A range that begins past the last page draws
// nothing. Returns the number of pages drawn.
int DrawReport(Report& report, QPainter& painter, QPagedPaintDevice& device, int from, int to);

// The page of a PDF written without a printer: A4, 5 mm margins (as a printer's unprintable
// border), portrait unless asked.
QPageLayout DefaultPdfLayout(bool landscape = false);

// Whether `report` goes on landscape pages when no dialog chooses: as it asks, and when it
// leaves it to the page (Automatic), after a trial layout on the portrait form of `layout`
// that came out wider than the page.
bool WantsLandscape(Report& report, const QPageLayout& layout, int dpi = kPrintResolution);

// Writes the report as a PDF file at `path` on pages of `layout` at `dpi`: the whole file or
// nothing (a file that was there stays as it was when writing fails; a pipe or a device is
// written in place and never replaced). A report without pages writes nothing ({ok, 0
// pages}).
PdfResult WritePdf(Report& report, const std::string& path, const QPageLayout& layout,
                   int dpi = kPrintResolution);

// The PdfWriter of the command line: the default page, in the orientation the report wants.
// Needs a QGuiApplication.
PdfResult WriteDefaultPdf(Report& report, const std::string& path);

}  // namespace kvt::gui
